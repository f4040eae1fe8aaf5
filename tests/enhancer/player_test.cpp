// dsp_brindle.dll in our player: the effects window in this process, run from
// a folder of its own with the library in its "Plugins" folder and its own
// "winamp.ini" beside it, played on device 0 with the output captured
// (TAVOLEN_NOSOUND_CAPTURE). The window lists the enhancer, starts it while a
// tone plays, and the capture comes out processed and 201 frames later than
// without it; then it stops it and the library is freed.
#include <gtest/gtest.h>
#include <windows.h>

#include <cmath>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "bass.h"
#include "player/win32/form_effect.h"
#include "player/win32/form_main.h"
#include "player/win32/player_windows.h"
#include "presets.h"
#include "settings.h"
#include "signals.h"
#include "tav/engine/globals.h"
#include "tav/engine/stream_chain.h"
#include "tav/test/files.h"
#include "tav/test/module_windows.h"
#include "tav/test/screenshot.h"
#include "tav/test/win32_process.h"
#include "wav_writer.h"
#include "win32_platform.h"
#include "window_test_support.h"

namespace fs = std::filesystem;
using namespace tav;
using namespace tav::player;
using tav::test::Pump;
using tav::test::PumpUntil;

namespace {

constexpr int kRate = 44100;

std::string TempFile(const std::string& name) {
  return (fs::temp_directory_path() / ("tav_brindle_" + std::to_string(GetCurrentProcessId()) + "_" + name)).string();
}

// Half a second of silence, then a second of noise (the same on both channels).
std::vector<int16_t> NoiseBurst() {
  std::vector<int16_t> left(size_t(kRate) * 3 / 2, 0);
  std::mt19937 rng(5);
  std::uniform_int_distribution<int> dist(-8000, 8000);
  for (size_t i = kRate / 2; i < left.size(); ++i) left[i] = int16_t(dist(rng));
  return left;
}

std::string WriteStereo(const std::string& name, const std::vector<int16_t>& left) {
  const std::string path = TempFile(name);
  audio::WavWriter wav(path, kRate, 2);
  std::vector<int16_t> frames(left.size() * 2);
  for (size_t i = 0; i < left.size(); ++i) frames[2 * i] = frames[2 * i + 1] = left[i];
  wav.write(frames.data(), left.size());
  return path;
}

std::vector<int16_t> CaptureLeft(const std::string& path) {
  const auto bytes = tav::test::ReadFileBytes(path);
  std::vector<int16_t> left;
  if (bytes.size() < 44) return left;
  const auto* s = reinterpret_cast<const int16_t*>(bytes.data() + 44);
  for (size_t f = 0; f < (bytes.size() - 44) / 4; ++f) left.push_back(s[2 * f]);
  return left;
}

// The lag (in frames, 0..maxLag) at which `heard` best matches `source`, and the correlation there.
std::pair<int, double> BestLag(const std::vector<int16_t>& source, const std::vector<int16_t>& heard, int maxLag) {
  int best = -1;
  double bestCorr = -2;
  const size_t from = kRate / 2, to = source.size() - 100;
  for (int lag = 0; lag <= maxLag; ++lag) {
    double xy = 0, xx = 0, yy = 0;
    for (size_t i = from; i < to && i + size_t(lag) < heard.size(); i += 3) {
      const double x = source[i], y = heard[i + size_t(lag)];
      xy += x * y;
      xx += x * x;
      yy += y * y;
    }
    const double c = xx > 0 && yy > 0 ? xy / std::sqrt(xx * yy) : 0;
    if (c > bestCorr) {
      bestCorr = c;
      best = lag;
    }
  }
  return {best, bestCorr};
}

double Rms(const std::vector<int16_t>& x, size_t from, size_t to) {
  double sum = 0;
  to = std::min(to, x.size());
  for (size_t i = from; i < to; ++i) sum += double(x[i]) * x[i];
  return to > from ? std::sqrt(sum / double(to - from)) : 0.0;
}

class EnhancerInPlayer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    const fs::path bin = tav::test::ExeDir();
    fs::remove(bin / "Tavolen.ini");
    fs::remove(bin / "PlayList.m3u");
    std::error_code ec;
    fs::remove_all(bin / "plugins" / "Brindle", ec);
    // The enhancer's section: everything that colours the sound off, so that
    // the capture can be lined up with the file.
    const fs::path ini = bin / brindle::kSettingsFileName;
    fs::remove(ini);
    brindle::ProfileStore store(ini.string(), brindle::kSettingsSection);
    brindle::WriteDefaultSettings(store);
    for (const char* key : {"bassout", "dnl", "prologic", "3d", "treble", "reverb", "loudness", "comp", "boost"})
      store.Write(key, "0");
    store.Write("hipass", "100");
    store.Write("agc", "6");
    store.Write("dry", "100");
    _putenv_s("TAVOLEN_NOSOUND_CAPTURE", "");
    Application().SetTitle(L"Tavolen");
    CreatePlayerWindows();
    Main().tmrPos.SetEnabled(false);  // the captures play every file out
    Main().Show();
    Fx().Show();
    Pump(200);
  }
  static void TearDownTestSuite() {
    EndDevice();
    Application().DestroyForms();
  }

  static TFormMain& Main() { return *tav::player::PlayerWindows().Main(); }
  static TFormEffect& Fx() { return static_cast<TFormEffect&>(*tav::player::PlayerWindows().Effects()); }

  void StartDevice(const std::string& captureName) {
    EndDevice();
    capture_ = TempFile(captureName + ".wav");
    DeleteFileA(capture_.c_str());
    _putenv_s("TAVOLEN_NOSOUND_CAPTURE", capture_.c_str());
    ASSERT_TRUE(BASS_Init(0, kRate, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    deviceUp_ = true;
  }
  static void EndDevice() {
    if (!deviceUp_) return;
    BASS_Free();
    tav::engine::StreamState.DecodeStream = 0;
    tav::engine::StreamState.OutStream = 0;
    deviceUp_ = false;
  }
  std::vector<int16_t> Heard() {
    EndDevice();
    return CaptureLeft(capture_);
  }
  void Open(const std::string& path) {
    ASSERT_TRUE(tav::engine::OpenStream(path, false)) << path;
    Main().SendPlays(path);
  }
  void PlayToEnd() {
    EXPECT_LE(PumpUntil([] { return BASS_ChannelIsActive(tav::engine::StreamState.OutStream) == BASS_ACTIVE_STOPPED; }, 15000),
              15000);
  }

  std::string capture_;
  static inline bool deviceUp_ = false;
};

TEST_F(EnhancerInPlayer, ListedStartedWhileATonePlaysDelayedAndProcessedThenStopped) {
  TFormEffect& fx = Fx();
  int row = -1;
  for (int r = 0; r < fx.ListView1->Count(); ++r)
    if (fx.ListView1->Cell(r, 1) == L"dsp_brindle.dll") row = r;
  ASSERT_GE(row, 0) << "the library in Plugins\\ beside the program is listed";
  EXPECT_EQ(fx.ListView1->Cell(row, 0), L"Brindle Enhancer 031");
  fx.ListView1->SetItemIndex(row);
  Pump(20);
  ASSERT_EQ(fx.ComboBox1->Count(), 1);
  EXPECT_EQ(fx.ComboBox1->Item(0), L"Brindle Enhancer 031");

  const auto source = NoiseBurst();
  const std::string burst = WriteStereo("burst.wav", source);

  // Without the enhancer: where the file lies in the capture.
  StartDevice("plain");
  Open(burst);
  PlayToEnd();
  const auto plain = Heard();
  const auto [lag0, corr0] = BestLag(source, plain, 2000);
  ASSERT_GT(corr0, 0.99);

  // Started while a tone plays.
  StartDevice("started");
  Open(WriteStereo("tone.wav", brindle::test::Tones(kRate * 4, 1, kRate, {440}, 8000)));
  Pump(1500);  // past the fade-in
  fx.CheckBox1->SetChecked(true);
  fx.Button3Click(nullptr);
  ASSERT_TRUE(fx.Controller().DspRunning());
  EXPECT_NE(GetModuleHandleW(L"dsp_brindle.dll"), nullptr);
  PlayToEnd();
  const auto started = Heard();
  ASSERT_GT(started.size(), size_t(kRate));
  const double before = Rms(started, kRate * 7 / 10, kRate * 9 / 10);
  const double after = Rms(started, kRate * 7 / 2, kRate * 15 / 4);
  EXPECT_NEAR(after / before, 1.3 * 0.6, 0.05) << "the enhancer's level (AGC 1.3, main level 0.6) once it runs";

  // Running: the same file comes 201 frames later, at the enhancer's level.
  StartDevice("enhanced");
  Open(burst);
  PlayToEnd();
  const auto enhanced = Heard();
  const auto [lag1, corr1] = BestLag(source, enhanced, 2000);
  EXPECT_GT(corr1, 0.99);
  EXPECT_EQ(lag1 - lag0, 201);
  const double ratio = Rms(enhanced, size_t(kRate) * 3 / 4 + size_t(lag1), size_t(kRate) * 5 / 4 + size_t(lag1)) /
                       Rms(plain, size_t(kRate) * 3 / 4 + size_t(lag0), size_t(kRate) * 5 / 4 + size_t(lag0));
  EXPECT_NEAR(ratio, 1.3 * 0.6, 0.05);
  std::printf("[ figures ] capture lag %d frames without the enhancer, %d with it (correlation %.5f, %.5f); level x%.3f\n",
              lag0, lag1, corr0, corr1, ratio);

  fx.Button4Click(nullptr);
  EXPECT_FALSE(fx.Controller().DspRunning());
  EXPECT_EQ(GetModuleHandleW(L"dsp_brindle.dll"), nullptr) << "the library is freed";
  const fs::path ini = tav::test::ExeDir() / brindle::kSettingsFileName;
  EXPECT_EQ(brindle::ProfileStore(ini.string(), brindle::kSettingsSection).Read("dry").value_or(""), "100")
      << "Quit wrote back what Init loaded";
}

using tav::test::WindowsOfModule;

// Set while a popup menu of this thread shows; the menu is then ended. Runs
// as a thread timer, which the menu's own loop goes on dispatching.
bool menuOfThisThreadSeen = false;
void CALLBACK EndMenuOfThisThread(HWND, UINT, UINT_PTR, DWORD) {
  for (HWND m = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); m;
       m = FindWindowExW(nullptr, m, L"#32768", nullptr)) {
    if (IsWindowVisible(m) && GetWindowThreadProcessId(m, nullptr) == GetCurrentThreadId()) {
      menuOfThisThreadSeen = true;
      EndMenu();
    }
  }
}

