// The player's windows in this process over the real audio libraries, playing
// on device 0 whose output is captured into a WAV file: the main window and
// the play list show, a dropped WAV plays with its labels, position and
// meters moving, pause and stop complete by their fades, the speed slider
// changes the captured duration, the play list advances by its loop modes,
// next, previous and the seek keys move, the volume and the play list survive
// a restart of the windows, the URL window plays an address from a loopback
// server and stays open on an unreachable one, and the About window shows the
// library version. Every message box a test causes is found and closed by a
// watcher thread; one nobody expected fails the test. Screenshots of the four
// windows go to the build's screenshots folder for review.
#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <thread>

#include "bass.h"
#include "player/core/main_controller.h"
#include "player/win32/ansi_text.h"
#include "player/win32/form_about.h"
#include "player/win32/form_list.h"
#include "player/win32/form_main.h"
#include "player/win32/form_url.h"
#include "player/win32/player_windows.h"
#include "tav/engine/globals.h"
#include "tav/engine/stream_chain.h"
#include "tav/player/startup.h"
#include "tav/test/box_watcher.h"
#include "tav/test/files.h"
#include "tav/test/media.h"
#include "tav/test/screenshot.h"
#include "tav/test/win32_process.h"
#include "window_test_support.h"

namespace fs = std::filesystem;
using namespace tav;
using namespace tav::player;
using Clock = std::chrono::steady_clock;
using tav::test::MediaPath;
using tav::test::ReadFileBytes;
using tav::test::Pump;
using tav::test::PumpUntil;
using tav::test::Screenshot;

namespace {

// A drop of files as the shell hands it over (8-bit or wide names).
template <class Char>
HDROP MakeDrop(const std::vector<std::basic_string<Char>>& files) {
  size_t bytes = sizeof(DROPFILES) + sizeof(Char);
  for (const auto& f : files) bytes += (f.size() + 1) * sizeof(Char);
  HGLOBAL mem = GlobalAlloc(GHND, bytes);
  auto* df = static_cast<DROPFILES*>(GlobalLock(mem));
  df->pFiles = sizeof(DROPFILES);
  df->fWide = sizeof(Char) > 1;
  auto* p = reinterpret_cast<Char*>(reinterpret_cast<char*>(df) + sizeof(DROPFILES));
  for (const auto& f : files) {
    memcpy(p, f.c_str(), (f.size() + 1) * sizeof(Char));
    p += f.size() + 1;
  }
  GlobalUnlock(mem);
  return static_cast<HDROP>(mem);
}

template <class Char>
void Drop(HWND window, const std::vector<std::basic_string<Char>>& files) {
  SendMessageW(window, WM_DROPFILES, WPARAM(MakeDrop(files)), 0);
}

void Drop(HWND window, const std::vector<std::string>& files) { Drop<char>(window, files); }

// A stereo 44.1 kHz sine of the given length.
std::string MakeToneWav(const std::string& name, int seconds) {
  const std::string file = (fs::temp_directory_path() / name).string();
  tav::test::WriteToneWav(file, seconds, 440.0, 12000);
  return file;
}

// A loopback HTTP server on a thread of its own that serves the given files
// by path; below "/unknown/" without a length (the connection's end ends the
// file).
class LoopbackHttp {
 public:
  explicit LoopbackHttp(std::map<std::string, std::string> files) : files_(std::move(files)) {
    WSADATA wsa;
    WSAStartup(MAKEWORD(2, 2), &wsa);
    listener_ = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    at.sin_port = 0;
    bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at);
    listen(listener_, 8);
    int len = sizeof at;
    getsockname(listener_, reinterpret_cast<sockaddr*>(&at), &len);
    port_ = ntohs(at.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~LoopbackHttp() {
    closesocket(listener_);
    thread_.join();
    for (auto& t : clients_) t.join();
    WSACleanup();
  }
  std::string Url(const std::string& path) const { return "http://127.0.0.1:" + std::to_string(port_) + path; }
  int Requests() const { return requests_; }

 private:
  void Serve() {
    for (;;) {
      const SOCKET client = accept(listener_, nullptr, nullptr);
      if (client == INVALID_SOCKET) return;
      clients_.emplace_back([this, client] { Answer(client); });
    }
  }
  void Answer(SOCKET client) {
    std::string request;
    char buf[1024];
    while (request.find("\r\n\r\n") == std::string::npos) {
      const int n = recv(client, buf, sizeof buf, 0);
      if (n <= 0) break;
      request.append(buf, size_t(n));
    }
    ++requests_;
    const size_t pathStart = request.find(' ') + 1;
    const std::string path = request.substr(pathStart, request.find(' ', pathStart) - pathStart);
    std::string lower = request;
    for (char& c : lower) c = char(tolower(static_cast<unsigned char>(c)));
    const auto file = files_.find(path);
    if (file == files_.end()) {
      const std::string missing = "HTTP/1.1 404 Not Found\r\nContent-Length: 0\r\nConnection: close\r\n\r\n";
      send(client, missing.data(), int(missing.size()), 0);
      closesocket(client);
      return;
    }
    const std::string& body = file->second;
    size_t offset = 0;
    if (const size_t r = lower.find("range: bytes="); r != std::string::npos) offset = std::stoul(lower.substr(r + 13));
    offset = std::min(offset, body.size());
    const bool lengthKnown = path.rfind("/unknown/", 0) != 0;
    std::string head;
    if (!lengthKnown) {
      head = "HTTP/1.0 200 OK\r\nContent-Type: application/octet-stream\r\n\r\n";
    } else if (offset > 0) {
      head = "HTTP/1.1 206 Partial Content\r\nContent-Type: application/octet-stream\r\nContent-Length: " +
             std::to_string(body.size() - offset) + "\r\nContent-Range: bytes " + std::to_string(offset) + "-" +
             std::to_string(body.size() - 1) + "/" + std::to_string(body.size()) + "\r\nConnection: close\r\n\r\n";
    } else {
      head = "HTTP/1.1 200 OK\r\nContent-Type: application/octet-stream\r\nContent-Length: " + std::to_string(body.size()) +
             "\r\nConnection: close\r\n\r\n";
    }
    const std::string answer = head + body.substr(offset);
    for (size_t sent = 0; sent < answer.size();) {
      const int n = send(client, answer.data() + sent, int(std::min<size_t>(answer.size() - sent, 16384)), 0);
      if (n <= 0) break;
      sent += size_t(n);
    }
    shutdown(client, SD_SEND);
    closesocket(client);
  }
  const std::map<std::string, std::string> files_;
  SOCKET listener_ = INVALID_SOCKET;
  int port_ = 0;
  std::atomic<int> requests_{0};
  std::thread thread_;
  std::vector<std::thread> clients_;
};

class PlayerWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool created = false;
    if (created) return;
    created = true;
    fs::remove(Bin() / "PlayList.m3u");
    fs::remove(Bin() / "Tavolen.ini");
    boxes_ = new tav::test::BoxWatcher;
    // Device 0 captures what it plays; the library reads the variable
    // through the same C runtime when the device starts.
    capture_ = (fs::temp_directory_path() / ("tav_player_capture_" + std::to_string(GetCurrentProcessId()) + ".wav"))
                   .string();
    _putenv_s("TAVOLEN_NOSOUND_CAPTURE", capture_.c_str());
    Application().SetTitle(L"Tavolen");
    // A failure here fails every test rather than skipping it.
    try {
      StartPlayer();
    } catch (const std::exception& e) {
      startError_ = std::string("the windows were not created: ") + e.what();
    }
  }
  static void TearDownTestSuite() { Application().DestroyForms(); }

