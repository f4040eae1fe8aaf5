// Damaged and hostile files: every one gives a failed open with a code, never a crash.
#include <gtest/gtest.h>

#include <new>
#include <vector>

#include "bass.h"
#include "decoder.h"
#include "pcm_files.h"
#include "tav/test/media.h"

namespace tav::audio {
namespace {

using test::Container;
using test::Sample;

struct Damage {
  const char* name;
  Container container;
  void (*apply)(std::vector<uint8_t>&);
  int error;
};

void set32(std::vector<uint8_t>& b, size_t at, uint32_t v, bool be) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * (be ? 3 - i : i)));
}

// WAV layout of make_pcm_file: fmt at 12 (body 20), data header at 36 (size at 40).
// AIFF: COMM body at 20 (channels 20, frames 22, bits 26, rate 28), SSND at 38.
const Damage kDamages[] = {
    {"WavTruncatedHeader", Container::Wav, [](auto& b) { b.resize(30); }, BASS_ERROR_FILEFORM},
    {"WavDataPastEnd", Container::Wav, [](auto& b) { set32(b, 40, 0x7FFFFFF0, false); }, BASS_ERROR_FILEFORM},
    {"WavFmtPastEnd", Container::Wav, [](auto& b) { set32(b, 16, 0xFFFFFFF0, false); }, BASS_ERROR_FILEFORM},
    {"WavZeroChannels", Container::Wav, [](auto& b) { b[22] = b[23] = 0; }, BASS_ERROR_FORMAT},
    {"WavAbsurdRate", Container::Wav, [](auto& b) { set32(b, 24, 0xFFFFFFFF, false); }, BASS_ERROR_FORMAT},
    {"WavZeroRate", Container::Wav, [](auto& b) { set32(b, 24, 0, false); }, BASS_ERROR_FORMAT},
    {"WavUnknownCodec", Container::Wav, [](auto& b) { b[20] = 0x55; }, BASS_ERROR_FORMAT},
    {"WavNoData", Container::Wav, [](auto& b) { b.resize(36); }, BASS_ERROR_FILEFORM},
    {"WavEmptyData", Container::Wav, [](auto& b) { set32(b, 40, 0, false); }, BASS_ERROR_EMPTY},
    {"AiffFramesPastEnd", Container::Aiff, [](auto& b) { set32(b, 22, 0x7FFFFFFF, true); }, BASS_ERROR_FILEFORM},
    {"AiffZeroChannels", Container::Aiff, [](auto& b) { b[20] = b[21] = 0; }, BASS_ERROR_FORMAT},
    {"AiffAbsurdRate", Container::Aiff, [](auto& b) { b[28] = 0x7F; }, BASS_ERROR_FORMAT},
    {"AiffZeroBits", Container::Aiff, [](auto& b) { b[26] = b[27] = 0; }, BASS_ERROR_FORMAT},
    {"AiffChunkPastEnd", Container::Aiff, [](auto& b) { set32(b, 16, 0x7FFFFFFF, true); }, BASS_ERROR_FILEFORM},
    {"AiffTruncated", Container::Aiff, [](auto& b) { b.resize(b.size() - 10); }, BASS_ERROR_FILEFORM},
};

class BadInput : public ::testing::TestWithParam<Damage> {};

TEST_P(BadInput, FailsWithItsCode) {
  const Damage& d = GetParam();
  auto file = test::make_pcm_file(d.container, Sample::S16, 44100, 2, 50);
  d.apply(file.bytes);
  int error = 0;
  EXPECT_FALSE(open_decoder(memory_source(file.bytes.data(), file.bytes.size()), {}, error));
  EXPECT_EQ(error, d.error);
}

INSTANTIATE_TEST_SUITE_P(Files, BadInput, ::testing::ValuesIn(kDamages), [](const auto& info) {
  return std::string(info.param.name);
});

TEST(BadInput, EmptyAndUnrecognisedBytes) {
  int error = 0;
  EXPECT_FALSE(open_decoder(memory_source("", 0), {}, error));
  EXPECT_EQ(error, BASS_ERROR_EMPTY);
  std::vector<uint8_t> noise(20000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7 % 13);  // never an MPEG sync
  EXPECT_FALSE(open_decoder(memory_source(noise.data(), noise.size()), {}, error));
  EXPECT_EQ(error, BASS_ERROR_FILEFORM);
  EXPECT_FALSE(open_decoder(open_file_source("/nonexistent/x.wav", 0, 0), {}, error));
  EXPECT_EQ(error, BASS_ERROR_FILEOPEN);
}

// A source that hands out small pieces and, once told to, fails as an allocation does.
class FailingSource : public ByteSource {
 public:
  explicit FailingSource(std::unique_ptr<ByteSource> inner) : inner_(std::move(inner)) {}
  bool fail = false;
  size_t read(void* dst, size_t n) override {
    if (fail) throw std::bad_alloc();
    return inner_->read(dst, std::min<size_t>(n, 512));
  }
  bool seek(uint64_t pos) override { return inner_->seek(pos); }
  uint64_t tell() const override { return inner_->tell(); }
  uint64_t size() const override { return inner_->size(); }

 private:
  std::unique_ptr<ByteSource> inner_;
};

// The decoder libraries are C: a failure of the source inside their calls must not unwind
// through them (in the Windows build they have no unwind tables, and the process would end).
// Their call fails, and the decoder raises the failure again on its own side.
TEST(BadInput, ASourceFailingInsideADecoderLibraryIsRaisedOnThisSide) {
  for (const char* name : {"tone44k_stereo.mp3", "tone44k_stereo.ogg"}) {
    SCOPED_TRACE(name);
    auto file = open_file_source(tav::test::MediaPath(name), 0, 0);
    ASSERT_TRUE(file);
    auto source = std::make_unique<FailingSource>(std::move(file));
    FailingSource* raw = source.get();
    int error = BASS_OK;
    auto decoder = open_decoder(std::move(source), DecoderOptions{}, error);
    ASSERT_TRUE(decoder) << error;
    raw->fail = true;
    std::vector<float> block(4096 * decoder->format().channels);
    EXPECT_THROW(
        {
          while (decoder->read(block.data(), 4096) > 0) {
          }
        },
        std::bad_alloc);
  }
}

}  // namespace
}  // namespace tav::audio
