// The configuration window in this process over our audio libraries: it
// starts from stored settings, lists device 0 and the DirectSound device,
// applies a device and buffer lengths, captures Tab, Alt and F10 as seek keys
// through the window's own key handling, and "应用" makes the main window
// seek with them at once; closing without "应用" keeps the old keys, which are
// also what is stored. The window is shown modally from the main window's
// menu. Every message box is found and answered by a watcher. Each case stands on its
// own (ctest runs each in a process of its own). The test runs from a folder
// of its own (its settings file is its alone); a screenshot of the window is
// saved for review.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <functional>

#include "bass.h"
#include "player/win32/ansi_text.h"
#include "player/win32/form_config.h"
#include "player/win32/form_main.h"
#include "player/win32/player_windows.h"
#include "tav/engine/globals.h"
#include "tav/engine/stream_chain.h"
#include "tav/player/startup.h"
#include "tav/test/box_watcher.h"
#include "tav/test/screenshot.h"
#include "tav/test/win32_process.h"
#include "window_test_support.h"

namespace fs = std::filesystem;
using namespace tav;
using namespace tav::player;
using Clock = std::chrono::steady_clock;
using tav::test::Pump;

namespace {

// A silent stereo 44.1 kHz WAV file of the given length.
std::string MakeSilentWav(int seconds) {
  const std::string file = (fs::temp_directory_path() / "tav_config_silence.wav").string();
  tav::test::WriteToneWav(file, seconds, 440, 0);
  return file;
}

std::wstring IniPath() { return (tav::test::ExeDir() / "Tavolen.ini").wstring(); }

int StoredInteger(const wchar_t* key) {
  return int(GetPrivateProfileIntW(L"FormConfig", key, -999, IniPath().c_str()));
}

class ConfigWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool created = false;
    if (created) return;
    created = true;
    fs::remove(tav::test::ExeDir() / "PlayList.m3u");
    const std::wstring ini = IniPath();
    fs::remove(ini);
    // A larger buffer and maximum from an earlier run, and a device index
    // past the list (a card since removed).
    WritePrivateProfileStringW(L"FormConfig", L"sdmaxval", L"2000", ini.c_str());
    WritePrivateProfileStringW(L"FormConfig", L"sdbufval", L"600", ini.c_str());
    WritePrivateProfileStringW(L"FormConfig", L"DevIndex", L"7", ini.c_str());
    InitAllDevices();
    Application().SetTitle(L"Tavolen");
    CreatePlayerWindows();
    Main().tmrPos.SetEnabled(false);  // the position is read here, not moved by the slider
    Main().Show();
    Pump(200);
  }
  static void TearDownTestSuite() { Application().DestroyForms(); }

  static TFormMain& Main() { return *tav::player::PlayerWindows().Main(); }
  static TFormConfig& Config() { return static_cast<TFormConfig&>(*tav::player::PlayerWindows().Config()); }

  // Shows the window modally from the main window's menu and runs `script`
  // inside its message loop; the script ends by closing the window. After
  // 30 seconds the showing is ended whatever happened.
  static void ShowModalWith(std::function<void()> script) {
    script_ = std::move(script);
    const UINT_PTR start = SetTimer(nullptr, 0, 100, &RunScript);
    const UINT_PTR watchdog = SetTimer(nullptr, 0, 30000, &EndModal);
    Main().mushmisc->Click();
    KillTimer(nullptr, start);
    KillTimer(nullptr, watchdog);
    EXPECT_FALSE(Config().Visible());
    EXPECT_TRUE(IsWindowEnabled(Main().Handle())) << "the main window is usable again";
  }

  // Posts a key as the keyboard would and lets the window's loop handle it.
  static void PressKey(HWND target, WORD key) {
    const UINT msg = key == VK_MENU || key == VK_F10 ? WM_SYSKEYDOWN : WM_KEYDOWN;
    PostMessageW(target, msg, key, 1);
    Pump(60);
  }

  // Position of the decoding stream in seconds.
  static double Position() {
    using tav::engine::StreamState;
    return BASS_ChannelBytes2Seconds(StreamState.DecodeStream, BASS_ChannelGetPosition(StreamState.DecodeStream, BASS_POS_BYTE));
  }

  // How far a key pressed in the main window moves the position, from 10 s.
  static double SeekBy(WORD key) {
    tav::engine::SeekTenths(100);
    const double before = Position();
    PressKey(Main().btnPlay->Handle(), key);
    return Position() - before;
  }

  // A 20-second file opened and paused, so only the seek keys move it.
  static void OpenPausedFile() {
    if (tav::engine::StreamState.DecodeStream) return;
    const std::string file = MakeSilentWav(20);
    ASSERT_TRUE(tav::engine::OpenStream(file, false));
    Main().SendPlays(file);
    BASS_ChannelPause(tav::engine::StreamState.OutStream);
    ASSERT_EQ(Main().SldPos->MaxValue(), 200);
  }

  // Shows the window, captures Tab, Alt and F10 for -5 s, -0.5 s and +5 s
  // (a key without a name changes nothing) and presses "应用"; answers the
  // message boxes that appeared.
  static std::vector<tav::test::BoxText> CaptureTabAltAndF10AndApply() {
    tav::test::BoxWatcher boxes;
    const uint32_t before = tav::engine::PlayerSettings.SeekKeyLeft50;
    ShowModalWith([&] {
      TFormConfig& c = Config();
      c.edL50->SetFocus();
      PressKey(c.edL50->Handle(), VK_TAB);
      EXPECT_EQ(c.edL50->Text(), L"TAB");
      EXPECT_FALSE(c.edL50->Focused()) << "Tab still moves the focus on";
      PressKey(c.edL5->Handle(), VK_MENU);
      EXPECT_EQ(c.edL5->Text(), L"Alt");
      PressKey(c.edR50->Handle(), VK_F10);
      EXPECT_EQ(c.edR50->Text(), L"F10");
      PressKey(c.edR5->Handle(), 222);  // a key without a name
      EXPECT_EQ(c.edR5->Text(), L"F6");
      EXPECT_EQ(tav::engine::PlayerSettings.SeekKeyLeft50, before) << "nothing applies before 应用";
      c.btnOK->Click();
      c.btnClose->Click();
    });
    return boxes.Take();
  }

 private:
  static void CALLBACK RunScript(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    auto script = std::move(script_);
    script_ = nullptr;
    if (script) script();
    if (Config().Modal()) Config().btnClose->Click();
  }
  static void CALLBACK EndModal(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    ADD_FAILURE() << "the window was still shown after 30 s";
    if (Config().Modal()) Config().ModalResult = mrCancel;
  }
  static inline std::function<void()> script_;
};

