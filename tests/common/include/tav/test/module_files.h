// Small tracker modules written by the tests: a 4-channel "M.K." MOD, an S3M and an XM.
// Each plays one looped square-wave sample on its channels (the MOD also a melody) for one
// 64-row pattern at speed 6 and 125 BPM (7.68 s), then ends.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace tav::test {

inline constexpr double kModuleSeconds = 64 * 6 * 0.02;

namespace detail {
inline void put16le(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  b[at] = uint8_t(v);
  b[at + 1] = uint8_t(v >> 8);
}
inline void put32le(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = uint8_t(v >> (8 * i));
}
inline void append16le(std::vector<uint8_t>& b, uint32_t v) {
  b.push_back(uint8_t(v));
  b.push_back(uint8_t(v >> 8));
}
inline void append32le(std::vector<uint8_t>& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(uint8_t(v >> (8 * i)));
}
}  // namespace detail

inline std::vector<uint8_t> make_mod() {
  std::vector<uint8_t> m(20 + 31 * 30 + 2 + 128 + 4, 0);
  std::snprintf(reinterpret_cast<char*>(m.data()), 20, "test mod");
  uint8_t* s1 = &m[20];
  const int sample_bytes = 64;
  s1[22] = 0;
  s1[23] = sample_bytes / 2;  // length in words, big-endian
  s1[25] = 64;                // volume
  s1[29] = sample_bytes / 2;  // loop length in words
  size_t p = 20 + 31 * 30;
  m[p] = 1;  // song length
  m[p + 1] = 127;
  m[p + 2] = 0;  // order 0 = pattern 0
  p += 2 + 128;
  std::memcpy(&m[p], "M.K.", 4);
  std::vector<uint8_t> pattern(64 * 4 * 4, 0);
  const int periods[4] = {214, 170, 143, 107};
  for (int ch = 0; ch < 4; ++ch) {
    uint8_t* cell = &pattern[ch * 4];
    cell[0] = uint8_t(periods[ch] >> 8);
    cell[1] = uint8_t(periods[ch] & 0xFF);
    cell[2] = 0x10;  // sample 1
  }
  // channel 1 changes its note every fourth row, so each part of the song sounds different
  const int melody[8] = {428, 381, 339, 320, 285, 254, 226, 214};
  for (int row = 4; row < 64; row += 4) {
    uint8_t* cell = &pattern[row * 16];
    const int period = melody[(row / 4) % 8];
    cell[0] = uint8_t(0x10 | (period >> 8));  // sample 1 (high nibble) with the period
    cell[1] = uint8_t(period & 0xFF);
  }
  m.insert(m.end(), pattern.begin(), pattern.end());
  for (int i = 0; i < sample_bytes; ++i) m.push_back(i < sample_bytes / 2 ? 0x40 : 0xC0);
  return m;
}

// Scream Tracker 3: two channels (left and right), one unsigned 8-bit sample.
inline std::vector<uint8_t> make_s3m() {
  using namespace detail;
  const int sample_bytes = 64;
  std::vector<uint8_t> m(0x60, 0);
  std::snprintf(reinterpret_cast<char*>(m.data()), 28, "test s3m");
  m[0x1C] = 0x1A;
  m[0x1D] = 16;  // module type
  put16le(m, 0x20, 2);       // orders (one pattern and the end marker)
  put16le(m, 0x22, 1);       // instruments
  put16le(m, 0x24, 1);       // patterns
  put16le(m, 0x28, 0x1320);  // created with
  put16le(m, 0x2A, 2);       // unsigned samples
  std::memcpy(&m[0x2C], "SCRM", 4);
  m[0x30] = 64;    // global volume
  m[0x31] = 6;     // speed
  m[0x32] = 125;   // tempo
  m[0x33] = 0xB0;  // stereo, master volume 48
  for (int c = 0; c < 32; ++c) m[0x40 + c] = c == 0 ? 0 : c == 1 ? 8 : 255;
  m.push_back(0);    // order 0: pattern 0
  m.push_back(255);  // end of song
  // parapointers (in 16-byte paragraphs) of the instrument and the pattern follow
  const size_t ptr_at = m.size();
  m.resize(m.size() + 4, 0);
  auto align16 = [&] { m.resize((m.size() + 15) & ~size_t{15}, 0); };
  align16();
  const size_t ins_at = m.size();
  put16le(m, ptr_at, uint32_t(ins_at / 16));
  m.resize(ins_at + 0x50, 0);
  m[ins_at] = 1;  // sample
  std::memcpy(&m[ins_at + 1], "SQUARE.SMP", 10);
  put32le(m, ins_at + 16, sample_bytes);  // length
  put32le(m, ins_at + 20, 0);             // loop start
  put32le(m, ins_at + 24, sample_bytes);  // loop end
  m[ins_at + 28] = 64;                    // volume
  m[ins_at + 31] = 1;                     // looped
  put32le(m, ins_at + 32, 8363);          // C-4 rate
  std::memcpy(&m[ins_at + 0x4C], "SCRS", 4);
  align16();
  const size_t pat_at = m.size();
  put16le(m, ptr_at + 2, uint32_t(pat_at / 16));
  std::vector<uint8_t> packed = {0, 0};  // packed length, filled in below
  const uint8_t notes[2] = {0x40, 0x47};  // C-4 and G-4
  for (int row = 0; row < 64; ++row) {
    if (row == 0)
      for (int ch = 0; ch < 2; ++ch) {
        packed.push_back(uint8_t(0x20 | 0x40 | ch));  // note, instrument and volume follow
        packed.push_back(notes[ch]);
        packed.push_back(1);
        packed.push_back(48);
      }
    packed.push_back(0);  // end of row
  }
  put16le(packed, 0, uint32_t(packed.size()));
  m.insert(m.end(), packed.begin(), packed.end());
  align16();
  const size_t smp_at = m.size();
  m[ins_at + 13] = uint8_t((smp_at / 16) >> 16);
  put16le(m, ins_at + 14, uint32_t((smp_at / 16) & 0xFFFF));
  for (int i = 0; i < sample_bytes; ++i) m.push_back(i < sample_bytes / 2 ? 0xC0 : 0x40);
  return m;
}

