// The play-list file and the play list's selection rules.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <stdexcept>

#include "player/core/playlist_controller.h"
#include "player/core/playlist_file.h"
#include "player/core/playlist_model.h"
#include "player/core/track_change.h"
#include "recording_store.h"
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
  list.SettleAfterDelete(list.DeleteSelected(), playIndex);
  list.Add("C:\\d.mp3");
  EXPECT_EQ(Names(), (Lines{"001-a.mp3", "003-c.mp3", "003-d.mp3"}));
  EXPECT_EQ(list.Path(2), "C:\\d.mp3");
}

TEST_F(ModelFixture, DeletingTheLastEntriesMovesThePlayIndexBackInside) {
  Drop({"C:\\a.mp3", "C:\\b.mp3"});
  playIndex = 1;
  list.Select(1);
  list.SettleAfterDelete(list.DeleteSelected(), playIndex);
  EXPECT_EQ(playIndex, 0);
  EXPECT_EQ(list.Selected(), 0);
  list.SettleAfterDelete(list.DeleteSelected(), playIndex);
  EXPECT_TRUE(list.Empty());
  list.DeleteSelected();  // nothing left, nothing happens
}

// Deleting an entry before the one playing moves the play index with it, so
// the highlight stays on the entry playing and the end of the track goes on
// to the entry after it. An entry after it, or the one playing, leaves the
// index where it is.
TEST_F(ModelFixture, DeletingAnEntryBeforeTheOnePlayingKeepsTheIndexOnIt) {
  struct Case {
    int deleted;
    int32_t playIndexAfter;
    const char* selectedAfter;
  };
  const Case cases[] = {{0, 1, "c"}, {1, 1, "c"}, {2, 2, "d"}, {3, 2, "c"}};
  for (const Case& c : cases) {
    SCOPED_TRACE("deleting entry " + std::to_string(c.deleted));
    list.Clear();
    Drop({"a", "b", "c", "d"});
    playIndex = 2;  // "c" plays
    list.Select(c.deleted);
    list.SettleAfterDelete(list.DeleteSelected(), playIndex);
    EXPECT_EQ(playIndex, c.playIndexAfter);
    EXPECT_EQ(list.Path(list.Selected()), c.selectedAfter);
  }
  // "a" went while "c" played: the end of "c" plays "d", the last.
  list.Clear();
  Drop({"a", "b", "c", "d"});
  playIndex = 2;
  list.Select(0);
  list.SettleAfterDelete(list.DeleteSelected(), playIndex);
  EXPECT_EQ(EndOfTrackStep(list, false, playIndex), TrackStep::Play);
  EXPECT_EQ(list.Path(playIndex), "d");
  EXPECT_EQ(EndOfTrackStep(list, false, playIndex), TrackStep::Stop);
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

// The play-list window's controller over a store, a window, the engine and
// the main window, all fakes that log what they are asked.
struct ListWindow : ::testing::Test, IPlayListStore, IPlayListView, IPlayListAudio, IStreamOpened {
  Lines log;
  Lines kept = {"C:\\one.mp3", "C:\\two.mp3"};
  bool readFails = false;
  std::map<std::string, bool> opens;
  WindowPlace place{0, 0};
  RecordingStore settings{kListSection};
  TPlayListModel list;
  int32_t playIndex = 0;
  TPlayListController controller{list, *this, *this, *this, *this, &settings, playIndex};

  Lines Read() override {
    log.push_back("read");
    if (readFails) throw std::runtime_error("Cannot open file \"PlayList.m3u\"");
    return kept;
  }
  void Write(const Lines& paths) override {
    log.push_back("write " + std::to_string(paths.size()));
    kept = paths;
  }
  void SetPlace(WindowPlace p) override {
    place = p;
    log.push_back("place " + std::to_string(p.Left) + " " + std::to_string(p.Top));
  }
  WindowPlace Place() override { return place; }
  void ShowWindow() override { log.push_back("show"); }
  void PrepareList() override { log.push_back("prepare"); }
  bool OpenFile(const std::string& path) override { return opens[path]; }
  void SendPlays(const std::string& path) override { log.push_back("plays " + path); }
  void SendPlaysAddress() override { log.push_back("plays address"); }
  void NotOpened(const std::string& path) override { log.push_back("not opened " + path); }
  void NotOpenedAddress(const std::string& address) override { log.push_back("not opened " + address); }
};

TEST_F(ListWindow, StartsWhereItWasLeftAndSavesTheListAtTheEnd) {
  settings.values = {{"Left", 300}, {"Top", 40}, {"Visible", 1}};
  kept = {"C:\\only.mp3"};
  playIndex = 3;
  controller.FormCreate();
  EXPECT_EQ(log, (Lines{"place 300 40", "show", "prepare", "read"}));
  EXPECT_EQ(settings.log, (Lines{"read Left", "read Top", "read Visible"}));
  EXPECT_EQ(playIndex, 0) << "a single entry is the one playing";
  EXPECT_EQ(list.Selected(), 0);
  controller.FilesDropped({"C:\\new.wav"});
  log.clear();
  controller.FormDestroy();
  EXPECT_EQ(log, (Lines{"write 2"}));
  EXPECT_EQ(settings.values["Left"], 300);
}

// A list that cannot be read at the start (held open by another program)
// shows an empty list, passes its error on, and is not replaced by that
// empty list at the end; the window still comes back where it was, shown.
// Saving on request still saves, and from then on the end saves too.
TEST_F(ListWindow, AListThatCannotBeReadIsNotReplacedAtTheEnd) {
  settings.values = {{"Visible", 1}};
  readFails = true;
  list.Add("C:\\from an earlier window.mp3");
  EXPECT_THROW(controller.FormCreate(), std::runtime_error);
  EXPECT_EQ(log, (Lines{"place 192 107", "show", "prepare", "read"}));
  EXPECT_TRUE(list.Empty());
  EXPECT_TRUE(controller.ReadFailed());
  controller.FilesDropped({"C:\\dropped.wav"});
  log.clear();
  controller.FormDestroy();
  EXPECT_EQ(log, Lines{}) << "the kept list stays as it was";
  EXPECT_EQ(kept.size(), 2u);

  controller.SavePlayList();
  EXPECT_EQ(log, (Lines{"write 1"}));
  EXPECT_FALSE(controller.ReadFailed());
  controller.FormDestroy();
  EXPECT_EQ(log, (Lines{"write 1", "write 1"}));
}

// An entry that does not open is named to the main window (which shows no
// media then); the index of the entry playing stays.
TEST_F(ListWindow, PlaysAnEntryOnlyWhenItOpens) {
  controller.FormCreate();
  opens["C:\\two.mp3"] = true;
  log.clear();
  controller.PlayEntry(0);
  controller.PlayEntry(5);
  EXPECT_EQ(playIndex, 0);
  controller.PlayEntry(1);
  EXPECT_EQ(log, (Lines{"not opened C:\\one.mp3", "plays C:\\two.mp3"}));
  EXPECT_EQ(playIndex, 1);
  // Deleting the entry before it keeps the highlight on it.
  list.Select(0);
  controller.DeleteSelectedClick();
  EXPECT_EQ(playIndex, 0);
  EXPECT_EQ(list.Selected(), 0);
  EXPECT_EQ(list.Path(0), "C:\\two.mp3");
}

}  // namespace
}  // namespace tav::player
