// DirectX 8 echo and reverb: as effects in a stream's chain through the C interface (an
// impulse through the echo, parameter records, defaults and ranges), and the reverb's
// decay time, stability and behaviour on silence on the DSP class itself.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

#include "bass.h"
#include "dx8_echo.h"
#include "dx8_reverb.h"
#include "wav_image.h"

namespace {

using tav::audio::Dx8Echo;
using tav::audio::Dx8Reverb;
using tav::audio::EchoSettings;
using tav::audio::ReverbSettings;

constexpr unsigned kRate = 44100;

// A decoding float stream of 2.5 s of stereo silence with one impulse at frame 0.
struct ImpulseStream {
  std::vector<uint8_t> wav;
  HSTREAM handle = 0;
  explicit ImpulseStream(int16_t left, int16_t right) {
    std::vector<int16_t> s(2 * kRate * 5 / 2, 0);
    s[0] = left;
    s[1] = right;
    wav = tav::test::wav_image(s, kRate, 2);
    handle = BASS_StreamCreateFile(TRUE, wav.data(), 0, wav.size(), BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT);
  }
  ~ImpulseStream() { BASS_StreamFree(handle); }
  std::vector<float> read() const {
    std::vector<float> out, block(4608 / 4);
    DWORD got;
    while ((got = BASS_ChannelGetData(handle, block.data(), 4608)) != static_cast<DWORD>(-1) && got)
      out.insert(out.end(), block.begin(), block.begin() + got / 4);
    return out;
  }
};

// The non-zero samples of one channel as (frame, value).
std::vector<std::pair<size_t, float>> taps(const std::vector<float>& s, unsigned channel) {
  std::vector<std::pair<size_t, float>> out;
  for (size_t f = 0; f < s.size() / 2; ++f)
    if (std::fabs(s[2 * f + channel]) > 1e-6f) out.emplace_back(f, s[2 * f + channel]);
  return out;
}

TEST(Dx8Echo, ImpulseRepeatsEvery500MsOnBothChannelsWithTheDefaults) {
  ImpulseStream in(16384, 16384);  // 0.5
  ASSERT_NE(in.handle, 0u);
  const HFX fx = BASS_ChannelSetFX(in.handle, BASS_FX_DX8_ECHO, 0);
  ASSERT_NE(fx, 0u) << BASS_ErrorGetCode();
  BASS_DX8_ECHO p{};
  ASSERT_TRUE(BASS_FXGetParameters(fx, &p));
  EXPECT_EQ(p.fWetDryMix, 50.0f);
  EXPECT_EQ(p.fFeedback, 50.0f);
  EXPECT_EQ(p.fLeftDelay, 500.0f);
  EXPECT_EQ(p.fRightDelay, 500.0f);
  EXPECT_EQ(p.lPanDelay, FALSE);

  const std::vector<float> out = in.read();
  // dry half, then the echo at 500 ms, 1000 ms, 1500 ms and 2000 ms, halved each time
  const std::vector<std::pair<size_t, float>> expected = {
      {0, 0.25f}, {22050, 0.25f}, {44100, 0.125f}, {66150, 0.0625f}, {88200, 0.03125f}};
  for (unsigned c = 0; c < 2; ++c) {
    const auto got = taps(out, c);
    ASSERT_EQ(got.size(), expected.size()) << "channel " << c;
    for (size_t i = 0; i < got.size(); ++i) {
      EXPECT_EQ(got[i].first, expected[i].first) << "channel " << c << " echo " << i;
      EXPECT_NEAR(got[i].second, expected[i].second, 1e-6) << "channel " << c << " echo " << i;
    }
  }
}

TEST(Dx8Echo, PanDelayAlternatesTheEchoesBetweenTheSides) {
  ImpulseStream in(16384, 0);  // left only
  const HFX fx = BASS_ChannelSetFX(in.handle, BASS_FX_DX8_ECHO, 0);
  const BASS_DX8_ECHO p{100.0f, 50.0f, 100.0f, 300.0f, TRUE};
  ASSERT_TRUE(BASS_FXSetParameters(fx, &p));
  const std::vector<float> out = in.read();
  // left line -> left echo at 100 ms -> right line -> right echo 300 ms later -> left ...
  const auto left = taps(out, 0), right = taps(out, 1);
  ASSERT_GE(left.size(), 2u);
  ASSERT_GE(right.size(), 2u);
  EXPECT_EQ(left[0].first, 4410u);
  EXPECT_NEAR(left[0].second, 0.5f, 1e-6);
  EXPECT_EQ(right[0].first, 4410u + 13230u);
  EXPECT_NEAR(right[0].second, 0.25f, 1e-6);
  EXPECT_EQ(left[1].first, 4410u + 13230u + 4410u);
  EXPECT_NEAR(left[1].second, 0.125f, 1e-6);
}

TEST(Dx8Effects, RecordsAreCheckedAgainstTheirRanges) {
  ImpulseStream in(0, 0);
  const HFX echo = BASS_ChannelSetFX(in.handle, BASS_FX_DX8_ECHO, 0);
  const HFX reverb = BASS_ChannelSetFX(in.handle, BASS_FX_DX8_REVERB, 0);
  ASSERT_NE(echo, 0u);
  ASSERT_NE(reverb, 0u);

  BASS_DX8_REVERB r{};
  ASSERT_TRUE(BASS_FXGetParameters(reverb, &r));
  EXPECT_EQ(r.fInGain, 0.0f);
  EXPECT_EQ(r.fReverbMix, 0.0f);
  EXPECT_EQ(r.fReverbTime, 1000.0f);
  EXPECT_EQ(r.fHighFreqRTRatio, 0.001f);

  const BASS_DX8_ECHO bad_echo[] = {
      {-1, 50, 500, 500, 0}, {101, 50, 500, 500, 0}, {50, 100.5f, 500, 500, 0},
      {50, 50, 0.5f, 500, 0}, {50, 50, 500, 2001, 0}, {NAN, 50, 500, 500, 0}};
  for (const auto& p : bad_echo) {
    EXPECT_FALSE(BASS_FXSetParameters(echo, &p));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
  }
  const BASS_DX8_REVERB bad_reverb[] = {
      {1, 0, 1000, 0.5f}, {-97, 0, 1000, 0.5f}, {0, 0.5f, 1000, 0.5f},
      {0, 0, 0, 0.5f},    {0, 0, 3001, 0.5f},   {0, 0, 1000, 1.0f}, {0, 0, 1000, 0}};
  for (const auto& p : bad_reverb) {
    EXPECT_FALSE(BASS_FXSetParameters(reverb, &p));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
  }
  // nothing of the refused records came through
  BASS_DX8_ECHO e{};
  ASSERT_TRUE(BASS_FXGetParameters(echo, &e));
  EXPECT_EQ(e.fWetDryMix, 50.0f);
  ASSERT_TRUE(BASS_FXGetParameters(reverb, &r));
  EXPECT_EQ(r.fReverbTime, 1000.0f);

  // the ends of the ranges are accepted and read back
  const BASS_DX8_ECHO edge_echo{0, 100, 1, 2000, TRUE};
  ASSERT_TRUE(BASS_FXSetParameters(echo, &edge_echo));
  ASSERT_TRUE(BASS_FXGetParameters(echo, &e));
  EXPECT_EQ(e.fFeedback, 100.0f);
  EXPECT_EQ(e.fRightDelay, 2000.0f);
  EXPECT_EQ(e.lPanDelay, TRUE);
  const BASS_DX8_REVERB edge_reverb{-96, -96, 0.001f, 0.999f};
  ASSERT_TRUE(BASS_FXSetParameters(reverb, &edge_reverb));
  ASSERT_TRUE(BASS_FXGetParameters(reverb, &r));
  EXPECT_EQ(r.fReverbMix, -96.0f);
  EXPECT_EQ(r.fHighFreqRTRatio, 0.999f);

  // a removed effect's handle is stale; a new one starts from the defaults
  ASSERT_TRUE(BASS_ChannelRemoveFX(in.handle, reverb));
  EXPECT_FALSE(BASS_FXGetParameters(reverb, &r));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  const HFX again = BASS_ChannelSetFX(in.handle, BASS_FX_DX8_REVERB, 0);
  ASSERT_TRUE(BASS_FXGetParameters(again, &r));
  EXPECT_EQ(r.fReverbMix, 0.0f);
}

// White noise bursts of `burst` frames, then `tail` frames of silence, stereo.
std::vector<float> burst_then_silence(size_t burst, size_t tail, uint32_t seed) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> u(-0.5f, 0.5f);
  std::vector<float> s(2 * (burst + tail), 0.0f);
  for (size_t i = 0; i < 2 * burst; ++i) s[i] = u(rng);
  return s;
}

