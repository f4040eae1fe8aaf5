// The VST window in this process over our audio libraries with the test VST
// plug-in (its DLL variants beside the test), played on device 0 with its
// output captured (TAVOLEN_NOSOUND_CAPTURE): the load with caption, editor
// size and program items; the live sound halved while "启用" is on; the
// automatic preset at unload (its bytes), at the end of the program and at
// the next start; fxp export and import; an unload whose preset cannot be
// written; a DLL that is no plug-in; the behaviours of third-party plug-ins
// (the program-name answer, the rate asked at resume, the editor's size
// request, one input and one output, an editor or a processing fault); the
// editor's own keys; a small editor or none in a window of the empty one's
// size. The test runs from a folder of its own: its settings file and
// "PluginCfg" are its alone. A screenshot of the window with the editor
// inside is saved.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bass.h"
#include "player/core/vst_window.h"
#include "player/win32/form_effect.h"
#include "player/win32/form_main.h"
#include "player/win32/form_vst.h"
#include "player/win32/player_windows.h"
#include "tav/engine/globals.h"
#include "tav/engine/stream_chain.h"
#include "tav/test/box_watcher.h"
#include "tav/test/files.h"
#include "tav/test/win32_process.h"
#include "tav/vst/vst_host.h"
#include "test_plugin.h"
#include "window_test_support.h"

namespace fs = std::filesystem;
using namespace tav;
using namespace tav::player;
using tav::test::Pump;
using tav::test::PumpUntil;
using tav::vst::testplugin::TTestPlugInState;

namespace {

constexpr int kRate = 44100;

fs::path Bin() { return tav::test::ExeDir(); }
std::string PlugIn(const wchar_t* name = L"TestHalver.dll") { return Narrow((Bin() / name).wstring()); }
fs::path PresetOf(const wchar_t* name = L"TestHalver.dll") {
  return Bin() / L"PluginCfg" / (std::wstring(name) + L".fprest");
}

std::string TempFile(const std::string& name) {
  return (fs::temp_directory_path() / ("tav_vstwin_" + std::to_string(GetCurrentProcessId()) + "_" + name)).string();
}

// Left and right of a capture.
struct Heard {
  std::vector<float> left, right;
};
Heard ReadCapture(const std::string& path) {
  const std::string bytes = tav::test::ReadFileBytes(path);
  Heard h;
  if (bytes.size() < 44) return h;
  const auto* s = reinterpret_cast<const int16_t*>(bytes.data() + 44);
  const size_t frames = (bytes.size() - 44) / 4;
  for (size_t f = 0; f < frames; ++f) {
    h.left.push_back(s[2 * f]);
    h.right.push_back(s[2 * f + 1]);
  }
  return h;
}

float Peak(const std::vector<float>& x) {
  float p = 0;
  for (float v : x) p = std::max(p, std::fabs(v));
  return p;
}

void WriteBytes(const fs::path& file, const std::string& bytes) {
  std::ofstream(file, std::ios::binary) << bytes;
}

using TStateFunc = TTestPlugInState* (*)();
using TResetFunc = void (*)();

class VstWindowWine : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    fs::remove(Bin() / "Tavolen.ini");
    fs::remove_all(Bin() / "PluginCfg");
    fs::remove(Bin() / "PlayList.m3u");
    _putenv_s("TAVOLEN_NOSOUND_CAPTURE", "");
    // The test holds the plug-in's library too, so its state record stays
    // while the window loads and frees it.
    library_ = LoadLibraryW((Bin() / L"TestHalver.dll").c_str());
    ASSERT_NE(library_, nullptr);
    state_ = reinterpret_cast<TStateFunc>(reinterpret_cast<void*>(GetProcAddress(library_, "TestPlugInState")))();
    reset_ = reinterpret_cast<TResetFunc>(reinterpret_cast<void*>(GetProcAddress(library_, "TestPlugInReset")));
    Application().SetTitle(L"Tavolen");
    StartWindows();
  }
  static void TearDownTestSuite() {
    EndDevice();
    Application().DestroyForms();
    FreeLibrary(library_);
  }
  static void StartWindows() {
    CreatePlayerWindows();
    Main().tmrPos.SetEnabled(false);
    Main().Show();
    Vst().Show();
    Pump(100);
  }

  void SetUp() override {
    Vst().VSTUnClick(nullptr);
    fs::remove_all(Bin() / "PluginCfg");
    fs::create_directory(Bin() / "PluginCfg");
    reset_();
    if (!Vst().VSTEna->Checked()) Vst().VSTEnaClick(nullptr);
  }
  void TearDown() override {
    EndDevice();
    try {
      Vst().VSTUnClick(nullptr);
    } catch (...) {
    }
    boxes_.ExpectNoOthers();
  }

  static TFormMain& Main() { return *PlayerWindows().Main(); }
  static TForm4& Vst() { return *PlayerWindows().Vst(); }
  static vst::TVstHost& Host() { return *engine::PassState.VstHost; }
  static vst::TVstPlugIn& Item() { return Host().Items(0); }

  // The boxes shown since the last look, as their texts (UTF-8).
  std::vector<std::string> BoxTexts() {
    Pump(300);
    std::vector<std::string> texts;
    for (const auto& b : boxes_.Take()) texts.push_back(Narrow(b.text));
    return texts;
  }

  void StartDevice(const std::string& captureName) {
    capture_ = TempFile(captureName + "_heard.wav");
    tav::test::StartCapturedDevice(capture_, kRate);
  }
  static void EndDevice() { tav::test::EndCapturedDevice(); }
  // Plays a tone file to its end on device 0 and answers what was heard.
  Heard Play(const std::string& tone, const std::string& captureName) {
    StartDevice(captureName);
    EXPECT_TRUE(engine::OpenStream(tone, false)) << tone;
    Main().SendPlays(tone);
    PumpUntil([] { return BASS_ChannelIsActive(engine::StreamState.OutStream) == BASS_ACTIVE_STOPPED; }, 15000);
    EndDevice();
    return ReadCapture(capture_);
  }

  static inline HMODULE library_ = nullptr;
  static inline TTestPlugInState* state_ = nullptr;
  static inline TResetFunc reset_ = nullptr;
  std::string capture_;
  tav::test::BoxWatcher boxes_;
};

