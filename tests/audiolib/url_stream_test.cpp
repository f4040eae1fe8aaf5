// Network streams under Wine, against loopback HTTP and FTP servers that the test starts
// itself (python's http.server and pyftpdlib, net/net_servers.py): files play to their end
// byte for byte as they do from disk, errors of the server or the network fail with a code
// within the connect timeout, and a dropped connection ends the stream.
#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "bass.h"
#include "bass_fx.h"
#include "tav/test/frequency.h"
#include "tav/test/media.h"

namespace {

// A Unix path as this Windows program reaches it (drive Z:).
std::string windows_path(std::string unix_path) {
  for (char& c : unix_path)
    if (c == '/') c = '\\';
  return "Z:" + unix_path;
}

bool exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class UrlStream : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const char* media = std::getenv("TAV_TEST_MEDIA");
    ASSERT_NE(media, nullptr);
    const std::string dir = TAV_NET_WORK_DIR;
    CreateDirectoryA(windows_path(dir).c_str(), nullptr);
    const std::string tag = std::to_string(GetCurrentProcessId());
    port_file_ = dir + "/ports-" + tag;
    stop_file_ = dir + "/stop-" + tag;
    DeleteFileA(windows_path(stop_file_).c_str());
    // Wine starts a Unix program given by its Unix path
    std::string command = std::string("/usr/bin/python3 ") + TAV_NET_SERVERS + " " + media + " " + port_file_ + " " +
                          stop_file_;
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
        << GetLastError();
    if (pi.hProcess) CloseHandle(pi.hProcess);
    if (pi.hThread) CloseHandle(pi.hThread);
    for (int i = 0; i < 300 && !exists(windows_path(port_file_)); ++i) Sleep(50);
    std::ifstream ports(windows_path(port_file_));
    ports >> http_port_ >> ftp_port_;
    ASSERT_GT(http_port_, 0) << "the servers did not start";
  }

  static void TearDownTestSuite() {
    std::ofstream(windows_path(stop_file_)) << "stop\n";
  }

  static std::string http(const std::string& path) {
    return "http://127.0.0.1:" + std::to_string(http_port_) + "/" + path;
  }
  static std::string ftp(const std::string& path) {
    return "ftp://127.0.0.1:" + std::to_string(ftp_port_) + "/" + path;
  }

  // Every byte the channel gives until its end.
  static std::vector<char> read_all(DWORD h) {
    std::vector<char> out, block(4608);
    for (;;) {
      const DWORD got = BASS_ChannelGetData(h, block.data(), 4608);
      if (got == 0 && BASS_ChannelIsActive(h) == BASS_ACTIVE_STALLED) {  // more is on its way
        Sleep(2);
        continue;
      }
      if (got == static_cast<DWORD>(-1) || got == 0) break;
      out.insert(out.end(), block.begin(), block.begin() + got);
    }
    return out;
  }

  static std::vector<char> from_disk(const std::string& name) {
    const HSTREAM f = BASS_StreamCreateFile(FALSE, tav::test::MediaPath(name).c_str(), 0, 0, BASS_STREAM_DECODE);
    EXPECT_NE(f, 0u) << name;
    auto bytes = read_all(f);
    BASS_StreamFree(f);
    return bytes;
  }

  static inline std::string port_file_, stop_file_;
  static inline int http_port_ = 0, ftp_port_ = 0;
};

void CALLBACK count_bytes(const void* buffer, DWORD length, void* user) {
  if (buffer) *static_cast<size_t*>(user) += length;
}

