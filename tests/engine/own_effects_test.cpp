#include "tav/engine/own_effects.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "fake_bass.h"
#include "tav/engine/globals.h"

namespace {

using namespace tav::engine;

using Proc = void(BASSCALLBACK*)(HDSP, DWORD, void*, DWORD, void*);

// Runs a procedure over `frames` stereo frames of silence with one impulse.
std::vector<float> Impulse(Proc proc, int frames, int impulseFrame, int channel) {
  std::vector<float> s(static_cast<size_t>(frames) * 2, 0.0f);
  s[static_cast<size_t>(impulseFrame) * 2 + channel] = 1.0f;
  proc(0, 0, s.data(), static_cast<DWORD>(s.size() * sizeof(float)), nullptr);
  return s;
}

TEST(FloatMod, SignOfTheDividend) {
  EXPECT_NEAR(FloatMod(3.2f, 3.1415927f), 0.0584073f, 1e-6);
  EXPECT_FLOAT_EQ(FloatMod(-0.5f, 1.0f), -0.5f);
  EXPECT_FLOAT_EQ(FloatMod(7.25f, 2.0f), 1.25f);
}

TEST(RotateDSPProc, StartsAtAQuarterTurnAndSwings) {
  ResetRotate();
  std::vector<float> s(2 * 26180, 1.0f);  // a quarter turn: (pi/4) / 0.00003 frames
  RotateDSPProc(0, 0, s.data(), static_cast<DWORD>(s.size() * sizeof(float)), nullptr);
  EXPECT_NEAR(s[0], 0.70710677f, 1e-6);
  EXPECT_NEAR(s[1], 0.70710677f, 1e-6);
  // A quarter turn later the sound sits on the left alone.
  EXPECT_NEAR(s[s.size() - 2], 1.0f, 1e-3);
  EXPECT_NEAR(s[s.size() - 1], 0.0f, 2e-2);
}

TEST(EchoDSPProc, CrossesChannelsAtHalfAndQuarterLevel) {
  ResetEcho();
  const auto s = Impulse(&EchoDSPProc, 3000, 0, 0);  // left impulse
  auto at = [&](int frame, int ch) { return s[static_cast<size_t>(frame) * 2 + ch]; };
  EXPECT_FLOAT_EQ(at(0, 0), 1.0f);
  EXPECT_FLOAT_EQ(at(1200, 1), 0.5f);
  EXPECT_FLOAT_EQ(at(1200, 0), 0.0f);
  EXPECT_FLOAT_EQ(at(2400, 0), 0.25f);
  EXPECT_FLOAT_EQ(at(2400, 1), 0.0f);
  float rest = 0.0f;
  for (int f = 1; f < 3000; ++f)
    if (f != 1200 && f != 2400) rest += std::fabs(at(f, 0)) + std::fabs(at(f, 1));
  EXPECT_EQ(rest, 0.0f);
}

TEST(EchoDSPProc, KeepsItsRingAcrossCalls) {
  ResetEcho();
  std::vector<float> a(2 * 700, 0.0f), b(2 * 700, 0.0f);
  a[1] = 1.0f;  // right impulse
  EchoDSPProc(0, 0, a.data(), static_cast<DWORD>(a.size() * sizeof(float)), nullptr);
  EchoDSPProc(0, 0, b.data(), static_cast<DWORD>(b.size() * sizeof(float)), nullptr);
  EXPECT_FLOAT_EQ(b[(1200 - 700) * 2], 0.5f);  // into the left, 1200 frames on
}

TEST(FlangerDSPProc, DelayedCopyNear175FramesAtFullLevel) {
  ResetFlanger();
  const auto s = Impulse(&FlangerDSPProc, 400, 0, 1);
  EXPECT_FLOAT_EQ(s[1], 1.0f);  // dry
  float wet = 0.0f;
  int first = -1;
  for (int f = 1; f < 400; ++f) {
    wet += s[static_cast<size_t>(f) * 2 + 1];
    EXPECT_EQ(s[static_cast<size_t>(f) * 2], 0.0f);
    if (first < 0 && s[static_cast<size_t>(f) * 2 + 1] != 0.0f) first = f;
  }
  EXPECT_EQ(first, 174);  // the delay has grown past 175 by then
  EXPECT_NEAR(wet, 1.0f, 5e-3);  // split over two frames by the fraction
}

TEST(FlangerDSPProc, StepTurnsAtTheEndsOfTheSweep) {
  ResetFlanger();
  EffectState.FlangerDelay = 349.999f;
  std::vector<float> s(2 * 4, 0.0f);
  FlangerDSPProc(0, 0, s.data(), static_cast<DWORD>(s.size() * sizeof(float)), nullptr);
  EXPECT_LT(EffectState.FlangerStep, 0.0f);
  EXPECT_GT(EffectState.FlangerDelay, 349.99f);
}

// Odd float counts: the trailing float is neither read nor written. The
// buffer is exactly as long as the count, so a sanitizer sees any overrun.
TEST(OwnEffects, OddLengthBuffersStopAtTheLastWholePair) {
  const Proc procs[] = {&RotateDSPProc, &EchoDSPProc, &FlangerDSPProc};
  for (Proc proc : procs) {
    ResetRotate();
    ResetEcho();
    ResetFlanger();
    for (size_t count : {1u, 3u, 4801u}) {
      auto s = std::make_unique<float[]>(count);
      for (size_t i = 0; i < count; ++i) s[i] = 0.25f;
      proc(0, 0, s.get(), static_cast<DWORD>(count * sizeof(float)), nullptr);
      EXPECT_EQ(s[count - 1], 0.25f) << count;
    }
    // A length that is not even whole floats.
    auto t = std::make_unique<float[]>(2);
    t[0] = t[1] = 0.5f;
    proc(0, 0, t.get(), 7, nullptr);
    EXPECT_EQ(t[1], 0.5f);
  }
}

// Streams of one and of six channels: the procedures ask the stream's
// channel count and work on the front pair, or on the one channel.
class ChannelLayouts : public ::testing::Test {
 protected:
  void SetUp() override { fake::Reset(); }
  void TearDown() override { fake::Reset(); }
  std::vector<float> Run(Proc proc, DWORD chans, std::vector<float> s) {
    fake::Bass.info.chans = chans;
    proc(0, 0, s.data(), static_cast<DWORD>(s.size() * sizeof(float)), nullptr);
    return s;
  }
};

TEST_F(ChannelLayouts, MonoRotationIsALevelSwingWithoutSampleToSampleModulation) {
  ResetRotate();
  // One step a sample: a quarter turn is (pi/4) / 0.00003 = 26180 samples.
  const auto s = Run(&RotateDSPProc, 1, std::vector<float>(52361, 1.0f));
  EXPECT_NEAR(s[0], 0.70710677f, 1e-6);      // (|sin| + |cos|) / 2 at pi/4
  EXPECT_NEAR(s[26180], 0.5f, 1e-3);         // the quarter turn: at pi/2 the sound is softest
  EXPECT_NEAR(s[52360], 0.70710677f, 1e-3);  // and back up at 3 pi/4
  float jump = 0.0f;
  for (size_t i = 1; i < s.size(); ++i) jump = std::max(jump, std::fabs(s[i] - s[i - 1]));
  EXPECT_LT(jump, 1e-4f) << "neighbouring samples take the same gain";
}

TEST_F(ChannelLayouts, MonoEchoAndFlangerKeepTheirDelaysInFrames) {
  ResetEcho();
  std::vector<float> impulse(3000, 0.0f);
  impulse[0] = 1.0f;
  const auto echo = Run(&EchoDSPProc, 1, impulse);
  EXPECT_FLOAT_EQ(echo[1200], 0.5f);
  EXPECT_FLOAT_EQ(echo[2400], 0.25f);
  EXPECT_FLOAT_EQ(echo[600], 0.0f);

  ResetFlanger();
  const auto flanged = Run(&FlangerDSPProc, 1, std::vector<float>(impulse.begin(), impulse.begin() + 400));
  float wet = 0.0f;
  int first = -1;
  for (int i = 1; i < 400; ++i) {
    wet += flanged[static_cast<size_t>(i)];
    if (first < 0 && flanged[static_cast<size_t>(i)] != 0.0f) first = i;
  }
  EXPECT_EQ(first, 174);
  EXPECT_NEAR(wet, 1.0f, 5e-3);
}

// On six channels the front pair gets the effect and the other four pass as
// they are: nothing of the centre or the surrounds reaches the front pair.
TEST_F(ChannelLayouts, SixChannelsTheFrontPairOnly) {
  const Proc procs[] = {&RotateDSPProc, &EchoDSPProc, &FlangerDSPProc};
  for (Proc proc : procs) {
    ResetRotate();
    ResetEcho();
    ResetFlanger();
    std::vector<float> s(6 * 3000, 0.0f);
    for (size_t f = 0; f < 3000; ++f)
      for (size_t c = 2; c < 6; ++c) s[f * 6 + c] = 0.25f * static_cast<float>(c);
    const auto out = Run(proc, 6, s);
    for (size_t f = 0; f < 3000; ++f) {
      ASSERT_EQ(out[f * 6], 0.0f) << f;
      ASSERT_EQ(out[f * 6 + 1], 0.0f) << f;
      for (size_t c = 2; c < 6; ++c) ASSERT_EQ(out[f * 6 + c], s[f * 6 + c]) << f << " " << c;
    }
  }
  ResetEcho();
  std::vector<float> s(6 * 1300, 0.0f);
  s[0] = 1.0f;  // front left
  const auto out = Run(&EchoDSPProc, 6, s);
  EXPECT_FLOAT_EQ(out[1200 * 6 + 1], 0.5f);  // crossed into the front right 1200 frames on
}

class Equaliser : public ::testing::Test {
 protected:
  void SetUp() override {
    fake::Reset();
    StreamState.DecodeStream = 42;
    EqSliderPosition = nullptr;
  }
  void TearDown() override { EqSliderPosition = nullptr; }
};

TEST_F(Equaliser, FifteenBandsAtTheirCentresThenTheSliderGains) {
  EqSliderPosition = [](int band) { return band * 2; };  // 0, 2, .. 28
  CreateEq();
  const auto set = fake::Calls("SetFX");
  ASSERT_EQ(set.size(), 1u);
  EXPECT_EQ(set[0], "SetFX 42 0x10004 0");

  const float centres[] = {40, 63, 100, 160, 250, 400, 630, 1000, 1600, 2500, 4000, 6300, 10000, 14000, 16000};
  std::vector<std::string> expected;
  for (int b = 0; b < 15; ++b)
    expected.push_back("FXSet " + std::to_string(b) + " 2.5 0 " + std::to_string(static_cast<int>(centres[b])) +
                       " 0 -1");
  for (int b = 0; b < 15; ++b) {
    expected.push_back("FXGet " + std::to_string(b));
    expected.push_back("FXSet " + std::to_string(b) + " 2.5 0 " + std::to_string(static_cast<int>(centres[b])) +
                       " " + std::to_string(b * 2 - 15) + " -1");
  }
  std::vector<std::string> got;
  for (const auto& line : fake::Bass.log)
    if (line.rfind("FX", 0) == 0) got.push_back(line);
  EXPECT_EQ(got, expected);
}

TEST_F(Equaliser, FlatAtMiddleAndARefusedBandIsSkipped) {
  CreateEq();
  fake::Bass.log.clear();
  fake::Bass.refusedBands = {7};
  EqSliderPosition = [](int) { return 30; };
  ApplyEqGains();
  EXPECT_EQ(fake::Calls("FXSet").size(), 14u);
  EXPECT_EQ(fake::Bass.bands[7].fGain, 0.0f);
  EXPECT_EQ(fake::Bass.bands[7].fCenter, 1000.0f);
  EXPECT_EQ(fake::Bass.bands[8].fGain, 15.0f);
  EXPECT_EQ(fake::Bass.bands[8].fCenter, 1600.0f);
}

}  // namespace
