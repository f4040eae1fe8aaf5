// What the in-process window tests share: running this thread's messages for
// a while or until something holds, and writing tone files to play.
#pragma once

#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include "toolkit/win32/forms.h"
#include "wav_writer.h"

namespace tav::test {

// Runs the thread's messages for `ms` milliseconds.
inline void Pump(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    tav::Application().ProcessMessages();
    Sleep(2);
  }
}

// Runs the thread's messages until `done` holds or `maxMs` have passed;
// answers the milliseconds taken (more than maxMs when it never held).
template <class F>
long PumpUntil(F done, int maxMs) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const auto ms = long(std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    if (done() || ms > maxMs) return ms;
    tav::Application().ProcessMessages();
    Sleep(2);
  }
}

// Writes a stereo 16-bit sine tone (the same on both channels).
inline void WriteToneWav(const std::string& path, double seconds, double hz, int amplitude, unsigned rate = 44100) {
  tav::audio::WavWriter wav(path, rate, 2);
  const auto frames = size_t(seconds * rate);
  std::vector<int16_t> block;
  for (size_t done = 0; done < frames;) {
    const size_t n = std::min<size_t>(4096, frames - done);
    block.resize(n * 2);
    for (size_t i = 0; i < n; ++i) {
      const auto v = int16_t(std::lround(amplitude * std::sin(2 * std::numbers::pi * hz * double(done + i) / rate)));
      block[2 * i] = block[2 * i + 1] = v;
    }
    wav.write(block.data(), n);
    done += n;
  }
}

}  // namespace tav::test
