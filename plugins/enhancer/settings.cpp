#include "settings.h"

#include <algorithm>

#include "toolkit/core/ini_values.h"

namespace brindle {
namespace {

using P = Param;

void WriteParam(SettingsStore& store, const Parameters& params, Param p) {
  WriteInt(store, Info(p).key, Info(p).isSwitch ? IifInt(params.On(p), 1, 0) : params.Get(p));
}

}  // namespace

std::optional<std::string> MemorySection::Read(std::string_view key) {
  const auto it = values_.find(key);
  if (it == values_.end()) return std::nullopt;
  return it->second;
}

void MemorySection::Write(std::string_view key, std::string_view value) { values_[std::string(key)] = value; }

int32_t ReadInt(SettingsStore& store, std::string_view key) { return tav::ParseLeadingInteger(ReadString(store, key)); }

void WriteInt(SettingsStore& store, std::string_view key, int32_t value) {
  store.Write(key, tav::FormatIniInteger(value));
}

std::string CutText(std::string_view utf8, size_t count) {
  size_t characters = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    // every byte but a continuation byte (10xxxxxx) starts a character
    if ((static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80 && characters++ == count)
      return std::string(utf8.substr(0, i));
  }
  return std::string(utf8);
}

std::string ReadString(SettingsStore& store, std::string_view key) {
  return store.Read(key).value_or("");
}

void WriteString(SettingsStore& store, std::string_view key, std::string_view value) { store.Write(key, value); }

void WriteDefaultSettings(SettingsStore& store) {
  const WindowSettings window;
  WriteInt(store, "XXX", kFirstRunMarker);
  WriteInt(store, "hidden", window.hidden);
  WriteInt(store, "x", window.x);
  WriteInt(store, "y", window.y);
  // the table's order, but `damp` before `size`
  for (const ParamInfo& row : kParamTable) {
    const ParamInfo& r = row.param == P::size ? Info(P::damp) : row.param == P::damp ? Info(P::size) : row;
    WriteInt(store, r.key, r.firstRun);
  }
  WriteInt(store, "enabled", window.enabled);
  WriteInt(store, "timer", window.timer.load());
  WriteInt(store, "delay", window.delay);
  WriteInt(store, "autodetect", window.autodetect);
  WriteString(store, "icon", "");
}

void LoadSettings(SettingsStore& store, Parameters& params, WindowSettings& window) {
  // the table's order, but `speed` before `comp`
  for (const ParamInfo& row : kParamTable) {
    if (row.param == P::inverted) continue;
    const Param p = row.param == P::comp ? P::speed : row.param == P::speed ? P::comp : row.param;
    params.SetFromControl(p, ReadInt(store, Info(p).key));
  }
  window.timer = std::clamp(ReadInt(store, "timer"), 2, 80);
  window.delay = ReadInt(store, "delay");
  window.autodetect = ReadInt(store, "autodetect") != 0 ? 1 : 0;
  params.SetFromControl(P::inverted, ReadInt(store, "inverted"));
  window.enabled = ReadInt(store, "enabled");
  window.icon = ReadString(store, "icon");
}

void SaveSettings(SettingsStore& store, const Parameters& params, const WindowSettings& window) {
  WriteInt(store, "x", window.x);
  WriteInt(store, "y", window.y);
  for (const ParamInfo& row : kParamTable) WriteParam(store, params, row.param);
  WriteInt(store, "timer", window.timer.load());
  WriteInt(store, "delay", window.delay);
  WriteInt(store, "autodetect", IifInt(window.autodetect != 0, 1, 0));
  WriteString(store, "icon", window.icon);
}

}  // namespace brindle
