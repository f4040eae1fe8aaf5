#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <random>
#include <vector>

#include "sample_codec.h"
#include "signal_helpers.h"
#include "stretch_runner.h"
#include "time_stretcher.h"

namespace lentaro {
namespace {

using test::StretchRunner;

std::unique_ptr<TimeStretcher> makeEngine(float stretch, float pitch, int rate, int frame) {
  auto e = std::make_unique<TimeStretcher>();
  e->setFrameParams(TimeStretcher::kOverlap, frame);
  EXPECT_EQ(e->setup(stretch, pitch, rate, 16), 1);
  return e;
}

std::vector<int16_t> noise(size_t count, unsigned seed, int amplitude = 10000) {
  std::mt19937 rng(seed);
  std::uniform_int_distribution<int> d(-amplitude, amplitude);
  std::vector<int16_t> v(count);
  for (auto& x : v) x = int16_t(d(rng));
  return v;
}

TEST(TimeStretcher, HopsFollowStretchAndPitch) {
  struct Case {
    float stretch, pitch;
    int rate, frame, hopIn, hopOut;
  } cases[] = {
      {1.0f, 0.0f, 44100, 2048, 512, 512},  {0.5f, 0.0f, 44100, 2048, 512, 256},
      {2.0f, 0.0f, 44100, 2048, 256, 512},  {1.7f, 0.0f, 44100, 2048, 301, 511},
      {1.0f, 0.0f, 16000, 512, 128, 128},   {1.0f, 0.5f, 44100, 2048, 497, 511},
      {1.0f, -0.5f, 44100, 2048, 512, 497},
  };
  for (const Case& c : cases) {
    auto e = makeEngine(c.stretch, c.pitch, c.rate, c.frame);
    EXPECT_EQ(e->frameSize(), c.frame);
    EXPECT_EQ(e->analysisHop(), c.hopIn) << c.stretch << " " << c.pitch;
    EXPECT_EQ(e->synthesisHop(), c.hopOut) << c.stretch << " " << c.pitch;
  }
}

// Once the latency has passed, every hop of D input samples gives exactly I
// output samples; a block short of a hop is carried whole.
TEST(TimeStretcher, EveryHopWritesItsSynthesisHop) {
  for (float stretch : {0.5f, 1.0f, 1.7f, 2.0f}) {
    auto e = makeEngine(stretch, 0.0f, 44100, 2048);
    StretchRunner run(*e);
    const auto in = noise(200000, 3);
    const int D = e->analysisHop(), I = e->synthesisHop();
    const int first = (e->frameSize() - 1) % D + 1;
    EXPECT_EQ(run.feed(in.data(), first - 1), 0);  // carried whole
    EXPECT_EQ(run.feed(in.data() + first - 1, 1), 0);
    size_t pos = size_t(first);
    int started = 0;
    for (int hop = 0; hop < 60; ++hop, pos += size_t(D)) {
      const int got = run.feed(in.data() + pos, D);
      if (got == 0 && started == 0) continue;
      if (started++ == 0) continue;  // the first output hop may be partial
      ASSERT_EQ(got, I) << "stretch " << stretch << " hop " << hop;
    }
    EXPECT_GT(started, 40);
  }
}

// Output/input ratio in the steady state equals the stretch for every pitch (up
// to the whole-sample hops), and exactly I/D times the resampler's ratio.
TEST(TimeStretcher, OutputLengthRatioIsTheStretchForEveryPitch) {
  const auto in = noise(22050 * 6, 5);
  for (float stretch : {0.5f, 1.0f, 1.7f, 2.0f}) {
    for (float pitch : {-1.0f, -0.37f, 0.0f, 0.5f, 1.0f}) {
      auto e = makeEngine(stretch, pitch, 22050, 1024);
      StretchRunner run(*e);
      run.feedAll({in.begin(), in.begin() + 22050 * 2}, [] { return 1152; });
      const size_t at2 = run.output.size();
      run.feedAll({in.begin() + 22050 * 2, in.end()}, [] { return 1152; });
      const double ratio = double(run.output.size() - at2) / (22050.0 * 4);
      const double resampler = pitch == 0.0f ? 1.0 : 300.0 / e->step();
      // the cut points fall anywhere within a hop: one hop's output of slack
      const double slack = 1.1 * e->synthesisHop() / (22050.0 * 4);
      EXPECT_NEAR(ratio, e->vocoderStretch() * resampler, slack) << stretch << " " << pitch;
      EXPECT_NEAR(ratio / stretch, 1.0, 1.0 / e->synthesisHop() + slack) << stretch << " " << pitch;
    }
  }
}

TEST(TimeStretcher, OutputDoesNotDependOnBlockSizes) {
  const auto in = noise(60000, 9);
  for (float pitch : {0.0f, 0.3f}) {
    std::vector<std::vector<int16_t>> outputs;
    std::mt19937 rng(4);
    std::uniform_int_distribution<int> sizes(1, 6000);
    const std::function<int()> schemes[] = {[] { return 1152; }, [] { return 17; }, [] { return 4500; },
                                            [&] { return sizes(rng); }};
    for (const auto& scheme : schemes) {
      auto e = makeEngine(1.3f, pitch, 44100, 2048);
      StretchRunner run(*e);
      run.feedAll(in, scheme);
      outputs.push_back(run.output);
    }
    // the last partial hop may stay carried, so compare the common length
    size_t common = outputs[0].size();
    for (const auto& o : outputs) common = std::min(common, o.size());
    ASSERT_GT(common, 60000u);
    for (size_t s = 1; s < outputs.size(); ++s)
      EXPECT_TRUE(std::equal(outputs[0].begin(), outputs[0].begin() + long(common), outputs[s].begin()))
          << "scheme " << s << " pitch " << pitch;
  }
}

// A steady 1 kHz sine keeps its frequency and amplitude; only its duration changes.
TEST(TimeStretcher, SineKeepsFrequencyAndAmplitude) {
  struct Case {
    int rate, frame;
    float stretch, pitch;
  } cases[] = {
      {16000, 512, 0.5f, 0}, {16000, 512, 1.0f, 0},  {16000, 512, 2.0f, 0},   {44100, 2048, 0.5f, 0},
      {44100, 2048, 1.0f, 0}, {44100, 2048, 2.0f, 0}, {44100, 2048, 1.0f, 1.0f}, {44100, 2048, 2.0f, -1.0f},
  };
  for (const Case& c : cases) {
    auto e = makeEngine(c.stretch, c.pitch, c.rate, c.frame);
    StretchRunner run(*e);
    run.feedAll(test::sine16(1000, c.rate, 10000, size_t(c.rate) * 3), [] { return 1152; });
    const std::vector<double> out = run.outputAsDouble();
    const size_t from = size_t(4 * c.frame * c.stretch) + 4 * size_t(c.frame);
    ASSERT_GT(out.size(), from + size_t(c.rate) / 2);
    const double expected = 1000.0 * std::exp2(c.pitch / 12.0);
    const double freq = tav::test::ZeroCrossingFrequency(out, 1, from, out.size()) * c.rate;
    EXPECT_NEAR(freq / expected, 1.0, 0.0005) << c.rate << " " << c.stretch << " " << c.pitch;
    double lo = 1e9, hi = 0;
    for (size_t at = from; at + 64 < out.size(); at += 32) {
      const double a = test::fittedAmplitude(out, at, 64, freq / c.rate);
      lo = std::min(lo, a);
      hi = std::max(hi, a);
    }
    // flat within 0.5 %; on a bin centre (16 kHz) also at its own level within 0.5 %,
    // between two bins (44.1 kHz) the vocoder's level is off by about 1 %
    EXPECT_LE((hi - lo) / (hi + lo) * 2, 0.005) << c.rate << " " << c.stretch << " " << c.pitch;
    const double levelTolerance = c.rate == 16000 ? 0.005 : 0.015;
    EXPECT_LE(std::max(hi / 10000 - 1, 1 - lo / 10000), levelTolerance) << c.rate << " " << c.stretch;
  }
}

// A burst of noise is followed, once its windows have passed, by exact silence:
// nothing of the stream's start comes back when the output ring wraps.
TEST(TimeStretcher, NoiseBurstEndsInExactSilence) {
  for (float stretch : {1.0f, 2.0f}) {
    for (float pitch : {0.0f, -0.5f}) {
      auto e = makeEngine(stretch, pitch, 44100, 2048);
      std::vector<int16_t> in = noise(2205, 11, 20000);
      in.resize(44100 * 2, 0);
      StretchRunner run(*e);
      run.feedAll(in, [] { return 1152; });
      const double t = e->vocoderStretch();
      const size_t quiet =
          size_t((t * 2205 + (t + 1) * e->frameSize() + 2 * e->synthesisHop()) * 1.06) + 16;
      ASSERT_GT(run.output.size(), quiet + 44100);
      size_t loud = 0;
      for (size_t i = quiet; i < run.output.size(); ++i) loud += run.output[i] != 0;
      EXPECT_EQ(loud, 0u) << stretch << " " << pitch;
    }
  }
}

TEST(TimeStretcher, EightBitSamplesRoundTrip) {
  EXPECT_EQ(sampleFrom8(128), 0.0f);
  EXPECT_EQ(sampleFrom8(255), 32512.0f);
  EXPECT_EQ(sampleFrom8(0), -32768.0f);
  struct Case {
    float v;
    int16_t s16;
    uint8_t s8;
  } cases[] = {{40000.0f, 32767, 255}, {-1.5f, -1, 127}, {-40000.0f, -32768, 0}, {0.0f, 0, 128}};
  for (const Case& c : cases) {
    EXPECT_EQ(sampleTo16(c.v), c.s16) << c.v;
    EXPECT_EQ(sampleTo8(c.v), c.s8) << c.v;
  }
  // 8-bit through the engine: a steady sine comes out a steady sine of the same size.
  auto e = std::make_unique<TimeStretcher>();
  e->setFrameParams(TimeStretcher::kOverlap, 512);
  e->setup(1.0f, 0.0f, 16000, 8);
  std::vector<uint8_t> in(16000);
  for (size_t i = 0; i < in.size(); ++i) in[i] = uint8_t(128 + std::lround(100 * std::sin(2 * test::kPi * i / 16.0)));
  std::vector<uint8_t> out(40000);
  int carried = 0;
  const int written = e->process(out.data(), int(out.size()), in.data(), int(in.size()), &carried, in.data());
  ASSERT_GT(written, 12000);
  int lo = 255, hi = 0;
  for (int i = 6000; i < written; ++i) lo = std::min<int>(lo, out[i]), hi = std::max<int>(hi, out[i]);
  EXPECT_NEAR(hi, 228, 2);
  EXPECT_NEAR(lo, 28, 2);
}

TEST(TimeStretcher, OutOfRangeSettingsAreClamped) {
  struct Case {
    float stretch, pitch;
    int hopIn, hopOut;
  } cases[] = {{0.0f, 0.0f, 512, 256}, {-3.0f, 0.0f, 512, 256}, {100.0f, 0.0f, 256, 512},
               {NAN, NAN, 512, 512}, {1.0f, 7.0f, 483, 511}};
  for (const Case& c : cases) {
    auto e = makeEngine(c.stretch, c.pitch, 44100, 2048);
    EXPECT_EQ(e->analysisHop(), c.hopIn) << c.stretch << " " << c.pitch;
    EXPECT_EQ(e->synthesisHop(), c.hopOut) << c.stretch << " " << c.pitch;
  }
}

}  // namespace
}  // namespace lentaro

