// Files read as they arrive (NetworkSource over a scripted network reader): each format
// decodes to exactly what the same file gives from disk, a transfer that breaks off ends
// the stream, and a server that gives no length leaves it unknown where the format has
// none of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "bass.h"
#include "decoder.h"
#include "network_source.h"
#include "tav/test/files.h"
#include "tav/test/media.h"

namespace tav::audio {
namespace {

// Hands out the bytes in uneven pieces, as a network does; stops early when told to.
class ScriptedReader : public NetReader {
 public:
  ScriptedReader(std::vector<uint8_t> bytes, bool announce, size_t drop_at, bool* closed)
      : bytes_(std::move(bytes)), announce_(announce), drop_at_(std::min(drop_at, bytes_.size())), closed_(closed) {}
  ~ScriptedReader() override {
    if (closed_) *closed_ = true;
  }
  size_t read(void* dst, size_t n) override {
    const size_t piece = std::min({n, drop_at_ - pos_, size_t{1000 + (calls_++ * 7919) % 9000}});
    std::memcpy(dst, bytes_.data() + pos_, piece);
    pos_ += piece;
    return piece;
  }
  uint64_t content_length() const override { return announce_ ? bytes_.size() : kUnknownLength; }

 private:
  std::vector<uint8_t> bytes_;
  bool announce_;
  size_t drop_at_;
  bool* closed_;
  size_t pos_ = 0;
  size_t calls_ = 0;
};

std::vector<float> decode_all(Decoder& d) {
  std::vector<float> out, block(4096 * d.format().channels);
  size_t got;
  while ((got = d.read(block.data(), 4096)) > 0) out.insert(out.end(), block.begin(), block.begin() + got * d.format().channels);
  return out;
}

struct Format {
  const char* file;
  uint32_t ctype;
  bool length_from_header;  // known without the server's length
};

class NetworkStream : public ::testing::TestWithParam<Format> {};

TEST_P(NetworkStream, DecodesExactlyWhatTheFileGivesWithOrWithoutALength) {
  const std::string path = test::MediaPath(GetParam().file);
  const auto bytes = test::ReadFileBytes<std::vector<uint8_t>>(path);
  ASSERT_FALSE(bytes.empty()) << path;
  int error = 0;
  auto from_disk = open_decoder(open_file_source(path, 0, 0), {}, error);
  ASSERT_TRUE(from_disk);
  const std::vector<float> expected = decode_all(*from_disk);

  for (bool announce : {true, false}) {
    bool closed = false;
    auto source = std::make_unique<NetworkSource>(std::make_unique<ScriptedReader>(bytes, announce, SIZE_MAX, &closed));
    auto d = open_decoder(std::move(source), {}, error);
    ASSERT_TRUE(d) << GetParam().file << " error " << error;
    EXPECT_EQ(d->format().ctype, GetParam().ctype);
    if (GetParam().length_from_header)
      EXPECT_EQ(d->length_frames(), expected.size() / d->format().channels);
    else
      EXPECT_EQ(d->length_frames(), Decoder::kUnknownLength);
    const std::vector<float> got = decode_all(*d);
    EXPECT_TRUE(got == expected) << GetParam().file << ": " << got.size() << " of " << expected.size();
    d.reset();
    EXPECT_TRUE(closed) << "the connection stays open after the stream is gone";
  }
}

TEST_P(NetworkStream, ATransferThatBreaksOffEndsTheStream) {
  const auto bytes = test::ReadFileBytes<std::vector<uint8_t>>(test::MediaPath(GetParam().file));
  int error = 0;
  bool closed = false;
  auto d = open_decoder(
      std::make_unique<NetworkSource>(std::make_unique<ScriptedReader>(bytes, true, bytes.size() * 7 / 8, &closed)),
      {}, error);
  ASSERT_TRUE(d) << error;
  const size_t frames = decode_all(*d).size() / d->format().channels;
  EXPECT_GT(frames, 0u);
  EXPECT_LT(frames, 44100u * 2 * 95 / 100);  // short of the 2 s
  EXPECT_EQ(d->read(std::vector<float>(64).data(), 16), 0u);
  d.reset();
  EXPECT_TRUE(closed);
}

INSTANTIATE_TEST_SUITE_P(Media, NetworkStream,
                         ::testing::Values(Format{"tone44k_stereo.wav", BASS_CTYPE_STREAM_WAV, true},
                                           Format{"tone44k_stereo.mp3", BASS_CTYPE_STREAM_MP3, true},
                                           Format{"tone44k_stereo.ogg", BASS_CTYPE_STREAM_OGG, false}),
                         [](const auto& info) {
                           std::string n = info.param.file;
                           return n.substr(n.size() - 3);
                         });

TEST(NetworkSource, ReportsEveryBlockInOrderAndTheEnd) {
  std::vector<uint8_t> bytes(100000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i * 31);
  std::vector<uint8_t> seen;
  int ends = 0;
  NetworkSource source(std::make_unique<ScriptedReader>(bytes, false, SIZE_MAX, nullptr),
                       [&](const void* data, size_t n) {
                         if (!data) ++ends;
                         else seen.insert(seen.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + n);
                       });
  EXPECT_EQ(source.size(), NetworkSource::kOpenEndedSize);
  std::vector<uint8_t> head(10);
  ASSERT_EQ(source.read(head.data(), 10), 10u);
  EXPECT_FALSE(source.seek(90000));  // not there yet
  EXPECT_TRUE(source.seek(0));       // the start stays readable
  std::vector<uint8_t> all(200000);
  EXPECT_EQ(source.read(all.data(), all.size()), bytes.size());
  EXPECT_EQ(source.size(), bytes.size());
  EXPECT_EQ(seen, bytes);
  EXPECT_EQ(ends, 1);
}

}  // namespace
}  // namespace tav::audio
