// The WAV segment and render windows in this process over our audio
// libraries, with the test VST plug-in, the test Winamp DSP library and the
// time stretcher as the render's passes, played on device 0 whose output is
// captured: the save command shows the segment window, its "设置" buttons
// take the main window's position slider, and "保存" renders a 1.0-2.0 s
// segment byte for byte, halved through the VST plug-in and through the
// halving module, stretched through dsp_lentaro, a mono file with a mono
// header; "中断" after the first cycle, "保存" while playing, a tracker
// module; and a render slowed by a sleeping module: playback started during
// it stays dry and the module never runs twice at once, a second save makes
// no second file, and closing the window leaves a valid one. The test runs
// from a folder of its own (its settings file is its alone). Screenshots of
// both windows go to the build's screenshots folder.
#include <windows.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "bass.h"
#include "dsp_test_modules.h"
#include "player/win32/form_effect.h"
#include "player/win32/form_main.h"
#include "player/win32/form_render.h"
#include "player/win32/form_segment.h"
#include "player/win32/player_windows.h"
#include "tav/engine/dsp_host.h"
#include "tav/engine/globals.h"
#include "tav/player/startup.h"
#include "tav/test/box_watcher.h"
#include "tav/test/files.h"
#include "tav/test/media.h"
#include "tav/test/module_files.h"
#include "tav/test/screenshot.h"
#include "tav/test/win32_process.h"
#include "tav/vst/vst_host.h"
#include "tav/vst/vst_pass_item.h"
#include "wav_bytes.h"
#include "test_plugin.h"
#include "window_test_support.h"

namespace fs = std::filesystem;
using namespace tav;
using namespace tav::player;
using tav::test::MediaPath;
using tav::test::Pump;
using tav::test::PumpUntil;
using tav::test::Screenshot;
using namespace tav::test;