namespace lentaro {
namespace {

// A stream keeps going past 2^31 output bytes and 100 000 000 input samples (about
// 38 minutes at 44.1 kHz): the sample clocks are 64-bit and have no cap.
TEST(TimeStretcher, LongStreamKeepsProducing) {
  auto e = makeEngine(0.5f, 0.0f, 16000, 512);
  const int block = 1 << 20;
  std::vector<int16_t> in(size_t(block) + 512);
  for (size_t i = 0; i < in.size(); ++i) in[i] = int16_t(i % 32 < 16 ? 8000 : -8000);
  const size_t outBytes = size_t(block);
  std::vector<uint8_t> out(outBytes);
  long long fed = 0, written = 0;
  int carried = 0, lastWritten = 0;
  while (fed < 101'000'000) {
    // the carried bytes stay at the start of the input, as the module keeps them
    const int bytes = carried + 2 * block;
    lastWritten = e->process(out.data(), int(out.size()), reinterpret_cast<const uint8_t*>(in.data()), bytes,
                             &carried, reinterpret_cast<uint8_t*>(in.data()));
    ASSERT_GE(lastWritten, 0);
    written += lastWritten / 2;
    fed += block;
  }
  EXPECT_NEAR(double(written) / double(fed), 0.5, 0.001);
  EXPECT_NEAR(lastWritten / 2, block / 2, e->synthesisHop());
}

}  // namespace
}  // namespace lentaro