// Reverb time from the energy decay curve (backward-integrated energy) of the tail:
// the time from -10 dB to -30 dB, times three.
double measured_reverb_time(const std::vector<float>& s, size_t from_frame, unsigned rate) {
  const size_t frames = s.size() / 2;
  std::vector<double> edc(frames - from_frame + 1, 0.0);
  for (size_t f = frames; f-- > from_frame;)
    edc[f - from_frame] = edc[f - from_frame + 1] + double(s[2 * f]) * s[2 * f] + double(s[2 * f + 1]) * s[2 * f + 1];
  const double total = edc[0];
  auto time_at = [&](double db) {
    const double level = total * std::pow(10.0, db / 10.0);
    size_t i = 0;
    while (i < edc.size() && edc[i] > level) ++i;
    return double(i) / rate;
  };
  return 3.0 * (time_at(-30) - time_at(-10));
}

TEST(Dx8Reverb, DecayTimeOfNoiseBurstsFollowsTheSetReverbTime) {
  for (float rt : {300.0f, 1000.0f, 2500.0f}) {
    for (float ratio : {0.001f, 0.999f}) {
      Dx8Reverb reverb(kRate, 2);
      ASSERT_TRUE(reverb.set(ReverbSettings{0, 0, rt, ratio}));
      const size_t burst = kRate / 5;
      std::vector<float> s = burst_then_silence(burst, static_cast<size_t>(kRate * (rt / 1000.0 * 2.5 + 0.5)), 7);
      reverb.process(s.data(), s.size() / 2);
      const double t60 = measured_reverb_time(s, burst, kRate) * 1000.0;
      EXPECT_NEAR(t60, rt, 0.2 * rt) << "reverb time " << rt << " ms, high-frequency ratio " << ratio;
      std::printf("reverb time %.0f ms, ratio %.3f: measured %.0f ms\n", rt, ratio, t60);
    }
  }
}