TEST_F(ConfigWindow, StartsFromTheStoredSettings) {
  TFormConfig& c = Config();
  EXPECT_EQ(c.Caption(), L"配置设置");
  EXPECT_EQ(c.ClientWidth(), 659);
  EXPECT_EQ(c.ClientHeight(), 263);
  EXPECT_FALSE(c.Visible());
  EXPECT_EQ(c.sldBuffer->MinValue(), 80);
  EXPECT_EQ(c.sldBuffer->MaxValue(), 2000);
  EXPECT_EQ(c.sldBuffer->Value(), 600);
  EXPECT_EQ(c.lblmax->Caption(), L"2000ms");
  EXPECT_EQ(c.lblvalues->Caption(), L"600ms");
  EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_BUFFER), 600u) << "applied at start-up";
  EXPECT_FALSE(c.chkBuffers->Checked());
  EXPECT_FALSE(tav::engine::StreamState.CompatBuffer);
  EXPECT_FALSE(tav::engine::StreamState.CompatActive);
  EXPECT_EQ(c.edL50->Text(), L"F7");
  EXPECT_EQ(c.edR50->Text(), L"F8");
  EXPECT_EQ(c.edL5->Text(), L"F5");
  EXPECT_EQ(c.edR5->Text(), L"F6");
  EXPECT_EQ(tav::engine::PlayerSettings.SeekKeyLeft50, uint32_t(VK_F7));
  EXPECT_EQ(tav::engine::PlayerSettings.SeekKeyRight5, uint32_t(VK_F6));
}