TEST_F(UrlStream, HttpAndFtpFilesPlayToTheirEndByteExactly) {
  struct Case {
    std::string url;
    std::string file;
    bool length_known;
  };
  const Case cases[] = {
      {http("tone44k_stereo.wav"), "tone44k_stereo.wav", true},
      {http("tone44k_stereo.mp3"), "tone44k_stereo.mp3", true},   // its Info header counts the frames
      {http("tone44k_stereo.ogg"), "tone44k_stereo.ogg", false},  // unknown until the end
      {ftp("tone44k_stereo.wav"), "tone44k_stereo.wav", true},
      {ftp("tone44k_stereo.ogg"), "tone44k_stereo.ogg", false},
      {http("nolength/tone44k_stereo.mp3"), "tone44k_stereo.mp3", true},
      {http("nolength/tone44k_stereo.ogg"), "tone44k_stereo.ogg", false},
  };
  for (const Case& c : cases) {
    size_t downloaded = 0;
    const HSTREAM h = BASS_StreamCreateURL(c.url.c_str(), 0, BASS_STREAM_DECODE, count_bytes, &downloaded);
    ASSERT_NE(h, 0u) << c.url << " error " << BASS_ErrorGetCode();
    const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
    const std::vector<char> expected = from_disk(c.file);
    if (c.length_known)
      EXPECT_EQ(length, expected.size()) << c.url;
    else
      EXPECT_EQ(length, ~QWORD{0}) << c.url;
    const std::vector<char> got = read_all(h);
    EXPECT_EQ(got.size(), expected.size()) << c.url;
    EXPECT_TRUE(got == expected) << c.url;
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), expected.size()) << c.url;
    if (c.file != "tone44k_stereo.wav") {  // the WAV reader stops at the end of its data
      std::ifstream file(tav::test::MediaPath(c.file), std::ios::binary | std::ios::ate);
      EXPECT_EQ(downloaded, static_cast<size_t>(file.tellg())) << c.url;
    }
    EXPECT_TRUE(BASS_StreamFree(h));
  }
}

TEST_F(UrlStream, ThePlayersFlagsGiveADecodingStream) {
  const HSTREAM h = BASS_StreamCreateURL(http("tone44k_stereo.mp3").c_str(), 0, 0x220084, nullptr, nullptr);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  BASS_CHANNELINFO info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
  EXPECT_EQ(info.freq, 44100u);
  EXPECT_EQ(info.chans, 2u);
  EXPECT_EQ(info.ctype, static_cast<DWORD>(BASS_CTYPE_STREAM_MP3));
  // it starts stalled (0) until its prebuffer is there, then decodes
  std::vector<char> block(4608);
  DWORD got = 0;
  for (int i = 0; i < 1000 && got == 0; ++i) {
    got = BASS_ChannelGetData(h, block.data(), 4608);
    if (got == 0) Sleep(5);
  }
  EXPECT_EQ(got, 4608u);
  EXPECT_TRUE(BASS_StreamFree(h));
  // a tracker module is never loaded from an address
  EXPECT_EQ(BASS_MusicLoad(FALSE, http("tone44k_stereo.mp3").c_str(), 0, 0, 0x220280, 0), 0u);
  EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);
}

TEST_F(UrlStream, ServerAndNetworkErrorsFailWithACodeWithinTheTimeout) {
  struct Bad {
    std::string url;
    std::vector<int> errors;
  };
  const Bad cases[] = {
      {http("missing.mp3"), {BASS_ERROR_FILEOPEN}},
      {ftp("missing.mp3"), {BASS_ERROR_FILEOPEN}},
      {"http://127.0.0.1:9/tone.mp3", {BASS_ERROR_FILEOPEN, BASS_ERROR_TIMEOUT}},  // nobody listens
      {http("silent/tone44k_stereo.mp3"), {BASS_ERROR_FILEOPEN, BASS_ERROR_TIMEOUT}},  // no answer at all
      {"gopher://127.0.0.1/tone.mp3", {BASS_ERROR_FILEOPEN}},
  };
  for (const Bad& c : cases) {
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(BASS_StreamCreateURL(c.url.c_str(), 0, 0x220084, nullptr, nullptr), 0u) << c.url;
    const int error = BASS_ErrorGetCode();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_NE(std::find(c.errors.begin(), c.errors.end(), error), c.errors.end()) << c.url << " error " << error;
    EXPECT_LT(seconds, 7.0) << c.url;
  }
}

