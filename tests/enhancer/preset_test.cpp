// Preset files over an in-memory folder tree: the codec, the name rules, list,
// save, load and delete.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <set>

#include "presets.h"
#include "recording_store.h"

namespace brindle {
namespace {

using test::RecordingStore;

// Files are preset sections held in memory, by full path; a folder lists the
// files whose path is the folder followed by a plain name.
struct FakeDisk : PresetDisk {
  std::set<std::string> folders;
  std::map<std::string, RecordingStore> files;
  std::vector<std::string> listed;  // folders asked for

  bool MakeFolders(const std::string& folder) override {
    for (size_t at = folder.find('\\', 3); at != std::string::npos; at = folder.find('\\', at + 1))
      folders.insert(folder.substr(0, at + 1));
    return true;
  }
  std::vector<std::string> FileNames(const std::string& folder) override {
    listed.push_back(folder);
    std::vector<std::string> names;
    for (const auto& [path, _] : files)
      if (path.size() > folder.size() && path.compare(0, folder.size(), folder) == 0 &&
          path.find('\\', folder.size()) == std::string::npos)
        names.push_back(path.substr(folder.size()));
    return names;
  }
  bool Exists(const std::string& path) override { return files.count(path) != 0; }
  bool Remove(const std::string& path) override { return files.erase(path) != 0; }
  std::unique_ptr<SettingsStore> Open(const std::string& path) override {
    struct Handle : SettingsStore {
      RecordingStore& file;
      explicit Handle(RecordingStore& f) : file(f) {}
      std::optional<std::string> Read(std::string_view k) override { return file.Read(k); }
      void Write(std::string_view k, std::string_view v) override { file.Write(k, v); }
    };
    return std::make_unique<Handle>(files[path]);
  }
};

const std::string kHost = "C:\\Program Files\\Host\\";
const std::string kFolder = PresetFolderOf(kHost);

void Randomize(Parameters& p, unsigned seed) {
  std::mt19937 rng(seed);
  for (const ParamInfo& row : kParamTable) p.SetFromControl(row.param, int32_t(rng() % 101));
}

TEST(PresetNames, OnlyFilesEndingInTheExtensionAndOnlyItIsRemoved) {
  struct Case {
    const char* file;
    std::optional<std::string> name;
  };
  for (const Case& c : std::vector<Case>{{"a.brindle", "a"},
                                         {"B.BRINDLE", "B"},
                                         {"Warm.Brindle", "Warm"},
                                         {"my.brindleset.brindle", "my.brindleset"},
                                         {"two words.brindle", "two words"},
                                         {"x.brindle.bak", std::nullopt},
                                         {"x.brindlex", std::nullopt},
                                         {".brindle", std::nullopt},
                                         {"brindle", std::nullopt},
                                         {"readme.txt", std::nullopt}})
    EXPECT_EQ(PresetName(c.file), c.name) << c.file;
  EXPECT_EQ(kFolder, "C:\\Program Files\\Host\\plugins\\Brindle\\");
  EXPECT_EQ(PresetPath(kFolder, "Warm"), kFolder + "Warm.brindle");
}

TEST(Presets, SaveWritesTheTypeAndThirtyValuesInOrderAndTheyComeBack) {
  FakeDisk disk;
  Parameters saved;
  Randomize(saved, 3);
  const std::string path = PresetPath(kFolder, "Warm");
  SavePreset(disk, path, saved);
  RecordingStore& file = disk.files[path];
  std::vector<std::string> keys = {"presettype"};
  for (const ParamInfo& row : kParamTable)
    if (row.presetKey) keys.push_back(row.presetKey);
  ASSERT_EQ(keys.size(), 31u);
  EXPECT_EQ(file.writes, keys);
  EXPECT_EQ(file.values["presettype"], "30");
  EXPECT_EQ(file.values["basslim"], std::to_string(saved.Get(Param::basscomp)));
  EXPECT_EQ(file.values.count("basscomp"), 0u);
  EXPECT_EQ(file.values.count("inverted"), 0u);

  Parameters loaded;
  loaded.Set(Param::inverted, 1);
  file.Forget();
  int asked = 0;
  EXPECT_EQ(LoadPreset(disk, path, loaded, [&] { return ++asked, true; }), PresetLoad::loaded);
  EXPECT_EQ(asked, 0);
  for (const ParamInfo& row : kParamTable)
    if (row.presetKey) {
      EXPECT_EQ(loaded.Get(row.param), saved.Get(row.param)) << row.key;
    }
  EXPECT_EQ(loaded.Get(Param::inverted), 1) << "a preset leaves the phase alone";
  // the controls' order: speed before comp
  std::vector<std::string> order(keys.begin() + 1, keys.end());
  std::swap(order[25], order[26]);
  order.insert(order.begin(), "presettype");
  EXPECT_EQ(file.reads, order);
}

TEST(Presets, ASaveReplacesTheWholeFile) {
  FakeDisk disk;
  const std::string path = PresetPath(kFolder, "Old");
  disk.files[path].values = {{"presettype", "30"}, {"stale", "1"}, {"inverted", "1"}};
  SavePreset(disk, path, Parameters());
  EXPECT_EQ(disk.files[path].values.count("stale"), 0u);
  EXPECT_EQ(disk.files[path].values.count("inverted"), 0u);
  EXPECT_EQ(disk.files[path].values.size(), 31u);
}

TEST(Presets, AnOlderFileAsksAndAMissingFileChangesNothing) {
  FakeDisk disk;
  const std::string path = PresetPath(kFolder, "Old");
  disk.files[path].values = {{"presettype", "29"}, {"dry", "12"}};
  Parameters target;
  Randomize(target, 5);
  const auto before = target.Snapshot();
  int asked = 0;
  EXPECT_EQ(LoadPreset(disk, path, target, [&] { return ++asked, false; }), PresetLoad::declined);
  EXPECT_EQ(asked, 1);
  EXPECT_EQ(target.Snapshot(), before);

  EXPECT_EQ(LoadPreset(disk, path, target, [&] { return ++asked, true; }), PresetLoad::loaded);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(target.Get(Param::dry), 12);
  EXPECT_EQ(target.Get(Param::reverb), 0) << "a missing key sets its control to 0";

  Parameters untouched;
  Randomize(untouched, 6);
  const auto kept = untouched.Snapshot();
  EXPECT_EQ(LoadPreset(disk, PresetPath(kFolder, "Gone"), untouched, [&] { return ++asked, true; }),
            PresetLoad::missing);
  EXPECT_EQ(asked, 2);
  EXPECT_EQ(untouched.Snapshot(), kept);
}

TEST(Presets, ListingCreatesBothFolderLevelsAndListsOnlyThatFolder) {
  FakeDisk disk;
  for (const char* name : {"a.brindle", "B.BRINDLE", "my.brindleset.brindle", "notes.txt", "x.brindle.bak"})
    disk.files[kFolder + name];
  disk.files[kHost + "stray.brindle"];              // beside the host
  disk.files[kFolder + "sub\\deep.brindle"];        // below the folder
  const auto names = ListPresets(disk, kFolder);
  EXPECT_EQ(names, (std::vector<std::string>{"B", "a", "my.brindleset"}));
  EXPECT_EQ(disk.listed, std::vector<std::string>{kFolder});
  EXPECT_TRUE(disk.folders.count(kHost + "plugins\\"));
  EXPECT_TRUE(disk.folders.count(kFolder));
}

TEST(Presets, DeleteRemovesTheFile) {
  FakeDisk disk;
  const std::string path = PresetPath(kFolder, "Warm");
  SavePreset(disk, path, Parameters());
  EXPECT_TRUE(DeletePreset(disk, path));
  EXPECT_FALSE(disk.Exists(path));
  EXPECT_FALSE(DeletePreset(disk, path));
}

TEST(Presets, LongPathsStayWhole) {
  FakeDisk disk;
  const std::string folder = PresetFolderOf("C:\\" + std::string(300, 'd') + "\\");
  const std::string path = PresetPath(folder, std::string(200, 'n'));
  SavePreset(disk, path, Parameters());
  EXPECT_TRUE(disk.Exists(path));
  EXPECT_EQ(ListPresets(disk, folder), std::vector<std::string>{std::string(200, 'n')});
}

// A preset's full name may have up to 255 characters, counted as characters
// and not as the bytes of their UTF-8 text; a longer one does not fit (the
// window refuses it rather than cut it to the name of another file).
TEST(Presets, FullNamesFitUpTo255Characters) {
  std::string chinese255;
  for (int i = 0; i < 255; ++i) chinese255 += "\xE9\x9F\xB3";
  const struct {
    std::string path;
    bool fits;
  } cases[] = {
      {"C:\\Host\\plugins\\Brindle\\Warm.brindle", true},
      {std::string(255, 'p'), true},
      {std::string(256, 'p'), false},
      {chinese255, true},
      {chinese255 + "x", false},
  };
  for (const auto& c : cases) EXPECT_EQ(PresetPathFits(c.path), c.fits) << c.path.size() << " bytes";
}

}  // namespace
}  // namespace brindle