namespace {

constexpr int64_t kSecond = 176400;  // bytes of a second of 44.1 kHz 16-bit stereo

Bytes ReadAll(const fs::path& file) {
  std::error_code ec;
  if (!fs::exists(file, ec)) return {};
  return tav::test::ReadFileBytes<Bytes>(file);
}

// A file as the render leaves it: a 44-byte header whose size fields match.
void ExpectValidWav(const Bytes& file, uint16_t channels = 2) {
  ASSERT_GE(file.size(), 44u);
  EXPECT_EQ(std::memcmp(file.data(), "RIFF", 4), 0);
  EXPECT_EQ(Le32(file, 4), file.size() - 8);
  EXPECT_EQ(Le32(file, 40), file.size() - 44);
  EXPECT_EQ(Le16(file, 22), channels);
}

// Runs `action` once, from the message loop, as soon as a render runs.
std::function<void()> PendingAction;
void CALLBACK DuringRenderTick(HWND, UINT, UINT_PTR id, DWORD) {
  TForm7* render = PlayerWindows().Render();
  if (!render || !render->Rendering() || !PendingAction) return;
  KillTimer(nullptr, id);
  auto action = std::move(PendingAction);
  PendingAction = nullptr;
  action();
}
void DuringRender(std::function<void()> action) {
  PendingAction = std::move(action);
  SetTimer(nullptr, 0, 20, &DuringRenderTick);
}

class WavWindows : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool created = false;
    if (created) return;
    created = true;
    fs::remove(Bin() / "Tavolen.ini");
    boxes_ = new tav::test::BoxWatcher;
    capture_ = (fs::temp_directory_path() / ("tav_wavwin_capture_" + std::to_string(GetCurrentProcessId()) + ".wav"))
                   .string();
    _putenv_s("TAVOLEN_NOSOUND_CAPTURE", capture_.c_str());
    Application().SetTitle(L"Tavolen");
    try {
      InitAllDevices();
      CreatePlayerWindows();
      BASS_SetDevice(0);
      Main().Show();
      Pump(200);
    } catch (const std::exception& e) {
      startError_ = std::string("the windows were not created: ") + e.what();
    }
  }
  static void TearDownTestSuite() {
    engine::StopDSP();
    Application().DestroyForms();
  }
  void SetUp() override {
    ASSERT_EQ(startError_, "");
    boxes_->Take();
  }
  void TearDown() override {
    PendingAction = nullptr;
    engine::StopDSP();
    UnloadVst();
    Main().Controller().CloseMedia();
    Segment().Hide();
    Render().Hide();
    boxes_->ExpectNoOthers();
  }

  static fs::path Bin() { return tav::test::ExeDir(); }
  static TFormMain& Main() { return *PlayerWindows().Main(); }
  static TFrmSWavs& Segment() { return *PlayerWindows().Segment(); }
  static TForm7& Render() { return *PlayerWindows().Render(); }
  fs::path Target(const wchar_t* name) const { return temp_.path() / name; }

  // A file opened as the main window's open command does, then stopped, so
  // that "保存" is accepted.
  static void OpenStopped(const std::string& file) {
    Main().Controller().OpenFromDialog(file);
    ASSERT_NE(engine::StreamState.DecodeStream, 0u) << file;
    Main().btnStopPlay->Click();
    PumpUntil([] { return BASS_ChannelIsActive(engine::StreamState.OutStream) == BASS_ACTIVE_STOPPED; }, 3000);
  }
  // The save command once its dialog has given `target` (passed on as UTF-8).
  static void SaveCommand(const fs::path& target) {
    PlayerWindows().StartWaveRender(engine::StreamState.CurrentFile, tav::Narrow(target.wstring()));
    Pump(50);
  }
  // The two "设置" buttons at the given slider positions (tenths of a second).
  static void SetSegment(int startTenths, int endTenths) {
    Main().SldPos->SetValue(startTenths);
    Segment().btnSl1->Click();
    Main().SldPos->SetValue(endTenths);
    Segment().btnSl2->Click();
  }
  // "使用插件处理" and the pass.
  static void Choose(bool effects, bool vst = true) {
    Segment().chkPlug->SetChecked(effects);
    (vst ? Segment().rbVST : Segment().rbDSP)->SetChecked(true);
  }
  // "保存": returns when the render has ended.
  static Bytes Save(const fs::path& target) {
    Segment().btnSave->Click();
    return ReadAll(target);
  }

  // The test VST plug-in as item 0 of the main window's host, its pass on.
  tav::vst::testplugin::TTestPlugInState* LoadVst() {
    vst::TVstHost& host = *engine::PassState.VstHost;
    // Item 0 as the VST window would hold it; made here when it has none.
    addedItem_ = host.VstPlugIns().Count() == 0;
    vst::TVstPlugIn& item = addedItem_ ? host.VstPlugIns().Add() : host.Items(0);
    item.SetDLLFileName((Bin() / L"TestHalver.dll").wstring());
    item.SetActive(true);
    vstPass_ = std::make_unique<vst::TVstPlugInPassItem>(item);
    engine::PassState.VstPassItem = vstPass_.get();
    engine::PassState.VstEnabled = -1;
    engine::PassState.VstActive = -1;
    auto get = reinterpret_cast<tav::vst::testplugin::TTestPlugInState* (*)()>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(item.ModuleHandle()), "TestPlugInState")));
    return get ? get() : nullptr;
  }
  void UnloadVst() {
    if (!vstPass_) return;
    engine::PassState.VstActive = 0;
    Sleep(200);
    engine::PassState.VstPassItem = nullptr;
    if (addedItem_)
      engine::PassState.VstHost->VstPlugIns().Delete(0);
    else
      engine::PassState.VstHost->Items(0).UnloadModule();
    vstPass_.reset();
  }
  // A module of the test Winamp DSP library started, as the effects window does.
  void StartModule(int index, TTestDspReport& report, const fs::path& library = Bin() / L"dsp_engine_test.dll") {
    engine::LoadDSP(library.string(), PlayerWindows().Effects()->Handle());
    ASSERT_GT(engine::GetDSPModuleCount(), index);
    if (auto attach = reinterpret_cast<TTestDspAttach>(reinterpret_cast<void*>(
            GetProcAddress(static_cast<HMODULE>(engine::DspHostState.DspLibHandle), "TestDspAttach"))))
      attach(&report);
    engine::PassState.DspModuleIndex = index;
    engine::InitDSPModule(index);
    engine::PassState.DspActive = true;
  }

  static Bytes SourceData(const char* name) { return DataChunk(ReadAll(MediaPath(name))); }

  static inline tav::test::BoxWatcher* boxes_ = nullptr;
  static inline std::string capture_;
  static inline std::string startError_;
  tav::test::TempFolder temp_{L"wavwin"};
  std::unique_ptr<vst::TVstPlugInPassItem> vstPass_;
  bool addedItem_ = false;
};

const char kTone[] = "tone44k_stereo.wav";

