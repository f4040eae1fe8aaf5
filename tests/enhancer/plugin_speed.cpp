// The speed of dsp_brindle.dll in a Winamp DSP host: frames of stereo 44.1 kHz
// 16-bit input per second of the process's CPU time, fed in blocks of 1152
// frames, at the defaults, with every stage on, and on silence (the settings
// of the native benchmark, brindle_benchmark). Each setting runs its second of
// input over and over until it has used the given CPU time, so that the
// clock's coarse ticks do not matter. A benchmark, not a test: it prints a
// table. It loads the library from the folder above its own (bin) and writes
// "winamp.ini" beside itself (its own folder, bin/enhancer_speed).
//   brindle_plugin_speed.exe [CPU seconds per setting, default 1]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <vector>

#include "dsp_test_host.h"
#include "settings.h"
#include "win32_platform.h"

namespace {

constexpr int kRate = 44100, kBlock = 1152;

}  // namespace

int main(int argc, char** argv) {
  const double cpuPerSetting = argc > 1 ? std::max(0.1, std::atof(argv[1])) : 1.0;
  const std::filesystem::path here(tav::test::exeFolder());
  const std::filesystem::path ini = here / "winamp.ini";
  std::filesystem::remove(ini);
  tav::test::DspTestHost host;
  if (!host.load((here.parent_path() / "dsp_brindle.dll").wstring())) {
    std::printf("dsp_brindle.dll cannot be loaded\n");
    return 1;
  }
  // the first run writes the defaults
  if (host.init() != 0) {
    std::printf("Init failed\n");
    return 1;
  }
  host.quit();

  std::vector<short> noise(size_t(kRate) * 2);
  std::mt19937 rng(7);
  std::uniform_int_distribution<int> dist(-12000, 12000);
  for (auto& s : noise) s = short(dist(rng));
  const std::vector<short> silence(noise.size(), 0);
  const int blocks = int(noise.size() / 2 / kBlock);
  std::vector<short> block(size_t(kBlock) * 2);

  struct Setting {
    const char* name;
    bool everyStage;
    const std::vector<short>* input;
  };
  std::printf("%-22s %14s %10s\n", "setting", "frames/cpu_s", "x_realtime");
  for (const Setting& setting : {Setting{"defaults, noise", false, &noise}, Setting{"defaults, silence", false, &silence},
                                 Setting{"every stage, noise", true, &noise},
                                 Setting{"every stage, silence", true, &silence}}) {
    brindle::ProfileStore store(ini.string(), brindle::kSettingsSection);
    if (setting.everyStage)
      for (const auto& [key, value] : {std::pair{"dnl", "50"}, {"prologic", "60"}, {"3d", "60"}, {"widefilt", "1"},
                                       {"reverb", "40"}, {"loudness", "1"}, {"comp", "50"}, {"speed", "50"},
                                       {"boost", "20"}, {"phatt", "40"}})
        store.Write(key, value);
    if (host.init() != 0) {
      std::printf("Init failed\n");
      return 1;
    }
    tav::test::DspTestHost::pump();
    long long fed = 0;
    const double start = tav::test::processCpuSeconds();
    double cpu = 0;
    while (cpu < cpuPerSetting) {
      for (int b = 0; b < blocks; ++b) {
        std::copy(setting.input->begin() + 2 * long(b) * kBlock, setting.input->begin() + 2 * long(b + 1) * kBlock,
                  block.begin());
        host.modify(block.data(), kBlock, 16, 2, kRate);
      }
      fed += static_cast<long long>(blocks) * kBlock;
      cpu = tav::test::processCpuSeconds() - start;
    }
    std::printf("%-22s %14.0f %10.1f\n", setting.name, double(fed) / cpu, double(fed) / cpu / kRate);
    host.quit();
    tav::test::DspTestHost::pump();
  }
  return 0;
}
