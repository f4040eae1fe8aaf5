#include <gtest/gtest.h>
#include <emmintrin.h>

#include <complex>
#include <numbers>

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

namespace {

// The response of the bands in double precision, from the direct-form
// coefficients of the bilinear-transform peaking filter (the reference the
// single-precision cascade is held to).
double reference_gain_db(const std::vector<PeakingEqSettings>& bands, double rate, double freq) {
  std::complex<double> h = 1.0;
  const std::complex<double> z1 = std::polar(1.0, -2.0 * std::numbers::pi * freq / rate);
  for (const PeakingEqSettings& s : bands) {
    const double w0 = 2.0 * std::numbers::pi * s.center_hz / rate;
    const double alpha = std::sin(w0) * std::sinh(std::numbers::ln2 / 2.0 * s.bandwidth_octaves * w0 / std::sin(w0));
    const double a = std::pow(10.0, s.gain_db / 40.0), c = std::cos(w0);
    h *= ((1.0 + alpha * a) - 2.0 * c * z1 + (1.0 - alpha * a) * z1 * z1) /
         ((1.0 + alpha / a) - 2.0 * c * z1 + (1.0 - alpha / a) * z1 * z1);
  }
  return db(std::abs(h));
}

// Amplitude of the sine of the given frequency in one channel over frames
// [begin, end), by a least-squares fit of a sin + b cos.
double fitted_amplitude(const std::vector<float>& v, unsigned chans, unsigned ch, size_t begin, size_t end,
                        double freq, double rate) {
  double ss = 0, sc = 0, cc = 0, ys = 0, yc = 0;
  for (size_t i = begin; i < end; ++i) {
    const double p = 2.0 * std::numbers::pi * freq * double(i) / rate, s = std::sin(p), c = std::cos(p);
    const double y = v[i * chans + ch];
    ss += s * s, sc += s * c, cc += c * c, ys += y * s, yc += y * c;
  }
  const double det = ss * cc - sc * sc;
  return std::hypot((ys * cc - yc * sc) / det, (yc * ss - ys * sc) / det);
}

}  // namespace

// The player's 15 bands at several settings: the gain at every band centre, in
// both channels, within 0.05 dB of the double-precision response.
TEST(PeakingEq, GainsAtThePlayersCentresMatchTheDoublePrecisionResponse) {
  const std::vector<std::vector<double>> settings = {
      std::vector<double>(15, 15.0), std::vector<double>(15, -15.0),
      {15, -15, 15, -15, 15, -15, 15, -15, 15, -15, 15, -15, 15, -15, 15},
      {-15, -13, -11, -9, -7, -5, -3, 0, 3, 5, 7, 9, 11, 13, 15},
      {4, 0, -7, 12, 1, -3, 0, 9, -15, 6, 2, -1, 14, -8, 5}};
  for (double rate : {44100.0, 48000.0}) {
    for (const auto& gains : settings) {
      std::vector<PeakingEqSettings> bands;
      for (int b = 0; b < 15; ++b) bands.push_back(band_at(kPlayerCentres[b], gains[size_t(b)]));
      for (int b = 0; b < 15; ++b) {
        const double freq = kPlayerCentres[b];
        PeakingEqBank eq(rate, 2);
        for (int k = 0; k < 15; ++k) ASSERT_TRUE(eq.set_band(k, bands[size_t(k)]));
        const size_t frames = size_t(rate) * 2;  // the last second is steady, even at 40 Hz
        auto in = sine(freq, rate, frames, 2, 0.01);
        auto out = in;
        eq.process(out.data(), frames);
        const double want = reference_gain_db(bands, rate, freq);
        for (unsigned ch = 0; ch < 2; ++ch) {
          const double got = db(fitted_amplitude(out, 2, ch, frames / 2, frames, freq, rate) /
                                fitted_amplitude(in, 2, ch, frames / 2, frames, freq, rate));
          EXPECT_NEAR(got, want, 0.05) << "rate " << rate << " band " << b << " channel " << ch;
        }
      }
    }
  }
}

// The cascade lags each band a sample behind the one before it inside a block:
// the output must not depend on how the stream is cut into blocks (1 frame, fewer
// frames than bands, any size), and every channel of a mono, stereo or
// three-channel stream comes out the same for the same input. The caller's
// floating-point state is left as it was.
TEST(PeakingEq, OutputDoesNotDependOnBlocksOrChannelCount) {
  const size_t frames = 20000;
  const std::vector<float> mono = noise(frames, 0.5, 3);
  auto run = [&](unsigned chans, const std::vector<size_t>& blocks) {
    PeakingEqBank eq(kRate, chans);
    for (int b = 0; b < 15; ++b) eq.set_band(b, band_at(kPlayerCentres[b], (b % 3 - 1) * 9.0));
    std::vector<float> buf(frames * chans);
    for (size_t i = 0; i < frames; ++i)
      for (unsigned c = 0; c < chans; ++c) buf[i * chans + c] = mono[i];
    size_t at = 0;
    for (size_t k = 0; at < frames; ++k) {
      const size_t n = std::min(blocks[k % blocks.size()], frames - at);
      const unsigned csr = _mm_getcsr();
      eq.process(buf.data() + at * chans, n);
      EXPECT_EQ(_mm_getcsr(), csr);
      at += n;
    }
    return buf;
  };
  const std::vector<float> whole = run(1, {frames});
  EXPECT_NE(whole, mono);
  const struct {
    unsigned chans;
    std::vector<size_t> blocks;
  } cases[] = {{1, {1}}, {1, {3, 14, 15, 16, 1000}}, {2, {frames}}, {2, {7, 1, 4096, 2}}, {3, {frames}},
               {3, {29, 30, 31}}};
  for (const auto& c : cases) {
    const std::vector<float> got = run(c.chans, c.blocks);
    for (size_t i = 0; i < frames; ++i)
      for (unsigned ch = 0; ch < c.chans; ++ch)
        ASSERT_EQ(got[i * c.chans + ch], whole[i]) << c.chans << " channels, frame " << i << " channel " << ch;
  }
}