TEST_F(WavWindows, TheWindowsAndTheirTexts) {
  EXPECT_EQ(Segment().Caption(), L"文件时间设置");
  EXPECT_EQ(Segment().ClientWidth(), 263);
  EXPECT_EQ(Segment().ClientHeight(), 330);
  EXPECT_EQ(Render().Caption(), L"转换WAV文件");
  EXPECT_EQ(Render().ClientWidth(), 337);
  EXPECT_EQ(Render().ClientHeight(), 114);
  EXPECT_EQ(Render().Button1->Text(), L"中断");
  EXPECT_EQ(Render().Label1->Caption(), L"完成");
  // The render window fourth, the segment window ninth.
  const auto& forms = Application().Forms();
  ASSERT_GE(forms.size(), 8u);
  EXPECT_EQ(forms[0], &Main());
  EXPECT_EQ(std::find(forms.begin(), forms.end(), &Render()) - forms.begin(), forms.size() == 9 ? 3 : 2);
  EXPECT_EQ(forms.back(), &Segment());

  OpenStopped(MediaPath(kTone));
  SaveCommand(Target(L"shot.wav"));
  ASSERT_TRUE(Segment().Visible());
  EXPECT_EQ(Segment().EditStart->Text(), L"0:00:00.0");
  EXPECT_EQ(Segment().EditEnd->Text(), L"0:00:02.0");
  EXPECT_EQ(Segment().lblNewMax->Caption(), L"估计总时间:0:00:02.0");
  EXPECT_FALSE(Segment().rbVST->Enabled());
  Choose(true, true);
  EXPECT_TRUE(Segment().rbVST->Enabled());
  EXPECT_TRUE(Segment().rbDSP->Enabled());
  SetSegment(5, 15);
  EXPECT_EQ(Segment().EditStart->Text(), L"0:00:00.5");
  EXPECT_EQ(Segment().lblNewMax->Caption(), L"估计总时间:0:00:01.0");
  Screenshot(Segment().Handle(), L"wav_segment_window");
  Choose(false);
  Save(Target(L"shot.wav"));
  EXPECT_FALSE(Segment().Visible());
  ASSERT_TRUE(Render().Visible());
  EXPECT_EQ(Render().Label1->Caption(), L"转换完成!");
  EXPECT_EQ(Render().Button1->Text(), L"关闭");
  EXPECT_EQ(Render().ProgressBar1->Position(), 97);
  Screenshot(Render().Handle(), L"wav_render_window");
  Render().Button1->Click();
  EXPECT_FALSE(Render().Visible()) << "关闭 closes the window";
}

TEST_F(WavWindows, ASegmentWithoutAPassIsTheSourcesSlice) {
  OpenStopped(MediaPath(kTone));
  SaveCommand(Target(L"slice.wav"));
  SetSegment(10, 20);
  Choose(false);
  const Bytes file = Save(Target(L"slice.wav"));
  ExpectValidWav(file);
  EXPECT_EQ(Le32(file, 24), 44100u);
  const Bytes source = SourceData(kTone);
  ASSERT_EQ(file.size() - 44, size_t(source.size() - kSecond)) << "to the source's end at 2.0 s";
  EXPECT_TRUE(std::equal(file.begin() + 44, file.end(), source.begin() + kSecond));
  std::printf("1.0-2.0 s: %zu data bytes, identical to the source's bytes %lld..%zu\n", file.size() - 44,
              static_cast<long long>(kSecond), source.size());
}

// A target whose name the system code page lacks (the first of a few names
// in different scripts that it lacks) is written under that very name.
TEST_F(WavWindows, ATargetNamedOutsideTheCodePageIsWrittenUnderItsName) {
  const std::wstring name = tav::test::NameOutsideTheCodePage() + L".wav";
  ASSERT_NE(name, L".wav") << "code page " << GetACP() << " holds every name";
  OpenStopped(MediaPath(kTone));
  SaveCommand(Target(name.c_str()));
  SetSegment(10, 20);
  Choose(false);
  const Bytes file = Save(Target(name.c_str()));
  ExpectValidWav(file);
  EXPECT_EQ(file.size() - 44, size_t(SourceData(kTone).size() - kSecond));
  size_t files = 0;
  for (const auto& entry : fs::directory_iterator(temp_.path())) files += entry.path().extension() == L".wav";
  EXPECT_EQ(files, 1u) << "no second file under a narrowed name";
  fs::remove(Target(name.c_str()));
}

TEST_F(WavWindows, ThroughTheTestVstPlugInAndTheHalvingModule) {
  const auto in = Samples(SourceData(kTone), size_t(kSecond));
  {
    SCOPED_TRACE("VST");
    ASSERT_NE(LoadVst(), nullptr);
    OpenStopped(MediaPath(kTone));
    SaveCommand(Target(L"vst.wav"));
    SetSegment(10, 20);
    Choose(true, true);
    const Bytes file = Save(Target(L"vst.wav"));
    ExpectValidWav(file);
    const auto out = Samples(file, 44);
    ASSERT_EQ(out.size(), in.size());
    int worst = 0;
    for (size_t i = 0; i < out.size(); ++i) worst = std::max(worst, std::abs(out[i] - in[i] / 2));
    EXPECT_LE(worst, 1);  // halved, and rescaled by 32767/32768 on the way back
    std::printf("through the VST plug-in: %zu samples, at most %d from the halved source\n", out.size(), worst);
    UnloadVst();
  }
  {
    SCOPED_TRACE("Winamp module");
    TTestDspReport report;
    StartModule(1, report);  // "Halve"
    OpenStopped(MediaPath(kTone));
    SaveCommand(Target(L"dsp.wav"));
    SetSegment(10, 20);
    Choose(true, false);
    const Bytes file = Save(Target(L"dsp.wav"));
    ExpectValidWav(file);
    const auto out = Samples(file, 44);
    ASSERT_EQ(out.size(), in.size());
    for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], in[i] >> 1) << i;
    EXPECT_EQ(report.lastRate.load(), 44100);
    EXPECT_LE(report.lastFrames.load(), 1152) << "sub-blocks of at most 4608 bytes";
  }
}