TEST_F(EnhancerInPlayer, DocksToTheEffectsWindowWithItsTrayIconAndLeavesNothingWhenStopped) {
  TFormEffect& fx = Fx();
  int row = -1;
  for (int r = 0; r < fx.ListView1->Count(); ++r)
    if (fx.ListView1->Cell(r, 1) == L"dsp_brindle.dll") row = r;
  ASSERT_GE(row, 0);
  fx.ListView1->SetItemIndex(row);
  Pump(20);
  // stored 10 pixels right of the effects window, a little below its top
  RECT host{};
  GetWindowRect(fx.Handle(), &host);
  const fs::path ini = tav::test::ExeDir() / brindle::kSettingsFileName;
  brindle::ProfileStore store(ini.string(), brindle::kSettingsSection);
  store.Write("x", std::to_string(host.right + 10));
  store.Write("y", std::to_string(host.top + 8));
  store.Write("hidden", "0");
  fx.CheckBox1->SetChecked(true);
  fx.Button3Click(nullptr);
  ASSERT_TRUE(fx.Controller().DspRunning());
  HMODULE lib = GetModuleHandleW(L"dsp_brindle.dll");
  ASSERT_NE(lib, nullptr);
  HWND w = nullptr;
  PumpUntil([&] {
    for (HWND h : WindowsOfModule(lib))
      if (tav::test::WindowText(h) == L"Brindle Enhancer" && IsWindowVisible(h)) w = h;
    return w != nullptr;
  }, 3000);
  ASSERT_TRUE(w) << "the enhancer's window shows";
  Pump(100);
  RECT r{};
  GetWindowRect(w, &r);
  EXPECT_EQ(r.left, host.right) << "docked to the effects window's right edge";
  EXPECT_EQ(r.top, host.top);
  // it follows the effects window
  SetWindowPos(fx.Handle(), nullptr, host.left + 40, host.top + 20, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  PumpUntil([&] {
    GetWindowRect(w, &r);
    return r.left == host.right + 40;
  }, 1000);
  EXPECT_EQ(r.left, host.right + 40);
  EXPECT_EQ(r.top, host.top + 20);
  // the tray icon's hidden window is there beside the form
  const auto windows = WindowsOfModule(lib);
  EXPECT_GE(windows.size(), 2u);
  tav::test::SaveScreenshot(nullptr, L"enhancer_in_player");
  // A right click on its header picture (the button pressed and released, as
  // the mouse sends them) opens the enhancer's menu inside the player.
  menuOfThisThreadSeen = false;
  const UINT_PTR watch = SetTimer(nullptr, 0, 20, &EndMenuOfThisThread);
  PostMessageW(w, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(30, 8));
  PostMessageW(w, WM_RBUTTONUP, 0, MAKELPARAM(30, 8));
  PumpUntil([] { return menuOfThisThreadSeen; }, 3000);
  KillTimer(nullptr, watch);
  EXPECT_TRUE(menuOfThisThreadSeen) << "the enhancer's menu opened";

  fx.Button4Click(nullptr);
  EXPECT_FALSE(fx.Controller().DspRunning());
  EXPECT_EQ(GetModuleHandleW(L"dsp_brindle.dll"), nullptr);
  for (HWND h : windows) EXPECT_FALSE(IsWindow(h)) << "window, tray icon's window and timers' window are gone";
  SetWindowPos(fx.Handle(), nullptr, host.left, host.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace
