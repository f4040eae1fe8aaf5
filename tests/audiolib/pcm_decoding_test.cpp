// WAV and AIFF decoding through a file stream: byte-exact 16-bit output, lengths,
// positions, seeks and the loop flag.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "channel.h"
#include "library_config.h"
#include "pcm_files.h"
#include "sample_convert.h"

namespace tav::audio {
namespace {

using test::Container;
using test::Sample;

struct Case {
  Container container;
  Sample sample;
  unsigned channels;
};

std::string name_of(const Case& c) {
  static const char* kSample[] = {"8bit", "16bit", "24bit", "float"};
  return std::string(c.container == Container::Wav ? "Wav" : "Aiff") + kSample[static_cast<int>(c.sample)] +
         std::to_string(c.channels) + "ch";
}

std::unique_ptr<FileStream> open_stream(const std::vector<uint8_t>& bytes, uint32_t flags = BASS_STREAM_DECODE) {
  int error = 0;
  auto decoder = open_decoder(memory_source(bytes.data(), bytes.size()), {}, error);
  if (!decoder) ADD_FAILURE() << "open failed with " << error;
  return decoder ? std::make_unique<FileStream>(std::move(decoder), flags) : nullptr;
}

class PcmDecoding : public ::testing::TestWithParam<Case> {};

TEST_P(PcmDecoding, DecodesExactlyWithExactLengthAndEndPosition) {
  const Case c = GetParam();
  constexpr size_t kFrames = 3001;  // not a multiple of any read size
  const auto file = test::make_pcm_file(c.container, c.sample, 22050, c.channels, kFrames);
  auto stream = open_stream(file.bytes);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->rate(), 22050u);
  EXPECT_EQ(stream->channels(), c.channels);
  EXPECT_FALSE(stream->flags() & BASS_SAMPLE_8BITS);  // 8-bit sources come out as 16-bit
  const uint64_t length = uint64_t{kFrames} * 2 * c.channels;
  EXPECT_EQ(stream->length_bytes(), length);

