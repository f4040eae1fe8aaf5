#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <vector>

#include "pitch_resampler.h"
#include "signal_helpers.h"

namespace lentaro {
namespace {

std::vector<double> resample(PitchResampler& r, const std::vector<double>& in) {
  std::vector<double> out;
  for (double v : in) {
    r.setInput(float(v));
    bool more = true;
    for (;;) {
      const float y = r.nextOutput(more);
      if (!more) break;
      out.push_back(y);
    }
  }
  return out;
}

TEST(PitchResampler, PitchZeroDelaysBySevenSamples) {
  auto r = std::make_unique<PitchResampler>();
  r->setPitch(0.0f);
  std::mt19937 rng(1);
  std::uniform_real_distribution<double> d(-10000, 10000);
  std::vector<double> in(500);
  for (auto& v : in) v = d(rng);
  const std::vector<double> out = resample(*r, in);
  ASSERT_EQ(out.size(), in.size());
  for (size_t i = 0; i < in.size(); ++i) {
    const double expected = i < 7 ? 0.0 : in[i - 7];
    ASSERT_NEAR(out[i], expected, 1e-3) << i;
  }
}

TEST(PitchResampler, OutputCountsAndFrequencyShift) {
  struct Case {
    float pitch;
    size_t expectedCount;  // over 300 000 inputs
  } cases[] = {{1.0f, 283162}, {-1.0f, 317838}, {0.5f, 291460}};
  const double rate = 44100;
  const auto sine = test::sine16(1000, rate, 10000, 300000);
  const std::vector<double> in(sine.begin(), sine.end());
  for (const Case& c : cases) {
    auto r = std::make_unique<PitchResampler>();
    r->setPitch(c.pitch);
    const std::vector<double> out = resample(*r, in);
    EXPECT_NEAR(double(out.size()), double(c.expectedCount), 3.0) << c.pitch;
    // Played at the unchanged rate, the sine is transposed by the pitch.
    const double freq = tav::test::ZeroCrossingFrequency(out, 1, 1000, out.size()) * rate;
    const double expected = 1000.0 * std::exp2(c.pitch / 12.0);
    EXPECT_NEAR(freq / expected, 1.0, 0.0002) << c.pitch;
    EXPECT_NEAR(test::fittedAmplitude(out, 2000, 4000, freq / rate), 10000, 50) << c.pitch;
  }
}

TEST(PitchResampler, FirstInputAfterSetPitchYieldsAnOutput) {
  auto r = std::make_unique<PitchResampler>();
  r->setPitch(1.0f);
  for (int i = 0; i < 37; ++i) resample(*r, {1.0});
  r->setPitch(1.0f);
  r->setInput(5.0f);
  bool more = false;
  r->nextOutput(more);
  EXPECT_TRUE(more);
}

}  // namespace
}  // namespace lentaro
