// The enhancer's processor: the block's format gate, the 201-frame latency,
// output conversion and clip counting, each stage's coefficients and edge
// values, stage isolation, finiteness at every accepted rate, the scope ring
// and the floating-point state around a block.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <xmmintrin.h>

#include "signals.h"

namespace brindle {
namespace {

using test::Noise;
using test::Rig;

TEST(FormatGate, RefusedBlocksComeBackUntouchedAndEveryBlockKeepsItsCount) {
  // Room for the largest block of the table at 6 channels of 24 bits.
  std::vector<int16_t> buffer(size_t(65535) * 6 * 2);
  Rig rig;
  int accepted = 0;
  for (int frames : {100, 101, 65534, 65535})
    for (int rate : {5000, 5001, 98999, 99000})
      for (int bits : {8, 16, 24})
        for (int channels : {0, 1, 2, 3, 6}) {
          SCOPED_TRACE(testing::Message() << frames << " frames, " << rate << " Hz, " << bits << " bits, " << channels
                                          << " channels");
          std::mt19937 rng(unsigned(frames + rate + bits + channels));
          for (auto& s : buffer) s = int16_t(rng());
          const std::vector<int16_t> before = buffer;
          EXPECT_EQ(rig.Block(buffer.data(), frames, channels, rate, bits), frames);
          const bool takes = (frames == 101 || frames == 65534) && (rate == 5001 || rate == 98999) && bits == 16 &&
                             (channels == 1 || channels == 2);
          if (takes) {
            ++accepted;
            EXPECT_NE(std::memcmp(buffer.data(), before.data(), size_t(frames * channels) * 2), 0);
            EXPECT_EQ(std::memcmp(buffer.data() + frames * channels, before.data() + frames * channels,
                                  (buffer.size() - size_t(frames * channels)) * 2),
                      0)
                << "nothing past the block is written";
          } else {
            EXPECT_EQ(buffer, before);
          }
          EXPECT_EQ(rig.proc->scope.BlockSampleRate, rate);
          EXPECT_TRUE(rig.hs.BlockDone);
        }
  EXPECT_EQ(accepted, 8);
}

TEST(FormatGate, BypassedBlockIsNotReadAndLeavesBlockDone) {
  Rig rig;
  rig.hs.Bypass = true;
  rig.hs.BlockDone = false;
  auto block = Noise(1152, 2, 20000);
  const auto before = block;
  EXPECT_EQ(rig.Block(block.data(), 1152), 1152);
  EXPECT_EQ(block, before);
  EXPECT_FALSE(rig.hs.BlockDone);
  EXPECT_EQ(rig.proc->scope.BlockSampleRate, 0);
  EXPECT_EQ(rig.Block(nullptr, 1152), 1152);
}

// Parameter sets for the latency test: the defaults, both extremes and random ones.
std::vector<std::array<int32_t, kParamCount>> LatencySets() {
  std::vector<std::array<int32_t, kParamCount>> sets;
  sets.push_back(Parameters().Snapshot());
  std::array<int32_t, kParamCount> zero{}, top{};
  top.fill(100);
  sets.push_back(zero);
  sets.push_back(top);
  std::mt19937 rng(21);
  for (int i = 0; i < 20; ++i) {
    std::array<int32_t, kParamCount> s{};
    for (auto& v : s) v = int32_t(rng() % 101);
    sets.push_back(s);
  }
  return sets;
}

TEST(Latency, TheFirst201FramesFromAFreshStateAreExactlyZero) {
  const auto sets = LatencySets();
  for (const auto& set : sets) {
    Rig rig;
    for (int i = 0; i < kParamCount; ++i) rig.params.SetFromControl(Param(i), set[size_t(i)]);
    const auto out = rig.Run(Noise(1152 * 3, 2, 30000, 5));
    for (int f = 0; f < kLatencyFrames * 2; ++f) ASSERT_EQ(out[size_t(f)], 0) << "sample " << f;
    if (&set == &sets.front()) {
      EXPECT_NE(out[kLatencyFrames * 2 + 40], 0) << "the defaults sound from frame 201 on";
    }
  }
}

// Everything that colours the sound off: the output is the input 201 frames later.
void NearTransparent(Parameters& p) {
  for (Param q : {Param::bassout, Param::dnl, Param::prologic, Param::wide3d, Param::treble, Param::reverb,
                  Param::loudness, Param::comp, Param::boost, Param::inverted})
    p.Set(q, 0);
  p.Set(Param::hipass, 100);
  p.Set(Param::agc, 6);  // the gain stays at its start value of 1.3
  p.Set(Param::dry, 100);
}

double CorrelationAtLag(const std::vector<int16_t>& in, const std::vector<int16_t>& out, int channels, int lag,
                        int from) {
  double xy = 0, xx = 0, yy = 0;
  const int frames = int(in.size()) / channels;
  for (int f = from; f + lag < frames; ++f)
    for (int c = 0; c < channels; ++c) {
      const double x = in[size_t(f * channels + c)], y = out[size_t((f + lag) * channels + c)];
      xy += x * y;
      xx += x * x;
      yy += y * y;
    }
  return xy / std::sqrt(xx * yy);
}

TEST(Latency, NearTransparentOutputIsTheInputDelayed201Frames) {
  Rig rig;
  NearTransparent(rig.params);
  const auto in = test::Tones(44100, 2, 44100, {220, 470, 1130, 2900, 6100}, 12000);
  const auto out = rig.Run(in);
  EXPECT_GT(CorrelationAtLag(in, out, 2, kLatencyFrames, 4410), 0.9999);
  EXPECT_LT(CorrelationAtLag(in, out, 2, kLatencyFrames - 1, 4410), 0.99);
}

TEST(Latency, DigitalSilenceGivesDigitalSilence) {
  // (with every slider at 100 the dither itself is heard: AGC 6, treble 10,
  // main level 5.4 and output gain 3 lift its 0.07 of a step some 50 steps)
  for (int setting = 0; setting < 2; ++setting) {
    Rig rig;
    if (setting == 1) rig.SetAll(0);
    const auto out = rig.Run(std::vector<int16_t>(size_t(44100) * 2, 0));
    EXPECT_EQ(out, std::vector<int16_t>(out.size(), 0)) << "setting " << setting;
  }
}

TEST(Output, ConversionTruncatesClampsAndCounts) {
  struct Case {
    float o;
    int32_t sample;
    int clips;
  };
  const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
  for (const Case& c : std::vector<Case>{{0.5f, 16384, 0},
                                         {-0.5f, -16384, 0},
                                         {0.0f, 0, 0},
                                         {32763.9f / 32769.0f, 32763, 0},
                                         {32764.0f / 32769.0f, 32764, 1},
                                         {-32764.0f / 32769.0f, -32764, 1},
                                         {1.0f, 32764, 1},
                                         {-1.0f, -32764, 1},
                                         {1e30f, 32764, 1},
                                         {inf, 32764, 1},
                                         {-inf, -32764, 1},
                                         {nan, 0, 0}}) {
    int clips = 0;
    EXPECT_EQ(OutputSample(c.o, clips), c.sample) << c.o;
    EXPECT_EQ(clips, c.clips) << c.o;
  }
  EXPECT_EQ(32767.0f * (1.0f / 32767.0f), 1.0f) << "a full-scale sample enters as 1.0";
}

// Bursts of a full-scale square after silence: the output gain is still high
// when each burst arrives.
std::vector<int16_t> SquareBursts(int blocks, int channels, int block) {
  auto signal = test::Square(block * blocks, channels, 100, 32767);
  for (int b = 0; b < blocks; ++b)
    if (b % 8 != 1) std::fill_n(signal.begin() + b * block * channels, block * channels, 0);
  return signal;
}

TEST(Output, LoudSquareStaysWithinTheLimitsAndCountsEveryClamp) {
  Rig rig;
  rig.params.Set(Param::boost, 100);
  auto signal = SquareBursts(48, 2, 1152);
  float held = 0;
  int clippedBlocks = 0;
  for (int b = 0; b < 48; ++b) {
    int16_t* block = signal.data() + b * 1152 * 2;
    rig.Block(block, 1152);
    int limits = 0;
    for (int i = 0; i < 1152 * 2; ++i) {
      ASSERT_LE(std::abs(int(block[i])), kClipLimit);
      limits += std::abs(int(block[i])) == kClipLimit;
    }
    const ScopeValues& scope = rig.proc->scope;
    EXPECT_EQ(scope.ClipCount, limits);
    EXPECT_FLOAT_EQ(scope.ClipPercent, float(limits) / 2304.0f * 100.0f);
    held = scope.ClipPercent > held ? scope.ClipPercent.load() : held * 0.98f - 0.03f;
    EXPECT_FLOAT_EQ(scope.ClipHeld, held);
    clippedBlocks += limits > 0;
  }
  EXPECT_GE(clippedBlocks, 5);
}

TEST(Output, ClipHeldJumpsUpAndFallsToAlternateBetweenZeroAndMinusThreeHundredths) {
  Rig rig;
  rig.proc->scope.ClipHeld = 10.0f;
  auto quiet = Noise(1152, 2, 100);
  float expected = 10.0f;
  for (int b = 0; b < 400; ++b) {
    auto block = quiet;
    rig.Block(block.data(), 1152);
    expected = expected < 0.0f ? 0.0f : expected * 0.98f - 0.03f;
    ASSERT_FLOAT_EQ(rig.proc->scope.ClipHeld, expected) << b;
  }
  const float last = rig.proc->scope.ClipHeld;
  EXPECT_TRUE(last == 0.0f || std::fabs(last + 0.03f) < 1e-6f);
}

TEST(Output, MonoWritesTheRightPathAndItsPercentCanPass100) {
  const auto stereoIn = test::Tones(1152 * 8, 2, 44100, {330, 2700}, 20000);
  std::vector<int16_t> monoIn(stereoIn.size() / 2);
  for (size_t f = 0; f < monoIn.size(); ++f) monoIn[f] = stereoIn[2 * f];
  Rig stereo, mono;
  const auto stereoOut = stereo.Run(stereoIn, 2);
  const auto monoOut = mono.Run(monoIn, 1);
  for (size_t f = 0; f < monoOut.size(); ++f) ASSERT_EQ(monoOut[f], stereoOut[2 * f + 1]) << f;
  EXPECT_EQ(std::memcmp(mono.proc->scope.ScopeRing.data(), stereo.proc->scope.ScopeRing.data(), monoOut.size() * 4), 0)
      << "the scope takes both paths";

  // both paths clamp into the one channel: up to 200 %
  Rig loud;
  loud.params.Set(Param::boost, 100);
  auto square = SquareBursts(16, 1, 150);
  float most = 0;
  for (int b = 0; b < 16; ++b) {
    loud.Block(square.data() + b * 150, 150, 1);
    most = std::max(most, loud.proc->scope.ClipPercent.load());
  }
  EXPECT_GT(most, 100.0f);
}

TEST(Output, InvertedNegatesOnlyTheLeftSample) {
  const auto in = Noise(1152 * 4, 2, 15000, 9);
  Rig plain, inverted;
  inverted.params.Set(Param::inverted, 1);
  const auto a = plain.Run(in), b = inverted.Run(in);
  for (size_t f = 0; f < a.size() / 2; ++f) {
    ASSERT_EQ(b[2 * f], -a[2 * f]);
    ASSERT_EQ(b[2 * f + 1], a[2 * f + 1]);
    ASSERT_EQ(inverted.proc->scope.ScopeRing[2 * f], a[2 * f]) << "the scope receives iL itself";
    ASSERT_EQ(plain.proc->scope.ScopeRing[2 * f], -a[2 * f]);
    ASSERT_EQ(plain.proc->scope.ScopeRing[2 * f + 1], -a[2 * f + 1]);
  }
}

TEST(Scope, RingWrapsAfter500000FramesAndTheBlockValuesAreSet) {
  Rig rig;
  rig.window.timer = 30;
  auto block = Noise(50000, 2, 1000);
  for (int b = 0; b < 10; ++b) {
    EXPECT_EQ(rig.proc->scope.ScopeWriteIndex, b * 100000);
    auto copy = block;
    rig.Block(copy.data(), 50000, 2, 48000);
    EXPECT_EQ(rig.proc->scope.ScopeBlockStart, b * 100000);
  }
  EXPECT_EQ(rig.proc->scope.ScopeWriteIndex, 0);
  EXPECT_EQ(rig.proc->scope.BlockSampleRate, 48000);
  EXPECT_EQ(rig.proc->scope.ScopeFrameCredit, 3000);
}

// Changes of `others` leave the output bit for bit as it was.
void ExpectNoEffect(std::initializer_list<std::pair<Param, int32_t>> base, std::initializer_list<Param> others) {
  const auto in = Noise(1152 * 6, 2, 25000, 3);
  Rig reference;
  for (auto [p, v] : base) reference.params.Set(p, v);
  const auto expected = reference.Run(in);
  for (Param p : others)
    for (int32_t value : {0, 37, 100}) {
      Rig rig;
      for (auto [q, v] : base) rig.params.Set(q, v);
      rig.params.SetFromControl(p, value);
      EXPECT_EQ(rig.Run(in), expected) << Info(p).key << " " << value;
    }
}

TEST(StageIsolation, WithBassoutZeroTheOtherBassParametersChangeNothing) {
  ExpectNoEffect({{Param::bassout, 0}},
                 {Param::bassinlopass, Param::bassinhipass, Param::bassinres, Param::bassagc, Param::bass3d,
                  Param::phatt, Param::soft, Param::basslopass, Param::basshipass, Param::bassres, Param::basscomp});
}

TEST(StageIsolation, WithReverbZeroSizeDampAndLengthChangeNothing) {
  ExpectNoEffect({{Param::reverb, 0}}, {Param::size, Param::damp, Param::length});
}

TEST(StageIsolation, SwitchedOffStagesIgnoreTheirParameters) {
  ExpectNoEffect({{Param::dnl, 0}, {Param::prologic, 0}, {Param::wide3d, 0}, {Param::loudness, 0}},
                 {Param::widefilt});
  ExpectNoEffect({{Param::treble, 0}}, {Param::trange});
}

TEST(Finite, EveryRateWithTheDefaultsAllZeroAndAllHundred) {
  const int rates[] = {5001, 5100, 5211, 7349, 7350, 8000, 11025, 22050, 44100, 48000, 88200, 96000, 98999};
  for (int rate : rates)
    for (int setting = 0; setting < 3; ++setting) {
      SCOPED_TRACE(testing::Message() << rate << " Hz, setting " << setting);
      Rig rig;
      if (setting == 1) rig.SetAll(0);
      if (setting == 2) rig.SetAll(100);
      auto in = Noise(rate * 3, 2, 20000, unsigned(rate));
      // a tone in the middle, then silence
      const auto tone = test::Tones(rate, 2, rate, {60, 1000}, 30000);
      std::copy(tone.begin(), tone.end(), in.begin() + rate * 2);
      std::fill(in.begin() + rate * 4, in.end(), 0);
      const auto out = rig.Run(in, 2, rate, 2048);
      EXPECT_EQ(rig.proc->state.restarts, 0);
      const DspState& s = rig.proc->state;
      for (float v : {Left(s.dyn.f.out), Right(s.dyn.f.out), Left(s.main.f.su), Left(s.main.f.p2), Left(s.bass.f.o2),
                      Left(s.reverb.lowpass), Left(s.main.f.g), s.bass.f.gA, s.dyn.f.ga})
        EXPECT_TRUE(std::isfinite(v));
      if (setting != 1) {  // all 0 leaves the main path at a level of 0.00001
        long long energy = 0;
        for (int f = rate; f < rate * 2; ++f) energy += std::abs(int(out[size_t(f) * 2]));
        EXPECT_GT(energy, 0) << "the output is not pinned";
      }
    }
}

TEST(Finite, ANonFiniteValueRestartsTheStagesAndTheSoundComesBack) {
  Rig rig;
  const auto in = Noise(1152 * 8, 2, 20000, 4);
  rig.Run(in);
  rig.proc->state.main.f.p1 = Both(std::numeric_limits<float>::quiet_NaN());
  rig.proc->state.bass.f.u[2] = Both(std::numeric_limits<float>::infinity());
  ResetGains(rig.proc->state);  // what Init resets does not reach the filter states
  ResetReverb(rig.proc->state);
  const auto out = rig.Run(in);
  EXPECT_GE(rig.proc->state.restarts, 1);
  long long energy = 0;
  for (size_t i = out.size() / 2; i < out.size(); ++i) energy += std::abs(int(out[i]));
  EXPECT_GT(energy, 0);
}

// The coefficients the stages take from the parameters.
struct Rates {
  static Coefficients At(int rate, std::initializer_list<std::pair<Param, int32_t>> set = {}) {
    Parameters p;
    for (auto [q, v] : set) p.Set(q, v);
    return ComputeCoefficients(p.Snapshot(), rate);
  }
};

TEST(Coefficients, BassSection) {
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::phatt, 100}}).D, 7.75f);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::phatt, 0}}).D, 1.0f);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::basscomp, 100}}).L, 2.3f);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::bass3d, 0}}).S, -0.5f);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::bass3d, 100}}).S, 0.5f);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::bassagc, 50}}).Cb, 3.0f);
  // the defaults, against the formulas in double precision
  const Coefficients k = Rates::At(44100);
  const double a = 0.5, b = 0.5, c = 0.5, d = 0.2, e = 0.8, f = 0.8;
  EXPECT_NEAR(k.G, std::pow(a, 6) * (1.5 - c) * 20 + (1 - 0.5 * c) - 0.1 * b, 1e-6);
  EXPECT_NEAR(k.k1, 1 / ((100 * std::pow(a, 1.5) + 180 * std::pow(a, 5) + 50 * std::pow(d, 0.1) + 5) + 2), 1e-7);
  EXPECT_NEAR(k.k4, 1 / ((80 * std::pow(d, 1.5) + 210 * std::pow(d, 4) + 5 * std::sqrt(d)) + 2), 1e-7);
  EXPECT_NEAR(k.k10, 1 / (62000 * e * e + 2000), 1e-10);
  const double k8 = 1 / ((90 * std::pow(e, 1.5) + 170 * std::pow(e, 5) + 50) * 0.5 + 2);
  EXPECT_NEAR(k.k8, k8, 1e-7);
  const double q4 = 0.2 * std::pow(f, 0.7);
  EXPECT_NEAR(k.fb4, q4 / (1 - k8) + q4, 1e-6);
  EXPECT_FLOAT_EQ(k.mA, 1.6f);
  EXPECT_NEAR(k.mB, 0.3, 1e-6);
}