TEST_F(UrlStream, ADroppedConnectionEndsTheStreamWithoutAHang) {
  const auto start = std::chrono::steady_clock::now();
  const HSTREAM h = BASS_StreamCreateURL(http("drop/tone44k_stereo.wav").c_str(), 0, BASS_STREAM_DECODE, nullptr,
                                         nullptr);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  const std::vector<char> got = read_all(h);
  const std::vector<char> whole = from_disk("tone44k_stereo.wav");
  EXPECT_GT(got.size(), whole.size() / 3);
  EXPECT_LT(got.size(), whole.size() * 2 / 3);
  EXPECT_TRUE(std::equal(got.begin(), got.end(), whole.begin()));  // what came is right
  EXPECT_EQ(BASS_ChannelGetData(h, std::vector<char>(64).data(), 64), static_cast<DWORD>(-1));
  EXPECT_TRUE(BASS_StreamFree(h));
  EXPECT_LT(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(), 15.0);
}

// The process's memory in MB (the larger of committed and resident).
double private_mb() {
  PROCESS_MEMORY_COUNTERS pmc{};
  pmc.cb = sizeof pmc;
  K32GetProcessMemoryInfo(GetCurrentProcess(), &pmc, sizeof pmc);
  return static_cast<double>(std::max(pmc.PagefileUsage, pmc.WorkingSetSize)) / (1 << 20);
}

void CALLBACK count_atomic(const void* buffer, DWORD length, void* user) {
  if (buffer) *static_cast<std::atomic<uint64_t>*>(user) += length;
}

// An endless stream served as fast as it is taken (hours of audio in a minute): the
// memory the process holds stays flat.
TEST_F(UrlStream, AnEndlessStreamPlaysWithFlatMemory) {
  std::atomic<uint64_t> served{0};
  const HSTREAM h = BASS_StreamCreateURL(http("endless/detect/tone192.mp3").c_str(), 0, BASS_STREAM_DECODE,
                                         count_atomic, &served);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  std::vector<char> block(65536);
  double first = 0, peak = 0;
  uint64_t decoded = 0;
  const auto start = std::chrono::steady_clock::now();
  const uint64_t target = 300ull << 20;
  while (served < target && std::chrono::steady_clock::now() - start < std::chrono::seconds(100)) {
    const DWORD got = BASS_ChannelGetData(h, block.data(), static_cast<DWORD>(block.size()));
    ASSERT_NE(got, static_cast<DWORD>(-1)) << "the endless stream ended after " << served << " bytes";
    decoded += got;
    if (got == 0) Sleep(1);
    if (first == 0 && served > (16u << 20)) first = private_mb();
    if (first != 0) peak = std::max(peak, private_mb());
  }
  const double last = private_mb();
  const double hours = static_cast<double>(decoded) / (44100.0 * 4) / 3600;
  std::printf("endless stream: %.0f MB served, %.1f h of audio decoded in %.0f s; private memory %.1f MB after 16 MB, "
              "peak %.1f MB, %.1f MB at the end\n",
              served / 1048576.0, hours, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
              first, peak, last);
  RecordProperty("served_mb", std::to_string(served / 1048576));
  RecordProperty("memory_growth_mb", std::to_string(peak - first));
  EXPECT_GT(served, 100ull << 20);
  EXPECT_LT(peak - first, 8.0);
  EXPECT_TRUE(BASS_StreamFree(h));
}

// Pulls a decoding stream into an output stream on device 0; a stalled source gives silence.
struct Pull {
  HSTREAM source = 0;
  std::mutex mutex;
  std::vector<std::chrono::steady_clock::time_point> calls;
};

DWORD CALLBACK pull_proc(HSTREAM, void* buffer, DWORD length, void* user) {
  auto* p = static_cast<Pull*>(user);
  {
    std::lock_guard lock(p->mutex);
    p->calls.push_back(std::chrono::steady_clock::now());
  }
  const DWORD got = BASS_ChannelGetData(p->source, buffer, length);
  if (got == static_cast<DWORD>(-1)) return BASS_STREAMPROC_END;
  std::memset(static_cast<char*>(buffer) + got, 0, length - got);
  return length;
}

