// The enhancer's platform in the library: the screen, message boxes, sleep,
// the host program's folder, the settings section through the profile calls
// and the preset folder through the file calls. Paths are kept whole.
#pragma once

#include <map>
#include <memory>
#include <string>

#include <windows.h>

#include "enhancer_module.h"
#include "presets.h"

namespace brindle {

std::wstring Wide(const std::string& utf8);
std::string Narrow(const std::wstring& wide);

// One section of an INI file through GetPrivateProfileStringW and
// WritePrivateProfileStringW: the file keeps the encoding it has.
class ProfileStore : public SettingsStore {
 public:
  ProfileStore(std::string file, std::string section);
  std::optional<std::string> Read(std::string_view key) override;
  void Write(std::string_view key, std::string_view value) override;

 private:
  std::wstring file_, section_;
};

class Win32Disk : public PresetDisk {
 public:
  bool MakeFolders(const std::string& folder) override;
  std::vector<std::string> FileNames(const std::string& folder) override;
  bool Exists(const std::string& path) override;
  bool Remove(const std::string& path) override;
  std::unique_ptr<SettingsStore> Open(const std::string& path) override;
};

class Win32Platform : public Platform {
 public:
  int ScreenDpi() override;
  void Message(void* owner, const char* text, const char* caption, MessageKind kind) override;
  void Sleep(int ms) override;
  std::string HostFolder() override;
  SettingsStore& Settings(const std::string& file) override;

 private:
  std::map<std::string, std::unique_ptr<ProfileStore>> stores_;
};

// The folder of a module (nullptr: the running program), ending in a separator.
std::string ModuleFolder(HMODULE module);

}  // namespace brindle