TEST(Coefficients, MainPath) {
  for (int rate : {8000, 44100, 96000}) {
    const float r = float(rate) * (1.0f / 44100.0f);
    EXPECT_NEAR(Rates::At(rate, {{Param::hipass, 0}}).kh, 1.0 / (6.0 * r), 1e-6) << rate;
    EXPECT_NEAR(Rates::At(rate, {{Param::hipass, 100}}).kh, 1.0 / (486.0 * r), 1e-8) << rate;
  }
  EXPECT_EQ(Rates::At(44100, {{Param::dnl, 1}}).T, 11881.0f);
  EXPECT_EQ(Rates::At(44100, {{Param::dnl, 100}}).T, 100.0f);
  const Coefficients k48 = Rates::At(48000);
  EXPECT_EQ(k48.len, 1632);
  EXPECT_EQ(k48.tapA, 544);
  EXPECT_EQ(k48.tapB, 1088);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::wide3d, 75}}).Wf, 1.0f);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::treble, 100}}).Tl, 10.0f);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::agc, 100}}).C, 6.0f);
}

TEST(Coefficients, TheSurroundRingHoldsTheHighestRate) {
  for (int rate : {58946, 58947, 88200, 96000, 98999}) {
    const Coefficients k = Rates::At(rate);
    EXPECT_EQ(k.len, int(1500.0f * k.r));
    EXPECT_LE(2 * k.len + 2, kSurroundRing) << rate;
  }
  EXPECT_EQ(Rates::At(98999).len, 3367);
}

