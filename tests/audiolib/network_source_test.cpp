// Files read as they arrive (NetworkSource over a scripted network reader): each format
// decodes to exactly what the same file gives from disk, a transfer that breaks off ends
// the stream, and a server that gives no length leaves it unknown where the format has
// none of its own.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <thread>
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
    auto source = std::make_unique<NetworkSource>(std::make_unique<ScriptedReader>(bytes, announce, SIZE_MAX, &closed),
                                                  nullptr, NetBufferOptions{});
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
      std::make_unique<NetworkSource>(std::make_unique<ScriptedReader>(bytes, true, bytes.size() * 7 / 8, &closed),
                                      nullptr, NetBufferOptions{}),
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
  {
    NetworkSource source(std::make_unique<ScriptedReader>(bytes, false, SIZE_MAX, nullptr), nullptr, NetBufferOptions{},
                         [&](const void* data, size_t n) {
                           if (!data) ++ends;
                           else seen.insert(seen.end(), static_cast<const uint8_t*>(data), static_cast<const uint8_t*>(data) + n);
                         });
    std::vector<uint8_t> head(10);
    ASSERT_EQ(source.read(head.data(), 10), 10u);
    EXPECT_TRUE(source.seek(0));  // the start stays readable
    std::vector<uint8_t> all(200000);
    EXPECT_EQ(source.read(all.data(), all.size()), bytes.size());
    EXPECT_EQ(source.size(), bytes.size());
  }  // the download thread has left
  EXPECT_EQ(seen, bytes);
  EXPECT_EQ(ends, 1);
}

// The byte at stream offset i.
uint8_t pattern(uint64_t i) { return static_cast<uint8_t>((i * 7) % 251); }

// A server: the pattern from an offset, endless or up to `length`; it sends only while
// its gate is open (a stalled server) and gives up when aborted.
struct Server {
  std::mutex mutex;
  std::condition_variable cv;
  uint64_t allowed = UINT64_MAX;  // the gate: bytes of the stream it may send
  uint64_t sent = 0;
  uint64_t length = UINT64_MAX;
  bool can_seek = true;
  std::vector<uint64_t> connects;
  int aborts = 0;
  int opened = 0;
  int closed = 0;

  // A download thread left to end by itself may still hold a connection: wait for it.
  ~Server() {
    std::unique_lock lock(mutex);
    cv.wait_for(lock, std::chrono::seconds(5), [&] { return closed == opened; });
  }

  void allow(uint64_t upto) {
    std::lock_guard lock(mutex);
    allowed = upto;
    cv.notify_all();
  }
};

class ServedReader : public NetReader {
 public:
  ServedReader(Server& server, uint64_t from) : server_(server), pos_(from) {
    std::lock_guard lock(server_.mutex);
    ++server_.opened;
  }
  ~ServedReader() override {
    std::lock_guard lock(server_.mutex);
    ++server_.closed;
    server_.cv.notify_all();
  }
  size_t read(void* dst, size_t n) override {
    std::unique_lock lock(server_.mutex);
    server_.cv.wait(lock, [&] { return aborted_ || pos_ < server_.allowed || pos_ >= server_.length; });
    if (aborted_ || pos_ >= server_.length) return 0;
    n = static_cast<size_t>(std::min<uint64_t>({n, server_.allowed - pos_, server_.length - pos_, 5000}));
    for (size_t i = 0; i < n; ++i) static_cast<uint8_t*>(dst)[i] = pattern(pos_ + i);
    pos_ += n;
    server_.sent += n;
    return n;
  }
  uint64_t content_length() const override { return server_.length == UINT64_MAX ? kUnknownLength : server_.length - pos_; }
  void abort() override {
    std::lock_guard lock(server_.mutex);
    aborted_ = true;
    ++server_.aborts;
    server_.cv.notify_all();
  }

 private:
  Server& server_;
  uint64_t pos_;
  bool aborted_ = false;
};

NetworkSource::Reconnect reconnect_to(Server& server) {
  return [&server](uint64_t from, int& error) -> std::unique_ptr<NetReader> {
    {
      std::lock_guard lock(server.mutex);
      if (!server.can_seek) {
        error = BASS_ERROR_NOTAVAIL;
        return nullptr;
      }
      server.connects.push_back(from);
    }
    return std::make_unique<ServedReader>(server, from);
  };
}

NetBufferOptions small_buffer() {
  NetBufferOptions o;
  o.capacity = 128 * 1024;
  o.prebuffer = 96 * 1024;
  o.timeout_ms = 2000;
  return o;
}

// Reads `n` bytes as the update thread does (never waiting), checking every byte.
void read_pattern(NetworkSource& s, uint64_t n) {
  std::vector<uint8_t> block(4096);
  uint64_t done = 0;
  while (done < n) {
    const size_t got = s.read(block.data(), static_cast<size_t>(std::min<uint64_t>(block.size(), n - done)));
    for (size_t i = 0; i < got; ++i)
      ASSERT_EQ(block[i], pattern(s.tell() - got + i)) << "at " << s.tell() - got + i;
    done += got;
    if (got == 0) std::this_thread::yield();
  }
}

