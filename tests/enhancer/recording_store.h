// A settings store for the enhancer's tests: holds one section in memory and
// records every read and write in order; with `refuseWrites` it takes none
// (a file its user may not write), with `throwOnRead` every read throws.
#pragma once

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings.h"

namespace brindle::test {

struct RecordingStore : SettingsStore {
  std::map<std::string, std::string> values;
  std::vector<std::string> reads, writes;  // keys, in order
  std::vector<std::pair<std::string, std::string>> written;
  bool refuseWrites = false, throwOnRead = false;

  std::optional<std::string> Read(std::string_view key) override {
    reads.emplace_back(key);
    if (throwOnRead) throw std::runtime_error("the settings file cannot be read");
    auto it = values.find(std::string(key));
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  void Write(std::string_view key, std::string_view value) override {
    writes.emplace_back(key);
    written.emplace_back(key, value);
    if (refuseWrites) return;
    values[std::string(key)] = std::string(value);
  }
  void Forget() {
    reads.clear();
    writes.clear();
    written.clear();
  }
};

}  // namespace brindle::test
