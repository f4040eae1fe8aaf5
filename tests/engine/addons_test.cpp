#include "tav/engine/addons.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <fstream>

#include "fake_bass.h"
#include "tav/engine/globals.h"

namespace {

namespace fs = std::filesystem;
using namespace tav::engine;

const std::string kBase = "*.mp3;*.wav;*.ogg;*.mo3;*.xm;*.mod;*.s3m;*.it;*.mtm;*.aif";

class AddOnFolder : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    folder_ = fs::temp_directory_path() / ("tav_addons_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
                                           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(folder_);
    fs::create_directories(folder_);
  }
  void TearDown() override { fs::remove_all(folder_); }
  std::string Folder() const { return folder_.string() + "/"; }
  void Touch(const std::string& name) { std::ofstream(folder_ / name) << "x"; }
  fs::path folder_;
};

TEST_F(AddOnFolder, NoAddOnsGivesTheBaseFilter) {
  Touch("other.dll");
  Touch("bass.txt");
  LoadBassPlugins(Folder());
  EXPECT_EQ(PlayerSettings.OpenFilter, "所支持的音频文件(" + kBase + ")|" + kBase + "|所有文件(*.*)|*.*");
  EXPECT_TRUE(fake::Calls("PluginLoad").empty());
}

TEST_F(AddOnFolder, MissingFolderGivesTheBaseFilter) {
  LoadBassPlugins(Folder() + "absent/");
  EXPECT_EQ(PlayerSettings.OpenFilter, "所支持的音频文件(" + kBase + ")|" + kBase + "|所有文件(*.*)|*.*");
}

TEST_F(AddOnFolder, OneAddOn) {
  Touch("bassflac.dll");
  fake::Bass.addOns[Folder() + "bassflac.dll"] = {{0x10900, "FLAC", "*.flac"}};
  LoadBassPlugins(Folder());
  EXPECT_EQ(PlayerSettings.OpenFilter,
            "所支持的音频文件(" + kBase + ";*.flac;)|" + kBase + ";*.flac;|FLAC(*.flac)|*.flac|所有文件(*.*)|*.*");
}

// The names of `folder`'s files as the file system lists them.
std::vector<std::string> Listing(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
  return names;
}

TEST_F(AddOnFolder, TwoAddOnsAndARefusedFile) {
  Touch("bass_ape.dll");
  Touch("BASSFLAC.DLL");
  Touch("bassjunk.dll");  // not an add-on: skipped quietly
  fake::Bass.addOns[Folder() + "bass_ape.dll"] = {{0x10700, "Monkey", "*.ape;*.mac"}};
  fake::Bass.addOns[Folder() + "BASSFLAC.DLL"] = {{0x10900, "FLAC", "*.flac"}, {0x10901, "OggFLAC", "*.oga"}};
  LoadBassPlugins(Folder());
  EXPECT_EQ(fake::Calls("PluginLoad").size(), 3u);
  // The formats follow the order the add-ons were found in.
  std::string patterns, pairs;
  for (const std::string& name : Listing(folder_)) {
    if (name == "bass_ape.dll") {
      patterns += "*.ape;*.mac;";
      pairs += "|Monkey(*.ape;*.mac)|*.ape;*.mac";
    } else if (name == "BASSFLAC.DLL") {
      patterns += "*.flac;*.oga;";
      pairs += "|FLAC(*.flac)|*.flac|OggFLAC(*.oga)|*.oga";
    }
  }
  EXPECT_EQ(PlayerSettings.OpenFilter,
            "所支持的音频文件(" + kBase + ";" + patterns + ")|" + kBase + ";" + patterns + pairs + "|所有文件(*.*)|*.*");
}

// Add-ons load in the order the file system lists them, not in name order.
TEST_F(AddOnFolder, AddOnsLoadInTheOrderTheyAreFound) {
  for (const char* name : {"bassz.dll", "bassa.dll", "BASSM.DLL", "bass_b.dll", "bassy.dll", "bassc.dll",
                           "bassx.dll", "bassd.dll", "other.dll"})
    Touch(name);
  std::vector<std::string> found;
  for (const std::string& name : Listing(folder_))
    if (name != "other.dll") found.push_back(name);
  std::vector<std::string> sorted = found;
  std::sort(sorted.begin(), sorted.end(), [](std::string a, std::string b) {
    for (auto* s : {&a, &b})
      for (char& c : *s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return a < b;
  });
  if (found == sorted) GTEST_SKIP() << "this file system lists in name order";

  EXPECT_EQ(FindAddOnFiles(Folder()), found);
  LoadBassPlugins(Folder());
  std::vector<std::string> loads;
  for (const std::string& name : found) loads.push_back("PluginLoad " + Folder() + name);
  std::vector<std::string> calls;
  for (const std::string& call : fake::Calls("PluginLoad")) calls.push_back(call.substr(0, call.rfind(' ')));
  EXPECT_EQ(calls, loads);
}

}  // namespace
