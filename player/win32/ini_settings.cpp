#include "player/win32/ini_settings.h"

namespace tav::player {

int32_t TIniSettings::ReadInteger(std::string_view section, std::string_view key, int32_t fallback) {
  return file_.ReadInteger(Widen(section), Widen(key), fallback);
}

bool TIniSettings::ReadBool(std::string_view section, std::string_view key, bool fallback) {
  return file_.ReadBool(Widen(section), Widen(key), fallback);
}

void TIniSettings::WriteInteger(std::string_view section, std::string_view key, int32_t value) {
  file_.WriteInteger(Widen(section), Widen(key), value);
}

void TIniSettings::WriteBool(std::string_view section, std::string_view key, bool value) {
  file_.WriteBool(Widen(section), Widen(key), value);
}


std::string TIniSettings::ReadString(std::string_view section, std::string_view key, std::string_view fallback) {
  return Narrow(file_.ReadString(Widen(section), Widen(key), Widen(fallback)));
}

void TIniSettings::WriteString(std::string_view section, std::string_view key, std::string_view value) {
  file_.WriteString(Widen(section), Widen(key), Widen(value));
}

}  // namespace tav::player
