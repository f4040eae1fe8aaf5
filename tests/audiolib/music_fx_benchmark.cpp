// Module rendering through the library against libopenmpt called directly (the
// library's overhead), and the cost of the DirectX 8 echo and reverb per second of
// stereo 44.1 kHz audio, on noise and on silence.
#include <benchmark/benchmark.h>
#include <libopenmpt/libopenmpt.h>

#include <random>
#include <vector>

#include "bass.h"
#include "dx8_echo.h"
#include "dx8_reverb.h"
#include "tav/test/module_files.h"

namespace {

constexpr int kRate = 44100;
constexpr size_t kBlockFrames = 1152;  // 4608 bytes of 16-bit stereo, the player's block

void BM_ModuleThroughLibrary(benchmark::State& state) {
  const bool as_float = state.range(0) != 0;
  const auto mod = tav::test::make_xm();
  const DWORD flags = BASS_MUSIC_DECODE | BASS_MUSIC_PRESCAN | BASS_MUSIC_RAMP | (as_float ? BASS_MUSIC_FLOAT : 0);
  const HMUSIC h = BASS_MusicLoad(TRUE, mod.data(), 0, static_cast<DWORD>(mod.size()), flags, kRate);
  std::vector<float> block(2 * kBlockFrames);
  const DWORD bytes = kBlockFrames * (as_float ? 8 : 4);
  int64_t frames = 0;
  for (auto _ : state) {
    BASS_ChannelSetPosition(h, 0, BASS_POS_BYTE);
    DWORD got;
    while ((got = BASS_ChannelGetData(h, block.data(), bytes)) != static_cast<DWORD>(-1) && got)
      frames += got / (as_float ? 8 : 4);
  }
  state.SetItemsProcessed(frames);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(frames) / kRate, benchmark::Counter::kIsRate);
  BASS_MusicFree(h);
}
BENCHMARK(BM_ModuleThroughLibrary)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

void BM_ModuleThroughLibopenmpt(benchmark::State& state) {
  const bool as_float = state.range(0) != 0;
  const auto mod = tav::test::make_xm();
  openmpt_module* m = openmpt_module_create_from_memory2(mod.data(), mod.size(), openmpt_log_func_silent, nullptr,
                                                         openmpt_error_func_ignore, nullptr, nullptr, nullptr, nullptr);
  openmpt_module_set_repeat_count(m, 0);
  openmpt_module_ctl_set_text(m, "play.at_end", "stop");
  // the settings the library uses for the player's flags
  openmpt_module_ctl_set_boolean(m, "seek.sync_samples", 1);
  openmpt_module_set_render_param(m, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, -1);
  openmpt_module_set_render_param(m, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 2);
  std::vector<float> fblock(2 * kBlockFrames);
  std::vector<int16_t> iblock(2 * kBlockFrames);
  int64_t frames = 0;
  for (auto _ : state) {
    openmpt_module_set_position_seconds(m, 0);
    size_t got;
    while ((got = as_float ? openmpt_module_read_interleaved_float_stereo(m, kRate, kBlockFrames, fblock.data())
                           : openmpt_module_read_interleaved_stereo(m, kRate, kBlockFrames, iblock.data())) > 0)
      frames += static_cast<int64_t>(got);
  }
  state.SetItemsProcessed(frames);
  state.counters["x_realtime"] =
      benchmark::Counter(static_cast<double>(frames) / kRate, benchmark::Counter::kIsRate);
  openmpt_module_destroy(m);
}
BENCHMARK(BM_ModuleThroughLibopenmpt)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// One second of stereo audio per iteration, in the player's blocks.
template <typename Fx>
void run_effect(benchmark::State& state, Fx& fx) {
  const bool silence = state.range(0) != 0;
  std::vector<float> second(2 * kRate);
  std::mt19937 rng(1);
  std::uniform_real_distribution<float> u(-0.5f, 0.5f);
  for (auto _ : state) {
    state.PauseTiming();
    for (float& v : second) v = silence ? 0.0f : u(rng);
    state.ResumeTiming();
    for (size_t f = 0; f < static_cast<size_t>(kRate); f += kBlockFrames)
      fx.process(second.data() + 2 * f, std::min(kBlockFrames, static_cast<size_t>(kRate) - f));
    benchmark::DoNotOptimize(second.data());
  }
  state.counters["x_realtime"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}

void BM_Dx8EchoPerSecond(benchmark::State& state) {
  tav::audio::Dx8Echo echo(kRate, 2);
  run_effect(state, echo);
}
BENCHMARK(BM_Dx8EchoPerSecond)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

void BM_Dx8ReverbPerSecond(benchmark::State& state) {
  tav::audio::Dx8Reverb reverb(kRate, 2);
  run_effect(state, reverb);
}
BENCHMARK(BM_Dx8ReverbPerSecond)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