double ms_of(const std::function<void()>& call) {
  const auto t0 = std::chrono::steady_clock::now();
  call();
  return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
}

// A server that pauses 3 s: the stream (with the player's reverse and tempo stages over
// it) stalls and plays on, while a second stream on the same device plays without a gap
// and the GUI thread's calls return at once.
TEST_F(UrlStream, AServerPauseStallsOnlyItsOwnStream) {
  ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_UPDATEPERIOD, 24));
  ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_BUFFER, 1000));  // 2 s of this file: less than the pause
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
  const std::string paused = http("pause/3/100000/detect/tone192.mp3");
  Pull a, b, c;
  // the first through the player's chain: reverse and tempo stages over the decoder
  const HSTREAM url = BASS_StreamCreateURL(paused.c_str(), 0, 0x220084, nullptr, nullptr);
  ASSERT_NE(url, 0u) << BASS_ErrorGetCode();
  const HSTREAM reverse = BASS_FX_ReverseCreate(url, 2.0f, 0x210000);
  ASSERT_NE(reverse, 0u) << BASS_ErrorGetCode();
  a.source = BASS_FX_TempoCreate(reverse, 0x210000);
  c.source = BASS_StreamCreateURL(paused.c_str(), 0, BASS_STREAM_DECODE, nullptr, nullptr);
  b.source = BASS_StreamCreateFile(FALSE, tav::test::MediaPath("detect/tone192.mp3").c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_TRUE(a.source && b.source && c.source) << BASS_ErrorGetCode();
  const HSTREAM out_a = BASS_StreamCreate(44100, 2, 0, pull_proc, &a);
  const HSTREAM out_b = BASS_StreamCreate(44100, 2, 0, pull_proc, &b);
  const HSTREAM out_c = BASS_StreamCreate(44100, 2, 0, pull_proc, &c);
  ASSERT_TRUE(out_a && out_b && out_c);
  const auto start = std::chrono::steady_clock::now();
  for (HSTREAM h : {out_a, out_b, out_c}) ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));

  auto wait_for = [&](HSTREAM h, DWORD state, double seconds) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (BASS_ChannelIsActive(h) != state && std::chrono::steady_clock::now() < deadline) Sleep(5);
    return BASS_ChannelIsActive(h) == state;
  };
  ASSERT_TRUE(wait_for(a.source, BASS_ACTIVE_STALLED, 15.0)) << "never stalled";
  const auto stalled_at = std::chrono::steady_clock::now();
  const QWORD stalled_pos = BASS_ChannelGetPosition(a.source, BASS_POS_BYTE);
  // the GUI thread's calls during the pause
  const double t_position = ms_of([&] { BASS_ChannelGetPosition(a.source, BASS_POS_BYTE); });
  const double t_active = ms_of([&] { BASS_ChannelIsActive(a.source); });
  const double t_stop = ms_of([&] { EXPECT_TRUE(BASS_ChannelStop(out_c)); });
  const double t_free = ms_of([&] {
    EXPECT_TRUE(BASS_StreamFree(out_c));
    EXPECT_TRUE(BASS_StreamFree(c.source));
  });
  ASSERT_TRUE(wait_for(a.source, BASS_ACTIVE_PLAYING, 10.0))
      << "never played on: state " << BASS_ChannelIsActive(a.source) << " at " << BASS_ChannelGetPosition(a.source, BASS_POS_BYTE)
      << " of " << BASS_ChannelGetLength(a.source, BASS_POS_BYTE) << ", stalled at " << stalled_pos;
  const auto resumed_at = std::chrono::steady_clock::now();
  Sleep(500);
  EXPECT_GT(BASS_ChannelGetPosition(a.source, BASS_POS_BYTE), stalled_pos + 44100);  // it plays on
  for (HSTREAM h : {out_a, out_b}) BASS_ChannelStop(h);

  double worst_gap = 0;
  {
    std::lock_guard lock(b.mutex);
    for (size_t i = 1; i < b.calls.size(); ++i)
      worst_gap = std::max(worst_gap, std::chrono::duration<double, std::milli>(b.calls[i] - b.calls[i - 1]).count());
  }
  const auto secs = [](auto d) { return std::chrono::duration<double>(d).count(); };
  std::printf("stall after %.2f s, for %.2f s; during it GetPosition %.2f ms, IsActive %.2f ms, Stop %.2f ms, "
              "Free %.2f ms; the other stream's longest wait for the update thread %.1f ms\n",
              secs(stalled_at - start), secs(resumed_at - stalled_at), t_position, t_active, t_stop, t_free, worst_gap);
  EXPECT_LT(t_position, 50.0);
  EXPECT_LT(t_active, 50.0);
  EXPECT_LT(t_stop, 50.0);
  EXPECT_LT(t_free, 50.0);
  EXPECT_LT(worst_gap, 250.0);
  for (HSTREAM h : {out_a, out_b, a.source, b.source}) BASS_StreamFree(h);
  BASS_Free();
  BASS_SetConfig(BASS_CONFIG_NET_BUFFER, 5000);
}