TEST(Coefficients, TheTwoDivergingCoefficientsAreBoundedAtLowRates) {
  // hipass 0: kh = 1/(6 r) passes 1.41 below 5,211 Hz, where the high-pass stops converging
  for (int rate = 5001; rate <= 5300; rate += 13) EXPECT_LE(Rates::At(rate, {{Param::hipass, 0}}).kh, 1.4f) << rate;
  EXPECT_NEAR(Rates::At(5400, {{Param::hipass, 0}}).kh, 1.0 / (6.0 * 5400 / 44100), 1e-5);
  // surround smoothing: 1/(3 r) reaches 2 at 7,350 Hz and below
  EXPECT_EQ(Rates::At(7349).ku, 1.0f);
  EXPECT_EQ(Rates::At(5001).ku, 1.0f);
  EXPECT_NEAR(Rates::At(7400).ku, 1.0 / (3.0 * 7400 / 44100), 1e-5);
  EXPECT_NEAR(Rates::At(44100).ku, 1.0 / 3.0, 1e-7);
}

TEST(Coefficients, ReverbLengthsAndLevels) {
  const Coefficients k = Rates::At(44100, {{Param::length, 50}});
  const int left[] = {539, 613, 653, 702, 745, 782, 820, 856, 889};
  const int right[] = {545, 607, 659, 696, 751, 776, 826, 850, 895};
  for (int i = 0; i < 9; ++i) {
    EXPECT_EQ(k.lineLenL[size_t(i)], left[i]) << i;
    EXPECT_EQ(k.lineLenR[size_t(i)], right[i]) << i;
  }
  const int allpass[] = {556, 441, 341, 225};
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(k.lineLenL[size_t(9 + i)], allpass[i]);
    EXPECT_EQ(k.lineLenR[size_t(9 + i)], allpass[i]);
  }
  const Coefficients longest = Rates::At(98999, {{Param::length, 100}});
  EXPECT_EQ(longest.lineLenR[8], 2192);
  EXPECT_LE(longest.lineLenR[8], kReverbClearedValues);
  EXPECT_EQ(Rates::At(44100, {{Param::reverb, 100}}).dryLevel, 0.0f);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::size, 100}}).F, 0.97f);
  const Coefficients undamped = Rates::At(44100, {{Param::damp, 0}});
  EXPECT_EQ(undamped.d1, 0.0f);
  EXPECT_EQ(undamped.d2, 1.0f);
  EXPECT_EQ(undamped.kd, 0.0f);
  const Coefficients d = Rates::At(44100);  // reverb 10, size 50, damp 50
  EXPECT_NEAR(d.dryLevel, std::sqrt(0.9), 1e-7);
  EXPECT_NEAR(d.kd, 0.99 * std::pow(0.5, 0.4), 1e-7);
  EXPECT_NEAR(d.wetLevel, 0.01 * std::pow(0.5, 6) + 1.0 * 0.0002 * 10, 1e-8);
}

