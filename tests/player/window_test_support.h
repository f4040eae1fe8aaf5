// What the in-process window tests share: running this thread's messages
// (tests/common), screenshots of windows and writing tone files to play.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <numbers>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "bass.h"
#include "tav/engine/globals.h"
#include "tav/test/message_pump.h"
#include "tav/test/screenshot.h"
#include "wav_writer.h"

namespace tav::test {

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

// The first of a few names in different scripts that the system code page
// cannot hold ("" when it holds them all).
inline std::wstring NameOutsideTheCodePage() {
  for (const wchar_t* name : {L"中文歌曲", L"한국어 노래", L"Ελληνική μουσική"}) {
    BOOL lost = FALSE;
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, nullptr, 0, nullptr, &lost);
    if (lost) return name;
  }
  return L"";
}

// Brings the window to the front, lets it paint and saves what the screen
// shows to the build's screenshots folder.
inline void Screenshot(HWND window, const wchar_t* name) {
  SetWindowPos(window, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump(300);
  EXPECT_FALSE(SaveScreenshot(window, name).empty());
}

// Device 0 of our audio library, its output captured into `captureFile`
// ("" for none, TAVOLEN_NOSOUND_CAPTURE), one at a time: a device still up is
// ended first. Ending it frees its streams, which the engine then forgets,
// and closes the capture file.
inline bool& CapturedDeviceUp() {
  static bool up = false;
  return up;
}

inline void EndCapturedDevice() {
  if (!CapturedDeviceUp()) return;
  BASS_Free();
  tav::engine::StreamState.DecodeStream = 0;
  tav::engine::StreamState.OutStream = 0;
  CapturedDeviceUp() = false;
}

inline void StartCapturedDevice(const std::string& captureFile, unsigned rate = 44100) {
  EndCapturedDevice();
  if (!captureFile.empty()) DeleteFileA(captureFile.c_str());
  _putenv_s("TAVOLEN_NOSOUND_CAPTURE", captureFile.c_str());
  ASSERT_TRUE(BASS_Init(0, rate, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
  CapturedDeviceUp() = true;
}

}  // namespace tav::test
