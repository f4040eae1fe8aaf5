// Reading back the WAV files the render writes: little-endian fields, the
// data chunk and its 16-bit samples.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

namespace tav::test {

using Bytes = std::vector<uint8_t>;

inline uint32_t Le32(const Bytes& b, size_t at) {
  return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (uint32_t(b[at + 3]) << 24);
}
inline uint16_t Le16(const Bytes& b, size_t at) { return uint16_t(b[at] | (b[at + 1] << 8)); }

// The samples of a PCM WAV file's data chunk.
inline Bytes DataChunk(const Bytes& wav) {
  for (size_t at = 12; at + 8 <= wav.size();) {
    const uint32_t size = Le32(wav, at + 4);
    if (std::memcmp(&wav[at], "data", 4) == 0)
      return Bytes(wav.begin() + long(at + 8), wav.begin() + long(std::min<size_t>(wav.size(), at + 8 + size)));
    at += 8 + size + (size & 1);
  }
  return {};
}

// 16-bit samples from byte `from` on.
inline std::vector<int16_t> Samples(const Bytes& data, size_t from = 0) {
  std::vector<int16_t> s((data.size() - from) / 2);
  std::memcpy(s.data(), data.data() + from, s.size() * 2);
  return s;
}

}  // namespace tav::test
