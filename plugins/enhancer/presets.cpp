#include "presets.h"

#include <cctype>

#include "toolkit/core/ini_values.h"

namespace brindle {
namespace {

using P = Param;

bool EndsWithNoCase(std::string_view text, std::string_view tail) {
  if (text.size() < tail.size()) return false;
  const std::string_view end = text.substr(text.size() - tail.size());
  for (size_t i = 0; i < tail.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(end[i])) != std::tolower(static_cast<unsigned char>(tail[i])))
      return false;
  return true;
}

}  // namespace

std::optional<std::string> PresetName(std::string_view fileName) {
  const std::string_view ext = kPresetExtension;
  if (fileName.size() <= ext.size() || !EndsWithNoCase(fileName, ext)) return std::nullopt;
  return std::string(fileName.substr(0, fileName.size() - ext.size()));
}

bool PresetPathFits(std::string_view path) { return CutText(path, kMaxPresetPath).size() == path.size(); }

std::string PresetPath(const std::string& folder, std::string_view name) {
  return folder + std::string(name) + kPresetExtension;
}

std::string PresetFolderOf(const std::string& hostFolder) { return hostFolder + kPresetSubfolder; }

int32_t ReadPresetInt(SettingsStore& preset, std::string_view key) { return ReadInt(preset, key); }

void WritePresetInt(SettingsStore& preset, std::string_view key, int32_t value) { WriteInt(preset, key, value); }

std::vector<std::string> ListPresets(PresetDisk& disk, const std::string& folder) {
  std::vector<std::string> names;
  if (!disk.MakeFolders(folder)) return names;
  for (const std::string& file : disk.FileNames(folder))
    if (auto name = PresetName(file)) names.push_back(*name);
  return names;
}

void SavePreset(PresetDisk& disk, const std::string& path, const Parameters& params) {
  if (disk.Exists(path)) disk.Remove(path);
  const auto preset = disk.Open(path);
  WritePresetInt(*preset, "presettype", kPresetType);
  for (const ParamInfo& row : kParamTable) {
    if (!row.presetKey) continue;
    WritePresetInt(*preset, row.presetKey, row.isSwitch ? IifInt(params.On(row.param), 1, 0) : params.Get(row.param));
  }
}

PresetLoad LoadPreset(PresetDisk& disk, const std::string& path, Parameters& params,
                      const std::function<bool()>& loadOlder) {
  if (!disk.Exists(path)) return PresetLoad::missing;
  const auto preset = disk.Open(path);
  if (ReadPresetInt(*preset, "presettype") != kPresetType && !(loadOlder && loadOlder())) return PresetLoad::declined;
  // the table's order, but `speed` before `comp`
  for (const ParamInfo& row : kParamTable) {
    if (!row.presetKey) continue;
    const ParamInfo& r = row.param == P::comp ? Info(P::speed) : row.param == P::speed ? Info(P::comp) : row;
    params.SetFromControl(r.param, ReadPresetInt(*preset, r.presetKey));
  }
  return PresetLoad::loaded;
}

bool DeletePreset(PresetDisk& disk, const std::string& path) { return disk.Remove(path); }

}  // namespace brindle
