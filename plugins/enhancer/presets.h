// Preset files: the 30 sound parameters but `inverted` in a small INI file
// ("<name>.brindle", section "Brindle Vardo preset") in the folder
// "plugins\Brindle\" below the host program. The files are reached through a
// folder interface: Win32 in the library, in memory in the tests.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "parameters.h"
#include "settings.h"

namespace brindle {

inline constexpr const char* kPresetSection = "Brindle Vardo preset";
inline constexpr const char* kPresetExtension = ".brindle";
inline constexpr const char* kPresetSubfolder = "plugins\\Brindle\\";
inline constexpr int32_t kPresetType = 30;

class PresetDisk {
 public:
  virtual ~PresetDisk() = default;
  // Creates a folder and every missing folder above it; true when it exists afterwards.
  virtual bool MakeFolders(const std::string& folder) = 0;
  // The names of the plain files in a folder (no wildcard: the caller picks).
  virtual std::vector<std::string> FileNames(const std::string& folder) = 0;
  virtual bool Exists(const std::string& path) = 0;
  virtual bool Remove(const std::string& path) = 0;
  // The preset section of that file; writes create the file.
  virtual std::unique_ptr<SettingsStore> Open(const std::string& path) = 0;
};

// A preset's name from a file name: the name without a final ".brindle" in
// any letter case; nullopt for every other file (and for ".brindle" alone).
std::optional<std::string> PresetName(std::string_view fileName);
// A preset's full file name has at most 255 characters. A longer name chosen
// for a save is refused with this text, never cut: a cut name is another
// file, which the save would replace.
inline constexpr size_t kMaxPresetPath = 255;
inline constexpr const char* kPresetPathTooLongText =
    "This file name is too long for a preset (at most 255 characters).\rChoose a shorter one.";
bool PresetPathFits(std::string_view path);
// `PresetFolder` + name + ".brindle".
std::string PresetPath(const std::string& folder, std::string_view name);
// The host's folder (ending in a separator) + "plugins\Brindle\".
std::string PresetFolderOf(const std::string& hostFolder);

int32_t ReadPresetInt(SettingsStore& preset, std::string_view key);
void WritePresetInt(SettingsStore& preset, std::string_view key, int32_t value);

// The names of the presets in the folder (created with its parent when
// missing), in the order the folder gives them.
std::vector<std::string> ListPresets(PresetDisk& disk, const std::string& folder);
// Replaces the file: `presettype` 30, then every parameter in table order.
void SavePreset(PresetDisk& disk, const std::string& path, const Parameters& params);

enum class PresetLoad { loaded, missing, declined };
// Sets the parameters from a preset as their controls would. A file of another
// format version is loaded only when `loadOlder` says yes; a missing file
// changes nothing and asks nothing.
PresetLoad LoadPreset(PresetDisk& disk, const std::string& path, Parameters& params,
                      const std::function<bool()>& loadOlder);
bool DeletePreset(PresetDisk& disk, const std::string& path);

}  // namespace brindle