// FastTracker 2: four channels, one instrument with one delta-coded 8-bit sample.
inline std::vector<uint8_t> make_xm() {
  using namespace detail;
  const int sample_bytes = 64;
  std::vector<uint8_t> m;
  auto text = [&](const char* s, size_t n) {
    const size_t at = m.size();
    m.resize(at + n, 0);
    std::memcpy(&m[at], s, std::min(n, std::strlen(s)));
  };
  text("Extended Module: ", 17);
  text("test xm", 20);
  m.push_back(0x1A);
  text("tavolen tests", 20);
  append16le(m, 0x0104);
  append32le(m, 276);  // header size from here
  append16le(m, 1);    // song length
  append16le(m, 0);    // restart position
  append16le(m, 4);    // channels
  append16le(m, 1);    // patterns
  append16le(m, 1);    // instruments
  append16le(m, 1);    // linear frequencies
  append16le(m, 6);    // speed
  append16le(m, 125);  // BPM
  m.resize(m.size() + 256, 0);  // order table: pattern 0
  // pattern: 64 rows of 4 channels, packed (a 0x80 byte is an empty cell)
  std::vector<uint8_t> data;
  const uint8_t notes[4] = {49, 53, 56, 61};  // C-4, E-4, G-4, C-5
  for (int row = 0; row < 64; ++row)
    for (int ch = 0; ch < 4; ++ch) {
      if (row == 0) {
        data.push_back(0x80 | 0x01 | 0x02);  // note and instrument
        data.push_back(notes[ch]);
        data.push_back(1);
      } else {
        data.push_back(0x80);
      }
    }
  append32le(m, 9);  // pattern header length
  m.push_back(0);    // packing type
  append16le(m, 64);
  append16le(m, uint32_t(data.size()));
  m.insert(m.end(), data.begin(), data.end());
  // instrument with one sample
  const size_t ins_at = m.size();
  m.resize(ins_at + 263, 0);
  put32le(m, ins_at, 263);
  std::memcpy(&m[ins_at + 4], "square", 6);
  put16le(m, ins_at + 27, 1);   // samples
  put32le(m, ins_at + 29, 40);  // sample header size
  // key map (all notes to sample 0), envelopes off, no vibrato
  put16le(m, ins_at + 239, 0);  // fade-out
  // sample header
  append32le(m, sample_bytes);  // length
  append32le(m, 0);             // loop start
  append32le(m, sample_bytes);  // loop length
  m.push_back(64);              // volume
  m.push_back(0);               // finetune
  m.push_back(1);               // forward loop, 8-bit
  m.push_back(128);             // panning
  m.push_back(0);               // relative note
  m.push_back(0);
  text("square", 22);
  int8_t previous = 0;
  for (int i = 0; i < sample_bytes; ++i) {
    const int8_t v = i < sample_bytes / 2 ? 64 : -64;
    m.push_back(uint8_t(int8_t(v - previous)));
    previous = v;
  }
  return m;
}

}  // namespace tav::test
