// MP3 and Ogg Vorbis through file streams: exact lengths, sample-exact seeks, and
// output within the codec's tolerance of what sox decodes from the same file.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "channel.h"
#include "library_config.h"
#include "tav/test/files.h"
#include "tav/test/media.h"

namespace tav::audio {
namespace {

constexpr size_t kToneFrames = 88200;  // tone44k_stereo: 2.0 s, 44.1 kHz, stereo

std::unique_ptr<FileStream> open_media(const std::string& name) {
  int error = 0;
  DecoderOptions options;
  options.prescan = true;
  auto decoder = open_decoder(open_file_source(test::MediaPath(name), 0, 0), options, error);
  if (!decoder) ADD_FAILURE() << name << ": open failed with " << error;
  return decoder ? std::make_unique<FileStream>(std::move(decoder), BASS_STREAM_DECODE | BASS_STREAM_PRESCAN)
                 : nullptr;
}

std::vector<int16_t> read_all(FileStream& s, size_t max_frames = ~size_t{0}) {
  LibraryConfig config;
  std::vector<int16_t> out, block(2304);
  while (out.size() / 2 < max_frames) {
    const size_t want = std::min<size_t>(1152, max_frames - out.size() / 2);
    const uint32_t n = s.get_data(block.data(), static_cast<uint32_t>(want * 4), config);
    if (n == static_cast<uint32_t>(-1)) break;
    out.insert(out.end(), block.begin(), block.begin() + n / 2);
  }
  return out;
}

std::vector<int16_t> sox_decode(const std::string& name) {
  const std::string raw = ::testing::TempDir() + "sox_" + name + ".raw";
  const std::string cmd = "sox -q -D '" + test::MediaPath(name) + "' -t raw -e signed -b 16 -c 2 '" + raw + "'";
  if (std::system(cmd.c_str()) != 0) return {};
  const std::string bytes = test::ReadFileBytes(raw);
  std::vector<int16_t> s(bytes.size() / 2);
  std::memcpy(s.data(), bytes.data(), s.size() * 2);
  return s;
}

// RMS difference of `ours` against `ref` shifted by the best offset in +-max_shift frames,
// after the best-fitting gain (an encoder may change the level a little).
double best_rms_difference(const std::vector<int16_t>& ours, const std::vector<int16_t>& ref, int max_shift,
                           int& best_shift, double& best_gain) {
  double best = 1e30;
  for (int shift = -max_shift; shift <= max_shift; ++shift) {
    double ab = 0, bb = 0, aa = 0;
    for (size_t i = 4410; i + 4410 < ours.size() / 2; i += 7) {  // skip the edges
      const long j = static_cast<long>(i) + shift;
      if (j < 0 || static_cast<size_t>(j) >= ref.size() / 2) continue;
      for (int c = 0; c < 2; ++c) {
        const double x = ours[2 * i + c], y = ref[2 * j + c];
        ab += x * y, bb += y * y, aa += x * x;
      }
    }
    if (bb == 0) continue;
    const double gain = ab / bb;
    const double n = static_cast<double>(ours.size()) / 7;
    const double rms = std::sqrt(std::max(0.0, aa - gain * ab) / n);
    if (rms < best) best = rms, best_shift = shift, best_gain = gain;
  }
  return best;
}

struct CodecCase {
  const char* file;
  const char* reference;  // what sox decodes to compare with (sox here reads no MP3: its source WAV)
  double max_rms;  // in 16-bit steps; the tone's RMS is about 11600
};

class CodecDecoding : public ::testing::TestWithParam<CodecCase> {};

TEST_P(CodecDecoding, ExactLengthAndEndPosition) {
  auto s = open_media(GetParam().file);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->length_bytes(), kToneFrames * 4);
  const auto all = read_all(*s);
  EXPECT_EQ(all.size(), kToneFrames * 2);
  EXPECT_EQ(s->position_bytes(), s->length_bytes());
}

TEST_P(CodecDecoding, SeeksAreSampleExact) {
  auto s = open_media(GetParam().file);
  ASSERT_TRUE(s);
  const auto all = read_all(*s);
  ASSERT_EQ(all.size(), kToneFrames * 2);
  for (size_t frame : {size_t{0}, size_t{1}, size_t{1151}, size_t{1152}, size_t{44100}, size_t{87000}}) {
    ASSERT_TRUE(s->set_position_bytes(frame * 4)) << frame;
    EXPECT_EQ(s->position_bytes(), frame * 4);
    const auto part = read_all(*s, 1000);
    ASSERT_EQ(part.size(), 2000u) << frame;
    EXPECT_TRUE(std::equal(part.begin(), part.end(), all.begin() + 2 * frame)) << "seek to frame " << frame;
  }
  EXPECT_FALSE(s->set_position_bytes(kToneFrames * 4 + 4));
}

TEST_P(CodecDecoding, MatchesSoxWithinCodecTolerance) {
  auto s = open_media(GetParam().file);
  ASSERT_TRUE(s);
  const auto ours = read_all(*s);
  const auto ref = sox_decode(GetParam().reference);
  ASSERT_FALSE(ref.empty()) << "sox could not decode " << GetParam().file;
  int shift = 0;
  double gain = 0;
  const double rms = best_rms_difference(ours, ref, 50, shift, gain);
  EXPECT_NEAR(gain, 1.0, 0.1);
  EXPECT_LT(rms, GetParam().max_rms) << "best alignment at " << shift << " frames";
  EXPECT_EQ(shift, 0) << "gapless decoding starts on the first frame of the source";
  std::printf("%s: RMS difference %.2f (16-bit steps), gain %.4f\n", GetParam().file, rms, gain);
  RecordProperty("alignment_frames", shift);
}

INSTANTIATE_TEST_SUITE_P(Files, CodecDecoding,
                         ::testing::Values(CodecCase{"tone44k_stereo.mp3", "tone44k_stereo.wav", 8.0},
                                           CodecCase{"tone44k_stereo.ogg", "tone44k_stereo.ogg", 2.0}),
                         [](const auto& info) { return std::string(info.param.file).substr(15); });

}  // namespace
}  // namespace tav::audio
