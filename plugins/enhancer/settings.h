// The enhancer's settings: one section of the host program's "winamp.ini"
// ("Brindle Vardo 03"), every value decimal text, reached through a store so
// that the library's profile calls and the tests' recording fake are the same
// to this code.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "parameters.h"

namespace brindle {

inline constexpr const char* kSettingsSection = "Brindle Vardo 03";
inline constexpr const char* kSettingsFileName = "winamp.ini";
inline constexpr int32_t kFirstRunMarker = 666;

// One section of one INI file. A write reaches the file at once.
class SettingsStore {
 public:
  virtual ~SettingsStore() = default;
  virtual std::optional<std::string> Read(std::string_view key) = 0;  // nullopt: missing
  virtual void Write(std::string_view key, std::string_view value) = 0;
};

// One section held in memory: the settings of a run whose file takes no writes.
class MemorySection : public SettingsStore {
 public:
  std::optional<std::string> Read(std::string_view key) override;
  void Write(std::string_view key, std::string_view value) override;

 private:
  std::map<std::string, std::string, std::less<>> values_;
};

// A missing or empty key reads 0; the digits a text starts with count ("55zz" is 55).
int32_t ReadInt(SettingsStore& store, std::string_view key);
void WriteInt(SettingsStore& store, std::string_view key, int32_t value);
// The whole text: a name cut short names another file.
std::string ReadString(SettingsStore& store, std::string_view key);
void WriteString(SettingsStore& store, std::string_view key, std::string_view value);

// At most `count` characters of UTF-8 text, cut between two characters and
// never inside one (a name of 255 characters may take far more bytes).
std::string CutText(std::string_view utf8, size_t count);

inline int32_t IifInt(bool flag, int32_t a, int32_t b) { return flag ? a : b; }
inline float IifFloat(bool flag, float a, float b) { return flag ? a : b; }

// Every key with its first-run value, `XXX` first and `icon` (empty) last.
void WriteDefaultSettings(SettingsStore& store);
// The parameters (but `inverted`) as their controls take them, then the scope
// settings, `inverted`, `enabled` and `icon`. Leaves the window position alone.
void LoadSettings(SettingsStore& store, Parameters& params, WindowSettings& window);
// The window position and every parameter and scope setting; never `XXX`,
// `hidden` or `enabled`.
void SaveSettings(SettingsStore& store, const Parameters& params, const WindowSettings& window);

}  // namespace brindle
