#include <gtest/gtest.h>

#include "phaser.h"
#include "signals.h"

using namespace tav::bfxs;
using namespace tav::bfxs::test;

TEST(Phaser, WetZeroIsTheDrySignal) {
  for (float dry : {1.0f, 0.999f, -0.5f}) {
    Phaser ph(44100, 2);
    PhaserSettings s;
    s.dry_mix = dry;
    s.wet_mix = 0;
    s.feedback = -0.9f;
    s.rate_hz = 5;
    ASSERT_TRUE(ph.set(s));
    auto in = noise(2 * 20000);
    auto out = in;
    ph.process(out.data(), 20000);
    for (size_t i = 0; i < in.size(); ++i) ASSERT_EQ(static_cast<float>(double(dry) * in[i]), out[i]) << i;
  }
}

// With the sweep held still, four quarter-turn all-pass stages are a full turn at
// the break frequency (dry + wet doubles it) and half a turn where each stage
// gives an eighth (dry + wet cancels).
TEST(Phaser, HeldSweepPeaksAtTheBaseFrequencyAndNotchesBelowIt) {
  const double rate = 44100, base = 800;
  const double notch = rate / std::numbers::pi *
                       std::atan(std::tan(std::numbers::pi * base / rate) * std::tan(std::numbers::pi / 8));
  auto gain_db = [&](double freq) {
    Phaser ph(rate, 1);
    PhaserSettings s;
    s.dry_mix = 1;
    s.wet_mix = 1;
    s.feedback = 0;
    s.rate_hz = 0;
    s.range_octaves = 0;
    s.base_hz = static_cast<float>(base);
    EXPECT_TRUE(ph.set(s));
    auto in = sine(freq, rate, 44100, 1, 0.25);
    auto out = in;
    ph.process(out.data(), 44100);
    return db(rms(out, 1, 0, 22050, 44100) / rms(in, 1, 0, 22050, 44100));
  };
  EXPECT_NEAR(gain_db(base), 6.02, 0.1);
  EXPECT_LT(gain_db(notch), -40.0);
  EXPECT_GT(gain_db(notch * 1.5), -20.0);  // a notch, not a cut
}

TEST(Phaser, FullFeedbackAndFastWideSweepStayBounded) {
  for (float fb : {1.0f, -1.0f}) {
    Phaser ph(44100, 2);
    PhaserSettings s{2, 2, fb, 10, 10, 1000};
    ASSERT_TRUE(ph.set(s));
    auto buf = noise(2 * 441000);
    ph.process(buf.data(), 441000);
    for (float x : buf) ASSERT_TRUE(std::isfinite(x) && std::abs(x) < 1e4f);
  }
}

TEST(Phaser, RefusesValuesOutsideTheirRanges) {
  Phaser ph(44100, 2);
  const PhaserSettings good;
  PhaserSettings cases[7];
  std::fill(std::begin(cases), std::end(cases), good);
  cases[0].dry_mix = 2.5f;
  cases[1].wet_mix = -2.5f;
  cases[2].feedback = 1.5f;
  cases[3].rate_hz = -1;
  cases[4].range_octaves = 11;
  cases[5].base_hz = 1001;
  cases[6].dry_mix = NAN;
  for (const auto& c : cases) EXPECT_FALSE(ph.set(c));
  EXPECT_EQ(good.wet_mix, ph.settings().wet_mix);
  EXPECT_TRUE(ph.set(PhaserSettings{-2, 2, -1, 0, 0, 0}));
}