TEST(Coefficients, DynamicsStage) {
  const Coefficients k = Rates::At(44100, {{Param::comp, 0}, {Param::dry, 90}});
  EXPECT_FLOAT_EQ(k.Lc, 0.5f);
  EXPECT_FLOAT_EQ(k.Md, 0.54001f);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::speed, 0}}).Rf, 0.997f);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::speed, 0}}).Rr, 1.00004f);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::speed, 100}}).Rf, 0.957f);
  EXPECT_FLOAT_EQ(Rates::At(44100, {{Param::speed, 100}}).Rr, 1.00104f);
  struct Boost {
    int32_t boost;
    float theta, gain;
  };
  for (const Boost& b : {Boost{0, 1.0f, 1.0f}, Boost{8, 0.8f, 1.16f}, Boost{9, 0.775f, 1.18f}, Boost{10, 0.75f, 1.2f},
                         Boost{55, 0.75f, 2.1f}, Boost{100, 0.75f, 3.0f}}) {
    const Coefficients c = Rates::At(44100, {{Param::boost, b.boost}});
    EXPECT_FLOAT_EQ(c.theta, b.theta) << b.boost;
    EXPECT_FLOAT_EQ(c.Og, b.gain) << b.boost;
  }
}

TEST(Coefficients, PowersAreWithinAnUlpOfTheExactValue) {
  for (float y : {0.1f, 0.4f, 0.5f, 0.7f, 1.5f, 2.0f, 2.4f, 4.0f, 5.0f, 6.0f, 8.0f})
    for (int v = 0; v <= 100; ++v) {
      const float x = float(v) / 100.0f;
      const double exact = v == 0 ? 0.0 : std::pow(double(x), double(y));
      EXPECT_NEAR(PowConst(x, y), exact, exact * 1.2e-7) << x << "^" << y;
    }
}