TEST_F(VstWindowWine, LoadShowsTheEditorTheCaptionAndTheProgramsCheckedOneAtATime) {
  EXPECT_EQ(Vst().Caption(), L"VST 音效插件宿主");
  EXPECT_EQ(Vst().ClientWidth(), 267);
  EXPECT_EQ(Vst().ClientHeight(), 114);
  state_->numPrograms = 4;
  Vst().LoadFVst(PlugIn());
  EXPECT_EQ(Vst().Caption(), L"VST 插件: Tavolen Tests - Halver");
  EXPECT_EQ(Vst().ClientWidth(), 320);
  EXPECT_EQ(Vst().ClientHeight(), 200);
  EXPECT_EQ(state_->editorParent, Vst().Handle());
  EXPECT_TRUE(IsChild(Vst().Handle(), HWND(state_->editorWindow)));
  ASSERT_EQ(Vst().VstProg->Count(), 4);
  for (int i = 0; i < 4; ++i) {
    EXPECT_EQ(Vst().VstProg->Items(i)->Caption(), L"00" + std::to_wstring(i) + L" - Program " + std::to_wstring(i));
    EXPECT_FALSE(Vst().VstProg->Items(i)->Checked());
  }
  EXPECT_EQ(Item().ProgramNr(), 0);
  EXPECT_EQ(engine::PassState.VstActive, -1);
  EXPECT_EQ(engine::PassState.VstEnabled, -1);
  EXPECT_NE(engine::PassState.VstPassItem.load(), nullptr);
  EXPECT_DOUBLE_EQ(Host().VstTimeInfo().Tempo(), 120.0);
  EXPECT_EQ(Host().VstPlugIns().Count(), 1);
  for (int pick : {2, 3, 0}) {
    Vst().VstProg->Items(pick)->Click();
    EXPECT_EQ(Item().ProgramNr(), pick);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(Vst().VstProg->Items(i)->Checked(), i == pick) << pick << " " << i;
  }
  // The idle timer reaches the editor.
  const int idles = state_->editIdleCount;
  Pump(200);
  EXPECT_GT(state_->editIdleCount, idles);
  tav::test::Screenshot(Vst().Handle(), L"vst_window");
}

// The main window's menu item and the effects window's button show and hide it.
TEST_F(VstWindowWine, TheMainAndEffectsWindowsShowAndHideIt) {
  ASSERT_TRUE(Vst().Visible());
  Main().mushfrmvst->Click();
  EXPECT_FALSE(Vst().Visible());
  Main().mushfrmvst->Click();
  EXPECT_TRUE(Vst().Visible());
  auto& effects = *PlayerWindows().Effects();
  effects.Button8->Click();
  EXPECT_FALSE(Vst().Visible());
  effects.Button8->Click();
  EXPECT_TRUE(Vst().Visible());
  Pump(100);
  wchar_t visible[8] = {};
  GetPrivateProfileStringW(L"FormVST", L"Visible", L"", visible, 8, (Bin() / "Tavolen.ini").c_str());
  EXPECT_EQ(std::wstring(visible), L"1");
}

