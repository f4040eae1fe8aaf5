// A settings store for the enhancer's tests: holds one section in memory and
// records every read and write in order.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "settings.h"

namespace brindle::test {

struct RecordingStore : SettingsStore {
  std::map<std::string, std::string> values;
  std::vector<std::string> reads, writes;  // keys, in order
  std::vector<std::pair<std::string, std::string>> written;

  std::optional<std::string> Read(std::string_view key) override {
    reads.emplace_back(key);
    auto it = values.find(std::string(key));
    if (it == values.end()) return std::nullopt;
    return it->second;
  }
  void Write(std::string_view key, std::string_view value) override {
    writes.emplace_back(key);
    written.emplace_back(key, value);
    values[std::string(key)] = std::string(value);
  }
  void Forget() {
    reads.clear();
    writes.clear();
    written.clear();
  }
};

}  // namespace brindle::test