TEST(FloatingPointState, TheCallersStateIsRestoredAndItsTrapsAndFlushModeChangeNothing) {
  const auto in = Noise(1152 * 4, 2, 25000, 8);
  Rig reference;
  reference.SetAll(60);
  const auto expected = reference.Run(in);

  // every exception unmasked, flush to zero and denormals as zero on, rounding up
  const unsigned hostCsr = 0x0000 | 0x8000 | 0x0040 | 0x4000;
  unsigned short hostCw = 0x0C40;  // x87: every exception unmasked, rounding toward zero
  unsigned short savedCw;
  __asm__ volatile("fnstcw %0" : "=m"(savedCw));
  const unsigned savedCsr = _mm_getcsr();

  Rig rig;
  rig.SetAll(60);
  auto out = in;
  unsigned afterCsr[4];
  unsigned short afterCw[4];
  for (int b = 0; b < 4; ++b) {
    __asm__ volatile("fldcw %0" : : "m"(hostCw));
    _mm_setcsr(hostCsr);
    rig.Block(out.data() + b * 1152 * 2, 1152);
    afterCsr[b] = _mm_getcsr();
    __asm__ volatile("fnstcw %0" : "=m"(afterCw[b]));
    _mm_setcsr(savedCsr);
    __asm__ volatile("fldcw %0" : : "m"(savedCw));
  }
  for (int b = 0; b < 4; ++b) {
    EXPECT_EQ(afterCsr[b], hostCsr);
    EXPECT_EQ(afterCw[b], hostCw);
  }
  EXPECT_EQ(out, expected);
}

}  // namespace
}  // namespace brindle

namespace brindle {
namespace {

// The same input gives the same bits in every build: a digest of the output for
// a few settings, rates and channel counts, checked natively and under Wine.
TEST(Bits, TheOutputIsTheSameInEveryBuild) {
  uint64_t digest = 1469598103934665603ull;
  for (int setting = 0; setting < 3; ++setting)
    for (int rate : {11025, 44100, 96000})
      for (int channels : {1, 2}) {
        Rig rig;
        if (setting == 1) rig.SetAll(100);
        if (setting == 2)
          for (int i = 0; i < kParamCount; ++i) rig.params.SetFromControl(Param(i), (i * 37 + 11) % 101);
        std::vector<int16_t> in(size_t(1152) * 16 * size_t(channels));
        uint32_t lcg = 12345;
        for (size_t i = 0; i < in.size(); ++i) {
          lcg = lcg * 1664525u + 1013904223u;
          in[i] = int16_t(int32_t(lcg >> 16) - 32768);
        }
        for (int16_t s : rig.Run(in, channels, rate)) {
          digest ^= uint16_t(s);
          digest *= 1099511628211ull;
        }
      }
  EXPECT_EQ(digest, 5167958951565482585ull);
}

}  // namespace
}  // namespace brindle