TEST_F(VstWindowWine, LiveSoundIsHalvedWhileEnabledAndNotWhileOff) {
  const std::string tone = TempFile("tone.wav");
  tav::test::WriteToneWav(tone, 1.0, 440.0, 16000);
  Vst().LoadFVst(PlugIn());
  const Heard on = Play(tone, "on");
  Vst().VSTEnaClick(nullptr);
  EXPECT_FALSE(Vst().VSTEna->Checked());
  EXPECT_EQ(engine::PassState.VstEnabled, 0);
  const Heard off = Play(tone, "off");
  ASSERT_GT(on.left.size(), size_t(kRate / 2));
  ASSERT_GT(off.left.size(), size_t(kRate / 2));
  std::printf("[ figures ] peaks with the plug-in on: %.0f / %.0f, off: %.0f / %.0f (source 16000)\n", Peak(on.left),
              Peak(on.right), Peak(off.left), Peak(off.right));
  EXPECT_NEAR(Peak(on.left), 8000, 3);
  EXPECT_NEAR(Peak(on.right), 8000, 3);
  EXPECT_NEAR(Peak(off.left), 16000, 3);
  EXPECT_NEAR(Peak(off.right), 16000, 3);
}

TEST_F(VstWindowWine, UnloadWritesThePresetAndTheNextStartRestoresIt) {
  Vst().LoadFVst(PlugIn());
  Item().SetParameter(1, 0.75f);
  const std::vector<uint8_t> expected = Item().SavePresetToBytes();
  ASSERT_GT(expected.size(), 56u);
  Vst().VSTUnClick(nullptr);
  EXPECT_EQ(Host().VstPlugIns().Count(), 0);
  EXPECT_EQ(engine::PassState.VstActive, 0);
  EXPECT_EQ(engine::PassState.VstPassItem.load(), nullptr);
  EXPECT_EQ(Vst().Caption(), L"VST 音效插件宿主");
  EXPECT_EQ(Vst().ClientWidth(), 267);
  EXPECT_EQ(Vst().ClientHeight(), 114);
  EXPECT_EQ(Vst().VstProg->Count(), 0);
  const std::string file = tav::test::ReadFileBytes(PresetOf());
  EXPECT_EQ(file, std::string(expected.begin(), expected.end()));
  EXPECT_EQ(file.substr(0, 4), "CcnK");
  EXPECT_EQ(file.substr(8, 4), "FxCk");
  EXPECT_EQ(file.substr(16, 4), "TstH");

  // The end of the program keeps the plug-in and its program; the next start
  // loads both again.
  Vst().LoadFVst(PlugIn());
  EXPECT_FLOAT_EQ(Item().GetParameter(1), 0.75f);
  Item().SetParameter(2, 0.25f);
  Application().DestroyForms();
  EXPECT_EQ(engine::PassState.VstPassItem.load(), nullptr);
  wchar_t remembered[512] = {};
  GetPrivateProfileStringW(L"FormVST", L"VstPlugFile", L"", remembered, 512, (Bin() / "Tavolen.ini").c_str());
  EXPECT_EQ(Narrow(remembered), PlugIn());
  EXPECT_EQ(state_->liveInstances, 0);
  StartWindows();
  ASSERT_EQ(Host().VstPlugIns().Count(), 1);
  EXPECT_TRUE(Item().Active());
  EXPECT_EQ(Vst().Caption(), L"VST 插件: Tavolen Tests - Halver");
  EXPECT_FLOAT_EQ(Item().GetParameter(1), 0.75f);
  EXPECT_FLOAT_EQ(Item().GetParameter(2), 0.25f);
}

TEST_F(VstWindowWine, FxpExportAndImportRoundTrip) {
  Vst().LoadFVst(PlugIn());
  Item().SetParameter(0, 0.3f);
  const std::string base = TempFile("take");
  Vst().Controller().ExportFxp(base);
  ASSERT_TRUE(fs::exists(base + ".fxp"));
  Item().SetParameter(0, 0.9f);
  Vst().Controller().ExportFxp(base + ".fxp");  // the name as it stands, overwritten
  EXPECT_FALSE(fs::exists(base + ".fxp.fxp"));
  Item().SetParameter(0, 0.1f);
  Vst().Controller().ImportFxp(base + ".fxp");
  EXPECT_FLOAT_EQ(Item().GetParameter(0), 0.9f);
  // A preset of another plug-in is refused with the host's text.
  std::string other = tav::test::ReadFileBytes(base + ".fxp");
  other[16] = 'X';
  const std::string foreign = TempFile("foreign.fxp");
  WriteBytes(foreign, other);
  EXPECT_THROW(Vst().Controller().ImportFxp(foreign), std::exception);
  EXPECT_FLOAT_EQ(Item().GetParameter(0), 0.9f);
}