// Reads `n` bytes, waiting out stalls.
std::vector<char> read_n(DWORD h, size_t n) {
  std::vector<char> out(n);
  size_t done = 0;
  while (done < n) {
    const DWORD got = BASS_ChannelGetData(h, out.data() + done, static_cast<DWORD>(std::min<size_t>(4608, n - done)));
    if (got == static_cast<DWORD>(-1)) break;
    if (got == 0) Sleep(2);
    done += got;
  }
  out.resize(done);
  return out;
}

// A seek back beyond what the buffer holds reconnects with a range request (http) or a
// restart offset (ftp) and plays the right bytes; a server without ranges refuses the seek
// and the stream goes on.
TEST_F(UrlStream, ASeekBeyondTheBufferPlaysTheRightBytes) {
  ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_NET_BUFFER, 1000));
  const std::vector<char> whole = from_disk("tone44k_stereo.wav");
  // over http with a range request, over ftp with a restart offset
  for (const std::string& url : {http("range/tone44k_stereo.wav"), ftp("tone44k_stereo.wav")}) {
    const HSTREAM h = BASS_StreamCreateURL(url.c_str(), 0, BASS_STREAM_DECODE, nullptr, nullptr);
    ASSERT_NE(h, 0u) << url << " error " << BASS_ErrorGetCode();
    EXPECT_TRUE(read_n(h, 300000) == std::vector<char>(whole.begin(), whole.begin() + 300000)) << url;
    ASSERT_TRUE(BASS_ChannelSetPosition(h, 4000, BASS_POS_BYTE)) << url << " error " << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), 4000u) << url;
    EXPECT_TRUE(read_n(h, 20000) == std::vector<char>(whole.begin() + 4000, whole.begin() + 24000)) << url;
    EXPECT_TRUE(BASS_StreamFree(h));
  }

  const HSTREAM plain = BASS_StreamCreateURL(http("tone44k_stereo.wav").c_str(), 0, BASS_STREAM_DECODE, nullptr, nullptr);
  ASSERT_NE(plain, 0u);
  read_n(plain, 300000);
  EXPECT_FALSE(BASS_ChannelSetPosition(plain, 4000, BASS_POS_BYTE));
  EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);
  EXPECT_TRUE(read_n(plain, 10000) == std::vector<char>(whole.begin() + 300000, whole.begin() + 310000));
  EXPECT_TRUE(BASS_StreamFree(plain));
  BASS_SetConfig(BASS_CONFIG_NET_BUFFER, 5000);
}

}  // namespace

