// The settings store over the toolkit's INI-file object.
#pragma once

#include "player/core/settings_store.h"
#include "toolkit/win32/inifiles.h"

namespace tav::player {

class TIniSettings : public ISettingsStore {
 public:
  explicit TIniSettings(TIniFile& file) : file_(file) {}
  int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) override;
  bool ReadBool(std::string_view section, std::string_view key, bool fallback) override;
  std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) override;
  void WriteInteger(std::string_view section, std::string_view key, int32_t value) override;
  void WriteBool(std::string_view section, std::string_view key, bool value) override;
  void WriteString(std::string_view section, std::string_view key, std::string_view value) override;

 private:
  TIniFile& file_;
};

}  // namespace tav::player
