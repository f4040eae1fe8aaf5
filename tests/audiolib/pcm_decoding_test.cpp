// WAV and AIFF decoding through a file stream: byte-exact 16-bit output, lengths,
// positions, seeks and the loop flag.
#include <gtest/gtest.h>

#include "channel.h"
#include "library_config.h"
#include "pcm_files.h"

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

}  // namespace
}  // namespace tav::audio
