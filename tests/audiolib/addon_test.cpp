// Add-ons through the C interface, as the player loads them: every "bass*" library of the
// add-on folder is offered to BASS_PluginLoad; the test add-on's format is then listed and
// its files open through BASS_StreamCreateFile, while a library that is no add-on fails
// with a code and is unloaded again.
#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <dlfcn.h>
#endif

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "bass.h"

namespace {

#ifdef _WIN32
const std::string kFolder = "AddIns\\";
const std::string kSuffix = ".dll";
bool is_loaded(const std::string& path) {
  char full[MAX_PATH];
  const DWORD n = GetFullPathNameA(path.c_str(), MAX_PATH, full, nullptr);
  return n > 0 && n < MAX_PATH && GetModuleHandleA(full) != nullptr;
}
#else
const std::string kFolder = TAV_ADDIN_DIR "/";
const std::string kSuffix = ".so";
bool is_loaded(const std::string& path) {
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}
#endif

// A "Tavolen raw" file of the given samples.
std::string write_tvr(const std::string& name, const std::vector<int16_t>& samples, uint32_t rate, uint16_t chans) {
  std::vector<uint8_t> b = {'T', 'V', 'R', 'W'};
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  put(rate, 4);
  put(chans, 2);
  put(0, 2);
  put(static_cast<uint32_t>(samples.size() / chans), 4);
  for (int16_t s : samples) put(static_cast<uint16_t>(s), 2);
  std::FILE* f = std::fopen(name.c_str(), "wb");
  std::fwrite(b.data(), 1, b.size(), f);
  std::fclose(f);
  return name;
}

std::vector<int16_t> read_all(DWORD h) {
  std::vector<int16_t> out(0), block(2304);
  DWORD got;
  while ((got = BASS_ChannelGetData(h, block.data(), 4608)) != static_cast<DWORD>(-1) && got)
    out.insert(out.end(), block.begin(), block.begin() + got / 2);
  return out;
}

TEST(Addons, TheFoldersAddonIsListedAndOpensItsFilesAndOthersStayUnloaded) {
  std::vector<int16_t> samples(2 * 30000);
  for (size_t i = 0; i < samples.size(); ++i) samples[i] = static_cast<int16_t>((i * 2654435761u) >> 16);
  const std::string file = write_tvr("addon_test.tvr", samples, 22050, 2);
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, file.c_str(), 0, 0, BASS_STREAM_DECODE), 0u) << "no add-on yet";

  std::vector<HPLUGIN> loaded;
  std::vector<std::string> refused;
  for (const auto& entry : std::filesystem::directory_iterator(kFolder)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind("bass", 0) != 0 || name.size() < kSuffix.size() ||
        name.compare(name.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0)
      continue;
    const std::string path = kFolder + name;
    if (const HPLUGIN h = BASS_PluginLoad(path.c_str(), 0)) {
      loaded.push_back(h);
      EXPECT_EQ(BASS_PluginLoad(path.c_str(), 0), 0u);
      EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ALREADY);
    } else {
      EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEFORM) << name;
      EXPECT_FALSE(is_loaded(path)) << name;
      refused.push_back(name);
    }
  }
  ASSERT_EQ(loaded.size(), 1u);
  ASSERT_EQ(refused, std::vector<std::string>{"bass_notaddon" + kSuffix});

  const BASS_PLUGININFO* info = BASS_PluginGetInfo(loaded[0]);
  ASSERT_NE(info, nullptr);
  EXPECT_EQ(info->version, 0x01000000u);
  ASSERT_EQ(info->formatc, 1u);
  EXPECT_STREQ(info->formats[0].name, "Tavolen raw");
  EXPECT_STREQ(info->formats[0].exts, "*.tvr");

  const HSTREAM s = BASS_StreamCreateFile(FALSE, file.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(s, 0u) << BASS_ErrorGetCode();
  BASS_CHANNELINFO ci{};
  ASSERT_TRUE(BASS_ChannelGetInfo(s, &ci));
  EXPECT_EQ(ci.freq, 22050u);
  EXPECT_EQ(ci.chans, 2u);
  EXPECT_EQ(ci.ctype, info->formats[0].ctype);
  EXPECT_EQ(ci.origres, 16u);
  EXPECT_EQ(BASS_ChannelGetLength(s, BASS_POS_BYTE), samples.size() * 2);
  EXPECT_EQ(read_all(s), samples);
  ASSERT_TRUE(BASS_ChannelSetPosition(s, 4 * 1000, BASS_POS_BYTE));
  std::vector<int16_t> part(4);
  ASSERT_EQ(BASS_ChannelGetData(s, part.data(), 8), 8u);
  EXPECT_EQ(part, std::vector<int16_t>(samples.begin() + 2000, samples.begin() + 2004));

  // freed, the add-on takes no new files; the open stream keeps it loaded and still plays
  EXPECT_TRUE(BASS_PluginFree(loaded[0]));
  EXPECT_EQ(BASS_PluginGetInfo(loaded[0]), nullptr);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, file.c_str(), 0, 0, BASS_STREAM_DECODE), 0u);
  EXPECT_TRUE(is_loaded(kFolder + "bass_tavraw" + kSuffix));
  ASSERT_TRUE(BASS_ChannelSetPosition(s, 0, BASS_POS_BYTE));
  EXPECT_EQ(read_all(s), samples);
  EXPECT_TRUE(BASS_StreamFree(s));
  EXPECT_FALSE(is_loaded(kFolder + "bass_tavraw" + kSuffix));
  std::remove(file.c_str());
}

TEST(Addons, FreeingEveryAddonEndsEachHandle) {
  const std::string path = kFolder + "bass_tavraw" + kSuffix;
  const HPLUGIN h = BASS_PluginLoad(path.c_str(), 0);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  EXPECT_TRUE(BASS_PluginFree(0));
  EXPECT_FALSE(is_loaded(path));
  EXPECT_EQ(BASS_PluginGetInfo(h), nullptr);
  EXPECT_FALSE(BASS_PluginFree(h));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  const HPLUGIN again = BASS_PluginLoad(path.c_str(), 0);
  EXPECT_NE(again, 0u) << BASS_ErrorGetCode();
  EXPECT_TRUE(BASS_PluginFree(again));
}

TEST(Addons, WhatCannotBeLoadedFailsWithACode) {
  EXPECT_EQ(BASS_PluginLoad((kFolder + "bass_missing" + kSuffix).c_str(), 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
  EXPECT_EQ(BASS_PluginLoad(nullptr, 0), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
  EXPECT_EQ(BASS_PluginGetInfo(0), nullptr);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_FALSE(BASS_PluginFree(12345));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
}

}  // namespace
