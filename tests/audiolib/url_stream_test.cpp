// Network streams under Wine, against loopback HTTP and FTP servers that the test starts
// itself (python's http.server and pyftpdlib, net/net_servers.py): files play to their end
// byte for byte as they do from disk, errors of the server or the network fail with a code
// within the connect timeout, and a dropped connection ends the stream.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "bass.h"
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
  std::vector<char> block(4608);
  EXPECT_EQ(BASS_ChannelGetData(h, block.data(), 4608), 4608u);
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
      {"http://10.255.255.1/tone.mp3", {BASS_ERROR_FILEOPEN, BASS_ERROR_TIMEOUT}},  // no answer at all
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

}  // namespace