TEST(Dx8Reverb, StaysBoundedOnLongLoudInputAndSettlesToExactSilence) {
  Dx8Reverb reverb(kRate, 2);
  ASSERT_TRUE(reverb.set(ReverbSettings{0, 0, 3000, 0.999f}));  // the longest, brightest tail
  std::mt19937 rng(3);
  std::uniform_real_distribution<float> u(-1.0f, 1.0f);
  std::vector<float> block(2 * kRate);
  double first_rms = 0, peak = 0;
  for (int second = 0; second < 20; ++second) {
    for (float& v : block) v = u(rng);
    reverb.process(block.data(), kRate);
    double sum = 0;
    for (float v : block) {
      sum += double(v) * v;
      peak = std::max(peak, double(std::fabs(v)));
    }
    const double rms = std::sqrt(sum / block.size());
    if (second == 2) first_rms = rms;
    if (second > 2) {
      EXPECT_LT(rms, first_rms * 1.1) << "second " << second;
    }
  }
  EXPECT_LT(peak, 8.0);  // full-scale noise plus the loudest tail
  // then a minute of silence: the tail dies away to zero, never through subnormal values
  size_t subnormal = 0;
  bool silent_at_end = false;
  for (int second = 0; second < 60; ++second) {
    std::fill(block.begin(), block.end(), 0.0f);
    reverb.process(block.data(), kRate);
    silent_at_end = true;
    for (float v : block) {
      subnormal += std::fpclassify(v) == FP_SUBNORMAL;
      silent_at_end &= v == 0.0f;
    }
  }
  EXPECT_EQ(subnormal, 0u);
  EXPECT_TRUE(silent_at_end);
}

TEST(Dx8Echo, FullFeedbackKeepsTheLevelAndSilenceStaysClean) {
  Dx8Echo echo(kRate, 2);
  ASSERT_TRUE(echo.set(EchoSettings{50, 100, 100, 100, false}));
  std::vector<float> s(2 * kRate * 10, 0.0f);
  s[0] = s[1] = 1.0f;
  echo.process(s.data(), s.size() / 2);
  // every 100 ms the echo comes back at full strength, never louder
  for (size_t f = 4410; f < s.size() / 2; f += 4410) ASSERT_NEAR(s[2 * f], 0.5f, 1e-6) << f;
  ASSERT_TRUE(echo.set(EchoSettings{50, 90, 1, 1, true}));
  std::fill(s.begin(), s.end(), 0.0f);
  s[0] = 1.0f;
  echo.process(s.data(), s.size() / 2);
  size_t subnormal = 0;
  for (float v : s) subnormal += std::fpclassify(v) == FP_SUBNORMAL;
  EXPECT_EQ(subnormal, 0u);
  EXPECT_EQ(s[s.size() - 1], 0.0f);
}

}  // namespace