// dsp_lentaro keeps its stretch in "plugin.ini" beside its library: a copy of
// the library in a folder of the test's own gets its own settings.
TEST_F(WavWindows, ThroughTheTimeStretcherTheDataFollowsTheStretch) {
  const fs::path folder = temp_.path() / L"lentaro";
  fs::create_directories(folder);
  fs::copy_file(Bin() / L"dsp_lentaro.dll", folder / L"dsp_lentaro.dll");
  const size_t length = SourceData(kTone).size();
  for (const char* stretch : {"2.00", "0.50"}) {
    SCOPED_TRACE(stretch);
    WritePrivateProfileStringA("DSP_Lentaro", "Stretch", stretch, (folder / L"plugin.ini").string().c_str());
    TTestDspReport unused;
    StartModule(0, unused, folder / L"dsp_lentaro.dll");
    OpenStopped(MediaPath(kTone));
    const fs::path target = Target(stretch[0] == '2' ? L"slow.wav" : L"fast.wav");
    SaveCommand(target);
    Choose(true, false);
    const Bytes file = Save(target);
    ExpectValidWav(file);
    EXPECT_TRUE(engine::PassState.DspActive.load());
    const double ratio = double(file.size() - 44) / double(length);
    std::printf("dsp_lentaro, stretch %s: %zu data bytes from %zu, ratio %.3f\n", stretch, file.size() - 44, length,
                ratio);
    EXPECT_NEAR(ratio, std::atof(stretch), 0.1 * std::atof(stretch));
    engine::StopDSP();
  }
  // The time stretcher shows its control dialog when it starts.
  for (const auto& box : boxes_->Take()) EXPECT_EQ(box.caption, L"控制速度音调");
}

TEST_F(WavWindows, AMonoSourceGivesAMonoHeader) {
  OpenStopped(MediaPath("tone44k_mono.wav"));
  SaveCommand(Target(L"mono.wav"));
  Choose(false);
  const Bytes file = Save(Target(L"mono.wav"));
  ExpectValidWav(file, 1);
  EXPECT_EQ(Le16(file, 32), 2);
  EXPECT_EQ(Le32(file, 28), 88200u);
  EXPECT_EQ(DataChunk(file), SourceData("tone44k_mono.wav"));
}

TEST_F(WavWindows, CancelAfterTheFirstCycleWhilePlayingAndATrackerModule) {
  OpenStopped(MediaPath(kTone));
  SaveCommand(Target(L"cancel.wav"));
  Choose(false);
  // "中断" is pressed as the first cycle lets the window system run.
  PostMessageW(Render().Button1->Handle(), BM_CLICK, 0, 0);
  const Bytes file = Save(Target(L"cancel.wav"));
  ASSERT_EQ(file.size(), 10044u);
  EXPECT_EQ(Le32(file, 4), 10036u);
  EXPECT_EQ(Le32(file, 40), 10000u);
  EXPECT_EQ(Render().Button1->Text(), L"关闭");

  // "保存" while the file plays.
  Main().btnPlay->Click();
  PumpUntil([] { return BASS_ChannelIsActive(engine::StreamState.OutStream) == BASS_ACTIVE_PLAYING; }, 2000);
  SaveCommand(Target(L"playing.wav"));
  Segment().btnSave->Click();
  auto boxes = boxes_->Take();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"请暂停或停止播放再保存!");
  EXPECT_EQ(boxes[0].caption, L"出错啦!");
  EXPECT_FALSE(fs::exists(Target(L"playing.wav")));
  EXPECT_TRUE(Segment().Visible()) << "a refusal leaves the window as it is";

  // A tracker module plays, but the render cannot decode it as a stream.
  const fs::path module = temp_.path() / L"song.mod";
  const auto mod = tav::test::make_mod();
  std::ofstream(module, std::ios::binary).write(reinterpret_cast<const char*>(mod.data()), long(mod.size()));
  OpenStopped(module.string());
  SaveCommand(Target(L"module.wav"));
  Save(Target(L"module.wav"));
  boxes = boxes_->Take();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"无法解码这个文件,不能转换为WAV文件!");
  EXPECT_FALSE(fs::exists(Target(L"module.wav")));
  EXPECT_EQ(Render().Label1->Caption(), L"转换失败!");
}

