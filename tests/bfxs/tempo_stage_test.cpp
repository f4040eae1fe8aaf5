#include <gtest/gtest.h>

#include "signals.h"
#include "tav/test/frequency.h"
#include "tempo_stage.h"

using namespace tav::bfxs;
using namespace tav::bfxs::test;

namespace {
constexpr double kRate = 44100;

std::vector<float> run(TempoStage& stage, unsigned chans) {
  std::vector<float> out, buf(4608 / 4 * chans);
  while (size_t n = stage.read(buf.data(), 4608 / 4)) out.insert(out.end(), buf.begin(), buf.begin() + n * chans);
  return out;
}
}  // namespace

TEST(TempoStage, TempoAndPitchChangeIndependently) {
  struct Case { float tempo, pitch; double duration_factor, frequency; } cases[] = {
      {0, 12, 1.0, 880.0},
      {45, 0, 1 / 1.45, 440.0},
      {-45, 0, 1 / 0.55, 440.0},
      {-45, -12, 1 / 0.55, 220.0},
  };
  for (const auto& c : cases) {
    const size_t frames = size_t(kRate) * 6;
    VectorSource src(sine(440, kRate, frames, 2), 2);
    TempoStage stage(src, unsigned(kRate), 2);
    ASSERT_TRUE(stage.set_tempo_percent(c.tempo));
    ASSERT_TRUE(stage.set_pitch_semitones(c.pitch));
    auto out = run(stage, 2);
    const size_t out_frames = out.size() / 2;
    EXPECT_NEAR(out_frames / (frames * c.duration_factor), 1.0, 0.01) << c.tempo << " " << c.pitch;
    const double hz = tav::test::ZeroCrossingFrequency(out, 2, out_frames / 5, out_frames * 4 / 5) * kRate;
    EXPECT_NEAR(hz / c.frequency, 1.0, 0.005) << c.tempo << " " << c.pitch;
    EXPECT_TRUE(stage.ended());
    EXPECT_EQ(0u, stage.pending_source_frames());
  }
}

TEST(TempoStage, PendingFramesAccountForWhatWasTakenIn) {
  VectorSource src(sine(440, kRate, 441000, 2), 2);
  TempoStage stage(src, unsigned(kRate), 2);
  ASSERT_TRUE(stage.set_tempo_percent(30));
  std::vector<float> buf(2 * 4410);
  for (int i = 0; i < 30; ++i) ASSERT_EQ(4410u, stage.read(buf.data(), 4410));
  // 30 blocks of 0.1 s at +30 % consumed about 3.9 s of source
  const double heard = double(src.pos()) - double(stage.pending_source_frames());
  EXPECT_NEAR(heard / (30 * 4410 * 1.3), 1.0, 0.01);

  stage.flush();
  EXPECT_EQ(0u, stage.pending_source_frames());
  ASSERT_TRUE(src.seek(0));
  EXPECT_EQ(4410u, stage.read(buf.data(), 4410));
}

TEST(TempoStage, RefusesValuesOutsideItsRange) {
  VectorSource src(std::vector<float>(100), 1);
  TempoStage stage(src, 44100, 1);
  EXPECT_FALSE(stage.set_tempo_percent(-96));
  EXPECT_FALSE(stage.set_tempo_percent(NAN));
  EXPECT_FALSE(stage.set_pitch_semitones(61));
  EXPECT_TRUE(stage.set_tempo_percent(45));
  EXPECT_TRUE(stage.set_pitch_semitones(-30));
  EXPECT_EQ(45.0f, stage.tempo_percent());
  EXPECT_EQ(-30.0f, stage.pitch_semitones());
}
