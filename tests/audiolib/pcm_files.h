// Builds WAV and AIFF file images in memory from 16-bit reference samples, so a test
// knows exactly what a decoder must give back.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace tav::audio::test {

enum class Container { Wav, Aiff };
enum class Sample { U8, S16, S24, F32 };

struct PcmFile {
  std::vector<uint8_t> bytes;
  std::vector<int16_t> expected;  // what the library must hand out as 16-bit PCM
};

inline void put(std::vector<uint8_t>& b, uint64_t v, int n, bool be) {
  for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * (be ? n - 1 - i : i))));
}
inline void put_tag(std::vector<uint8_t>& b, const char* t) { b.insert(b.end(), t, t + 4); }

// 80-bit extended float of a whole number (AIFF sample rates).
inline void put_extended(std::vector<uint8_t>& b, uint32_t v) {
  int exp = 31;
  while (!(v & 0x80000000u)) v <<= 1, --exp;
  put(b, 16383 + exp, 2, true);
  put(b, uint64_t{v} << 32, 8, true);
}

// A deterministic signal that reaches both extremes and every byte pattern.
inline std::vector<int16_t> reference_signal(size_t frames, unsigned channels) {
  std::vector<int16_t> s(frames * channels);
  uint32_t x = 12345;
  for (size_t i = 0; i < s.size(); ++i) {
    x = x * 1103515245u + 12345u;
    s[i] = static_cast<int16_t>(x >> 16);
  }
  if (s.size() >= 2) s[0] = -32768, s[1] = 32767;
  return s;
}

inline PcmFile make_pcm_file(Container c, Sample kind, unsigned rate, unsigned channels, size_t frames) {
  const bool be = c == Container::Aiff;
  const std::vector<int16_t> ref = reference_signal(frames, channels);
  PcmFile f;
  std::vector<uint8_t> data;
  uint32_t low = 7;
  for (int16_t v : ref) {
    switch (kind) {
      case Sample::U8: {
        const int8_t s8 = static_cast<int8_t>(v >> 8);
        if (be) put(data, static_cast<uint8_t>(s8), 1, be);
        else put(data, static_cast<uint8_t>(s8 + 128), 1, be);
        f.expected.push_back(static_cast<int16_t>(s8 * 256));
        break;
      }
      case Sample::S16:
        put(data, static_cast<uint16_t>(v), 2, be);
        f.expected.push_back(v);
        break;
      case Sample::S24: {
        low = (low * 73 + 11) & 0xFF;
        const int32_t s24 = v * 256 + static_cast<int32_t>(low);
        put(data, static_cast<uint32_t>(s24) & 0xFFFFFF, 3, be);
        // to 16 bits by rounding to nearest, ties to even, clipped
        double r = std::nearbyint(s24 / 256.0);
        f.expected.push_back(static_cast<int16_t>(r > 32767 ? 32767 : r));
        break;
      }
      case Sample::F32: {
        const float x = v / 32768.0f;
        uint32_t w;
        std::memcpy(&w, &x, 4);
        put(data, w, 4, be);
        f.expected.push_back(v);
        break;
      }
    }
  }
  const unsigned bytes = kind == Sample::U8 ? 1 : kind == Sample::S16 ? 2 : kind == Sample::S24 ? 3 : 4;
  auto& b = f.bytes;
  if (c == Container::Wav) {
    put_tag(b, "RIFF");
    put(b, 4 + 8 + 16 + 8 + data.size(), 4, false);
    put_tag(b, "WAVE");
    put_tag(b, "fmt ");
    put(b, 16, 4, false);
    put(b, kind == Sample::F32 ? 3 : 1, 2, false);
    put(b, channels, 2, false);
    put(b, rate, 4, false);
    put(b, rate * channels * bytes, 4, false);
    put(b, channels * bytes, 2, false);
    put(b, bytes * 8, 2, false);
    put_tag(b, "data");
    put(b, data.size(), 4, false);
  } else {
    const bool aifc = kind == Sample::F32;
    put_tag(b, "FORM");
    put(b, 4 + 8 + (aifc ? 22 : 18) + 16 + data.size(), 4, true);
    put_tag(b, aifc ? "AIFC" : "AIFF");
    put_tag(b, "COMM");
    put(b, aifc ? 22 : 18, 4, true);
    put(b, channels, 2, true);
    put(b, frames, 4, true);
    put(b, bytes * 8, 2, true);
    put_extended(b, rate);
    if (aifc) put_tag(b, "fl32");
    put_tag(b, "SSND");
    put(b, 8 + data.size(), 4, true);
    put(b, 0, 4, true);
    put(b, 0, 4, true);
  }
  b.insert(b.end(), data.begin(), data.end());
  if (data.size() & 1) b.push_back(0);
  return f;
}

}  // namespace tav::audio::test
