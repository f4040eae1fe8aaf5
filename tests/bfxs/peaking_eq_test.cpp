#include <gtest/gtest.h>

#include "peaking_eq.h"
#include "signals.h"

using namespace tav::bfxs;
using namespace tav::bfxs::test;

namespace {
constexpr double kRate = 44100;
const double kPlayerCentres[] = {40, 63, 100, 160, 250, 400, 630, 1000, 1600, 2500, 4000, 6300, 10000, 14000, 16000};

PeakingEqSettings band_at(double centre, double gain) {
  PeakingEqSettings s;
  s.bandwidth_octaves = 2.5;
  s.center_hz = centre;
  s.gain_db = gain;
  return s;
}
}  // namespace

TEST(PeakingEq, GainAtEachCentreMatchesTheSetGain) {
  for (double centre : kPlayerCentres) {
    for (double gain : {-15.0, -6.0, 7.0, 15.0}) {
      PeakingEqBank eq(kRate, 2);
      ASSERT_TRUE(eq.set_band(3, band_at(centre, gain)));
      const size_t frames = 88200;
      auto in = sine(centre, kRate, frames, 2, 0.1);
      auto out = in;
      eq.process(out.data(), frames);
      for (unsigned ch = 0; ch < 2; ++ch) {
        const double measured = db(rms(out, 2, ch, frames / 2, frames) / rms(in, 2, ch, frames / 2, frames));
        EXPECT_NEAR(measured, gain, 0.5) << "centre " << centre << " channel " << ch;
      }
    }
  }
}

TEST(PeakingEq, FlatBankIsBitExact) {
  PeakingEqBank eq(kRate, 2);
  for (int b = 0; b < 15; ++b) ASSERT_TRUE(eq.set_band(b, band_at(kPlayerCentres[b], 0.0)));
  // a band taken back to 0 dB is flat again
  ASSERT_TRUE(eq.set_band(7, band_at(1000, 9.0)));
  auto in = noise(2 * 44100);
  auto out = in;
  eq.process(out.data(), 44100);
  ASSERT_TRUE(eq.set_band(7, band_at(1000, 0.0)));
  out = in;
  eq.process(out.data(), 44100);
  EXPECT_EQ(0, std::memcmp(in.data(), out.data(), in.size() * sizeof(float)));
}

TEST(PeakingEq, AllBandsAtFullBoostOrCutStayStable) {
  for (double rate : {44100.0, 48000.0}) {
    for (double gain : {15.0, -15.0}) {
      PeakingEqBank eq(rate, 2);
      for (int b = 0; b < 15; ++b) ASSERT_TRUE(eq.set_band(b, band_at(kPlayerCentres[b], gain)));
      // impulse, then five seconds of silence: the tail must die away
      std::vector<float> buf(size_t(rate) * 2 * 5, 0.0f);
      buf[0] = buf[1] = 1.0f;
      eq.process(buf.data(), buf.size() / 2);
      float tail = 0;
      for (size_t i = 0; i < buf.size(); ++i) {
        ASSERT_TRUE(std::isfinite(buf[i]));
        if (i > buf.size() / 2) tail = std::max(tail, std::abs(buf[i]));
      }
      EXPECT_LT(tail, 1e-6f) << "rate " << rate << " gain " << gain;
    }
  }
}

TEST(PeakingEq, RefusedCentresChangeNothingAndCannotBeRead) {
  PeakingEqBank eq(32000, 2);
  PeakingEqSettings got;
  EXPECT_FALSE(eq.set_band(14, band_at(16000, 3)));  // at half the rate
  EXPECT_FALSE(eq.set_band(14, band_at(20000, 3)));
  EXPECT_FALSE(eq.get_band(14, got));
  EXPECT_EQ(0u, eq.band_count());

  ASSERT_TRUE(eq.set_band(13, band_at(14000, 4)));
  EXPECT_FALSE(eq.set_band(13, band_at(16000, -4)));
  ASSERT_TRUE(eq.get_band(13, got));
  EXPECT_EQ(14000, got.center_hz);
  EXPECT_EQ(4, got.gain_db);

  PeakingEqSettings bad = band_at(1000, 0);
  bad.bandwidth_octaves = 0;  // neither bandwidth nor Q
  EXPECT_FALSE(eq.set_band(1, bad));
  bad.gain_db = NAN;
  bad.q = 1;
  EXPECT_FALSE(eq.set_band(1, bad));
  bad.gain_db = 6;
  EXPECT_TRUE(eq.set_band(1, bad));  // Q in place of the bandwidth
}

TEST(PeakingEq, QFormAndChannelMask) {
  PeakingEqBank eq(kRate, 2);
  PeakingEqSettings s = band_at(2000, -9);
  s.q = 2.0;
  s.channel_mask = 2;  // right channel only
  ASSERT_TRUE(eq.set_band(0, s));
  const size_t frames = 44100;
  auto in = sine(2000, kRate, frames, 2, 0.1);
  auto out = in;
  eq.process(out.data(), frames);
  for (size_t i = 0; i < frames; ++i) ASSERT_EQ(in[2 * i], out[2 * i]);
  EXPECT_NEAR(db(rms(out, 2, 1, frames / 2, frames) / rms(in, 2, 1, frames / 2, frames)), -9.0, 0.5);
}