TEST(NetworkBuffer, AnEndlessStreamHoldsTheSameMemoryHoweverLongItPlays) {
  Server server;
  NetworkSource s(std::make_unique<ServedReader>(server, 0), reconnect_to(server), small_buffer());
  s.opened();
  const uint64_t total = 64ull << 20;
  read_pattern(s, total);
  EXPECT_EQ(s.held_bytes(), small_buffer().capacity);
  std::lock_guard lock(server.mutex);
  // what was fetched beyond what was read fits in the buffer
  EXPECT_LE(server.sent, total + small_buffer().capacity);
}

TEST(NetworkBuffer, ARunDryStreamStallsWithoutWaitingAndGoesOnAfterThePrebuffer) {
  Server server;
  server.allowed = 200000;
  NetworkSource s(std::make_unique<ServedReader>(server, 0), reconnect_to(server), small_buffer());
  s.opened();
  read_pattern(s, 200000 - NetworkSource::kMinAhead + 1);
  EXPECT_TRUE(s.stalled());
  read_pattern(s, NetworkSource::kMinAhead - 1);  // what is there can still be read
  std::vector<uint8_t> block(4096);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(s.read(block.data(), block.size()), 0u);  // nothing more: no wait
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(20));

  server.allow(200000 + 50000);  // a trickle below the prebuffer
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  EXPECT_TRUE(s.stalled());
  server.allow(UINT64_MAX);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  while (s.stalled() && std::chrono::steady_clock::now() < deadline) std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_FALSE(s.stalled());
  read_pattern(s, 500000);  // and the bytes go on where they stopped
}

TEST(NetworkBuffer, SeeksInsideTheBufferAreServedAndOutsideReconnectFromThatByte) {
  Server server;
  NetworkSource s(std::make_unique<ServedReader>(server, 0), reconnect_to(server), small_buffer());
  s.opened();
  read_pattern(s, 1000000);
  ASSERT_TRUE(s.seek(1000000 - 20000));  // kept behind the reader
  read_pattern(s, 50000);
  EXPECT_TRUE(server.connects.empty());
  ASSERT_TRUE(s.seek(1234));  // long gone: from the server again
  EXPECT_EQ(server.connects, std::vector<uint64_t>{1234});
  read_pattern(s, 300000);
  ASSERT_TRUE(s.seek(5000000));  // far ahead
  read_pattern(s, 1000);

  // a server that cannot seek answers with an error and the stream goes on where it was
  server.can_seek = false;
  const uint64_t at = s.tell();
  EXPECT_FALSE(s.seek(10));
  EXPECT_EQ(s.seek_error(), BASS_ERROR_NOTAVAIL);
  EXPECT_EQ(s.tell(), at);
  read_pattern(s, 10000);
}

TEST(NetworkBuffer, FreeingEndsTheDownloadPromptlyWhileTheServerIsSilent) {
  Server server;
  server.allowed = 10000;
  auto s = std::make_unique<NetworkSource>(std::make_unique<ServedReader>(server, 0), reconnect_to(server), small_buffer());
  s->opened();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  const auto t0 = std::chrono::steady_clock::now();
  s.reset();
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::milliseconds(150));
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  for (;;) {
    {
      std::lock_guard lock(server.mutex);
      if (server.closed == 1 || std::chrono::steady_clock::now() > deadline) break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  std::lock_guard lock(server.mutex);
  EXPECT_GE(server.aborts, 1);
  EXPECT_EQ(server.closed, 1) << server.aborts;  // the connection is closed
}

// A client that does not give up when aborted: its second read returns a block only when
// the test lets it, long after the stream was freed.
class HeldReader : public NetReader {
 public:
  HeldReader(std::promise<void>& entered, std::shared_future<void> release, std::promise<void>& gone)
      : entered_(entered), release_(std::move(release)), gone_(gone) {}
  ~HeldReader() override { gone_.set_value(); }
  size_t read(void* dst, size_t n) override {
    if (calls_ == 2) return 0;
    if (calls_++ == 1) {
      entered_.set_value();
      release_.wait();
    }
    n = std::min<size_t>(n, 1000);
    std::memset(dst, 1, n);
    return n;
  }
  uint64_t content_length() const override { return kUnknownLength; }

 private:
  std::promise<void>& entered_;
  std::shared_future<void> release_;
  std::promise<void>& gone_;
  int calls_ = 0;
};

TEST(NetworkSource, TheProgressProcedureIsNotCalledOnceTheStreamIsFreed) {
  std::promise<void> entered, release, gone;
  std::atomic<bool> freed{false};
  std::atomic<int> calls{0}, late_calls{0};
  auto source = std::make_unique<NetworkSource>(
      std::make_unique<HeldReader>(entered, release.get_future().share(), gone), nullptr, NetBufferOptions{},
      [&](const void*, size_t) {
        ++calls;
        if (freed) ++late_calls;
      });
  entered.get_future().wait();  // the first block was reported; the next read hangs on
  source.reset();
  freed = true;
  release.set_value();
  gone.get_future().wait();  // the download thread is done with its reader
  EXPECT_EQ(calls, 1);
  EXPECT_EQ(late_calls, 0) << "the download procedure was called after the stream was freed";
}

}  // namespace
}  // namespace tav::audio