  void SetUp() override {
    ASSERT_EQ(startError_, "");
    boxes_->Take();
  }
  void TearDown() override {
    boxes_->ExpectNoOthers();
  }

  // What the program does at its start: every device, then the windows; the
  // streams play on device 0, whose output is captured (chosen after the
  // configuration window has made its device current).
  static void StartPlayer() {
    InitAllDevices();
    CreatePlayerWindows();
    BASS_SetDevice(0);
    Main().Show();
    Pump(200);
  }

  static fs::path Bin() { return tav::test::ExeDir(); }
  static TFormMain& Main() { return *tav::player::PlayerWindows().Main(); }
  static TFormList& List() { return *tav::player::PlayerWindows().List(); }
  static TPlayListModel& Model() { return List().Model(); }

  // Frames device 0 has played so far (the capture's header stays valid).
  static double CapturedSeconds() {
    std::error_code ec;
    const auto bytes = fs::file_size(capture_, ec);
    return ec || bytes < 44 ? 0.0 : double(bytes - 44) / 4.0 / 44100.0;
  }

  // No media, no loop mode, normal speed and full volume, an empty list.
  static void Reset() {
    Main().Controller().CloseMedia();
    Main().muloopplay->SetChecked(false);
    Main().muListLoop->SetChecked(false);
    Main().sldSetSpeed->SetValue(4410);
    Main().sldSetVolume->SetValue(100);
    Model().Clear();
    tav::engine::StreamState.PlayIndex = 0;
  }

  static std::wstring Title() { return Main().lblTitle->Caption(); }
  static float OutVolume() {
    float v = -1;
    BASS_ChannelGetAttribute(tav::engine::StreamState.OutStream, BASS_ATTRIB_VOL, &v);
    return v;
  }

  // The boxes shown since the test began (each one answered already).
  static std::vector<tav::test::BoxText> Boxes() { return boxes_->Take(); }

  static inline tav::test::BoxWatcher* boxes_ = nullptr;
  static inline std::string capture_;
  static inline std::string startError_;
};

const std::string kWav = "tone44k_stereo.wav", kMp3 = "tone44k_stereo.mp3", kOgg = "tone44k_stereo.ogg";

TEST_F(PlayerWindows, MainWindowAndPlayListShowWithTheirTexts) {
  EXPECT_EQ(Main().Caption(), L"Tavolen V1.5");
  EXPECT_EQ(Main().ClientWidth(), 560);
  EXPECT_EQ(Main().ClientHeight(), 162);
  EXPECT_EQ(Main().lblTitle->Caption(), L"Morvik小型可调速音乐播放器");
  EXPECT_EQ(Main().btnPlay->Text(), L"播放");
  EXPECT_EQ(List().Caption(), L"播放列表");
  EXPECT_EQ(List().ClientWidth(), 240);
  EXPECT_EQ(List().ClientHeight(), 259);
  List().SetBounds(Main().Left(), Main().Top() + Main().Height() + 4, List().Width(), List().Height());
  List().Show();
  Pump(200);
  Screenshot(Main().Handle(), L"main_window");
}