TEST_F(VstWindowWine, AnUnloadWhosePresetCannotBeWrittenStillUnloads) {
  Vst().LoadFVst(PlugIn());
  // The preset cannot be written: a folder stands in its place (Wine lets a
  // program write over a read-only file).
  fs::create_directory(PresetOf());
  EXPECT_THROW(Vst().VSTUnClick(nullptr), std::exception);
  EXPECT_EQ(Host().VstPlugIns().Count(), 0);
  EXPECT_EQ(state_->liveInstances, 0);
  EXPECT_EQ(engine::PassState.VstPassItem.load(), nullptr);
  EXPECT_EQ(Vst().Caption(), L"VST 音效插件宿主");
  EXPECT_TRUE(fs::is_directory(PresetOf()));
  // And a load works again.
  Vst().LoadFVst(PlugIn());
  EXPECT_TRUE(Item().Active());
  // Through the menu the failure shows in the toolkit's box.
  Vst().VSTUn->Click();
  const std::vector<std::string> shown = BoxTexts();
  EXPECT_EQ(shown.size(), 1u);
  if (!shown.empty()) std::printf("[ figures ] the box said: %s\n", shown[0].c_str());
  EXPECT_EQ(Host().VstPlugIns().Count(), 0);
  fs::remove(PresetOf());
}

TEST_F(VstWindowWine, ThreeLoadsOfABadLibraryLeaveOneEmptyItemAndNoFlag) {
  for (int i = 0; i < 3; ++i) EXPECT_THROW(Vst().LoadFVst(PlugIn(L"TestHalverNoEntry.dll")), std::exception);
  EXPECT_LE(Host().VstPlugIns().Count(), 1);
  EXPECT_EQ(engine::PassState.VstActive, 0);
  EXPECT_EQ(Vst().Caption(), L"VST 音效插件宿主");
  Vst().LoadFVst(PlugIn());
  EXPECT_EQ(Host().VstPlugIns().Count(), 1);
  EXPECT_TRUE(Item().Active());
}

// Plug-ins as third-party ones behave.
TEST_F(VstWindowWine, ProgramNamesOfAPluginThatAnswersOne) {
  state_->programNameAnswer = 1;
  Vst().LoadFVst(PlugIn());
  ASSERT_EQ(Vst().VstProg->Count(), 2);
  EXPECT_EQ(Vst().VstProg->Items(1)->Caption(), L"001 - Program 1");
}

TEST_F(VstWindowWine, APluginThatAsksTheRateAtResumeGetsTheStreamsRate) {
  state_->askRateAtResume = 1;
  Vst().LoadFVst(PlugIn());
  for (unsigned rate : {48000u, 22050u, 44100u}) {
    const std::string tone = TempFile("rate" + std::to_string(rate) + ".wav");
    tav::test::WriteToneWav(tone, 0.3, 440.0, 8000, rate);
    Play(tone, "rate");
    EXPECT_EQ(state_->lastSampleRate, float(rate));
    EXPECT_EQ(state_->rateAtResume, int64_t(rate));
  }
}

TEST_F(VstWindowWine, TheEditorsSizeRequestResizesTheWindow) {
  state_->resizeWidth = 400;
  state_->resizeHeight = 250;
  Vst().LoadFVst(PlugIn());
  Item().CallDispatcher(tav::vst::testplugin::kVendorSpecific, tav::vst::testplugin::kHookSizeWindow);
  EXPECT_EQ(state_->sizeWindowAnswer, 1);
  EXPECT_EQ(Vst().ClientWidth(), 400);
  EXPECT_EQ(Vst().ClientHeight(), 250);
}

TEST_F(VstWindowWine, APluginWithOneInputAndOneOutputProcessesBothEars) {
  state_->numInputs = 1;
  state_->numOutputs = 1;
  const std::string tone = TempFile("mono_io.wav");
  tav::test::WriteToneWav(tone, 1.2, 440.0, 16000);
  Vst().LoadFVst(PlugIn());
  const Heard h = Play(tone, "mono_io");
  ASSERT_GT(h.left.size(), size_t(kRate / 4));
  EXPECT_NEAR(Peak(h.left), 8000, 3);
  EXPECT_NEAR(Peak(h.right), 8000, 3);
}

