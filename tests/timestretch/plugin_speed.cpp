// The speed of dsp_lentaro.dll in a Winamp DSP host: frames of stereo 44.1 kHz
// 16-bit input per second of the process's CPU time, fed in blocks of 1152
// frames, at stretch 0.5, 1.0 and 2.0 with pitch -1, 0 and +1 semitone, in
// stereo and in the Mono mode. Each setting runs its 10 s of input over and over
// until it has used the given CPU time, so that the clock's coarse ticks do not
// matter. A benchmark, not a test: it prints a table.
//   lentaro_plugin_speed.exe [CPU seconds per setting, default 1]
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "dsp_test_host.h"

namespace {

constexpr int kRate = 44100, kBlock = 1152;

// Tones, a moving chord and noise in both channels (as the native benchmark feeds).
std::vector<short> musicLikeInput(int seconds) {
  const size_t frames = size_t(kRate) * size_t(seconds);
  std::vector<short> v(frames * 2);
  std::mt19937 rng(7);
  std::normal_distribution<double> noise(0.0, 600.0);
  const double pi = 3.14159265358979323846;
  for (size_t i = 0; i < frames; ++i) {
    const double t = double(i) / kRate;
    const double chord = 3000 * std::sin(2 * pi * (220 + 20 * std::sin(t)) * t) + 2000 * std::sin(2 * pi * 330 * t) +
                         1500 * std::sin(2 * pi * 1250 * t);
    v[2 * i] = short(std::clamp(chord + noise(rng), -32768.0, 32767.0));
    v[2 * i + 1] = short(std::clamp(0.8 * chord + noise(rng), -32768.0, 32767.0));
  }
  return v;
}

}  // namespace

int main(int argc, char** argv) {
  const double cpuPerSetting = argc > 1 ? std::max(0.1, std::atof(argv[1])) : 1.0;
  tav::test::DspTestHost host;
  if (!host.load(tav::test::exeFolder() + L"\\dsp_lentaro.dll")) {
    std::printf("dsp_lentaro.dll cannot be loaded\n");
    return 1;
  }
  const std::wstring ini = host.folder() + L"\\plugin.ini";
  const std::vector<short> input = musicLikeInput(10);
  const int blocks = int(input.size() / 2 / kBlock);
  std::vector<short> block(size_t(kBlock) * 2 * 2);
  std::printf("%-6s %8s %6s %14s %10s\n", "mode", "stretch", "pitch", "frames/cpu_s", "x_realtime");
  for (int mono : {0, 1}) {
    for (const wchar_t* stretch : {L"0.50", L"1.00", L"2.00"}) {
      for (const wchar_t* pitch : {L"-1.00", L"0.00", L"1.00"}) {
        WritePrivateProfileStringW(L"DSP_Lentaro", L"Stretch", stretch, ini.c_str());
        WritePrivateProfileStringW(L"DSP_Lentaro", L"Pitch", pitch, ini.c_str());
        WritePrivateProfileStringW(L"DSP_Lentaro", L"Mono", mono ? L"1" : L"0", ini.c_str());
        if (host.init() != 0) {
          std::printf("Init failed\n");
          return 1;
        }
        tav::test::DspTestHost::pump();
        long long out = 0, fed = 0;
        const double start = tav::test::processCpuSeconds();
        double cpu = 0;
        while (cpu < cpuPerSetting) {
          for (int b = 0; b < blocks; ++b) {
            std::copy(input.begin() + 2 * long(b) * kBlock, input.begin() + 2 * long(b + 1) * kBlock, block.begin());
            out += host.modify(block.data(), kBlock, 16, 2, kRate);
          }
          fed += static_cast<long long>(blocks) * kBlock;
          cpu = tav::test::processCpuSeconds() - start;
        }
        const double frames = double(fed);
        std::printf("%-6s %8ls %6ls %14.0f %10.1f   (out/in %.3f)\n", mono ? "Mono" : "stereo", stretch, pitch,
                    frames / cpu, frames / cpu / kRate, double(out) / frames);
        host.quit();
        tav::test::DspTestHost::pump();
      }
    }
  }
  return 0;
}
