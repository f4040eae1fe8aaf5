// A section-and-key settings store, as the windows read and write their
// sections of the settings file. Sections and keys are UTF-8.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tav::player {

// A window's place on the screen, as its section keeps it ("Left", "Top").
struct WindowPlace {
  int Left;
  int Top;
};

class ISettingsStore {
 public:
  virtual ~ISettingsStore() = default;
  virtual int32_t ReadInteger(std::string_view section, std::string_view key, int32_t fallback) = 0;
  virtual bool ReadBool(std::string_view section, std::string_view key, bool fallback) = 0;
  // Text values are UTF-8.
  virtual std::string ReadString(std::string_view section, std::string_view key, std::string_view fallback) = 0;
  // A failed write throws.
  virtual void WriteInteger(std::string_view section, std::string_view key, int32_t value) = 0;
  virtual void WriteBool(std::string_view section, std::string_view key, bool value) = 0;
  virtual void WriteString(std::string_view section, std::string_view key, std::string_view value) = 0;
};

}  // namespace tav::player
