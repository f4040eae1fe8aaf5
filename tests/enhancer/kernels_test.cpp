// The SSE2 kernels against the plain stage code: random parameter sets, rates,
// channel counts, block lengths and signals, changed between blocks, must give
// the same samples, scope values and clip counts bit for bit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "signals.h"
#include "stages.h"

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
    // the scope ring wraps within the first blocks
    const int32_t scopeStart = kScopeRingValues - 2 * int32_t(1 + rng() % 5000);
    sse.proc->scope.ScopeWriteIndex = scopeStart;
    plain.proc->scope.ScopeWriteIndex = scopeStart;
    int rate = rates[rng() % std::size(rates)];
    for (int block = 0; block < 24; ++block) {
      if (block % 6 == 0) RandomParameters(rng, sse.params, plain.params);
      if (block == 12 && run % 4 == 0) rate = rates[rng() % std::size(rates)];
      // now and then a block whose last run is one to three frames long
      const int frames = block == 10 ? 257 + run % 3 : block % 5 == 4 ? 101 + int(rng() % 4000) : 1152;
      std::vector<int16_t> a = RandomSignal(rng, frames, channels, rate), b = a;
      sse.Block(a.data(), frames, channels, rate);
      plain.Block(b.data(), frames, channels, rate);
      ASSERT_EQ(a, b) << "run " << run << ", block " << block << ", " << rate << " Hz, " << channels << " channels";
      ASSERT_EQ(sse.proc->scope.ClipCount, plain.proc->scope.ClipCount);
      ASSERT_EQ(sse.proc->state.restarts, plain.proc->state.restarts);
    }
    EXPECT_EQ(sse.proc->scope.ScopeRing, plain.proc->scope.ScopeRing);
    // every value of the reverb lines, also those past the lengths in use, which a longer line reads later
    const ReverbState &a = sse.proc->state.reverb, &b = plain.proc->state.reverb;
    EXPECT_EQ(std::memcmp(a.line.data(), b.line.data(), sizeof a.line), 0) << "run " << run;
    EXPECT_EQ(a.pos, b.pos) << "run " << run;
  }
}

// A value that is no number, or an infinity, in a stage's state: both sets
// write the same samples until the restart and after it.
TEST(Kernels, ANonFiniteStateGivesThePlainCodesBitsThroughTheRestart) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  struct Poison {
    const char* where;
    void (*apply)(DspState&, float);
  };
  const Poison poisons[] = {
      {"main p1", [](DspState& s, float v) { s.main.f.p1 = Both(v); }},
      {"main surround", [](DspState& s, float v) { s.main.f.su = Pair(v, 0.0f); }},
      {"bass a1", [](DspState& s, float v) { s.bass.f.a1 = Pair(0.0f, v); }},
      {"bass branch", [](DspState& s, float v) { s.bass.f.u[2] = Both(v); }},
      {"bass limiter", [](DspState& s, float v) { s.bass.f.s2 = v; }},
      {"reverb damping", [](DspState& s, float v) { s.reverb.damp[4] = Both(v); }},
      {"dynamics", [](DspState& s, float v) { s.dyn.f.a1 = Pair(v, v); }},
  };
  for (const Poison& poison : poisons)
    for (float value : {nan, inf, -inf}) {
      Rig sse, plain;
      plain.proc->kernels = Kernels::plain;
      for (Rig* rig : {&sse, &plain}) {
        rig->params.SetFromControl(Param::reverb, 30);
        rig->params.SetFromControl(Param::loudness, 1);
      }
      const auto in = test::Noise(1152 * 4, 2, 20000, 4);
      sse.Run(in);
      plain.Run(in);
      poison.apply(sse.proc->state, value);
      poison.apply(plain.proc->state, value);
      EXPECT_EQ(sse.Run(in), plain.Run(in)) << poison.where << " " << value;
      EXPECT_GE(plain.proc->state.restarts, 1) << poison.where << " " << value;
      EXPECT_EQ(sse.proc->state.restarts, plain.proc->state.restarts) << poison.where << " " << value;
    }
}

// The four-frame output conversion against the frame-by-frame one, on the
// values around the clamps, no numbers and infinities, for every run length up
// to 9 (the last group short), with and without `inverted`, across the end of
// the scope ring.
TEST(Kernels, TheStereoOutputWritesWhatTheFrameByFrameConversionWrites) {
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  const float values[] = {0.5f, -0.5f, 0.0f, -0.0f, 32763.9f / 32769.0f, 32764.0f / 32769.0f, -32764.0f / 32769.0f,
                          -32763.9f / 32769.0f, 1.0f, -1.0f, 1e30f, -1e30f, 1e-30f, inf, -inf, nan};
  std::mt19937 rng(5);
  std::vector<int16_t> ring(kScopeRingValues), expectedRing(kScopeRingValues);
  for (int count = 1; count <= 9; ++count)
    for (bool inverted : {false, true})
      for (int trial = 0; trial < 20; ++trial) {
        F2 o[9];
        bool expectedFinite = true;
        for (int n = 0; n < count; ++n) {
          o[n] = Pair(values[rng() % std::size(values)], values[rng() % std::size(values)]);
          expectedFinite = expectedFinite && std::isfinite(Left(o[n])) && std::isfinite(Right(o[n]));
        }
        const int32_t start = trial % 2 ? kScopeRingValues - 2 * int32_t(1 + rng() % 10) : 2 * int32_t(rng() % 1000);
        std::vector<int16_t> expected(size_t(2 * count));
        int expectedClips = 0;
        int32_t index = start;
        for (int n = 0; n < count; ++n) {
          const int32_t l = OutputSample(Left(o[n]), expectedClips), r = OutputSample(Right(o[n]), expectedClips);
          expected[size_t(2 * n)] = int16_t(inverted ? -l : l);
          expected[size_t(2 * n + 1)] = int16_t(r);
          expectedRing[size_t(index)] = int16_t(-expected[size_t(2 * n)]);
          expectedRing[size_t(index + 1)] = int16_t(-r);
          index = index + 2 >= kScopeRingValues ? 0 : index + 2;
        }
        std::vector<int16_t> samples(size_t(2 * count) + 2, 7);  // and two samples past the run
        int32_t scopeIndex = start;
        bool finite = true;
        const int clips = sse::StereoOutput(o, count, samples.data(), inverted, ring.data(), scopeIndex, finite);
        EXPECT_EQ(std::vector<int16_t>(samples.begin(), samples.end() - 2), expected) << count;
        EXPECT_EQ(samples[size_t(2 * count)], 7);
        EXPECT_EQ(samples[size_t(2 * count + 1)], 7);
        EXPECT_EQ(clips, expectedClips);
        EXPECT_EQ(finite, expectedFinite);
        EXPECT_EQ(scopeIndex, index);
        for (int32_t at = start, n = 0; n < 2 * count; ++n, at = at + 1 >= kScopeRingValues ? 0 : at + 1)
          ASSERT_EQ(ring[size_t(at)], expectedRing[size_t(at)]) << at;
      }
}

}  // namespace
}  // namespace brindle
