// A settings store for the windows' native tests: records the order of reads
// and writes of one section and can fail the n-th write.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <stdexcept>
#include <string>
#include <vector>

#include "player/core/settings_store.h"

namespace tav::player {

struct RecordingStore : ISettingsStore {
  explicit RecordingStore(std::string section) : section(std::move(section)) {}
  std::string section;
  std::vector<std::string> log;
  std::map<std::string, int32_t> values;
  std::map<std::string, std::string> texts;
  int failAt = -1;  // the write (counted from 0) that throws
  int writes = 0;

  int32_t ReadInteger(std::string_view s, std::string_view k, int32_t f) override {
    EXPECT_EQ(s, section);
    log.push_back("read " + std::string(k));
    auto it = values.find(std::string(k));
    return it == values.end() ? f : it->second;
  }
  bool ReadBool(std::string_view s, std::string_view k, bool f) override { return ReadInteger(s, k, f) != 0; }
  void WriteInteger(std::string_view s, std::string_view k, int32_t v) override {
    if (writes++ == failAt) throw std::runtime_error("disk full");
    EXPECT_EQ(s, section);
    log.push_back("write " + std::string(k));
    values[std::string(k)] = v;
  }
  void WriteBool(std::string_view s, std::string_view k, bool v) override { WriteInteger(s, k, v); }
  std::string ReadString(std::string_view s, std::string_view k, std::string_view f) override {
    EXPECT_EQ(s, section);
    log.push_back("read " + std::string(k));
    auto it = texts.find(std::string(k));
    return it == texts.end() ? std::string(f) : it->second;
  }
  void WriteString(std::string_view s, std::string_view k, std::string_view v) override {
    if (writes++ == failAt) throw std::runtime_error("disk full");
    EXPECT_EQ(s, section);
    log.push_back("write " + std::string(k));
    texts[std::string(k)] = std::string(v);
  }
};

}  // namespace tav::player