TEST_F(WavWindows, TheSegmentWindowOfAStreamThatIsGone) {
  OpenStopped(MediaPath(kTone));
  SaveCommand(Target(L"gone.wav"));
  ASSERT_TRUE(Segment().Visible());
  // Another file opens: the segment window hides with its stream.
  OpenStopped(MediaPath("tone44k_mono.wav"));
  EXPECT_FALSE(Segment().Visible());
  // The media closed while the window is up: "设置" and "保存" are refused.
  SaveCommand(Target(L"gone.wav"));
  Main().Controller().CloseMedia();
  Segment().btnSl1->Click();
  const auto boxes = boxes_->Take();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"请打开一个文件!");
  EXPECT_FALSE(Segment().Visible());
  EXPECT_FALSE(fs::exists(Target(L"gone.wav")));
}

// The same file as source and target: the render would empty what it reads
// (and what plays). The refusal ends in the render window as a failed render
// does, not with what the render before it left there.
TEST_F(WavWindows, TheSourceItselfIsNoTarget) {
  const fs::path source = temp_.path() / L"Source.wav";
  fs::copy_file(MediaPath(kTone), source);
  const Bytes before = ReadAll(source);
  OpenStopped(source.string());
  SaveCommand(Target(L"first.wav"));
  Choose(false);
  Save(Target(L"first.wav"));
  ASSERT_EQ(Render().Label1->Caption(), L"转换完成!");
  SaveCommand(temp_.path() / L"SOURCE.wav");
  Save(source);
  const auto boxes = boxes_->Take();
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0].text, L"不能把WAV文件保存到正在读取的源文件上!");
  EXPECT_EQ(ReadAll(source), before);
  ASSERT_TRUE(Render().Visible());
  EXPECT_EQ(Render().Label1->Caption(), L"转换失败!");
  EXPECT_EQ(Render().Button1->Text(), L"关闭");
  EXPECT_EQ(Render().ProgressBar1->Position(), 0);
  Render().Button1->Click();
  EXPECT_FALSE(Render().Visible()) << "its button closes the window";
}

// A render made slow by a module that sleeps in every call (20 ms, about
// 2 s for two seconds of sound).
TEST_F(WavWindows, ARenderSlowedByASleepingModule) {
  TTestDspReport report;
  report.sleepMs = 20;
  StartModule(4, report);  // "Sleep"
  // The first two seconds of a ten-second tone, which goes on playing.
  const std::string tone = (temp_.path() / L"tone10s.wav").string();
  tav::test::WriteToneWav(tone, 10, 440.0, 12000);
  // Whole cycles of 10000 bytes to the end position, each in sub-blocks of
  // 4608, 4608 and 784 bytes.
  const int cycles = int((2 * kSecond + 9999) / 10000);
  const size_t full = size_t(cycles) * 10000;
  const int renderCalls = cycles * 3;
  OpenStopped(tone);
  {
    SCOPED_TRACE("play during the render");
    SaveCommand(Target(L"slow.wav"));
    SetSegment(0, 20);
    Choose(true, false);
    report.modifyCalls = 0;
    report.mostInside = 0;
    int callsAtPlay = -1;
    int callsAtPause = -1;
    // Playback plays through most of the render and pauses ten cycles before
    // its end, so that no block of playback's can reach the module between
    // the render's end and the count below.
    std::function<void()> pauseNearTheEnd = [&] {
      if (report.modifyCalls.load() < renderCalls - 30) {
        DuringRender(pauseNearTheEnd);
        return;
      }
      callsAtPause = report.modifyCalls.load();
      Main().btnPlay->Click();  // pauses at the end of its fade-out
      PumpUntil([] { return BASS_ChannelIsActive(engine::StreamState.OutStream) == BASS_ACTIVE_PAUSED; }, 2000);
    };
    DuringRender([&] {
      callsAtPlay = report.modifyCalls.load();
      Main().btnPlay->Click();
      DuringRender(pauseNearTheEnd);
    });
    const Bytes file = Save(Target(L"slow.wav"));
    ExpectValidWav(file);
    EXPECT_EQ(file.size() - 44, full);
    EXPECT_GE(callsAtPlay, 0) << "playback started while the render ran";
    ASSERT_GT(callsAtPause, callsAtPlay) << "playback paused while the render ran";
    EXPECT_EQ(BASS_ChannelIsActive(engine::StreamState.OutStream), DWORD(BASS_ACTIVE_PAUSED));
    EXPECT_EQ(report.modifyCalls.load(), renderCalls) << "playback's blocks went by the module while it rendered";
    EXPECT_EQ(report.mostInside.load(), 1);
    // Once the render has ended playback takes the module again.
    Main().btnPlay->Click();
    PumpUntil([&] { return report.modifyCalls.load() > renderCalls; }, 2000);
    EXPECT_GT(report.modifyCalls.load(), renderCalls);
    std::printf("render calls %d (playback from %d to %d), then playback's: %d; at most %d at once\n", renderCalls,
                callsAtPlay, callsAtPause, report.modifyCalls.load() - renderCalls, report.mostInside.load());
    Main().btnStopPlay->Click();
    PumpUntil([] { return BASS_ChannelIsActive(engine::StreamState.OutStream) == BASS_ACTIVE_STOPPED; }, 3000);
    EXPECT_EQ(report.mostInside.load(), 1);
  }
  {
    SCOPED_TRACE("save again during the render");
    SaveCommand(Target(L"first.wav"));
    SetSegment(0, 20);
    Choose(true, false);
    DuringRender([&] {
      // The main window's command and the segment window's "保存" only show the render.
      SaveCommand(Target(L"second.wav"));
      EXPECT_FALSE(Segment().Visible());
      Segment().btnSave->Click();
      EXPECT_TRUE(Render().Rendering());
    });
    const Bytes file = Save(Target(L"first.wav"));
    ExpectValidWav(file);
    EXPECT_EQ(file.size() - 44, full);
    EXPECT_FALSE(fs::exists(Target(L"second.wav")));
  }
  {
    SCOPED_TRACE("close the render window during the render");
    SaveCommand(Target(L"closed.wav"));
    SetSegment(0, 20);
    Choose(true, false);
    DuringRender([] { Render().Close(); });
    const Bytes file = Save(Target(L"closed.wav"));
    ExpectValidWav(file);
    EXPECT_LT(file.size() - 44, full);
    EXPECT_FALSE(Render().Visible());
    EXPECT_EQ(Render().Label1->Caption(), L"转换完成!");
    std::printf("closed during the render: %zu of %zu data bytes, fields %u/%u\n", file.size() - 44, full,
                Le32(file, 4), Le32(file, 40));
  }
}

// The 16-bit left channel of the capture of device 0 from frame `from` on.
std::vector<int16_t> CaptureLeft(const std::string& capture, size_t from, size_t to) {
  const Bytes bytes = ReadAll(capture);
  std::vector<int16_t> left;
  for (size_t f = from; f < to && 44 + 4 * f + 2 <= bytes.size(); ++f)
    left.push_back(int16_t(bytes[44 + 4 * f] | (bytes[45 + 4 * f] << 8)));
  return left;
}
int PeakOf(const std::vector<int16_t>& x) {
  int peak = 0;
  for (int16_t v : x) peak = std::max(peak, std::abs(int(v)));
  return peak;
}
size_t CapturedFrames(const std::string& capture) {
  std::error_code ec;
  const auto bytes = fs::file_size(capture, ec);
  return ec || bytes < 44 ? 0 : size_t(bytes - 44) / 4;
}

// A long render through the test VST plug-in while the file plays: the
// plug-in sees the render's blocks only, the sound played meanwhile stays
// dry (above the halved level, on its way up the fade-in), and once the
// render has ended playback is halved again.
TEST_F(WavWindows, PlaybackDuringAVstRenderStaysDry) {
  using namespace tav::vst::testplugin;
  TTestPlugInState* state = LoadVst();
  ASSERT_NE(state, nullptr);
  const std::string tone = (temp_.path() / L"tone240s.wav").string();
  tav::test::WriteToneWav(tone, 240, 440.0, 12000);
  OpenStopped(tone);
  SaveCommand(Target(L"vstlong.wav"));
  Choose(true, true);
  size_t playedAtStart = 0;
  state->callCount = 0;
  DuringRender([&] {
    Main().btnPlay->Click();
    playedAtStart = CapturedFrames(capture_);
  });
  const Bytes file = Save(Target(L"vstlong.wav"));
  const size_t playedAtEnd = CapturedFrames(capture_);
  ExpectValidWav(file);
  // The log holds the suspend, rate and resume of the render's start, then
  // the first 2046 blocks the plug-in processed (each after its block
  // request): the render's cycles of 10000 bytes in sub-blocks of 1152, 1152
  // and 196 frames, with no block of playback's between them.
  const size_t data = file.size() - 44;
  const int cycles = int((data + 9999) / 10000);
  int blocks = 0, outOfTurn = 0, restart = 0;
  for (int i = 0; i < kMaxLoggedCalls; ++i) {
    const TTestCall& c = state->calls[i];
    restart += c.kind == kCallDispatcher && c.opcode != vst::effSetBlockSizeAndSampleRate;
    if (c.kind != kCallProcessReplacing) continue;
    outOfTurn += c.value != (blocks % 3 == 2 ? 196 : 1152);
    ++blocks;
  }
  EXPECT_EQ(restart, 3);
  EXPECT_EQ(blocks, (kMaxLoggedCalls - restart) / 2);
  EXPECT_EQ(outOfTurn, 0) << "the plug-in saw the render's blocks and no others";
  // What played during the render: a halved tone never goes above 6000.
  const int during = PeakOf(CaptureLeft(capture_, playedAtStart, playedAtEnd));
  Pump(1500);
  const size_t now = CapturedFrames(capture_);
  const int after = PeakOf(CaptureLeft(capture_, now - 22050, now));
  std::printf("VST render of %zu bytes in %d cycles while playing: %.2f s played during it at peak %d, peak %d after\n",
              file.size() - 44, cycles, double(playedAtEnd - playedAtStart) / 44100, during, after);
  EXPECT_GT(playedAtEnd - playedAtStart, 4410u) << "the render lasted long enough to hear";
  EXPECT_GT(during, 7000) << "dry while the render holds the plug-in";
  EXPECT_NEAR(after, 6000, 400) << "halved again afterwards";
  Main().btnStopPlay->Click();
  PumpUntil([] { return BASS_ChannelIsActive(engine::StreamState.OutStream) == BASS_ACTIVE_STOPPED; }, 3000);
}