namespace {

// The player's chain over an address, as OpenStream makes it: the decoder, the reverse
// stage set to play forwards, the tempo stage; reads and seeks go to the tempo stage.
HSTREAM open_player_chain(const std::string& url) {
  const HSTREAM dec = BASS_StreamCreateURL(url.c_str(), 0, 0x220084, nullptr, nullptr);
  if (!dec) return 0;
  const HSTREAM rev = BASS_FX_ReverseCreate(dec, 2.0f, 0x210000);
  if (!rev || !BASS_ChannelSetAttribute(rev, BASS_ATTRIB_REVERSE_DIR, BASS_FX_RVS_FORWARD)) return 0;
  return BASS_FX_TempoCreate(rev, 0x210000);
}

struct Reads {
  std::vector<int16_t> pcm;
  double longest_ms = 0;  // the longest single read
  int stalls = 0;         // reads that gave 0
  bool ended = false;
};

// Reads `seconds` of a stereo 44.1 kHz stream in the pump's blocks, waiting out stalls
// (within `give_up_s`), timing every read.
Reads read_seconds(HSTREAM h, double seconds, double give_up_s = 30) {
  Reads r;
  const size_t want = static_cast<size_t>(seconds * 44100) * 2;
  std::vector<int16_t> block(4608 / 2);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(give_up_s);
  while (r.pcm.size() < want && std::chrono::steady_clock::now() < deadline) {
    const auto t0 = std::chrono::steady_clock::now();
    const DWORD got = BASS_ChannelGetData(h, block.data(), static_cast<DWORD>(std::min<size_t>(4608, (want - r.pcm.size()) * 2)));
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    r.longest_ms = std::max(r.longest_ms, ms);
    if (got == static_cast<DWORD>(-1)) {
      r.ended = true;
      break;
    }
    if (got == 0) {
      ++r.stalls;
      Sleep(1);
      continue;
    }
    r.pcm.insert(r.pcm.end(), block.begin(), block.begin() + got / 2);
  }
  return r;
}

// Where in the 120 s sweep (left 100 Hz rising to 3000 Hz exponentially, as sox makes it)
// a stretch of it lies: the time its frequency belongs to, measured over [from, from + 0.4 s)
// of `pcm`.
double sweep_time(const std::vector<int16_t>& pcm, double from) {
  const size_t begin = static_cast<size_t>(from * 44100);
  const double hz = tav::test::ZeroCrossingFrequency(pcm, 2, begin, begin + 17640) * 44100;
  return 120 * std::log(hz / 100) / std::log(30.0) - 0.2;  // the window's start
}

}  // namespace

