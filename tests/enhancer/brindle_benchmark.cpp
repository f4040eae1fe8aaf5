// The enhancer's processor on one core: stereo 44.1 kHz in 1,152-frame blocks,
// at the defaults, with every stage on, and on silence. Reports frames per
// second and the multiple of real time, for the SSE2 kernels the processor
// runs and for the plain stage code they are held to (the "Plain" rows).
#include <benchmark/benchmark.h>

#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "processor.h"

namespace {

using namespace brindle;

constexpr int kFrames = 1152;
constexpr int kRate = 44100;

enum class Setting { defaults, everyStage };
enum class Input { noise, silence };

void Run(benchmark::State& state, Setting setting, Input input, Kernels kernels = Kernels::sse) {
  auto proc = std::make_unique<Processor>();
  proc->kernels = kernels;
  ResetGains(proc->state);
  Parameters params;
  if (setting == Setting::everyStage) {
    params.Set(Param::dnl, 50);
    params.Set(Param::prologic, 60);
    params.Set(Param::wide3d, 60);
    params.Set(Param::widefilt, 1);
    params.Set(Param::reverb, 40);
    params.Set(Param::loudness, 1);
    params.Set(Param::comp, 50);
    params.Set(Param::speed, 50);
    params.Set(Param::boost, 20);
    params.Set(Param::phatt, 40);
  }
  WindowSettings window;
  Handshake hs;
  // one second of input, replayed block by block
  std::vector<int16_t> source(size_t(kRate) * 2, 0);
  if (input == Input::noise) {
    std::mt19937 rng(7);
    std::uniform_int_distribution<int> dist(-12000, 12000);
    for (auto& s : source) s = int16_t(dist(rng));
  }
  std::vector<int16_t> block(kFrames * 2);
  size_t at = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    if (at + block.size() > source.size()) at = 0;
    std::copy(source.begin() + long(at), source.begin() + long(at + block.size()), block.begin());
    at += block.size();
    ProcessBlock(*proc, params, window, hs, block.data(), kFrames, 16, 2, kRate);
    benchmark::DoNotOptimize(block.data());
    frames += kFrames;
  }
  state.counters["frames/s"] = benchmark::Counter(double(frames), benchmark::Counter::kIsRate);
  state.counters["x realtime"] = benchmark::Counter(double(frames) / kRate, benchmark::Counter::kIsRate);
}

void BM_DefaultsNoise(benchmark::State& s) { Run(s, Setting::defaults, Input::noise); }
void BM_DefaultsSilence(benchmark::State& s) { Run(s, Setting::defaults, Input::silence); }
void BM_EveryStageNoise(benchmark::State& s) { Run(s, Setting::everyStage, Input::noise); }
void BM_EveryStageSilence(benchmark::State& s) { Run(s, Setting::everyStage, Input::silence); }

void BM_PlainDefaultsNoise(benchmark::State& s) { Run(s, Setting::defaults, Input::noise, Kernels::plain); }
void BM_PlainEveryStageNoise(benchmark::State& s) { Run(s, Setting::everyStage, Input::noise, Kernels::plain); }
void BM_PlainEveryStageSilence(benchmark::State& s) { Run(s, Setting::everyStage, Input::silence, Kernels::plain); }

BENCHMARK(BM_DefaultsNoise);
BENCHMARK(BM_DefaultsSilence);
BENCHMARK(BM_EveryStageNoise);
BENCHMARK(BM_EveryStageSilence);
BENCHMARK(BM_PlainDefaultsNoise);
BENCHMARK(BM_PlainEveryStageNoise);
BENCHMARK(BM_PlainEveryStageSilence);

}  // namespace