// A plug-in that keeps state (the test plug-in delaying by one block) and the
// usual render of the paused file, at the rate the plug-in already runs at:
// the render starts it afresh, so the file begins with the delay's silence,
// not with the tail of what played before the pause.
TEST_F(WavWindows, AStatefulPlugInStartsTheRenderAfresh) {
  using namespace tav::vst::testplugin;
  TTestPlugInState* state = LoadVst();
  ASSERT_NE(state, nullptr);
  constexpr int kDelay = 1152;  // frames: a render's sub-block, a block of playback's
  state->delayFrames = kDelay;
  OpenStopped(MediaPath(kTone));
  const auto processed = [state] {
    int n = 0;
    for (int i = 0; i < std::min(state->callCount, kMaxLoggedCalls); ++i)
      n += state->calls[i].kind == kCallProcessReplacing;
    return n;
  };
  state->callCount = 0;
  Main().btnPlay->Click();
  PumpUntil([&] { return processed() >= 8; }, 3000);
  ASSERT_GE(processed(), 8) << "playback through the plug-in";
  Main().btnPlay->Click();  // pauses at the end of its fade-out
  PumpUntil([] { return BASS_ChannelIsActive(engine::StreamState.OutStream) == BASS_ACTIVE_PAUSED; }, 2000);
  ASSERT_EQ(BASS_ChannelIsActive(engine::StreamState.OutStream), DWORD(BASS_ACTIVE_PAUSED));
  ASSERT_EQ(tav::vst::HostSampleRate, 44100.0f);
  SaveCommand(Target(L"delay.wav"));
  SetSegment(10, 20);
  Choose(true, true);
  const int resumes = state->resumes;
  const Bytes file = Save(Target(L"delay.wav"));
  ExpectValidWav(file);
  const auto out = Samples(file, 44);
  ASSERT_GT(out.size(), size_t(4 * kDelay));
  const int firstBlock = PeakOf(std::vector<int16_t>(out.begin(), out.begin() + 2 * kDelay));
  const int secondBlock = PeakOf(std::vector<int16_t>(out.begin() + 2 * kDelay, out.begin() + 4 * kDelay));
  std::printf("[ figures ] render through a one-block delay after playback: peak %d in the first block, %d in the "
              "second; %d resumes\n",
              firstBlock, secondBlock, state->resumes - resumes);
  EXPECT_EQ(firstBlock, 0) << "the first rendered block is the delay's silence";
  EXPECT_GT(secondBlock, 1000) << "then the source, delayed";
  EXPECT_EQ(state->resumes - resumes, 2) << "once when the render takes it, once when it gives it back";
  Main().btnStopPlay->Click();
  PumpUntil([] { return BASS_ChannelIsActive(engine::StreamState.OutStream) == BASS_ACTIVE_STOPPED; }, 3000);
}