TEST_F(PlayerWindows, ADroppedWavPlaysWithLabelsPositionAndMeters) {
  Reset();
  Drop(Main().Handle(), {MakeToneWav("tav_tone10s.wav", 10), MediaPath("tone48k_stereo.wav")});
  EXPECT_EQ(Main().lblfreq->Caption(), L"采样率:44100Hz");
  EXPECT_EQ(Main().lblchans->Caption(), L"声道:立体声");
  EXPECT_EQ(Main().lblMaxTime->Caption(), L"MaxTime:0:00:10");
  EXPECT_EQ(Title(), L"tav_tone10s.wav");
  EXPECT_EQ(Main().btnPlay->Text(), L"暂停");
  EXPECT_EQ(Model().Count(), 1) << "only the first file of a drop";
  EXPECT_EQ(Main().SldPos->MaxValue(), 100);
  EXPECT_EQ(Main().Tm[6]->Caption(), L"0:00:08");
  Pump(600);
  EXPECT_GT(Main().SldPos->Value(), 0);
  EXPECT_NE(Main().lblSeconds->Caption(), L"Seconds:0000.00 s");
  EXPECT_GT(Main().Controller().HeldLevel(0) + Main().Controller().HeldLevel(1), 0) << "the meters move";
  EXPECT_NE(Main().lblvul->Caption(), L"左:-00dB");
  Screenshot(Main().Handle(), L"main_window_playing");

  // Pause completes by its fade: 650 ms slide, then the next 200 ms title tick.
  Main().btnPlay->Click();
  const long pauseMs = PumpUntil([] { return Main().btnPlay->Text() == L"播放"; }, 3000);
  EXPECT_GE(pauseMs, 600);
  EXPECT_LE(pauseMs, 1000) << "pause took " << pauseMs << " ms";
  EXPECT_EQ(BASS_ChannelIsActive(tav::engine::StreamState.OutStream), DWORD(BASS_ACTIVE_PAUSED));
  RecordProperty("pause_ms", std::to_string(pauseMs));
  std::printf("pause completed after %ld ms\n", pauseMs);

  // Play again; a mute afterwards does not pause by itself.
  Main().btnPlay->Click();
  Pump(100);
  EXPECT_EQ(BASS_ChannelIsActive(tav::engine::StreamState.OutStream), DWORD(BASS_ACTIVE_PLAYING));
  Main().muclVol->Click();
  EXPECT_EQ(Main().sldSetVolume->Value(), 0);
  Pump(1000);
  EXPECT_EQ(Main().btnPlay->Text(), L"暂停");
  EXPECT_EQ(BASS_ChannelIsActive(tav::engine::StreamState.OutStream), DWORD(BASS_ACTIVE_PLAYING));
  Main().sldSetVolume->SetValue(100);

  // Stop fades out, stops and rewinds.
  Main().btnStopPlay->Click();
  const long stopMs = PumpUntil([] { return !Main().Controller().StopPending(); }, 3000);
  EXPECT_LE(stopMs, 1000);
  RecordProperty("stop_ms", std::to_string(stopMs));
  std::printf("stop completed after %ld ms\n", stopMs);
  Pump(50);
  EXPECT_EQ(Main().SldPos->Value(), 0);
  EXPECT_FALSE(Main().Controller().Playing());
  EXPECT_EQ(Main().btnPlay->Text(), L"播放");
}

// The speed slider slides the output rate: at 50 % the same file takes twice
// as long on device 0.
TEST_F(PlayerWindows, TheSpeedSliderScalesTheCapturedDuration) {
  Reset();
  const std::string file = MediaPath(kWav);  // 2 s
  auto playToEnd = [&](int speed) {
    const double before = CapturedSeconds();
    Drop(Main().Handle(), {file});  // the last entry: its end stops playback
    if (speed != 4410) {
      Main().sldSetSpeed->SetValue(speed);
      Pump(400);
      float rate = 0;
      BASS_ChannelGetAttribute(tav::engine::StreamState.OutStream, BASS_ATTRIB_FREQ, &rate);
      EXPECT_FLOAT_EQ(rate, float(speed) * 10) << "the output rate after the slide";
    }
    const long ms = PumpUntil([] { return !Main().Controller().Playing(); }, 15000);
    EXPECT_LT(ms, 15000) << "the track did not end";
    Pump(200);
    return CapturedSeconds() - before;
  };
  const double normal = playToEnd(4410);
  const double half = playToEnd(2205);
  EXPECT_EQ(Main().lblspeed->Caption(), L"Speed:50%");
  RecordProperty("captured_100_percent_s", std::to_string(normal));
  RecordProperty("captured_50_percent_s", std::to_string(half));
  std::printf("captured at 100 %%: %.3f s, at 50 %%: %.3f s, ratio %.3f\n", normal, half, half / normal);
  // The whole track is heard, its last buffered half second too.
  EXPECT_NEAR(normal, 2.0, 0.15);
  // The same file at half the rate: twice the frames, less a little for the
  // 250 ms slide down to half speed.
  EXPECT_NEAR(half / normal, 2.0, 0.15);

  // "恢复为默认的播放速度" goes back to the stream's own rate.
  Main().btnReSpeed->Click();
  EXPECT_EQ(Main().sldSetSpeed->Value(), 4410);
  EXPECT_EQ(Main().lblspeed->Caption(), L"Speed:100%");
}

TEST_F(PlayerWindows, ThePlayListAdvancesByItsLoopModes) {
  Reset();
  Drop(List().Handle(), {MediaPath(kWav), MediaPath(kMp3), MediaPath(kOgg)});
  ASSERT_EQ(Model().Count(), 3);
  EXPECT_EQ(Model().Selected(), 0);
  List().Show();
  Screenshot(List().Handle(), L"play_list");
  List().PlayEntry(0);
  ASSERT_EQ(Title(), L"tone44k_stereo.wav");

  // No loop: 1 -> 2 -> 3, then stop and rewind.
  const long toMp3 = PumpUntil([] { return Title() == L"tone44k_stereo.mp3"; }, 6000);
  EXPECT_EQ(tav::engine::StreamState.PlayIndex, 1);
  EXPECT_EQ(Model().Selected(), 1);
  const long toOgg = PumpUntil([] { return Title() == L"tone44k_stereo.ogg"; }, 6000);
  EXPECT_EQ(tav::engine::StreamState.PlayIndex, 2);
  const long toStop = PumpUntil([] { return !Main().Controller().Playing(); }, 6000);
  std::printf("entry 1 played %ld ms, entry 2 %ld ms, entry 3 %ld ms\n", toMp3, toOgg, toStop);
  EXPECT_GT(toMp3, 1800) << "the end of a track is heard";
  EXPECT_LT(toMp3, 3500);
  EXPECT_LT(toOgg, 3500);
  EXPECT_LT(toStop, 3500);
  EXPECT_EQ(tav::engine::StreamState.PlayIndex, 2);
  EXPECT_EQ(Main().btnPlay->Text(), L"播放");
  EXPECT_EQ(BASS_ChannelIsActive(tav::engine::StreamState.OutStream), DWORD(BASS_ACTIVE_STOPPED));
  Pump(100);
  EXPECT_EQ(Main().SldPos->Value(), 0) << "rewound";

  // List loop: after the last entry comes entry 0.
  Main().muListLoop->Click();
  EXPECT_TRUE(Main().muListLoop->Checked());
  Model().Select(2);
  List().PlayEntry(2);
  const long toFirst = PumpUntil([] { return Title() == L"tone44k_stereo.wav"; }, 6000);
  EXPECT_LT(toFirst, 3500);
  EXPECT_EQ(tav::engine::StreamState.PlayIndex, 0);
  EXPECT_TRUE(Main().Controller().Playing());

  // Single-track loop: the entry starts again by itself, no track change.
  Main().muloopplay->Click();
  EXPECT_TRUE(Main().muloopplay->Checked());
  EXPECT_FALSE(Main().muListLoop->Checked());
  int highest = 0;
  bool wrapped = false;
  const auto start = Clock::now();
  while (Clock::now() - start < std::chrono::milliseconds(4500)) {
    const int v = Main().SldPos->Value();
    if (v < highest - 5) wrapped = true;
    highest = std::max(highest, v);
    Pump(20);
    ASSERT_EQ(Title(), L"tone44k_stereo.wav");
  }
  EXPECT_TRUE(wrapped) << "the position never started again";
  EXPECT_EQ(tav::engine::StreamState.PlayIndex, 0);
  EXPECT_TRUE(Main().Controller().Playing());
  Main().muloopplay->Click();
}