TEST_F(ConfigWindow, ListsDeviceZeroAndTheDirectSoundDeviceAndAppliesADevice) {
  TFormConfig& c = Config();
  ASSERT_GE(c.comDevBox->Count(), 2);
  BASS_DEVICEINFO info{};
  for (int i = 0; i < c.comDevBox->Count(); ++i) {
    ASSERT_TRUE(BASS_GetDeviceInfo(DWORD(i), &info));
    EXPECT_EQ(WideToAnsi(c.comDevBox->Item(i)), info.name) << "row " << i;
  }
  EXPECT_FALSE(BASS_GetDeviceInfo(DWORD(c.comDevBox->Count()), &info)) << "one row per device";
  EXPECT_EQ(c.comDevBox->Item(0), L"No sound");
  EXPECT_FALSE(c.comDevBox->Item(1).empty());
  // Two devices: row 1 whatever is stored; more: the stored 7 is past the
  // list and falls back to row 1 too.
  EXPECT_EQ(c.comDevBox->ItemIndex(), 1);
  EXPECT_EQ(BASS_GetDevice(), 1u);
  RecordProperty("devices", c.comDevBox->Count());
  RecordProperty("device1", WideToAnsi(c.comDevBox->Item(1)));

  c.Show();
  tav::test::BoxWatcher boxes;
  c.comDevBox->SetItemIndex(0);
  c.Button1->Click();
  EXPECT_EQ(BASS_GetDevice(), 0u);
  c.comDevBox->SetItemIndex(1);
  c.Button1->Click();
  EXPECT_EQ(BASS_GetDevice(), 1u);
  const auto seen = boxes.Take();
  ASSERT_EQ(seen.size(), 2u) << "one box per device applied";
  for (const auto& box : seen) {
    EXPECT_EQ(box.caption, L"成功!");
    EXPECT_EQ(box.text, L"应用设备成功，在下一次加载文件时生效");
  }
  c.Hide();
}

TEST_F(ConfigWindow, AppliesTheBufferLengthAndMovesItsMaximum) {
  TFormConfig& c = Config();
  c.sldBuffer->SetMaxValue(1000);
  c.sldBuffer->SetValue(980);
  EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_BUFFER), 980u);
  EXPECT_EQ(c.lblvalues->Caption(), L"980ms");
  c.btnjian->Click();  // "-": the value follows the maximum down and is applied
  EXPECT_EQ(c.sldBuffer->MaxValue(), 950);
  EXPECT_EQ(c.lblmax->Caption(), L"950ms");
  EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_BUFFER), 950u);
  for (int i = 0; i < 19; ++i) c.btnjia->Click();
  EXPECT_EQ(c.sldBuffer->MaxValue(), 1900);
  EXPECT_EQ(c.lblmax->Caption(), L"1900ms");
  c.sldBuffer->SetValue(1900);
  EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_BUFFER), 1900u);
  c.btnRese->Click();
  EXPECT_EQ(c.sldBuffer->MaxValue(), 1000);
  EXPECT_EQ(c.sldBuffer->Value(), 250);
  EXPECT_EQ(c.lblvalues->Caption(), L"250ms");
  EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_BUFFER), 250u);

  c.sldBuffer->SetValue(400);
  c.chkBuffers->SetChecked(true);
  EXPECT_TRUE(tav::engine::StreamState.CompatBuffer);
  c.chkBuffers->SetChecked(false);
  EXPECT_FALSE(tav::engine::StreamState.CompatBuffer);
  EXPECT_EQ(BASS_GetConfig(BASS_CONFIG_BUFFER), 400u);
}