// The plug-in runs at the rate of the file it renders, and at the rate it
// had before again afterwards.
TEST_F(WavWindows, TheVstPlugInGetsTheRendersRate) {
  using namespace tav::vst;
  using namespace tav::vst::testplugin;
  TTestPlugInState* state = LoadVst();
  ASSERT_NE(state, nullptr);
  OpenStopped(MediaPath("tone48k_stereo.wav"));
  // The plug-in runs at another rate than the file's when the render starts.
  engine::PassState.VstHost->ChangeSampleRate(22050.0f);
  const float playbackRate = tav::vst::HostSampleRate;
  SaveCommand(Target(L"rate.wav"));
  Choose(true, true);
  state->askRateAtResume = 1;
  state->callCount = 0;
  const float rateBefore = state->lastSampleRate;
  const Bytes file = Save(Target(L"rate.wav"));
  ExpectValidWav(file);
  EXPECT_EQ(Le32(file, 24), 48000u);
  // The rate the plug-in had at its first block of the render, and after.
  float atFirstBlock = rateBefore;
  int64_t answerAtResume = -1;
  bool processed = false;
  for (int i = 0; i < std::min(state->callCount, kMaxLoggedCalls); ++i) {
    const TTestCall& c = state->calls[i];
    if (c.kind == kCallProcessReplacing) {
      processed = true;
      break;
    }
    if (c.kind == kCallDispatcher && c.opcode == effSetSampleRate) atFirstBlock = c.opt;
  }
  ASSERT_TRUE(processed);
  EXPECT_EQ(atFirstBlock, 48000.0f);
  answerAtResume = state->rateAtResume;
  EXPECT_EQ(state->lastSampleRate, playbackRate) << "the rate from before the render again";
  EXPECT_EQ(tav::vst::HostSampleRate, playbackRate);
  std::printf("plug-in rate: %.0f before, %.0f at the render's first block, %.0f after (last resume asked: %lld)\n",
              rateBefore, atFirstBlock, state->lastSampleRate, static_cast<long long>(answerAtResume));
}

// A file of another rate opened while a render runs through the plug-in:
// the render keeps its rate to the end, and the plug-in runs at the new
// file's rate afterwards.
TEST_F(WavWindows, AStreamOpenedDuringARenderWaitsForItsEnd) {
  using namespace tav::vst;
  using namespace tav::vst::testplugin;
  TTestPlugInState* state = LoadVst();
  ASSERT_NE(state, nullptr);
  const std::string tone = (temp_.path() / L"tone60s.wav").string();
  tav::test::WriteToneWav(tone, 60, 440.0, 12000);
  OpenStopped(tone);
  SaveCommand(Target(L"ratechange.wav"));
  Choose(true, true);
  bool opened = false;
  float duringRender = 0.0f, hostDuringRender = 0.0f;
  int processedBefore = 0, processedAfter = 0;
  const auto processed = [state] {
    int n = 0;
    for (int i = 0; i < std::min(state->callCount, kMaxLoggedCalls); ++i)
      n += state->calls[i].kind == kCallProcessReplacing;
    return n;
  };
  DuringRender([&] {
    state->callCount = 0;
    Main().Controller().OpenFromDialog(MediaPath("tone48k_stereo.wav"));
    opened = Render().Rendering();
    duringRender = state->lastSampleRate;
    hostDuringRender = tav::vst::HostSampleRate;
    processedBefore = processed();
  });
  const Bytes file = Save(Target(L"ratechange.wav"));
  processedAfter = processed();
  ExpectValidWav(file);
  ASSERT_TRUE(opened) << "the render ended before the file opened";
  EXPECT_EQ(duringRender, 44100.0f) << "the render's rate while it runs";
  EXPECT_EQ(hostDuringRender, 44100.0f);
  EXPECT_GT(processedAfter, processedBefore) << "the render went on through the plug-in";
  EXPECT_EQ(state->lastSampleRate, 48000.0f) << "the new file's rate after the render";
  EXPECT_EQ(tav::vst::HostSampleRate, 48000.0f);
  std::printf("a 48 kHz file opened during a render of %zu bytes: the plug-in at %.0f Hz while the render went on "
              "(%d blocks after), %.0f Hz after it\n",
              file.size() - 44, duringRender, processedAfter - processedBefore, state->lastSampleRate);
  Main().btnStopPlay->Click();
  PumpUntil([] { return BASS_ChannelIsActive(engine::StreamState.OutStream) == BASS_ACTIVE_STOPPED; }, 3000);
}

// Ending the program during a render (the main window closes): the render
// stops as by "中断" and leaves a valid file; the message loop still gets its
// end. Last in the file: the program has ended for the tests after it.
TEST_F(WavWindows, ClosingTheMainWindowDuringARenderCancelsIt) {
  TTestDspReport report;
  report.sleepMs = 20;
  StartModule(4, report);  // "Sleep"
  OpenStopped(MediaPath(kTone));
  SaveCommand(Target(L"ending.wav"));
  Choose(true, false);
  DuringRender([] { Main().Close(); });
  const Bytes file = Save(Target(L"ending.wav"));
  ExpectValidWav(file);
  EXPECT_LT(file.size() - 44, SourceData(kTone).size());
  EXPECT_TRUE(Application().Terminated());
  MSG msg;
  EXPECT_TRUE(PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE)) << "the end is left for the main loop";
  std::printf("main window closed during the render: %zu data bytes, fields %u/%u\n", file.size() - 44,
              Le32(file, 4), Le32(file, 40));
}

}  // namespace
