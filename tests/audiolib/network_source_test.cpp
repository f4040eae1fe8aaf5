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
#include "channel.h"
#include "decoder.h"
#include "library_config.h"
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
  const std::vector<uint8_t>* file = nullptr;  // sent in place of the pattern (its length, too)
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
    for (size_t i = 0; i < n; ++i)
      static_cast<uint8_t*>(dst)[i] = server_.file ? (*server_.file)[pos_ + i] : pattern(pos_ + i);
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
  s.opened(0);
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
  s.opened(0);
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
  s.opened(0);
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
  s->opened(0);
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

namespace tav::audio {
namespace {

// ---------------------------------------------------------------- stall or end, decided once

// A source whose answers are scripted: stalled() gives its answers in turn (then the last
// again), and the transfer is complete only when told.
class ScriptedStallSource : public ByteSource {
 public:
  std::vector<bool> stalled_answers;
  bool done = false;
  size_t read(void*, size_t) override { return 0; }
  bool seek(uint64_t) override { return false; }
  uint64_t tell() const override { return 0; }
  uint64_t size() const override { return kOpenEndedSize; }
  bool seekable() const override { return false; }
  bool stalled() override {
    const bool answer = stalled_answers.at(std::min(asked_, stalled_answers.size() - 1));
    ++asked_;
    return answer;
  }
  bool complete() const override { return done; }

