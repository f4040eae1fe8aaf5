// The player's windows in this process over the real audio libraries: the
// main window and the play list show, a dropped WAV plays with its labels,
// position and meters moving, pause and stop complete by their fades, the
// play list takes every dropped file, the URL window stays open on an
// unreachable address and the About window shows the library version.
// Screenshots of the four windows go to bin/screenshots for review.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "bass.h"
#include "player/win32/form_about.h"
#include "player/win32/form_list.h"
#include "player/win32/form_main.h"
#include "player/win32/form_url.h"
#include "player/win32/player_windows.h"
#include "player/win32/window_links.h"
#include "tav/engine/globals.h"
#include "tav/player/startup.h"
#include "tav/test/media.h"
#include "tav/test/win32_process.h"

namespace fs = std::filesystem;
using namespace tav;
using namespace tav::player;
using Clock = std::chrono::steady_clock;

namespace {

void Pump(int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (Clock::now() < end) {
    Application().ProcessMessages();
    Sleep(5);
  }
}

// Pumps until `done` holds or the time is up; returns the milliseconds taken.
template <class F>
long PumpUntil(F done, int maxMs) {
  const auto start = Clock::now();
  while (!done()) {
    if (Clock::now() - start > std::chrono::milliseconds(maxMs)) break;
    Application().ProcessMessages();
    Sleep(2);
  }
  return long(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count());
}

// A drop of files as the shell hands it over (8-bit names).
HDROP MakeDrop(const std::vector<std::string>& files) {
  size_t bytes = sizeof(DROPFILES) + 1;
  for (const auto& f : files) bytes += f.size() + 1;
  HGLOBAL mem = GlobalAlloc(GHND, bytes);
  auto* df = static_cast<DROPFILES*>(GlobalLock(mem));
  df->pFiles = sizeof(DROPFILES);
  df->fWide = FALSE;
  char* p = reinterpret_cast<char*>(df) + sizeof(DROPFILES);
  for (const auto& f : files) {
    memcpy(p, f.c_str(), f.size() + 1);
    p += f.size() + 1;
  }
  GlobalUnlock(mem);
  return static_cast<HDROP>(mem);
}

// The window as it is on the screen, saved as a 32-bit BMP.
void SaveScreenshot(HWND hwnd, const std::string& name) {
  SetWindowPos(hwnd, HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  RedrawWindow(hwnd, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
  Pump(300);
  RECT r;
  GetWindowRect(hwnd, &r);
  const int w = r.right - r.left, h = r.bottom - r.top;
  HDC screen = GetWindowDC(hwnd);
  HDC mem = CreateCompatibleDC(screen);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = w;
  bi.bmiHeader.biHeight = h;  // bottom-up, as BMP files keep it
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  void* bits = nullptr;
  HBITMAP bmp = CreateDIBSection(screen, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, bmp);
  BitBlt(mem, 0, 0, w, h, screen, 0, 0, SRCCOPY);
  GdiFlush();
  for (size_t i = 0; i < size_t(w) * h; ++i) static_cast<uint32_t*>(bits)[i] |= 0xFF000000u;  // opaque
  const fs::path dir = tav::test::ExeDir() / "screenshots";
  fs::create_directories(dir);
  std::ofstream out(dir / (name + ".bmp"), std::ios::binary);
  BITMAPFILEHEADER fh{};
  fh.bfType = 0x4D42;
  fh.bfOffBits = sizeof(BITMAPFILEHEADER) + sizeof(BITMAPINFOHEADER);
  fh.bfSize = DWORD(fh.bfOffBits + size_t(w) * h * 4);
  out.write(reinterpret_cast<const char*>(&fh), sizeof fh);
  out.write(reinterpret_cast<const char*>(&bi.bmiHeader), sizeof(BITMAPINFOHEADER));
  out.write(static_cast<const char*>(bits), std::streamsize(size_t(w) * h * 4));
  SelectObject(mem, old);
  DeleteObject(bmp);
  DeleteDC(mem);
  ReleaseDC(hwnd, screen);
}

// A stereo 44.1 kHz sine of the given length, long enough to pause and stop
// before its end.
std::string MakeToneWav(const std::string& name, int seconds) {
  const fs::path file = fs::temp_directory_path() / name;
  const uint32_t frames = 44100u * uint32_t(seconds), data = frames * 4;
  std::ofstream out(file, std::ios::binary);
  auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
  auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
  out.write("RIFF", 4);
  u32(36 + data);
  out.write("WAVEfmt ", 8);
  u32(16);
  u16(1);
  u16(2);
  u32(44100);
  u32(44100 * 4);
  u16(4);
  u16(16);
  out.write("data", 4);
  u32(data);
  for (uint32_t i = 0; i < frames; ++i) {
    const auto v = int16_t(12000 * std::sin(2 * 3.14159265358979 * 440.0 * i / 44100.0));
    u16(uint16_t(v));
    u16(uint16_t(v));
  }
  return file.string();
}

class PlayerWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool created = false;
    if (created) return;
    created = true;
    const fs::path bin = tav::test::ExeDir();
    fs::remove(bin / "PlayList.m3u");
    fs::remove(bin / "Tavolen.ini");
    InitAllDevices();
    Application().SetTitle(L"Tavolen");
    CreatePlayerWindows();
    Main().Show();
    Pump(200);
  }
  static void TearDownTestSuite() { Application().DestroyForms(); }
  static TFormMain& Main() { return *tav::player::PlayerWindows().Main; }
  static TFormList& List() { return *tav::player::PlayerWindows().List; }
};

TEST_F(PlayerWindows, MainWindowAndPlayListShowWithTheirTexts) {
  EXPECT_EQ(Main().Caption(), L"Tavolen V1.5");
  EXPECT_EQ(Main().ClientWidth(), 560);
  EXPECT_EQ(Main().ClientHeight(), 162);
  EXPECT_EQ(Main().lblTitle->Caption(), L"Morvik小型可调速音乐播放器");
  EXPECT_EQ(Main().btnPlay->Text(), L"播放");
  EXPECT_EQ(List().Caption(), L"播放列表");
  List().SetBounds(Main().Left(), Main().Top() + Main().Height() + 4, List().Width(), List().Height());
  List().Show();
  Pump(200);
  SaveScreenshot(Main().Handle(), "main_window");
  SaveScreenshot(List().Handle(), "play_list");
}

TEST_F(PlayerWindows, ADroppedWavPlaysWithLabelsPositionAndMeters) {
  const int before = List().Model().Count();
  SendMessageW(Main().Handle(), WM_DROPFILES,
               WPARAM(MakeDrop({MakeToneWav("tav_tone10s.wav", 10), tav::test::MediaPath("tone48k_stereo.wav")})),
               0);
  EXPECT_EQ(Main().lblfreq->Caption(), L"采样率:44100Hz");
  EXPECT_EQ(Main().lblchans->Caption(), L"声道:立体声");
  EXPECT_EQ(Main().lblMaxTime->Caption(), L"MaxTime:0:00:10");
  EXPECT_EQ(Main().lblTitle->Caption(), L"tav_tone10s.wav");
  EXPECT_EQ(Main().btnPlay->Text(), L"暂停");
  EXPECT_EQ(List().Model().Count(), before + 1) << "only the first file of a drop";
  EXPECT_EQ(Main().SldPos->MaxValue(), 100);
  Pump(600);
  EXPECT_GT(Main().SldPos->Value(), 0);
  EXPECT_NE(Main().lblSeconds->Caption(), L"Seconds:0000.0 s");
  EXPECT_GT(Main().Controller().HeldLevel(0) + Main().Controller().HeldLevel(1), 0) << "the meters move";
  SaveScreenshot(Main().Handle(), "main_window_playing");

  // Pause completes by its fade: 650 ms slide, then the next 200 ms title tick.
  Main().btnPlay->Click();
  const long pauseMs = PumpUntil([] { return Main().btnPlay->Text() == L"播放"; }, 3000);
  EXPECT_LE(pauseMs, 1000) << "pause took " << pauseMs << " ms";
  EXPECT_EQ(BASS_ChannelIsActive(tav::engine::OutStream), DWORD(BASS_ACTIVE_PAUSED));
  RecordProperty("pause_ms", std::to_string(pauseMs));

  // Play again; a mute afterwards does not pause by itself.
  Main().btnPlay->Click();
  Pump(100);
  Main().Controller().Mute();
  Pump(1000);
  EXPECT_EQ(Main().btnPlay->Text(), L"暂停");
  Main().sldSetVolume->SetValue(100);

  // Stop fades out, stops and rewinds.
  Main().btnStopPlay->Click();
  const long stopMs = PumpUntil([] { return !Main().Controller().StopPending(); }, 3000);
  EXPECT_LE(stopMs, 1000);
  Pump(50);
  EXPECT_EQ(Main().SldPos->Value(), 0);
  EXPECT_FALSE(Main().Controller().Playing());
}

TEST_F(PlayerWindows, ThePlayListTakesEveryDroppedFile) {
  const int before = List().Model().Count();
  SendMessageW(List().Handle(), WM_DROPFILES,
               WPARAM(MakeDrop({tav::test::MediaPath("tone44k_stereo.wav"), tav::test::MediaPath("tone44k_stereo.mp3"),
                                tav::test::MediaPath("tone44k_stereo.ogg")})),
               0);
  ASSERT_EQ(List().Model().Count(), before + 3);
  EXPECT_EQ(List().ListBox1->Count(), before + 3);
  EXPECT_EQ(List().ListBox1->Item(before + 2).substr(3), L"-tone44k_stereo.ogg");
}

TEST_F(PlayerWindows, UrlWindowStaysOpenOnAnUnreachableAddress) {
  TFormURL& url = *tav::player::PlayerWindows().Url;
  url.Show();
  url.Edit1->SetText(L"http://127.0.0.1:9/none.mp3");
  url.btnloadUrl->Click();
  Pump(100);
  EXPECT_TRUE(url.Visible());
  SaveScreenshot(url.Handle(), "url_window");
  url.Hide();
}

TEST_F(PlayerWindows, AboutWindowShowsTheLibraryVersion) {
  TFormAbout& about = *tav::player::PlayerWindows().About;
  EXPECT_EQ(about.lblBassVer->Caption(), L"Bass函数库版本:2.4");
  EXPECT_EQ(BassVersionText(0x02050000), L"Bass函数库版本:");
  about.Show();
  Pump(100);
  SaveScreenshot(about.Handle(), "about_window");
  about.Hide();
}

}  // namespace
