// The SSE2 kernels against the plain stage code: random parameter sets, rates,
// channel counts, block lengths and signals, changed between blocks, must give
// the same samples, scope values and clip counts bit for bit.
#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "signals.h"

namespace brindle {
namespace {

using test::Rig;

// A signal of a random kind: noise of a random level, a loud square, a low
// tone, or silence.
std::vector<int16_t> RandomSignal(std::mt19937& rng, int frames, int channels, int rate) {
  switch (rng() % 5) {
    case 0: return std::vector<int16_t>(size_t(frames) * size_t(channels), 0);
    case 1: return test::Square(frames, channels, 2 + int(rng() % 400), 32767);
    case 2: return test::Tones(frames, channels, rate, {40.0 + rng() % 200, 3000.0}, 1000.0 + rng() % 31000);
    default: return test::Noise(frames, channels, 1 + int(rng() % 32767), unsigned(rng()));
  }
}

void RandomParameters(std::mt19937& rng, Parameters& a, Parameters& b) {
  for (const ParamInfo& row : kParamTable) {
    // extremes and the off position often, any value otherwise
    const unsigned pick = rng() % 8;
    const int32_t value = pick == 0 ? 0 : pick == 1 ? 100 : row.isSwitch ? int32_t(rng() % 2) : int32_t(rng() % 101);
    a.SetFromControl(row.param, value);
    b.SetFromControl(row.param, value);
  }
}

TEST(Kernels, TheSseKernelsGiveThePlainCodesBitsForRandomSettingsAndSignals) {
  const int rates[] = {5001, 5211, 7349, 8000, 11025, 22050, 44100, 48000, 88200, 96000, 98999};
  std::mt19937 rng(2024);
  for (int run = 0; run < 60; ++run) {
    Rig sse, plain;
    plain.proc->kernels = Kernels::plain;
    const int channels = run % 3 == 0 ? 1 : 2;
    int rate = rates[rng() % std::size(rates)];
    for (int block = 0; block < 24; ++block) {
      if (block % 6 == 0) RandomParameters(rng, sse.params, plain.params);
      if (block == 12 && run % 4 == 0) rate = rates[rng() % std::size(rates)];
      const int frames = block % 5 == 4 ? 101 + int(rng() % 4000) : 1152;
      std::vector<int16_t> a = RandomSignal(rng, frames, channels, rate), b = a;
      sse.Block(a.data(), frames, channels, rate);
      plain.Block(b.data(), frames, channels, rate);
      ASSERT_EQ(a, b) << "run " << run << ", block " << block << ", " << rate << " Hz, " << channels << " channels";
      ASSERT_EQ(sse.proc->scope.ClipCount, plain.proc->scope.ClipCount);
      ASSERT_EQ(sse.proc->state.restarts, plain.proc->state.restarts);
    }
    EXPECT_EQ(sse.proc->scope.ScopeRing, plain.proc->scope.ScopeRing);
  }
}

}  // namespace
}  // namespace brindle