 private:
  size_t asked_ = 0;
};

// Gives `frames_left` frames of silence, then nothing (as a decoder whose bytes ran out).
class CountedDecoder : public Decoder {
 public:
  explicit CountedDecoder(size_t frames) : left(frames) { format_ = {44100, 2, 16, BASS_CTYPE_STREAM_MP3}; }
  size_t left;
  uint64_t length_frames() const override { return kUnknownLength; }
  size_t read(float* out, size_t frames) override {
    const size_t n = std::min(frames, left);
    std::fill(out, out + n * 2, 0.0f);
    left -= n;
    return n;
  }
  bool seek(uint64_t) override { return false; }
};

// The download thread may change the source's answer between two questions; the stream
// answers by the question its read asked, so a stall never turns into the end.
TEST(StallOrEnd, GetDataAnswersByTheCheckItsReadMade) {
  LibraryConfig config;
  std::vector<int16_t> block(4608 / 2);
  struct Case {
    const char* what;
    std::vector<bool> stalled_answers;  // what the source says at each question
    size_t frames;                      // what the decoder still has
    DWORD expected;
  };
  const Case cases[] = {
      {"stalled at the read, recovered when asked again", {true, false}, 0, 0},
      {"dry inside a step while the transfer goes on", {false}, 0, 0},
      {"part of a block, then dry", {false, false}, 100, 400},
  };
  for (const Case& c : cases) {
    auto source = std::make_unique<ScriptedStallSource>();
    source->stalled_answers = c.stalled_answers;
    ScriptedStallSource* raw = source.get();
    FileStream stream(std::make_unique<CountedDecoder>(c.frames), BASS_STREAM_DECODE, raw);
    EXPECT_EQ(stream.get_data(block.data(), 4608, config), c.expected) << c.what;
    EXPECT_EQ(stream.get_data(block.data(), 4608, config), 0u) << c.what << ": still waiting, not the end";
    raw->done = true;  // the transfer has ended: now the decoder's short read is the end
    EXPECT_EQ(stream.get_data(block.data(), 4608, config), DWORD(-1)) << c.what;
  }
}

// ---------------------------------------------------------------- MP3 from the network

std::vector<uint8_t> media_bytes(const std::string& name) {
  return test::ReadFileBytes<std::vector<uint8_t>>(test::MediaPath(name));
}

// Reads a FileStream as the update thread does: 0 is a wait (the test lets the server go
// on when `on_wait` says so), -1 the end.
std::vector<int16_t> read_stream(FileStream& stream, size_t max_bytes, const std::function<bool()>& on_wait,
                                 int* waits = nullptr) {
  LibraryConfig config;
  std::vector<int16_t> out, block(4608 / 2);
  while (out.size() * 2 < max_bytes) {
    const DWORD got = stream.get_data(block.data(), static_cast<DWORD>(std::min<size_t>(4608, max_bytes - out.size() * 2)), config);
    if (got == DWORD(-1)) break;
    if (got == 0) {
      if (waits) ++*waits;
      if (!on_wait()) break;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      continue;
    }
    out.insert(out.end(), block.begin(), block.begin() + got / 2);
  }
  return out;
}

// The same file from disk, as 16-bit frames from `frame` on.
std::vector<int16_t> from_disk(const std::string& name, uint64_t frame, size_t max_bytes) {
  int error = 0;
  DecoderOptions options;
  options.prescan = true;
  auto d = open_decoder(open_file_source(test::MediaPath(name), 0, 0), options, error);
  EXPECT_TRUE(d && d->seek(frame));
  FileStream stream(std::move(d), BASS_STREAM_DECODE);
  return read_stream(stream, max_bytes, [] { return false; });
}

struct NetStream {
  std::unique_ptr<FileStream> stream;
  NetworkSource* source = nullptr;
};

// Opens the file served by `server` as BASS_StreamCreateURL does.
NetStream open_served(Server& server, NetBufferOptions options, unsigned* bytes_per_second = nullptr) {
  auto source = std::make_unique<NetworkSource>(std::make_unique<ServedReader>(server, 0), reconnect_to(server), options);
  NetStream s;
  s.source = source.get();
  int error = 0;
  auto d = open_decoder(std::move(source), {}, error);
  EXPECT_TRUE(d) << error;
  if (!d) return s;
  if (bytes_per_second) *bytes_per_second = d->bytes_per_second();
  s.source->opened(d->bytes_per_second());
  s.stream = std::make_unique<FileStream>(std::move(d), BASS_STREAM_DECODE, s.source);
  return s;
}

// Joined files, each behind a tag with a 300 kB picture: the server stalls inside a tag;
// the stream waits there and plays every file to the end.
TEST(NetworkMp3, ATagThatHasNotArrivedIsAWaitNotTheEnd) {
  const auto file = media_bytes("net/covers.mp3");
  ASSERT_FALSE(file.empty());
  const auto expected = from_disk("net/covers.mp3", 0, SIZE_MAX);
  Server server;
  server.file = &file;
  server.length = file.size();
  server.allowed = 400000;  // the first file and the start of the second's tag
  NetStream s = open_served(server, small_buffer());
  ASSERT_TRUE(s.stream);
  int waits = 0;
  const auto got = read_stream(*s.stream, SIZE_MAX, [&] {
    server.allow(UINT64_MAX);  // the server goes on after the first wait
    return true;
  }, &waits);
  EXPECT_GE(waits, 1);
  EXPECT_EQ(got.size(), expected.size()) << "the stream ended early";
  EXPECT_TRUE(got == expected);
  EXPECT_GT(expected.size(), 3u * 2 * 44100 * 2 * 95 / 100);  // all three files
}

// Opening does not connect again to look at the end; the stream starts stalled until the
// prebuffer is there, counted in the stream's own time.
TEST(NetworkMp3, OpensOnOneConnectionAndPrebuffersInTime) {
  const auto file = media_bytes("net/sweep120.mp3");
  Server server;
  server.file = &file;
  server.length = file.size();
  server.allowed = 40000;
  NetBufferOptions options = small_buffer();
  options.capacity = 240000;  // 5 s at 384 kbit/s
  options.prebuffer = 180000;
  options.prebuffer_ms = 3750;
  unsigned bytes_per_second = 0;
  NetStream s = open_served(server, options, &bytes_per_second);
  ASSERT_TRUE(s.stream);
  {
    std::lock_guard lock(server.mutex);
    EXPECT_TRUE(server.connects.empty()) << "opened another connection at " << server.connects.front();
  }
  EXPECT_EQ(bytes_per_second, 128000u / 8);
  EXPECT_EQ(s.source->prebuffer(), 16000u * 3750 / 1000);  // 3.75 s of 128 kbit/s
  std::vector<int16_t> block(2304);
  LibraryConfig config;
  EXPECT_EQ(s.stream->get_data(block.data(), 4608, config), 0u) << "plays before the prebuffer is there";
  server.allow(s.source->tell() + s.source->prebuffer() + 1000);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
  DWORD got = 0;
  while ((got = s.stream->get_data(block.data(), 4608, config)) == 0 && std::chrono::steady_clock::now() < deadline)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  EXPECT_EQ(got, 4608u) << "plays once 3.75 s are there";
}

// Seeks of a network MP3: back beyond the buffer opens the address again from the byte
// mpg123 names (on the seeking thread), forward beyond what has arrived decodes on as the
// bytes come; either way the reads then come exactly from the target. A server that cannot
// seek refuses, and the stream plays on from where it was.
TEST(NetworkMp3, SeeksLandExactlyOrAreRefusedAndPlayOn) {
  const std::string name = "net/sweep120.mp3";
  const auto file = media_bytes(name);
  const size_t second = 44100 * 4;
  struct Case {
    const char* what;
    bool can_seek;
    double first, target;
    bool accepted;
  };
  const Case cases[] = {
      {"back beyond the buffer", true, 10, 1, true},
      {"forward beyond what has arrived", true, 10, 100, true},
      {"back, the server cannot seek", false, 10, 1, false},
      {"forward, the server cannot seek", false, 10, 100, true},  // no new connection needed
  };
  for (const Case& c : cases) {
    Server server;
    server.file = &file;
    server.length = file.size();
    server.can_seek = c.can_seek;
    server.allowed = 100000;
    NetBufferOptions options = small_buffer();
    NetStream s = open_served(server, options);
    ASSERT_TRUE(s.stream);
    // the server sends what was read and a little more: what has arrived stays short of the target
    auto follow = [&] {
      server.allow(s.source->tell() + 100000);
      return true;
    };
    follow();
    const auto head = read_stream(*s.stream, static_cast<size_t>(c.first * second), follow);
    ASSERT_EQ(head.size() * 2, static_cast<size_t>(c.first * second)) << c.what;
    const uint64_t before = s.stream->position_bytes();
    const uint64_t target = static_cast<uint64_t>(c.target * second);
    EXPECT_EQ(s.stream->set_position_bytes(target), c.accepted) << c.what;
    {
      std::lock_guard lock(server.mutex);  // only a seek back beyond the buffer connects again
      EXPECT_EQ(server.connects.size(), c.can_seek && c.target < c.first ? 1u : 0u) << c.what;
    }
    const uint64_t from = c.accepted ? target : before;
    EXPECT_EQ(s.stream->position_bytes(), from) << c.what;
    const auto next = read_stream(*s.stream, second / 2, follow);
    EXPECT_TRUE(next == from_disk(name, from / 4, second / 2)) << c.what << ": not from " << from / 4;
  }
}

}  // namespace
}  // namespace tav::audio
