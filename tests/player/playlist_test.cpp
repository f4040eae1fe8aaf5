// The play-list file and the play list's selection rules.
#include <gtest/gtest.h>

#include <filesystem>

#include "player/core/playlist_file.h"
#include "player/core/playlist_model.h"
#include "tav/test/files.h"

namespace fs = std::filesystem;

namespace tav::player {
namespace {

using Lines = std::vector<std::string>;

TEST(PlayListFile, EveryLineEndIsALineEnd) {
  struct Case {
    const char* text;
    Lines lines;
  };
  const std::vector<Case> cases = {
      {"", {}},
      {"a\r\nb\r\n", {"a", "b"}},
      {"a\nb\rc", {"a", "b", "c"}},
      {"a\r\n\r\nb", {"a", "", "b"}},
      {"a\n\rb\r\n", {"a", "", "b"}},
      {"#EXTM3U\r\nC:\\x.mp3\r\n", {"#EXTM3U", "C:\\x.mp3"}},
      {"\r\n", {""}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    EXPECT_EQ(ParsePlayList(c.text), c.lines);
  }
}

TEST(PlayListFile, WritesEveryPathWithCrLf) {
  EXPECT_EQ(FormatPlayList({"C:\\a.mp3", "D:\\b c.wav"}), "C:\\a.mp3\r\nD:\\b c.wav\r\n");
  EXPECT_EQ(FormatPlayList({}), "");
}

struct FileFixture : ::testing::Test {
  fs::path dir;
  void SetUp() override {
    dir = fs::temp_directory_path() /
          ("tav_playlist_" + std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir);
    fs::create_directories(dir);
  }
  void TearDown() override { fs::remove_all(dir); }
};

TEST_F(FileFixture, RoundTripAndMissingFile) {
  const fs::path file = dir / kPlayListFileName;
  EXPECT_TRUE(ReadPlayListFile(file).empty());
  const Lines paths = {"C:\\Music\\one.mp3", "", "C:\\two.ogg"};
  WritePlayListFile(file, paths);
  EXPECT_EQ(tav::test::ReadFileBytes(file), "C:\\Music\\one.mp3\r\n\r\nC:\\two.ogg\r\n");
  EXPECT_EQ(ReadPlayListFile(file), paths);
  WritePlayListFile(file, {"x"});  // replaces an existing file
  EXPECT_EQ(tav::test::ReadFileBytes(file), "x\r\n");
  EXPECT_FALSE(fs::exists(dir / "PlayList.m3u.tmp"));
}

TEST_F(FileFixture, AFailedSaveLeavesTheOldListWhole) {
  const fs::path file = dir / kPlayListFileName;
  WritePlayListFile(file, {"C:\\keep.mp3"});
  fs::create_directory(dir / "PlayList.m3u.tmp");  // the temporary file cannot be made
  EXPECT_THROW(WritePlayListFile(file, {"C:\\new.mp3"}), std::runtime_error);
  EXPECT_EQ(tav::test::ReadFileBytes(file), "C:\\keep.mp3\r\n");
}

struct ModelFixture : ::testing::Test {
  TPlayListModel list;
  int32_t playIndex = 0;
  void Drop(const Lines& files) {
    for (const auto& f : files) list.Add(f);
    list.SettleAfterDrop(playIndex);
  }
  Lines Names() const {
    Lines n;
    for (int i = 0; i < list.Count(); ++i) n.push_back(list.Name(i));
    return n;
  }
};

TEST_F(ModelFixture, DropOnEmptyListNumbersAndSelectsTheFirst) {
  playIndex = 4;
  Drop({"C:\\a.mp3", "C:\\b.mp3", "C:\\c.mp3"});
  EXPECT_EQ(Names(), (Lines{"001-a.mp3", "002-b.mp3", "003-c.mp3"}));
  EXPECT_EQ(playIndex, 0);
  EXPECT_EQ(list.Selected(), 0);
}

TEST_F(ModelFixture, NumbersAreNotReusedAfterDeletion) {
  Drop({"C:\\a.mp3", "C:\\b.mp3", "C:\\c.mp3"});
  list.Select(1);
  list.DeleteSelected();
  list.SettleAfterDelete(playIndex);
  list.Add("C:\\d.mp3");
  EXPECT_EQ(Names(), (Lines{"001-a.mp3", "003-c.mp3", "003-d.mp3"}));
  EXPECT_EQ(list.Path(2), "C:\\d.mp3");
}

TEST_F(ModelFixture, DeletingTheLastEntriesMovesThePlayIndexBackInside) {
  Drop({"C:\\a.mp3", "C:\\b.mp3"});
  playIndex = 1;
  list.Select(1);
  list.DeleteSelected();
  list.SettleAfterDelete(playIndex);
  EXPECT_EQ(playIndex, 0);
  EXPECT_EQ(list.Selected(), 0);
  list.DeleteSelected();
  list.SettleAfterDelete(playIndex);
  EXPECT_TRUE(list.Empty());
  list.DeleteSelected();  // nothing left, nothing happens
}

TEST_F(ModelFixture, ClearKeepsThePlayIndexUntilTheNextDrop) {
  Drop({"1", "2", "3", "4", "5", "6"});
  playIndex = 5;
  list.Clear();
  EXPECT_EQ(playIndex, 5);
  Drop({"a", "b"});
  EXPECT_EQ(playIndex, 0);
  EXPECT_EQ(list.Selected(), 0);
}

TEST_F(ModelFixture, AddDialogLeavesTheSelectionUnlessItIsTheOnlyEntry) {
  list.Add("a");
  list.SettleAfterAdd(playIndex);
  EXPECT_EQ(list.Selected(), 0);
  list.Select(-1);
  list.Add("b");
  list.SettleAfterAdd(playIndex);
  EXPECT_EQ(list.Selected(), -1);
  list.Select(7);  // outside: nothing selected
  EXPECT_EQ(list.Selected(), -1);
}

TEST_F(ModelFixture, ObserversSeeEveryChange) {
  std::vector<std::string> log;
  list.OnAdded = [&](int i) { log.push_back("add" + std::to_string(i)); };
  list.OnDeleted = [&](int i) { log.push_back("del" + std::to_string(i)); };
  list.OnCleared = [&] { log.push_back("clear"); };
  list.OnSelected = [&](int i) { log.push_back("sel" + std::to_string(i)); };
  list.AddPlaying("a", playIndex);
  list.AddPlaying("b", playIndex);
  list.DeleteSelected();
  list.Load({"x"});
  EXPECT_EQ(log, (Lines{"add0", "sel0", "add1", "sel1", "del1", "clear", "add0"}));
  EXPECT_EQ(list.Name(0), "001-x");
}

}  // namespace
}  // namespace tav::player