  LibraryConfig config;
  std::vector<int16_t> got;
  std::vector<int16_t> block(4608 / 2);
  for (;;) {
    const uint32_t n = stream->get_data(block.data(), 4608, config);
    if (n == static_cast<uint32_t>(-1)) break;
    ASSERT_GT(n, 0u);
    ASSERT_EQ(n % (2 * c.channels), 0u) << "whole frames only";
    got.insert(got.end(), block.begin(), block.begin() + n / 2);
  }
  EXPECT_EQ(got, file.expected);
  EXPECT_EQ(stream->position_bytes(), length);
}

INSTANTIATE_TEST_SUITE_P(Formats, PcmDecoding,
                         ::testing::Values(Case{Container::Wav, Sample::U8, 1}, Case{Container::Wav, Sample::S16, 2},
                                           Case{Container::Wav, Sample::S24, 6}, Case{Container::Wav, Sample::F32, 2},
                                           Case{Container::Aiff, Sample::U8, 2}, Case{Container::Aiff, Sample::S16, 1},
                                           Case{Container::Aiff, Sample::S24, 2}, Case{Container::Aiff, Sample::F32, 6}),
                         [](const auto& info) { return name_of(info.param); });

TEST(PcmStream, SeekLandsOnTheFrameAndRefusesPastTheEnd) {
  const auto file = test::make_pcm_file(Container::Wav, Sample::S16, 44100, 2, 1000);
  auto stream = open_stream(file.bytes);
  ASSERT_TRUE(stream);
  LibraryConfig config;
  int16_t frame[2];
  ASSERT_TRUE(stream->set_position_bytes(4 * 700 + 3));  // rounds down to frame 700
  EXPECT_EQ(stream->position_bytes(), 4u * 700);
  ASSERT_EQ(stream->get_data(frame, 4, config), 4u);
  EXPECT_EQ(frame[0], file.expected[1400]);
  EXPECT_EQ(frame[1], file.expected[1401]);

  const uint64_t before = stream->position_bytes();
  EXPECT_FALSE(stream->set_position_bytes(4 * 1000 + 4));
  EXPECT_FALSE(stream->set_position_bytes(~uint64_t{0}));  // what a failed Seconds2Bytes gives
  EXPECT_EQ(stream->position_bytes(), before);

  ASSERT_TRUE(stream->set_position_bytes(4 * 1000));  // the end itself is a valid target
  EXPECT_EQ(stream->get_data(frame, 4, config), static_cast<uint32_t>(-1));
  EXPECT_EQ(stream->position_bytes(), stream->length_bytes());
}

TEST(PcmStream, LoopFlagWrapsUnlessAStageReadsTheStream) {
  const auto file = test::make_pcm_file(Container::Wav, Sample::S16, 44100, 1, 100);
  LibraryConfig config;
  std::vector<int16_t> buf(150);
  {
    auto stream = open_stream(file.bytes, BASS_STREAM_DECODE | BASS_SAMPLE_LOOP);
    ASSERT_EQ(stream->get_data(buf.data(), 300, config), 300u);
    EXPECT_EQ(buf[100], file.expected[0]);
    EXPECT_EQ(buf[149], file.expected[49]);
    EXPECT_EQ(stream->position_bytes(), 100u);
    stream->change_flags(0, BASS_SAMPLE_LOOP);
    EXPECT_EQ(stream->get_data(buf.data(), 300, config), 100u);
  }
  {
    auto stream = open_stream(file.bytes, BASS_STREAM_DECODE | BASS_SAMPLE_LOOP);
    StageReadScope stage;
    EXPECT_EQ(stream->get_data(buf.data(), 300, config), 200u);
    EXPECT_EQ(stream->position_bytes(), stream->length_bytes());
  }
}

// The block conversions take eight samples at a time: each edge value at every position
// of a block with a tail must give what the single-sample form gives.
TEST(SampleConvert, BlockFormsAgreeWithTheSingleSampleForm) {
  const float inf = std::numeric_limits<float>::infinity();
  const float edges[] = {0.0f, -0.0f, 1.0f, -1.0f, 32767.0f / 32768, 32767.5f / 32768, 32767.49f / 32768,
                         -32768.5f / 32768, -32769.0f / 32768, 0.5f / 32768, 1.5f / 32768, 2.5f / 32768,
                         -0.5f / 32768, -1.5f / 32768, 1e-40f, 1e30f, -1e30f, inf, -inf,
                         std::numeric_limits<float>::quiet_NaN(), -std::numeric_limits<float>::quiet_NaN()};
  constexpr size_t kBlock = 19;  // two vectors and a tail
  for (const float edge : edges) {
    for (size_t at = 0; at < kBlock; ++at) {
      float in[kBlock];
      for (size_t i = 0; i < kBlock; ++i) in[i] = 0.3f * std::sin(static_cast<float>(i));
      in[at] = edge;
      int16_t out[kBlock];
      float_to_int16(in, out, kBlock);
      for (size_t i = 0; i < kBlock; ++i) ASSERT_EQ(out[i], float_to_int16(in[i])) << "value " << in[i] << " at " << i;
    }
  }
  std::vector<int16_t> all(65536 + 3);
  for (size_t i = 0; i < all.size(); ++i) all[i] = static_cast<int16_t>(i - 32768);
  std::vector<float> back(all.size());
  int16_to_float(all.data(), back.data(), all.size());
  for (size_t i = 0; i < all.size(); ++i) ASSERT_EQ(back[i], all[i] / 32768.0f);
  std::vector<int16_t> again(all.size());
  float_to_int16(back.data(), again.data(), back.size());
  EXPECT_EQ(again, all);
}

// Float output goes straight into the caller's buffer when it is aligned for floats and
// through the stream's own buffer when it is not: the same samples either way.
TEST(PcmStream, FloatOutputIsTheSameAlignedOrNot) {
  const auto file = test::make_pcm_file(Container::Wav, Sample::S16, 44100, 2, 1000);
  LibraryConfig config;
  for (const size_t offset : {size_t{0}, size_t{1}}) {
    auto stream = open_stream(file.bytes, BASS_STREAM_DECODE | BASS_SAMPLE_FLOAT);
    ASSERT_TRUE(stream);
    std::vector<unsigned char> raw(8 * 1000 + 1);
    ASSERT_EQ(stream->get_data(raw.data() + offset, 8 * 1000, config), 8u * 1000) << "offset " << offset;
    for (size_t i = 0; i < 2000; ++i) {
      float v;
      std::memcpy(&v, raw.data() + offset + 4 * i, 4);
      ASSERT_EQ(v, file.expected[i] / 32768.0f) << "sample " << i << " offset " << offset;
    }
  }
}

}  // namespace
}  // namespace tav::audio
