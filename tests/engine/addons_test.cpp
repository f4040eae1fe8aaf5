#include "tav/engine/addons.h"

#include <gtest/gtest.h>

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

TEST_F(AddOnFolder, TwoAddOnsAndARefusedFile) {
  Touch("bass_ape.dll");
  Touch("BASSFLAC.DLL");
  Touch("bassjunk.dll");  // not an add-on: skipped quietly
  fake::Bass.addOns[Folder() + "bass_ape.dll"] = {{0x10700, "Monkey", "*.ape;*.mac"}};
  fake::Bass.addOns[Folder() + "BASSFLAC.DLL"] = {{0x10900, "FLAC", "*.flac"}, {0x10901, "OggFLAC", "*.oga"}};
  LoadBassPlugins(Folder());
  EXPECT_EQ(fake::Calls("PluginLoad").size(), 3u);
  const std::string patterns = "*.ape;*.mac;*.flac;*.oga;";
  EXPECT_EQ(PlayerSettings.OpenFilter, "所支持的音频文件(" + kBase + ";" + patterns + ")|" + kBase + ";" + patterns +
                                           "|Monkey(*.ape;*.mac)|*.ape;*.mac|FLAC(*.flac)|*.flac|OggFLAC(*.oga)|*.oga"
                                           "|所有文件(*.*)|*.*");
}

}  // namespace
