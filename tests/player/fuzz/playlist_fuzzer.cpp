// libFuzzer target: the play-list reader on any bytes. Every line is an entry, no entry
// holds a line end, and what is written back reads as the same entries.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>

#include "player/core/playlist_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav::player;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto entries = ParsePlayList(text);
  size_t bytes = 0;
  for (const auto& e : entries) {
    if (e.find_first_of("\r\n") != std::string::npos) {
      std::fprintf(stderr, "an entry holds a line end\n");
      std::abort();
    }
    bytes += e.size();
  }
  if (bytes > size || entries.size() > size) {
    std::fprintf(stderr, "more read than was there\n");
    std::abort();
  }
  if (ParsePlayList(FormatPlayList(entries)) != entries) {
    std::fprintf(stderr, "the written list reads differently\n");
    std::abort();
  }
  return 0;
}
