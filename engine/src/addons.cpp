#include "tav/engine/addons.h"

#include <algorithm>
#include <cctype>

#include "engine_platform.h"
#include "tav/engine/globals.h"

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
  for (std::string& name : ListAddOnCandidates(folder))
    if (MatchesAddOnName(name)) names.push_back(std::move(name));
  return names;
}

std::string BuildOpenFilter(const std::vector<BASS_PLUGINFORM>& formats) {
  std::string names;
  std::string patterns;
  for (const BASS_PLUGINFORM& format : formats) {
    // The library's 8-bit texts are in the system code page, the filter is UTF-8.
    const std::string exts = CodePageToUtf8(format.exts ? format.exts : "");
    const std::string name = CodePageToUtf8(format.name ? format.name : "");
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