TEST_F(VstWindowWine, AnEditorThatFaultsWhileItOpensIsTold) {
  state_->faultOpcode = tav::vst::effEditOpen;
  Vst().LoadFVst(PlugIn());
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kVstEditorFaultText});
  EXPECT_TRUE(Item().Active());
  EXPECT_EQ(engine::PassState.VstActive, -1);
  state_->faultOpcode = -1;
}

TEST_F(VstWindowWine, AProcessingFaultSwitchesThePassOffAndIsToldOnce) {
  const std::string tone = TempFile("fault.wav");
  tav::test::WriteToneWav(tone, 1.2, 440.0, 16000);
  Vst().LoadFVst(PlugIn());
  state_->faultInProcessing = 1;
  const Heard h = Play(tone, "fault");
  EXPECT_EQ(engine::PassState.VstActive, 0);
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{kVstProcessFaultText});
  Pump(200);
  EXPECT_TRUE(BoxTexts().empty());
  // The sound played on, dry.
  ASSERT_GT(h.left.size(), size_t(kRate / 4));
  EXPECT_NEAR(Peak(h.left), 16000, 3);
  state_->faultInProcessing = 0;
}

// Tab, Enter and Esc reach the editor; a dialog's navigation does not take them.
TEST_F(VstWindowWine, TheEditorGetsItsOwnKeys) {
  Vst().LoadFVst(PlugIn());
  const HWND editor = HWND(state_->editorWindow);
  ASSERT_TRUE(IsWindow(editor));
  static std::vector<WPARAM> keys;
  static WNDPROC old = nullptr;
  keys.clear();
  old = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
      editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(+[](HWND w, UINT m, WPARAM wp, LPARAM lp) -> LRESULT {
        if (m == WM_KEYDOWN) keys.push_back(wp);
        return CallWindowProcW(old, w, m, wp, lp);
      })));
  for (WPARAM key : {WPARAM(VK_TAB), WPARAM(VK_RETURN), WPARAM(VK_ESCAPE), WPARAM(VK_LEFT), WPARAM(VK_DOWN)})
    PostMessageW(editor, WM_KEYDOWN, key, 1);
  Pump(200);
  SetWindowLongPtrW(editor, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
  EXPECT_EQ(keys, (std::vector<WPARAM>{VK_TAB, VK_RETURN, VK_ESCAPE, VK_LEFT, VK_DOWN}));
}

// An editor smaller than the empty window, or none at all: the window keeps
// the empty window's client, so its caption is not hidden behind the title
// buttons and both menus stay on one line inside the window.
TEST_F(VstWindowWine, ASmallEditorOrNoneKeepsTheEmptyWindowsSize) {
  struct Case {
    const char* what;
    int16_t width, height;
  } cases[] = {{"an editor of 20 x 90", 20, 90}, {"no editor", 0, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    state_->editorWidth = c.width;
    state_->editorHeight = c.height;
    Vst().LoadFVst(PlugIn());
    EXPECT_EQ(Vst().ClientWidth(), 267);
    EXPECT_EQ(Vst().ClientHeight(), 114);
    const HWND window = Vst().Handle();
    RECT frame{}, top{}, programs{};
    GetWindowRect(window, &frame);
    ASSERT_TRUE(GetMenuItemRect(window, GetMenu(window), 0, &top));
    ASSERT_TRUE(GetMenuItemRect(window, GetMenu(window), 1, &programs));  // "效果预置"
    EXPECT_EQ(programs.top, top.top) << "the menu bar is one line";
    EXPECT_LE(programs.right, frame.right) << "\"效果预置\" inside the window";
    std::printf("[ figures ] %s: window %ld x %ld, \"效果预置\" at x %ld..%ld\n", c.what, frame.right - frame.left,
                frame.bottom - frame.top, programs.left - frame.left, programs.right - frame.left);
  }
  state_->editorWidth = tav::vst::testplugin::kTestEditorWidth;  // a larger editor still sizes the window
  state_->editorHeight = tav::vst::testplugin::kTestEditorHeight;
  Vst().LoadFVst(PlugIn());
  EXPECT_EQ(Vst().ClientWidth(), 320);
  EXPECT_EQ(Vst().ClientHeight(), 200);
}

}  // namespace
