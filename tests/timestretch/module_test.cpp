#include <gtest/gtest.h>

#include <cstring>
#include <memory>
#include <random>
#include <vector>

#include "signal_helpers.h"
#include "stretch_module.h"

namespace lentaro {
namespace {

struct Harness {
  uint32_t now = 1000;
  int notices = 0;
  std::unique_ptr<StretchModule> module;
  Harness() {
    module = std::make_unique<StretchModule>([this] { return now; }, [this] { ++notices; });
  }
  // One block of interleaved 16-bit samples with the host's room of 2n frames
  // plus guard words; returns the frame count and checks the guard.
  int run(std::vector<int16_t>& block, int n, int nch, int srate = 44100) {
    block.resize(size_t(n) * nch * 2 + 64, int16_t(0x5A5A));
    const int frames = module->modifySamples(block.data(), n, 16, nch, srate);
    for (size_t i = size_t(n) * nch * 2; i < block.size(); ++i) EXPECT_EQ(block[i], 0x5A5A) << "past the room";
    now += 26;
    return frames;
  }
};

TEST(StretchModule, BlocksItDoesNotProcessPassThroughUntouched) {
  struct Case {
    const char* why;
    int n, bps, nch, srate;
    bool bypass, quitting;
  } cases[] = {
      {"over 9000 bytes", 2304, 16, 2, 44100, false, false}, {"bps 0", 1152, 0, 2, 44100, false, false},
      {"bps 24", 1152, 24, 2, 44100, false, false},          {"nch 0", 1152, 16, 0, 44100, false, false},
      {"nch 6", 500, 16, 6, 44100, false, false},            {"n 0", 0, 16, 2, 44100, false, false},
      {"n negative", -5, 16, 2, 44100, false, false},        {"srate 0", 1152, 16, 2, 0, false, false},
      {"bypass", 1152, 16, 2, 44100, true, false},           {"quitting", 1152, 16, 2, 44100, false, true},
  };
  for (const Case& c : cases) {
    Harness h;
    h.module->bypass = c.bypass;
    h.module->quitting = c.quitting;
    std::vector<uint8_t> block(40000);
    for (size_t i = 0; i < block.size(); ++i) block[i] = uint8_t(i * 7);
    const std::vector<uint8_t> before = block;
    EXPECT_EQ(h.module->modifySamples(block.data(), c.n, c.bps, c.nch, c.srate), c.n) << c.why;
    EXPECT_EQ(block, before) << c.why;
    EXPECT_EQ(h.notices, 0) << c.why;
  }
}

TEST(StretchModule, FirstBlockSetsUpAndNotifiesTheHost) {
  Harness h;
  h.module->stretch = 1.0f;
  std::vector<int16_t> block(1152 * 2, 1000);
  EXPECT_EQ(h.run(block, 1152, 2), 0);  // a fresh stream is still filling its window
  EXPECT_EQ(h.notices, 1);
  EXPECT_EQ(h.module->engine(0).frameSize(), 2048);
  EXPECT_EQ(h.module->dirty.load(), 0);
  // a changed setting applied by dirty reaches the next block
  h.module->stretch = 1.5f;
  h.module->dirty = 1;
  h.run(block, 1152, 2);
  EXPECT_EQ(h.notices, 2);
  EXPECT_NEAR(h.module->engine(0).vocoderStretch(), 1.5f, 0.01f);
}

TEST(StretchModule, FormatChangesPickTheFrameSize) {
  Harness h;
  std::vector<int16_t> block;
  const std::pair<int, int> rates[] = {{44100, 2048}, {22050, 1024}, {8000, 512}, {48000, 2048}};
  int expectedNotices = 0;
  for (auto [rate, frame] : rates) {
    h.run(block, 1152, 2, rate);
    EXPECT_EQ(h.notices, ++expectedNotices) << rate;
    EXPECT_EQ(h.module->engine(0).frameSize(), frame) << rate;
    EXPECT_EQ(h.module->currentRate(), rate);
  }
}

TEST(StretchModule, MonoMixesBothChannelsAndWritesBoth) {
  Harness h;
  h.module->stretch = 1.0f;
  h.module->mono = 1;
  int frames = 0;
  std::vector<int16_t> block;
  for (int call = 0; call < 20 && frames == 0; ++call) {
    block.assign(1152 * 2, 0);
    for (int i = 0; i < 1152; ++i) block[2 * i] = 1000, block[2 * i + 1] = -3;
    frames = h.run(block, 1152, 2);
  }
  ASSERT_GT(frames, 0);
  // the mixed sample is 498; the vocoder returns it on both channels
  for (int i = frames / 2; i < frames; ++i) {
    EXPECT_EQ(block[2 * i], block[2 * i + 1]);
    EXPECT_NEAR(block[2 * i], 498, 3);
  }
}

// At stretch 2 every input frame gives two output frames: the excess over 2 n of
// a call waits in the queue, nothing is lost and nothing is written past the room.
TEST(StretchModule, KeepsAllOutputWithinTwiceTheInput) {
  struct Case {
    int bps, nch, mono, n;
    float pitch;
  } cases[] = {{16, 2, 0, 1152, 0}, {16, 2, 1, 1152, -1.0f}, {16, 1, 0, 4500, 0}, {8, 1, 0, 9000, -1.0f},
               {8, 2, 0, 2250, 0.4f}, {16, 2, 0, 17, 0}};
  for (const Case& c : cases) {
    Harness h;
    h.module->stretch = 2.0f;
    h.module->pitch = c.pitch;
    h.module->mono = c.mono;
    const int b = c.bps / 8;
    const size_t room = size_t(c.n) * c.nch * b * 2;
    long long in = 0, out = 0;
    int firstOut = -1;
    for (int call = 0; in < 44100 * 8; ++call) {
      std::vector<uint8_t> block(room + 64, 0xA5);
      for (size_t i = 0; i < size_t(c.n) * c.nch * b; ++i) block[i] = uint8_t(i * 13 + call);
      const int frames = h.module->modifySamples(block.data(), c.n, c.bps, c.nch, 44100);
      h.now += 10;
      ASSERT_LE(frames, 2 * c.n);
      for (size_t i = room; i < block.size(); ++i) ASSERT_EQ(block[i], 0xA5) << "past the room";
      if (frames > 0 && firstOut < 0) firstOut = call;
      in += c.n;
      out += frames;
    }
    ASSERT_EQ(h.notices, 1) << "no re-initialisation on the way";
    // all but the start-up latency (about two windows) comes out
    const double lost = 2.0 * double(in) - double(out);
    EXPECT_GT(lost, 0) << c.bps << " " << c.nch;
    EXPECT_LT(lost, 4 * 4096 + 2 * c.n) << c.bps << " " << c.nch << " n " << c.n;
  }
}

TEST(StretchModule, WatchdogRestartsAfterAPause) {
  struct Case {
    int rate;
    uint32_t pause;
    bool restart;
  } cases[] = {{44100, 1500, true}, {44100, 900, false}, {8000, 1500, false}, {8000, 2100, true}};
  for (const Case& c : cases) {
    Harness h;
    std::vector<int16_t> block;
    const int n = c.rate == 8000 ? 200 : 1152;
    for (int i = 0; i < 5; ++i) h.run(block, n, 2, c.rate);  // 26 ms apart, 5 calls
    const int before = h.notices;
    h.now += c.pause;
    h.run(block, n, 2, c.rate);
    EXPECT_EQ(h.notices - before, c.restart ? 1 : 0) << c.rate << " " << c.pause;
  }
  // after more than 10 calls the adaptive limit restarts on a much longer gap
  Harness h;
  std::vector<int16_t> block;
  for (int i = 0; i < 12; ++i) h.run(block, 200, 2, 8000);
  const int before = h.notices;
  h.now += 1500;
  h.run(block, 200, 2, 8000);
  EXPECT_EQ(h.notices - before, 1);
}

TEST(StretchModule, InitEnginesSetsUpAndMarksTheNextBlockFresh) {
  Harness h;
  h.module->stretch = 0.5f;
  h.module->dirty = 0;
  EXPECT_TRUE(h.module->initEngines());
  EXPECT_EQ(h.module->dirty.load(), 1);
  EXPECT_NEAR(h.module->engine(1).vocoderStretch(), 0.5f, 1e-6f);
}

// Every stretch, pitch, rate and format through the module (run under the
// sanitizers in their own build).
TEST(StretchModule, SweepOfSettingsAndFormats) {
  for (float stretch : {0.5f, 0.83f, 1.0f, 1.7f, 2.0f}) {
    for (float pitch : {-1.0f, -0.01f, 0.0f, 0.63f, 1.0f}) {
      for (int rate : {8000, 22050, 44100, 96000}) {
        for (int fmt = 0; fmt < 4; ++fmt) {
          Harness h;
          h.module->stretch = stretch;
          h.module->pitch = pitch;
          h.module->mono = fmt == 3;
          const int bps = fmt == 1 ? 8 : 16, nch = fmt == 2 ? 1 : 2, b = bps / 8;
          const int n = StretchModule::kMaxBlockBytes / (b * nch);
          std::vector<uint8_t> block(size_t(n) * b * nch * 2);
          for (int call = 0; call < 12; ++call) {
            for (size_t i = 0; i < block.size() / 2; ++i) block[i] = uint8_t(i * 31 + call);
            const int frames = h.module->modifySamples(block.data(), n, bps, nch, rate);
            ASSERT_LE(frames, 2 * n);
            ASSERT_GE(frames, 0);
          }
        }
      }
    }
  }
}

}  // namespace
}  // namespace lentaro

namespace lentaro {
namespace {

// A 1 kHz sine of amplitude 10000 at half speed (stretch 2.0), stereo at 44.1 kHz in
// blocks of 1152 frames as a host feeds it: past the latency, its frequency within
// 0.01 % and its level flat within 0.5 % (peak to peak over 64-sample windows).
TEST(StretchModule, SineAtHalfSpeedKeepsItsFrequencyAndLevel) {
  for (int mono : {0, 1}) {
    Harness h;
    h.module->stretch = 2.0f;
    h.module->mono = mono;
    std::vector<double> left;
    std::vector<int16_t> block;
    for (int b = 0; b < 44100 * 6 / 1152; ++b) {
      block.assign(size_t(1152) * 2, 0);
      for (int i = 0; i < 1152; ++i)
        block[size_t(2 * i)] = block[size_t(2 * i + 1)] =
            int16_t(std::lround(10000 * std::sin(2 * test::kPi * 1000 * (b * 1152 + i) / 44100.0)));
      const int frames = h.run(block, 1152, 2);
      for (int i = 0; i < frames; ++i) left.push_back(block[size_t(2 * i)]);
    }
    const size_t from = 44100 * 2, to = left.size() - 22050;
    ASSERT_GT(to, from + 44100 * 4);
    const double freq = tav::test::ZeroCrossingFrequency(left, 1, from, to) * 44100;
    EXPECT_NEAR(freq / 1000.0, 1.0, 0.0001) << "mono " << mono;
    double lo = 1e9, hi = 0, sum = 0;
    int windows = 0;
    for (size_t at = from; at + 64 < to; at += 32, ++windows) {
      const double a = test::fittedAmplitude(left, at, 64, freq / 44100);
      lo = std::min(lo, a);
      hi = std::max(hi, a);
      sum += a;
    }
    EXPECT_LE((hi - lo) / (sum / windows), 0.005) << "mono " << mono;
  }
}

}  // namespace
}  // namespace lentaro