TEST_F(ConfigWindow, ShowsModallyFromTheMenuAndIsSavedForReview) {
  bool sawModal = false;
  ShowModalWith([&] {
    sawModal = Config().Modal() && Config().Visible();
    EXPECT_FALSE(IsWindowEnabled(Main().Handle())) << "the main window waits while it is shown";
    Pump(200);
    const fs::path shot = tav::test::SaveScreenshot(Config().Handle(), L"config_window");
    EXPECT_FALSE(shot.empty());
    Config().btnClose->Click();
  });
  EXPECT_TRUE(sawModal);
}

TEST_F(ConfigWindow, CapturesTabAltAndF10AndApplyMakesTheMainWindowSeekWithThem) {
  OpenPausedFile();
  EXPECT_NEAR(SeekBy(VK_F8), 5.0, 0.01) << "the default keys seek";
  const auto boxes = CaptureTabAltAndF10AndApply();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"设置完成,立即生效!!!");
  EXPECT_EQ(boxes[0].caption, L"Tavolen");
  EXPECT_EQ(tav::engine::PlayerSettings.SeekKeyLeft50, uint32_t(VK_TAB));
  EXPECT_EQ(tav::engine::PlayerSettings.SeekKeyLeft5, uint32_t(VK_MENU));
  EXPECT_EQ(tav::engine::PlayerSettings.SeekKeyRight50, uint32_t(VK_F10));
  EXPECT_EQ(tav::engine::PlayerSettings.SeekKeyRight5, uint32_t(VK_F6));

  const double f10 = SeekBy(VK_F10), tab = SeekBy(VK_TAB), alt = SeekBy(VK_MENU), f6 = SeekBy(VK_F6);
  const double f7 = SeekBy(VK_F7), f8 = SeekBy(VK_F8);
  EXPECT_NEAR(f10, 5.0, 0.01);
  EXPECT_NEAR(tab, -5.0, 0.01);
  EXPECT_NEAR(alt, -0.5, 0.01);
  EXPECT_NEAR(f6, 0.5, 0.01);
  EXPECT_EQ(f7, 0.0) << "the old keys no longer seek";
  EXPECT_EQ(f8, 0.0);
  RecordProperty("seek_f10_s", std::to_string(f10));
  RecordProperty("seek_tab_s", std::to_string(tab));
  RecordProperty("seek_alt_s", std::to_string(alt));
}

// It ends the window's life to read what it stores.
TEST_F(ConfigWindow, ClosingWithoutApplyKeepsTheOldKeysWhichAreAlsoStored) {
  OpenPausedFile();
  CaptureTabAltAndF10AndApply();
  tav::test::BoxWatcher boxes;
  ShowModalWith([&] {
    TFormConfig& c = Config();
    PressKey(c.edL50->Handle(), VK_F9);
    EXPECT_EQ(c.edL50->Text(), L"F9");
    PressKey(c.edR5->Handle(), 'A');
    EXPECT_EQ(c.edR5->Text(), L"A");
    c.btnClose->Click();
  });
  EXPECT_TRUE(boxes.Take().empty());
  EXPECT_EQ(SeekBy(VK_F9), 0.0);
  EXPECT_NEAR(SeekBy(VK_TAB), -5.0, 0.01) << "the applied key still seeks";

  const int buffer = Config().sldBuffer->Value(), max = Config().sldBuffer->MaxValue();
  Config().DoDestroy();
  EXPECT_EQ(StoredInteger(L"KeyLeft50"), VK_TAB);
  EXPECT_EQ(StoredInteger(L"KeyLeft5"), VK_MENU);
  EXPECT_EQ(StoredInteger(L"KeyRight50"), VK_F10);
  EXPECT_EQ(StoredInteger(L"KeyRight5"), VK_F6);
  EXPECT_EQ(StoredInteger(L"sdbufval"), buffer);
  EXPECT_EQ(StoredInteger(L"sdmaxval"), max);
  EXPECT_EQ(StoredInteger(L"ckbuffers"), 0);
  EXPECT_EQ(StoredInteger(L"DevIndex"), 1) << "the selected row, not the stored 7 nor -1";
}

}  // namespace