TEST_F(PlayerWindows, NextPreviousReverseAndTheFourSeekKeys) {
  Reset();
  Drop(List().Handle(), {MediaPath(kWav), MediaPath(kMp3), MediaPath(kOgg)});
  List().PlayEntry(0);
  struct Step {
    TButton* button;
    const wchar_t* title;
    int index;
  };
  const Step steps[] = {{Main().btnNext, L"tone44k_stereo.mp3", 1}, {Main().btnNext, L"tone44k_stereo.ogg", 2},
                        {Main().btnNext, L"tone44k_stereo.wav", 0}, {Main().btnEx, L"tone44k_stereo.ogg", 2},
                        {Main().btnEx, L"tone44k_stereo.mp3", 1}};
  for (const auto& s : steps) {
    s.button->Click();
    EXPECT_EQ(Title(), s.title);
    EXPECT_EQ(tav::engine::StreamState.PlayIndex, s.index);
    EXPECT_EQ(Model().Selected(), s.index);
  }

  // Reverse play: the position runs back, and forward again.
  Drop(Main().Handle(), {MakeToneWav("tav_tone10s.wav", 10)});
  Pump(1500);
  Main().MuFR->Click();
  EXPECT_TRUE(Main().MuFR->Checked());
  Pump(300);
  const int back0 = Main().SldPos->Value();
  Pump(700);
  EXPECT_LT(Main().SldPos->Value(), back0) << "backwards";
  Main().MuFR->Click();
  EXPECT_FALSE(Main().MuFR->Checked());
  Pump(300);
  const int forward0 = Main().SldPos->Value();
  Pump(700);
  EXPECT_GT(Main().SldPos->Value(), forward0) << "forwards again";

  // The seek keys reach the window before its controls; paused, so the
  // position stands still between the keys.
  Drop(Main().Handle(), {MakeToneWav("tav_tone10s.wav", 10)});
  Pump(300);
  Main().btnPlay->Click();
  PumpUntil([] { return Main().btnPlay->Text() == L"播放"; }, 3000);
  auto tenths = [] {
    return int(std::lround(
        BASS_ChannelBytes2Seconds(tav::engine::StreamState.DecodeStream,
                                  BASS_ChannelGetPosition(tav::engine::StreamState.DecodeStream, BASS_POS_BYTE)) *
        10));
  };
  struct Key {
    WPARAM key;
    int delta;
  };
  const Key keys[] = {{VK_F8, 50}, {VK_F6, 5}, {VK_F5, -5}, {VK_F7, -50}};
  Main().btnPlay->SetFocus();
  for (const auto& k : keys) {
    const int before = tenths();
    PostMessageW(GetFocus(), WM_KEYDOWN, k.key, 0);
    Pump(100);
    EXPECT_NEAR(tenths(), before + k.delta, 1) << "key F" << (k.key - VK_F1 + 1);
  }
}

// A restart of the windows (the program's end and next start): the volume
// and the play list come back, the list written with CR LF after each path.
TEST_F(PlayerWindows, VolumeAndPlayListSurviveARestart) {
  Reset();
  Main().sldSetVolume->SetValue(40);
  const std::vector<std::string> paths = {MediaPath(kWav), MediaPath(kMp3), MediaPath(kOgg)};
  Drop(List().Handle(), paths);
  Application().DestroyForms();

  const fs::path m3u = Bin() / "PlayList.m3u";
  EXPECT_EQ(ReadFileBytes(m3u), paths[0] + "\r\n" + paths[1] + "\r\n" + paths[2] + "\r\n");
  EXPECT_EQ(GetPrivateProfileIntW(L"FormMain", L"Volume", -1, (Bin() / "Tavolen.ini").c_str()), 40);
  // Another program may end a line with LF alone.
  std::ofstream(m3u, std::ios::binary | std::ios::app) << "Z:\\elsewhere\\four.wav\n";

  StartPlayer();
  EXPECT_EQ(Main().sldSetVolume->Value(), 40);
  ASSERT_EQ(Model().Count(), 4);
  EXPECT_EQ(Model().Path(2), paths[2]);
  EXPECT_EQ(List().ListBox1->Item(0), L"001-tone44k_stereo.wav");
  EXPECT_EQ(List().ListBox1->Item(3), L"004-four.wav");
  // Every fade-in ends at the remembered volume.
  Drop(Main().Handle(), {MediaPath(kWav)});
  Pump(900);
  EXPECT_FLOAT_EQ(OutVolume(), 0.4f);
  Reset();
}

// The settings file cannot be written at the end (here a folder stands in its
// place): the play list is saved all the same.
TEST_F(PlayerWindows, AFailedSettingsWriteStillSavesThePlayList) {
  Reset();
  const std::vector<std::string> paths = {MediaPath(kOgg), MediaPath(kWav)};
  Drop(List().Handle(), paths);
  const fs::path ini = Bin() / "Tavolen.ini", m3u = Bin() / "PlayList.m3u";
  fs::remove(ini);
  fs::remove(m3u);
  fs::create_directory(ini);
  Application().DestroyForms();
  EXPECT_EQ(ReadFileBytes(m3u), paths[0] + "\r\n" + paths[1] + "\r\n");
  fs::remove(ini);
  StartPlayer();
  EXPECT_EQ(Model().Count(), 2);
  Reset();
}

// The play list held open by another program at the start: the read error
// shows, the list comes up empty, and the end leaves the user's file as it
// was, so the next start has the list again.
TEST_F(PlayerWindows, APlayListThatCannotBeReadAtTheStartIsNotReplacedAtTheEnd) {
  Reset();
  const std::vector<std::string> paths = {MediaPath(kWav), MediaPath(kMp3)};
  Drop(List().Handle(), paths);
  Application().DestroyForms();
  const fs::path m3u = Bin() / "PlayList.m3u";
  const std::string kept = ReadFileBytes(m3u);
  ASSERT_EQ(kept, paths[0] + "\r\n" + paths[1] + "\r\n");
  HANDLE held = CreateFileW(m3u.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  StartPlayer();
  CloseHandle(held);
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u) << "the read error is shown";
  EXPECT_NE(boxes[0].text.find(L"PlayList.m3u"), std::wstring::npos) << Narrow(boxes[0].text);
  EXPECT_TRUE(Model().Empty());
  Application().DestroyForms();
  EXPECT_EQ(ReadFileBytes(m3u), kept) << "the user's list stays";
  StartPlayer();
  EXPECT_EQ(Model().Count(), 2);
  Reset();
}

TEST_F(PlayerWindows, ThePlayListTakesEveryDroppedFileWhole) {
  Reset();
  // A name longer than the old 254-character limit arrives whole.
  const std::string longName = "Z:\\" + std::string(290, 'n') + ".wav";
  Drop(List().Handle(), {MediaPath(kWav), MediaPath(kMp3), longName});
  ASSERT_EQ(Model().Count(), 3);
  EXPECT_EQ(List().ListBox1->Count(), 3);
  EXPECT_EQ(List().ListBox1->Item(1), L"002-tone44k_stereo.mp3");
  EXPECT_EQ(Model().Path(2), longName);
  EXPECT_EQ(Model().Selected(), 0);
}

TEST_F(PlayerWindows, TheUrlWindowPlaysAnAddressAndStaysOpenOnAnUnreachableOne) {
  Reset();
  LoopbackHttp server({{"/music/tone.wav", ReadFileBytes(MakeToneWav("tav_tone10s.wav", 10))},
                       {"/unknown/tone.ogg", ReadFileBytes(MediaPath(kOgg))}});
  TFormURL& url = *tav::player::PlayerWindows().Url();
  EXPECT_EQ(url.Caption(), L"打开URL地址");
  EXPECT_EQ(url.ClientWidth(), 357);
  EXPECT_EQ(url.ClientHeight(), 96);
  url.Show();
  Screenshot(url.Handle(), L"url_window");

  // Nothing typed: nothing happens.
  url.Edit1->SetText(L"");
  url.btnloadUrl->Click();
  EXPECT_TRUE(url.Visible());
  EXPECT_EQ(server.Requests(), 0);

  url.Edit1->SetText(Widen(server.Url("/music/tone.wav")));
  url.btnloadUrl->Click();
  EXPECT_FALSE(url.Visible()) << "the window closes once the address plays";
  EXPECT_EQ(server.Requests(), 1);
  EXPECT_EQ(Title(), L"网络在线");
  EXPECT_EQ(Main().lblMaxTime->Caption(), L"MaxTime:0:00:10");
  EXPECT_EQ(Model().Count(), 0) << "an address does not join the play list";
  Pump(300);
  EXPECT_TRUE(Main().Controller().Playing());
  EXPECT_EQ(BASS_ChannelIsActive(tav::engine::StreamState.OutStream), DWORD(BASS_ACTIVE_PLAYING));
  EXPECT_GT(Main().SldPos->Value(), 0);

  // An address cannot be saved as WAV: the render needs a local file.
  Main().muSavew->Click();
  auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"请打开一个文件!");
  EXPECT_EQ(boxes[0].caption, L"出错啦!");

  // An address of unknown length still gets a position range.
  url.Show();
  url.Edit1->SetText(Widen(server.Url("/unknown/tone.ogg")));
  url.btnloadUrl->Click();
  EXPECT_FALSE(url.Visible());
  EXPECT_EQ(Main().SldPos->MaxValue(), 10);
  EXPECT_EQ(Main().lblMaxTime->Caption(), L"MaxTime:0:00:00");

  // Unreachable: a box names the address, the window stays as it was.
  url.Show();
  url.Edit1->SetText(L"http://127.0.0.1:9/none.mp3");
  const int requests = server.Requests();
  url.btnloadUrl->Click();
  Pump(100);
  EXPECT_TRUE(url.Visible());
  EXPECT_EQ(url.Edit1->Text(), L"http://127.0.0.1:9/none.mp3");
  EXPECT_EQ(server.Requests(), requests);
  boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].text.find(L"http://127.0.0.1:9/none.mp3"), std::wstring::npos);
  url.Close();
  Reset();
}

TEST_F(PlayerWindows, AboutWindowShowsTheLibraryVersion) {
  TFormAbout& about = *tav::player::PlayerWindows().About();
  EXPECT_EQ(about.Caption(), L"关于...");
  EXPECT_EQ(about.ClientWidth(), 444);
  EXPECT_EQ(about.ClientHeight(), 374);
  EXPECT_EQ(about.lblBassVer->Caption(), L"Bass函数库版本:2.4");
  EXPECT_EQ(BassVersionText(0x02050000), L"Bass函数库版本:");
  // The ranges given are the player's own tempo and pitch controls.
  std::wstring text;
  for (const auto& line : about.Memo1->Lines()) text += line + L"\n";
  EXPECT_NE(text.find(L"节拍 -45% 到 +45%"), std::wstring::npos) << Narrow(text);
  EXPECT_NE(text.find(L"音调 -30 到 +30 个半音"), std::wstring::npos);
  EXPECT_EQ(text.find(L"+70%"), std::wstring::npos);
  EXPECT_EQ(text.find(L"音分"), std::wstring::npos);
  about.Show();
  Pump(100);
  Screenshot(about.Handle(), L"about_window");
  // "信息" shows the system's about box, modally; it is answered like a box.
  about.Button2->Click();
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_NE(boxes[0].caption.find(L"Tavolen"), std::wstring::npos) << Narrow(boxes[0].caption);
  about.Button1->Click();
  EXPECT_FALSE(about.Visible());
}

// "正/反播放进程" is checked only while a stream plays backwards: a new file
// starts forwards and "关闭媒体" ends it.
TEST_F(PlayerWindows, TheReverseMarkGoesWithANewFileAndWithClosingTheMedia) {
  Reset();
  Drop(Main().Handle(), {MediaPath(kWav)});
  Main().MuFR->Click();
  ASSERT_TRUE(Main().MuFR->Checked());
  Drop(Main().Handle(), {MediaPath(kOgg)});
  EXPECT_FALSE(Main().MuFR->Checked()) << "a new file";
  Main().MuFR->Click();
  ASSERT_TRUE(Main().MuFR->Checked()) << "the new file plays backwards";
  Main().muClosem->Click();
  EXPECT_FALSE(Main().MuFR->Checked()) << "关闭媒体";
  Reset();
}

// Counts the main window's menu as it opens, and closes it again at once.
struct MainMenuCounter {
  int& opened;
  TPopupMenu& menu;
  MainMenuCounter(TPopupMenu& m, int& count) : opened(count), menu(m) {
    menu.OnPopup = [this](TObject*) {
      ++opened;
      tav::test::CloseMenuSoon();
    };
  }
  ~MainMenuCounter() { menu.OnPopup = nullptr; }
};

// A right click anywhere on the main window opens its menu: over its
// buttons, sliders and title frame too, which pass the click up.
TEST_F(PlayerWindows, ARightClickOnAnyControlOpensTheMainWindowsMenu) {
  int popups = 0;
  MainMenuCounter counter(Main().PopupMenu1, popups);
  struct Case {
    const char* name;
    TWinControl* control;
  };
  const Case cases[] = {{"play button", Main().btnPlay}, {"speed slider", Main().sldSetSpeed},
                        {"position slider", Main().SldPos}, {"title frame", Main().TitFrame}};
  for (const Case& c : cases) {
    const int before = popups;
    RECT r;
    GetWindowRect(c.control->Handle(), &r);
    SendMessageW(c.control->Handle(), WM_CONTEXTMENU, WPARAM(c.control->Handle()),
                 MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2));
    Pump(50);
    EXPECT_EQ(popups, before + 1) << c.name;
  }
}

// A real right click, the button pressed and released over a windowless
// control of the main window (the mouse's own messages, which the window's
// default handler answers with WM_CONTEXTMENU), opens the window's menu.
TEST_F(PlayerWindows, ARealRightClickOnALabelOrPaintBoxOpensTheMainWindowsMenu) {
  int popups = 0;
  MainMenuCounter counter(Main().PopupMenu1, popups);
  struct Case {
    const char* name;
    TControl* control;
  };
  const Case cases[] = {{"\"Seconds:\" label", Main().lblSeconds}, {"time display", Main().PaTime},
                        {"left meter", Main().Pavul},               {"time scale label", Main().Tm[0]},
                        {"level text", Main().lblvur},              {"title label", Main().lblTitle}};
  for (const Case& c : cases) {
    const int before = popups;
    HWND window = c.control->Parent()->Handle();
    const LPARAM at = MAKELPARAM(c.control->Left() + 2, c.control->Top() + 2);
    PostMessageW(window, WM_RBUTTONDOWN, MK_RBUTTON, at);
    PostMessageW(window, WM_RBUTTONUP, 0, at);
    PumpUntil([&] { return popups > before; }, 2000);
    Pump(50);
    EXPECT_EQ(popups, before + 1) << c.name;
  }
}

// What does not open while a track plays (a file that is no audio, a file of
// 0 bytes, a play-list entry deleted meanwhile, an address nobody answers):
// the track stops, as the engine frees it first; a box names what did not
// open and the window shows no media, as "关闭媒体" leaves it, so the
// transport does nothing. The play list's own rules stay.
TEST_F(PlayerWindows, WhatDoesNotOpenIsNamedAndTheWindowShowsNoMedia) {
  const fs::path dir = fs::temp_directory_path();
  const std::string text = (dir / "tav_notes.txt").string();
  std::ofstream(text) << "这不是音频文件。\n";
  const std::string empty = (dir / "tav_empty.mp3").string();
  std::ofstream{empty};
  const std::string gone = (dir / "tav_gone.wav").string();
  struct Case {
    const char* what;
    std::string name;
    std::function<void()> open;
    int listCount;  // entries afterwards
  };
  const Case cases[] = {
      {"a dropped text file", text, [&] { Drop(Main().Handle(), {text}); }, 1},
      {"a 0-byte file from the play list",
       empty,
       [&] {
         Drop(List().Handle(), {empty});
         List().PlayEntry(1);
       },
       2},
      {"a deleted play-list entry by \"下一曲\"",
       gone,
       [&] {
         fs::copy_file(MediaPath(kWav), gone, fs::copy_options::overwrite_existing);
         Drop(List().Handle(), {gone});
         fs::remove(gone);
         Main().btnNext->Click();
       },
       2},
      {"an address nobody answers",
       "http://127.0.0.1:9/none.mp3",
       [&] {
         TFormURL& url = *tav::player::PlayerWindows().Url();
         url.Edit1->SetText(L"http://127.0.0.1:9/none.mp3");
         url.btnloadUrl->Click();
         url.Close();
       },
       1},
  };
  for (const Case& c : cases) {
    Reset();
    Drop(Main().Handle(), {MediaPath(kWav)});
    Pump(300);
    ASSERT_EQ(BASS_ChannelIsActive(tav::engine::StreamState.OutStream), DWORD(BASS_ACTIVE_PLAYING)) << c.what;
    c.open();
    Pump(100);
    const auto boxes = Boxes();
    ASSERT_EQ(boxes.size(), 1u) << c.what;
    EXPECT_EQ(boxes[0].caption, L"出错啦!");
    EXPECT_NE(boxes[0].text.find(AnsiToWide(c.name)), std::wstring::npos) << c.what;
    EXPECT_EQ(tav::engine::StreamState.DecodeStream, 0u) << c.what;
    EXPECT_EQ(tav::engine::StreamState.OutStream, 0u) << c.what;
    EXPECT_EQ(Title(), L"Morvik小型可调速音乐播放器") << c.what;
    EXPECT_EQ(Main().btnPlay->Text(), L"播放") << c.what;
    EXPECT_EQ(Main().lblMaxTime->Caption(), L"MaxTime:") << c.what;
    EXPECT_EQ(Main().lblfreq->Caption(), L"采样率: Hz") << c.what;
    EXPECT_EQ(Main().lblchans->Caption(), L"声道:") << c.what;
    EXPECT_EQ(Main().Tm[6]->Caption(), L"0:00:00") << c.what;
    EXPECT_EQ(Model().Count(), c.listCount) << c.what;
    Main().btnPlay->Click();
    Main().btnStopPlay->Click();
    Pump(100);
    EXPECT_EQ(Main().btnPlay->Text(), L"播放") << c.what << ": play does nothing";
    if (c.what == cases[0].what) Screenshot(Main().Handle(), L"main_window_not_opened");
  }
  EXPECT_EQ(Boxes().size(), 0u);
  fs::remove(text);
  fs::remove(empty);
  Reset();
}

// Backwards play that reaches the start ends as a stop does: the button reads
// "播放", and the list does not move on.
TEST_F(PlayerWindows, BackwardsPlayThatReachesTheStartShowsStopped) {
  Reset();
  Drop(List().Handle(), {MediaPath(kWav), MediaPath(kMp3)});
  List().PlayEntry(0);
  Pump(200);
  tav::engine::SeekTenths(6);
  Main().MuFR->Click();
  ASSERT_TRUE(Main().MuFR->Checked());
  const long ms = PumpUntil([] { return Main().btnPlay->Text() == L"播放"; }, 5000);
  std::printf("backwards from 0.6 s: stopped after %ld ms\n", ms);
  EXPECT_LT(ms, 5000);
  EXPECT_FALSE(Main().Controller().Playing());
  EXPECT_EQ(BASS_ChannelIsActive(tav::engine::StreamState.OutStream), DWORD(BASS_ACTIVE_STOPPED));
  Pump(300);
  EXPECT_EQ(Title(), L"tone44k_stereo.wav") << "no step to the next entry";
  EXPECT_EQ(tav::engine::StreamState.PlayIndex, 0);
  Reset();
}

// A name that the system code page lacks (the first of a few names in
// different scripts that it lacks): the file, dropped on either window,
// opens by its short name and plays, shown by its own name; the play list
// file keeps a name that opens it again.
TEST_F(PlayerWindows, AFileNamedOutsideTheCodePageOpensAndPlays) {
  Reset();
  const std::wstring name = tav::test::NameOutsideTheCodePage();
  ASSERT_FALSE(name.empty()) << "code page " << GetACP() << " holds every name";
  std::printf("code page %u, file name %s.wav\n", GetACP(), Narrow(name).c_str());
  RecordProperty("code_page", std::to_string(GetACP()));
  const fs::path file = fs::temp_directory_path() / (name + L".wav");
  fs::copy_file(MediaPath(kWav), file, fs::copy_options::overwrite_existing);

  Drop(Main().Handle(), std::vector<std::wstring>{file.wstring()});
  EXPECT_EQ(Boxes().size(), 0u);
  EXPECT_EQ(Title(), name + L".wav");
  EXPECT_EQ(Main().btnPlay->Text(), L"暂停");
  const double before = CapturedSeconds();
  Pump(600);
  EXPECT_EQ(BASS_ChannelIsActive(tav::engine::StreamState.OutStream), DWORD(BASS_ACTIVE_PLAYING));
  EXPECT_GT(Main().SldPos->Value(), 0);
  EXPECT_GT(CapturedSeconds(), before) << "it is heard";
  ASSERT_EQ(Model().Count(), 1);
  EXPECT_EQ(List().ListBox1->Item(0), L"001-" + name + L".wav");

  Drop(List().Handle(), std::vector<std::wstring>{file.wstring()});
  ASSERT_EQ(Model().Count(), 2);
  EXPECT_EQ(List().ListBox1->Item(1), L"002-" + name + L".wav");
  List().PlayEntry(1);
  EXPECT_EQ(Boxes().size(), 0u);
  EXPECT_EQ(Title(), name + L".wav");

  // The play list file, 8-bit text as ever, names the file by a name that opens.
  List().mumsave->Click();
  std::ifstream m3u(Bin() / "PlayList.m3u", std::ios::binary);
  std::string line;
  std::getline(m3u, line);
  ASSERT_FALSE(line.empty());
  line.pop_back();  // CR
  const HANDLE h = CreateFileA(line.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  EXPECT_NE(h, INVALID_HANDLE_VALUE) << line;
  CloseHandle(h);
  Reset();
  fs::remove(file);
}

// "播放列表" hides the list as "L" does, closing it: the list stays hidden
// at the next start.
TEST_F(PlayerWindows, ThePlayListHiddenFromTheMenuStaysHiddenAfterARestart) {
  Reset();
  Main().mushPlist->Click();
  ASSERT_TRUE(List().Visible()) << "shown from the menu";
  Main().mushPlist->Click();
  EXPECT_FALSE(List().Visible());
  Application().DestroyForms();
  EXPECT_EQ(GetPrivateProfileIntW(L"FormList", L"Visible", -1, (Bin() / "Tavolen.ini").c_str()), 0);
  StartPlayer();
  EXPECT_FALSE(List().Visible());
  // Shown again from the menu, it comes back shown.
  Main().mushPlist->Click();
  Application().DestroyForms();
  StartPlayer();
  EXPECT_TRUE(List().Visible());
  List().Close();
  List().Hide();
  Reset();
}

// The two warnings of the main window come as boxes owned by it; a reverse
// or a render without a stream does nothing else.
TEST_F(PlayerWindows, WarningsComeAsBoxesThatTheTestsClose) {
  Reset();
  Main().muSavew->Click();
  tav::engine::StreamState.CompatActive = true;
  Main().MuFR->Click();
  tav::engine::StreamState.CompatActive = false;
  Main().MuFR->Click();  // no stream: nothing
  const auto boxes = Boxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].text, L"请打开一个文件!");
  EXPECT_EQ(boxes[1].text, L"无法在兼容模式缓冲区的情况下使用此功能");
  EXPECT_EQ(boxes[1].caption, L"出错啦!");
  EXPECT_FALSE(Main().MuFR->Checked());
}

}  // namespace

BOOL CALLBACK NoteUpdateRegion(HWND child, LPARAM any) {
  if (GetUpdateRect(child, nullptr, FALSE)) *reinterpret_cast<bool*>(any) = true;
  return TRUE;
}

// Whether the window or any window inside it has something left to repaint.
bool HasUpdateRegion(HWND window) {
  bool any = GetUpdateRect(window, nullptr, FALSE);
  EnumChildWindows(window, NoteUpdateRegion, LPARAM(&any));
  return any;
}

// The timers keep their periods but repaint only what changed: at rest a
// position and a level tick leave every control and paint box as it is;
// playing, the time display and the meters show each new value.
TEST_F(PlayerWindows, ATimerTickRepaintsOnlyWhatChanged) {
  Reset();
  // The meters' hold lines fall to the bottom, then nothing moves.
  int before = -1;
  PumpUntil(
      [&] {
        Pump(300);
        const int now = Main().MeterTransfers() + Main().TimeTransfers();
        const bool still = now == before;
        before = now;
        return still;
      },
      15000);
  RedrawWindow(Main().Handle(), nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
  ASSERT_FALSE(HasUpdateRegion(Main().Handle()));
  const int meters = Main().MeterTransfers(), time = Main().TimeTransfers();
  for (int k = 0; k < 20; ++k) {
    Main().Controller().PositionTick();
    Main().Controller().LevelTextTick();
    Main().Controller().TitleTick();
  }
  EXPECT_EQ(Main().MeterTransfers(), meters) << "a meter at rest was copied again";
  EXPECT_EQ(Main().TimeTransfers(), time) << "the same time was drawn again";
  EXPECT_FALSE(HasUpdateRegion(Main().Handle())) << "a tick with nothing changed invalidated a control";

  // A change is still shown at once.
  Drop(Main().Handle(), {MakeToneWav("tav_tone10s.wav", 10)});
  Pump(700);
  // A steady tone holds the meters still once they have risen; they fall
  // again when it stops.
  const int risen = Main().MeterTransfers();
  EXPECT_GT(risen, meters) << "the meters follow the sound";
  // The large time shows tenths: a new text every 100 ms, each drawn once.
  EXPECT_GT(Main().TimeTransfers(), time + 3) << "the time display follows the position";
  EXPECT_NE(Main().lblSeconds->Caption(), L"Seconds:0000.00 s");
  // The window's own painting still shows the last value after the ticks
  // stopped drawing it.
  Main().btnStopPlay->Click();
  PumpUntil([] { return !Main().Controller().StopPending(); }, 3000);
  Pump(300);
  EXPECT_GT(Main().MeterTransfers(), risen) << "the meters fall after the stop";
  const int shown = Main().TimeTransfers();
  InvalidateRect(Main().Handle(), nullptr, FALSE);
  Pump(100);
  EXPECT_GT(Main().TimeTransfers(), shown) << "a repaint of the window draws the time display";
  Reset();
}

// Closing the main window (its close button, "退出") ends the program: the
// sound stops and the window leaves the screen before any window is freed;
// freeing them afterwards writes the settings as ever. (Last in this file:
// the program stays marked as ending.)
TEST_F(PlayerWindows, ClosingTheMainWindowStopsTheSoundFirst) {
  Reset();
  Main().sldSetVolume->SetValue(60);
  List().Show();
  Drop(Main().Handle(), {MakeToneWav("tav_tone10s.wav", 10)});
  Pump(300);
  ASSERT_EQ(BASS_ChannelIsActive(tav::engine::StreamState.OutStream), DWORD(BASS_ACTIVE_PLAYING));
  SendMessageW(Main().Handle(), WM_CLOSE, 0, 0);
  ASSERT_TRUE(Application().Terminated());
  EXPECT_NE(BASS_ChannelIsActive(tav::engine::StreamState.OutStream), DWORD(BASS_ACTIVE_PLAYING))
      << "the sound goes on while the windows are freed";
  EXPECT_FALSE(IsWindowVisible(Main().Handle()));
  const double heard = CapturedSeconds();
  Pump(300);
  EXPECT_EQ(CapturedSeconds(), heard) << "nothing more is played";
  Application().DestroyForms();
  const std::wstring ini = (Bin() / "Tavolen.ini").wstring();
  EXPECT_EQ(GetPrivateProfileIntW(L"FormMain", L"Volume", -1, ini.c_str()), 60);
  EXPECT_EQ(GetPrivateProfileIntW(L"FormList", L"Visible", -1, ini.c_str()), 1);
  EXPECT_EQ(ReadFileBytes(Bin() / "PlayList.m3u"), MakeToneWav("tav_tone10s.wav", 10) + "\r\n");
  StartPlayer();
  List().Close();
  List().Hide();
  Reset();
}