// Seeks of network streams through the player's chain: each is either refused, and the
// stream plays on from where it was, or accepted, and the next reads come from the target.
// The reads after a seek never wait on the network (a reconnect runs inside the seek).
TEST_F(UrlStream, SeeksThroughThePlayersChainLandOrAreRefusedAndPlayOn) {
  struct Row {
    const char* source;
    std::string url;
    double first, target;
    bool accepted;  // what the library answers: a seek it can serve, or one it cannot
  };
  const Row rows[] = {
      {"120 s MP3, http with ranges", http("range/net/sweep120.mp3"), 10, 100, true},  // decodes on to it
      {"120 s Ogg, http with ranges", http("range/net/sweep120.ogg"), 60, 1, false},   // Ogg is read as it arrives
      {"endless MP3 (no length, no ranges)", http("endless/net/sweep120.mp3"), 60, 1, false},
      {"endless Ogg", http("endless/net/sweep120.ogg"), 60, 1, false},
      {"120 s MP3, http with ranges", http("range/net/sweep120.mp3"), 60, 1, true},  // a new connection from there
  };
  std::printf("%-36s %6s %7s %-6s %8s %9s %9s %13s\n", "source", "first", "seek to", "answer", "seek ms",
              "plays at", "position", "longest read");
  for (const Row& row : rows) {
    const HSTREAM h = open_player_chain(row.url);
    ASSERT_NE(h, 0u) << row.url << " error " << BASS_ErrorGetCode();
    const Reads first = read_seconds(h, row.first);
    ASSERT_EQ(first.pcm.size(), static_cast<size_t>(row.first * 44100) * 2) << row.source;
    const QWORD before = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
    const QWORD target = static_cast<QWORD>(row.target * 44100) * 4;
    const auto t0 = std::chrono::steady_clock::now();
    const BOOL answer = BASS_ChannelSetPosition(h, target, BASS_POS_BYTE);
    const int error = BASS_ErrorGetCode();
    const double seek_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
    const QWORD after = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
    const Reads next = read_seconds(h, 1.0);
    const double expected_at = static_cast<double>(answer ? target : before) / (44100 * 4);
    const double plays_at = next.pcm.size() >= 44100 * 2 ? sweep_time(next.pcm, 0.2) - 0.2 : -1;
    std::printf("%-36s %5.0fs %6.0fs %-6s %8.1f %8.2fs %8.2fs %10.1f ms\n", row.source, row.first, row.target,
                answer ? "TRUE" : "FALSE", seek_ms, plays_at, static_cast<double>(after) / (44100 * 4), next.longest_ms);
    EXPECT_EQ(answer != FALSE, row.accepted) << row.source << " error " << error;
    if (!answer) {
      EXPECT_NE(error, BASS_OK) << row.source;
    }
    EXPECT_EQ(after, answer ? target : before) << row.source;
    EXPECT_FALSE(next.ended) << row.source << ": the stream ended after the seek";
    EXPECT_EQ(next.pcm.size(), 44100u * 2) << row.source;
    EXPECT_NEAR(plays_at, expected_at, 0.3) << row.source << ": the reads do not come from " << expected_at << " s";
    EXPECT_LE(next.longest_ms, 50.0) << row.source << ": a read waited on the network";
    EXPECT_TRUE(BASS_StreamFree(h));
  }

  // The update thread reads on while a seek opens the new connection: its reads are
  // stalls meanwhile, not waits.
  const HSTREAM h = open_player_chain(http("range/net/sweep120.mp3"));
  ASSERT_NE(h, 0u);
  read_seconds(h, 60);
  std::atomic<bool> seeking{true};
  std::atomic<int> reads{0};
  double longest_ms = 0;
  std::thread update([&] {
    std::vector<int16_t> block(2304);
    while (seeking) {
      const auto t0 = std::chrono::steady_clock::now();
      BASS_ChannelGetData(h, block.data(), 4608);
      longest_ms = std::max(longest_ms, std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
      ++reads;
      Sleep(1);
    }
  });
  Sleep(20);
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_TRUE(BASS_ChannelSetPosition(h, 44100 * 4, BASS_POS_BYTE)) << BASS_ErrorGetCode();
  const double seek_ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count();
  seeking = false;
  update.join();
  std::printf("seek back to 1 s with a new connection: %.1f ms; meanwhile %d reads on another thread, the longest "
              "%.1f ms\n", seek_ms, reads.load(), longest_ms);
  EXPECT_LE(longest_ms, 50.0) << "a read waited for the seek's connection";
  EXPECT_TRUE(BASS_StreamFree(h));
}

// Files joined as a server sends them one after the other, each behind a tag with a 300 kB
// picture: the server pauses inside the second tag, the stream stalls there and plays all
// three files.
TEST_F(UrlStream, ATagThatHasNotArrivedStallsAndPlaysOn) {
  const HSTREAM h = open_player_chain(http("pause/1/420000/net/covers.mp3"));
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  const Reads all = read_seconds(h, 60, 20);
  std::printf("joined files behind large tags: %.2f s played, %d stalled reads, longest read %.1f ms\n",
              all.pcm.size() / 2 / 44100.0, all.stalls, all.longest_ms);
  EXPECT_TRUE(all.ended);
  EXPECT_GT(all.stalls, 0);
  EXPECT_NEAR(all.pcm.size() / 2 / 44100.0, 6.0, 0.2);
  EXPECT_TRUE(BASS_StreamFree(h));
}
