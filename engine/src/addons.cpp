#include "tav/engine/addons.h"

#include <algorithm>
#include <cctype>

#include "tav/engine/globals.h"

#if defined(_WIN32)
#include <windows.h>
#else
#include <filesystem>
#endif

namespace tav::engine {

namespace {

bool MatchesAddOnName(const std::string& name) {
  if (name.size() < 8) return false;  // "bass" + ".dll"
  std::string lower(name);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return lower.compare(0, 4, "bass") == 0 && lower.compare(lower.size() - 4, 4, ".dll") == 0;
}

}  // namespace

std::vector<std::string> FindAddOnFiles(const std::string& folder) {
  std::vector<std::string> names;
#if defined(_WIN32)
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((folder + "bass*.dll").c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return names;
  do {
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 && MatchesAddOnName(found.cFileName))
      names.emplace_back(found.cFileName);
  } while (FindNextFileA(search, &found));
  FindClose(search);
#else
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (!entry.is_regular_file(error)) continue;
    std::string name = entry.path().filename().string();
    if (MatchesAddOnName(name)) names.push_back(std::move(name));
  }
#endif
  // Name order, letter case ignored, whatever order the file system lists.
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](unsigned char x, unsigned char y) {
      return std::tolower(x) < std::tolower(y);
    });
  });
  return names;
}

std::string BuildOpenFilter(const std::vector<BASS_PLUGINFORM>& formats) {
  std::string names;
  std::string patterns;
  for (const BASS_PLUGINFORM& format : formats) {
    const std::string exts = format.exts ? format.exts : "";
    const std::string name = format.name ? format.name : "";
    patterns += exts + ";";
    names += "|" + name + "(" + exts + ")" + "|" + exts;
  }
  const std::string base = kBaseAudioPatterns;
  if (!patterns.empty()) {
    return "所支持的音频文件(" + base + ";" + patterns + ")|" + base + ";" + patterns + names + "|所有文件(*.*)|*.*";
  }
  return "所支持的音频文件(" + base + ")|" + base + "|所有文件(*.*)|*.*";
}

void LoadBassPlugins(const std::string& folder) {
  std::vector<BASS_PLUGINFORM> formats;
  for (const std::string& file : FindAddOnFiles(folder)) {
    const HPLUGIN plugin = BASS_PluginLoad((folder + file).c_str(), 0);
    if (plugin == 0) continue;
    const BASS_PLUGININFO* info = BASS_PluginGetInfo(plugin);
    if (info == nullptr || info->formats == nullptr) continue;
    for (DWORD i = 0; i < info->formatc; ++i) formats.push_back(info->formats[i]);
  }
  PlayerSettings.OpenFilter = BuildOpenFilter(formats);
}

}  // namespace tav::engine
