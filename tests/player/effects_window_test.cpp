// The effects window in this process over our audio libraries, played on
// device 0 with its output captured (TAVOLEN_NOSOUND_CAPTURE): tempo and
// pitch on a generated tone and after the next file opens, every switch with
// and without a stream, the equaliser's 40 Hz band, the phaser's record, the
// Winamp DSP page with two test libraries in "Plugins\" beside the program
// (list, start, configure, switch, stop during a query from the audio thread),
// the answers to queries from another thread, and the stop when the program
// closes. The test runs from a folder of its own: its settings file and its
// "Plugins" folder are its alone. Screenshots of the four pages are saved.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <thread>

#include "bass.h"
#include "bass_fx.h"
#include "dsp_test_modules.h"
#include "player/win32/form_effect.h"
#include "player/win32/form_main.h"
#include "player/win32/player_windows.h"
#include "tav/engine/dsp_host.h"
#include "tav/engine/globals.h"
#include "tav/engine/stream_chain.h"
#include "tav/test/box_watcher.h"
#include "tav/test/files.h"
#include "tav/test/frequency.h"
#include "tav/test/media.h"
#include "tav/test/screenshot.h"
#include "tav/test/win32_process.h"
#include "window_test_support.h"

namespace fs = std::filesystem;
using namespace tav;
using namespace tav::player;
using Clock = std::chrono::steady_clock;
using tav::test::Pump;
using tav::test::PumpUntil;

namespace {

constexpr int kRate = 44100;
constexpr double kPi = 3.14159265358979323846;

std::string TempFile(const std::string& name) {
  return (fs::temp_directory_path() / ("tav_effects_" + std::to_string(GetCurrentProcessId()) + "_" + name)).string();
}

// A stereo 16-bit sine tone.
std::string MakeTone(const std::string& name, double seconds, double hz, int amplitude, int rate = kRate) {
  const std::string file = TempFile(name);
  tav::test::WriteToneWav(file, seconds, hz, amplitude, unsigned(rate));
  return file;
}

// The left channel of a capture.
std::vector<float> ReadCaptureLeft(const std::string& path) {
  const std::string bytes = tav::test::ReadFileBytes(path);
  std::vector<float> left;
  if (bytes.size() < 44) return left;
  const auto* s = reinterpret_cast<const int16_t*>(bytes.data() + 44);
  const size_t frames = (bytes.size() - 44) / 4;
  left.resize(frames);
  for (size_t f = 0; f < frames; ++f) left[f] = s[2 * f];
  return left;
}

// Frequency from the rising zero crossings between two times (seconds).
double MeasureHz(const std::vector<float>& x, double from, double to) {
  return tav::test::ZeroCrossingFrequency(x, 1, size_t(from * kRate), size_t(to * kRate)) * kRate;
}

double Rms(const std::vector<float>& x, double from, double to) {
  const size_t a = size_t(from * kRate), b = std::min(x.size(), size_t(to * kRate));
  double sum = 0;
  for (size_t i = a; i < b; ++i) sum += double(x[i]) * x[i];
  return b > a ? std::sqrt(sum / double(b - a)) : 0.0;
}

float Peak(const std::vector<float>& x, double from, double to) {
  const size_t a = size_t(from * kRate), b = std::min(x.size(), size_t(to * kRate));
  float peak = 0;
  for (size_t i = a; i < b; ++i) peak = std::max(peak, std::fabs(x[i]));
  return peak;
}

// Sends a query to a window from another thread, answering window messages
// here meanwhile.
LRESULT QueryFromAnotherThread(HWND window, WPARAM wParam, LPARAM query) {
  std::atomic<bool> done{false};
  LRESULT answer = -12345;
  std::thread sender([&] {
    answer = SendMessageW(window, WM_USER, wParam, query);
    done = true;
  });
  PumpUntil([&] { return done.load(); }, 5000);
  sender.join();
  return answer;
}


// Cancels the folder browser that `owner` opens next, from another thread.
// Gives up after 20 seconds.
class FolderBrowserCancel {
 public:
  explicit FolderBrowserCancel(HWND owner) : owner_(owner) { thread_ = std::thread([this] { Run(); }); }
  ~FolderBrowserCancel() { thread_.join(); }
  bool Answered() const { return answered_.load(); }

 private:
  static BOOL CALLBACK Find(HWND w, LPARAM self) {
    auto* me = reinterpret_cast<FolderBrowserCancel*>(self);
    wchar_t cls[16] = {};
    GetClassNameW(w, cls, 16);
    if (IsWindowVisible(w) && std::wstring(cls) == L"#32770" && GetWindow(w, GW_OWNER) == me->owner_) {
      me->found_ = w;
      return FALSE;
    }
    return TRUE;
  }
  void Run() {
    const auto end = Clock::now() + std::chrono::seconds(20);
    while (Clock::now() < end) {
      EnumWindows(&Find, reinterpret_cast<LPARAM>(this));
      if (found_) {
        Sleep(200);  // let the dialog settle
        PostMessageW(found_, WM_COMMAND, IDCANCEL, 0);
        answered_ = true;
        return;
      }
      Sleep(20);
    }
  }
  HWND owner_;
  HWND found_ = nullptr;
  std::atomic<bool> answered_{false};
  std::thread thread_;
};

class EffectsWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    static bool created = false;
    if (created) return;
    created = true;
    const fs::path bin = tav::test::ExeDir();
    fs::remove(bin / "PlayList.m3u");
    // A page that does not exist and a band beyond its slider's range.
    const std::wstring ini = (bin / "Tavolen.ini").wstring();
    fs::remove(ini);
    WritePrivateProfileStringW(L"FormEffect", L"ActPage", L"7", ini.c_str());
    WritePrivateProfileStringW(L"FormEffect", L"sldEq3", L"40", ini.c_str());
    _putenv_s("TAVOLEN_NOSOUND_CAPTURE", "");
    Application().SetTitle(L"Tavolen");
    CreatePlayerWindows();
    // The position timer ends a track once the decoding stream has been read
    // to its end, which is before the output has played the last half second
    // it holds; the captures here play every file out instead.
    Main().tmrPos.SetEnabled(false);
    Main().Show();
    Effects().Show();
    Pump(200);
  }
  static void TearDownTestSuite() {
    EndDevice();
    Application().DestroyForms();
  }

  void TearDown() override {
    if (tav::player::PlayerWindows().Effects()) {
      Fx().Button4Click(nullptr);
      Fx().sldspeed->SetValue(45);
      Fx().sldPitch->SetValue(30);
    }
    ReleaseFirstLibrary();
    EndDevice();
  }

  static TFormMain& Main() { return *tav::player::PlayerWindows().Main(); }
  static TCustomForm& Effects() { return *tav::player::PlayerWindows().Effects(); }
  static TFormEffect& Fx() { return static_cast<TFormEffect&>(Effects()); }

  // Device 0 up, its output captured into a file of this name ("" for none).
  void StartDevice(const std::string& captureName = "") {
    capture_ = captureName.empty() ? "" : TempFile(captureName + ".wav");
    tav::test::StartCapturedDevice(capture_, kRate);
  }

  static void EndDevice() { tav::test::EndCapturedDevice(); }

  // What device 0 played, once it is ended.
  std::vector<float> Heard() {
    EndDevice();
    return ReadCaptureLeft(capture_);
  }

  // Opens a file as the play list does and plays it (the effects re-applied).
  void Open(const std::string& path) {
    ASSERT_TRUE(tav::engine::OpenStream(path, false)) << path;
    Main().SendPlays(path);
  }

  void PlayToEnd(int maxMs = 15000) {
    EXPECT_LE(PumpUntil([] { return BASS_ChannelIsActive(tav::engine::StreamState.OutStream) == BASS_ACTIVE_STOPPED; }, maxMs), maxMs)
        << "still playing";
  }

  std::string capture_;

  static fs::path PluginFolder() { return tav::test::ExeDir() / "Plugins"; }
  // Selects the list row of a library by its file name.
  void SelectLibrary(const std::wstring& fileName) {
    for (int row = 0; row < Fx().ListView1->Count(); ++row)
      if (Fx().ListView1->Cell(row, 1) == fileName) {
        Fx().ListView1->SetItemIndex(row);
        Pump(20);
        return;
      }
    ADD_FAILURE() << "no row for the library";
  }
  // The first test library, held by the test too so its report can be
  // attached before the window starts it.
  void HoldFirstLibrary() {
    held_ = LoadLibraryW((PluginFolder() / L"dsp_engine_test.dll").c_str());
    ASSERT_NE(held_, nullptr);
    auto attach = reinterpret_cast<TTestDspAttach>(reinterpret_cast<void*>(GetProcAddress(held_, "TestDspAttach")));
    ASSERT_NE(attach, nullptr);
    attach(&report_);
  }
  void ReleaseFirstLibrary() {
    if (!held_) return;
    auto attach = reinterpret_cast<TTestDspAttach>(reinterpret_cast<void*>(GetProcAddress(held_, "TestDspAttach")));
    attach(nullptr);
    FreeLibrary(held_);
    held_ = nullptr;
  }
  HMODULE held_ = nullptr;
  TTestDspReport report_;
};

TEST_F(EffectsWindow, WindowAndStoredValuesAtStartUp) {
  EXPECT_EQ(Fx().Caption(), L"效果管理器");
  EXPECT_EQ(Fx().ClientWidth(), 398);
  EXPECT_EQ(Fx().ClientHeight(), 283);
  EXPECT_EQ(Fx().PageControl1->PageCount(), 4);
  EXPECT_EQ(Fx().PageControl1->ActivePageIndex(), 0) << "a stored page 7 falls back to the first";
  EXPECT_EQ(Fx().sldEq[3]->Value(), 30) << "a stored 40 is clamped to +15 dB";
  EXPECT_EQ(Fx().lblspeed->Caption(), L"+0%");
  EXPECT_EQ(Fx().lblPh[1]->Caption(), L"-999");
  EXPECT_EQ(Fx().Pages[3]->Caption(), L"摱佛移相");
  Fx().sldEq[3]->SetValue(15);
}

TEST_F(EffectsWindow, TempoAndPitchScaleTheToneAndSurviveTheNextFile) {
  const std::string tone = MakeTone("tone440.wav", 2.0, 440.0, 8000);
  struct Case {
    int speed, pitch;
    double lengthFactor, hz;
    const wchar_t* label;
  };
  const Case cases[] = {{0, 30, 1 / 0.55, 440.0, L"-45%"},
                        {45, 30, 1.0, 440.0, L"+0%"},
                        {90, 30, 1 / 1.45, 440.0, L"+45%"},
                        {45, 42, 1.0, 880.0, L"+0%"}};
  for (const Case& c : cases) {
    // Set while another file plays; the next file is opened afterwards.
    StartDevice();
    Open(tone);
    Fx().sldspeed->SetValue(c.speed);
    Fx().sldPitch->SetValue(c.pitch);
    EXPECT_EQ(Fx().lblspeed->Caption(), c.label);
    StartDevice("tempo");
    Open(tone);
    float tempo = -1, pitch = -1;
    BASS_ChannelGetAttribute(tav::engine::StreamState.DecodeStream, BASS_ATTRIB_TEMPO, &tempo);
    BASS_ChannelGetAttribute(tav::engine::StreamState.DecodeStream, BASS_ATTRIB_TEMPO_PITCH, &pitch);
    EXPECT_EQ(tempo, float(c.speed - 45));
    EXPECT_EQ(pitch, float(c.pitch - 30));
    PlayToEnd();
    const auto heard = Heard();
    const double seconds = double(heard.size()) / kRate;
    const double ratio = seconds / 2.0;
    const double hz = MeasureHz(heard, 0.2, seconds - 0.2);
    EXPECT_NEAR(ratio, c.lengthFactor, 0.02 * c.lengthFactor) << "speed " << c.speed;
    EXPECT_NEAR(hz, c.hz, 0.005 * c.hz) << "speed " << c.speed << " pitch " << c.pitch;
    std::printf("[ figures ] tempo %+d %%, pitch %+d: %.3f s heard, length x%.4f (expected x%.4f, %+.2f %%), "
                "%.2f Hz (expected %.0f, %+.3f %%)\n",
                c.speed - 45, c.pitch - 30, seconds, ratio, c.lengthFactor,
                100 * (ratio / c.lengthFactor - 1), hz, c.hz, 100 * (hz / c.hz - 1));
  }
  Fx().sldPitch->SetValue(60);
  EXPECT_EQ(Fx().lblpitch->Caption(), L"+30%");
  Fx().Button7Click(nullptr);
  EXPECT_EQ(Fx().sldPitch->Value(), 30);
  Fx().sldspeed->SetValue(3);
  Fx().Button6Click(nullptr);
  EXPECT_EQ(Fx().sldspeed->Value(), 45);
}

TEST_F(EffectsWindow, SwitchesWithoutAFileAreSetOnTheNextStream) {
  using namespace tav::engine;
  TFormEffect& fx = Fx();
  const std::vector<TCheckBox*> switches = {fx.ckrotate, fx.ckhy,   fx.ckFlanges, fx.CheckBox2,
                                            fx.chHx,     fx.ckGjHy, fx.chkPhs};
  ASSERT_EQ(StreamState.DecodeStream, 0u);
  for (TCheckBox* s : switches) {
    s->SetChecked(true);
    s->SetChecked(false);
  }
  for (TCheckBox* s : switches) s->SetChecked(true);
  EXPECT_EQ(fx.Controller().ReverbFx(), 0u);
  EXPECT_EQ(fx.Controller().EchoFx(), 0u);
  EXPECT_EQ(fx.Controller().PhaserFx(), 0u);
  EXPECT_EQ(StreamState.EqFx, 0u);

  const std::vector<int> phaser = {500, -1500, 250, 37, 80, 4410};
  for (size_t p = 0; p < 6; ++p) fx.slPh[p]->SetValue(phaser[p]);
  EXPECT_EQ(fx.lblPh[5]->Caption(), L"4410");

  StartDevice();
  Open(MakeTone("tone_switches.wav", 1.0, 440.0, 8000));
  // Every effect exists on the new stream: its parameters can be read, and
  // the own procedures can be removed from it.
  EXPECT_NE(fx.Controller().ReverbFx(), 0u);
  EXPECT_NE(fx.Controller().EchoFx(), 0u);
  ASSERT_NE(fx.Controller().PhaserFx(), 0u);
  ASSERT_NE(StreamState.EqFx, 0u);
  BASS_DX8_REVERB reverb{};
  EXPECT_TRUE(BASS_FXGetParameters(fx.Controller().ReverbFx(), &reverb));
  EXPECT_FLOAT_EQ(reverb.fReverbTime, 1000.0f) << "library defaults";
  BASS_DX8_ECHO echo{};
  EXPECT_TRUE(BASS_FXGetParameters(fx.Controller().EchoFx(), &echo));
  BASS_BFX_PHASER ph{};
  ASSERT_TRUE(BASS_FXGetParameters(fx.Controller().PhaserFx(), &ph));
  EXPECT_FLOAT_EQ(ph.fDryMix, 0.5f);
  EXPECT_FLOAT_EQ(ph.fWetMix, -1.5f);
  EXPECT_FLOAT_EQ(ph.fFeedback, 0.25f);
  EXPECT_FLOAT_EQ(ph.fRate, 3.7f);
  EXPECT_FLOAT_EQ(ph.fRange, 8.0f);
  EXPECT_FLOAT_EQ(ph.fFreq, 441.0f);
  EXPECT_EQ(ph.lChannel, -1);
  BASS_BFX_PEAKEQ band{};
  band.lBand = 0;
  ASSERT_TRUE(BASS_FXGetParameters(StreamState.EqFx, &band));
  EXPECT_FLOAT_EQ(band.fCenter, 40.0f);
  EXPECT_NE(StreamState.RotateDsp, 0u);
  EXPECT_NE(StreamState.EchoDsp, 0u);
  EXPECT_NE(StreamState.FlangerDsp, 0u);
  EXPECT_TRUE(BASS_ChannelRemoveDSP(StreamState.DecodeStream, StreamState.RotateDsp));
  EXPECT_TRUE(BASS_ChannelRemoveDSP(StreamState.DecodeStream, StreamState.EchoDsp));
  EXPECT_TRUE(BASS_ChannelRemoveDSP(StreamState.DecodeStream, StreamState.FlangerDsp));

  // Unchecking and checking the reverb makes a new effect.
  const HFX firstReverb = fx.Controller().ReverbFx();
  fx.chHx->SetChecked(false);
  EXPECT_FALSE(BASS_FXGetParameters(firstReverb, &reverb));
  fx.chHx->SetChecked(true);
  EXPECT_NE(fx.Controller().ReverbFx(), 0u);
  EXPECT_NE(fx.Controller().ReverbFx(), firstReverb);

  // Switched off, no handle is kept.
  for (TCheckBox* s : switches) s->SetChecked(false);
  EXPECT_EQ(fx.Controller().ReverbFx(), 0u);
  EXPECT_EQ(fx.Controller().EchoFx(), 0u);
  EXPECT_EQ(fx.Controller().PhaserFx(), 0u);
  EXPECT_EQ(StreamState.EqFx, 0u);
  fx.btnRePhsClick(nullptr);
  EXPECT_EQ(fx.slPh[5]->Value(), 1000);
  EXPECT_EQ(fx.lblPh[0]->Caption(), L"999");
}

TEST_F(EffectsWindow, EqualiserBandRaisesItsToneAndResetCallsNothingWhenFlat) {
  TFormEffect& fx = Fx();
  for (TSlider* s : fx.sldEq) s->SetValue(15);
  // "重置" with every band flat changes no slider and so calls no handler.
  int changes = 0;
  for (TSlider* s : fx.sldEq) {
    auto inner = s->OnChange;
    s->OnChange = [&changes, inner](TObject* sender) {
      ++changes;
      inner(sender);
    };
  }
  fx.Button5Click(nullptr);
  EXPECT_EQ(changes, 0);

  const std::string tone = MakeTone("tone40.wav", 2.0, 40.0, 2000);
  double rms[2] = {};
  for (int on = 0; on < 2; ++on) {
    fx.sldEq[0]->SetValue(on ? 30 : 15);
    fx.CheckBox2->SetChecked(on != 0);
    StartDevice(on ? "eq_on" : "eq_off");
    Open(tone);
    PlayToEnd();
    rms[on] = Rms(Heard(), 1.0, 1.9);
  }
  const double gainDb = 20 * std::log10(rms[1] / rms[0]);
  EXPECT_NEAR(gainDb, 15.0, 1.0);
  std::printf("[ figures ] 40 Hz tone, band 40 Hz at +15 dB: %.2f dB (rms %.1f -> %.1f)\n", gainDb, rms[0], rms[1]);

  changes = 0;
  fx.Button5Click(nullptr);
  EXPECT_EQ(changes, 1) << "only the band that was not flat";
  fx.CheckBox2->SetChecked(false);
}

TEST_F(EffectsWindow, ListsBothLibrariesAndKeepsDuplicates) {
  TFormEffect& fx = Fx();
  ASSERT_EQ(fx.ListView1->Count(), 2) << "the libraries of Plugins\\ beside the program";
  ASSERT_EQ(fx.ListBox1->Count(), 2);
  EXPECT_FALSE(fx.ListBox1->Visible());
  std::vector<std::wstring> names = {fx.ListView1->Cell(0, 1), fx.ListView1->Cell(1, 1)};
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::wstring>{L"dsp_engine_test.dll", L"dsp_engine_test2.dll"}));
  for (int row = 0; row < 2; ++row) {
    const bool second = fx.ListView1->Cell(row, 1) == L"dsp_engine_test2.dll";
    EXPECT_EQ(fx.ListView1->Cell(row, 0), second ? L"Tavolen engine test modules, second library"
                                                 : L"Tavolen engine test modules");
    // The start-up folder ends in a backslash and the path adds another.
    EXPECT_NE(fx.ListBox1->Item(row).find(L"Plugins\\\\dsp_engine_test"), std::wstring::npos);
  }
  const std::wstring folder = PluginFolder().wstring();
  fx.ScanDspFolder(folder);
  EXPECT_EQ(fx.Edit1->Text(), folder);
  EXPECT_EQ(fx.ListView1->Count(), 4) << "listing again adds every library again";
  EXPECT_EQ(fx.ListBox1->Item(2).find(L"\\\\"), std::wstring::npos) << "a browsed folder has no trailing separator";
  fx.clrClick(nullptr);
  EXPECT_EQ(fx.ListView1->Count(), 0);
  EXPECT_EQ(fx.ListBox1->Count(), 0);
  EXPECT_EQ(fx.ComboBox1->Count(), 0);
  fx.ScanDspFolder(tav::test::ExeDir().wstring() + L"\\NoSuchFolder");
  EXPECT_EQ(fx.ListView1->Count(), 0);
  EXPECT_EQ(fx.Edit1->Text(), tav::test::ExeDir().wstring() + L"\\NoSuchFolder");
  fx.ScanDspFolder(folder);
  EXPECT_EQ(fx.ListView1->Count(), 2);

  SelectLibrary(L"dsp_engine_test2.dll");
  ASSERT_EQ(fx.ComboBox1->Count(), kTestModuleCount);
  EXPECT_EQ(fx.ComboBox1->ItemIndex(), 0);
  EXPECT_EQ(fx.ComboBox1->Item(1), L"Halve");
  EXPECT_EQ(tav::engine::DspHostState.DspLibHandle, nullptr) << "listing leaves nothing loaded";
}

TEST_F(EffectsWindow, ALibraryWithoutTheEntryGetsAnEmptyRowAndCannotStart) {
  TFormEffect& fx = Fx();
  tav::test::TempFolder folder(L"effects");
  fs::copy_file(tav::test::ExeDir() / "bfxs.dll", folder.path() / "dsp_none.dll");
  fs::copy_file(PluginFolder() / "dsp_engine_test2.dll", folder.path() / "DSP_Upper.DLL");
  fs::copy_file(PluginFolder() / "dsp_engine_test2.dll", folder.path() / "other.dll");
  fx.clrClick(nullptr);
  fx.ScanDspFolder(folder.path().wstring());
  ASSERT_EQ(fx.ListView1->Count(), 2) << "dsp_*.dll in any case, nothing else";
  SelectLibrary(L"dsp_none.dll");
  EXPECT_EQ(fx.ListView1->Cell(fx.ListView1->ItemIndex(), 0), L"");
  EXPECT_EQ(fx.ComboBox1->Count(), 0);
  fx.Button3Click(nullptr);
  EXPECT_FALSE(fx.Controller().DspRunning());
  EXPECT_EQ(tav::engine::DspHostState.DspLibHandle, nullptr);
  SelectLibrary(L"DSP_Upper.DLL");
  EXPECT_EQ(fx.ComboBox1->Count(), kTestModuleCount);
}

// A library deleted after it was listed: "启动插件" says why in a box owned
// by the window and the page stays stopped, its list and module box usable.
TEST_F(EffectsWindow, StartingALibraryDeletedSinceItWasListedSaysWhyAndStaysStopped) {
  TFormEffect& fx = Fx();
  tav::test::TempFolder folder(L"effects");
  const fs::path gone = folder.path() / "dsp_gone.dll";
  fs::copy_file(PluginFolder() / "dsp_engine_test2.dll", gone);
  fx.clrClick(nullptr);
  fx.ScanDspFolder(folder.path().wstring());
  SelectLibrary(L"dsp_gone.dll");
  ASSERT_EQ(fx.ComboBox1->Count(), kTestModuleCount);
  fs::remove(gone);
  tav::test::BoxWatcher boxes;
  fx.Button3Click(nullptr);
  const auto shown = boxes.Take();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].caption, L"出错啦!");
  EXPECT_NE(shown[0].text.find(L"无法载入这个插件"), std::wstring::npos);
  EXPECT_NE(shown[0].text.find(L"dsp_gone.dll"), std::wstring::npos);
  EXPECT_FALSE(fx.Controller().DspRunning());
  EXPECT_FALSE(tav::engine::PassState.DspActive.load());
  EXPECT_EQ(tav::engine::DspHostState.DspLibHandle, nullptr);
  EXPECT_TRUE(fx.ComboBox1->Enabled());
  EXPECT_TRUE(fx.ListView1->Enabled());
  EXPECT_TRUE(fx.Button1->Enabled());
}

TEST_F(EffectsWindow, CancelledFolderBrowserListsNothing) {
  TFormEffect& fx = Fx();
  const int rows = fx.ListView1->Count();
  const std::wstring shown = fx.Edit1->Text();
  {
    FolderBrowserCancel cancel(fx.Handle());
    fx.Button1Click(nullptr);
    EXPECT_TRUE(cancel.Answered());
  }
  EXPECT_EQ(fx.ListView1->Count(), rows);
  EXPECT_EQ(fx.Edit1->Text(), shown);
}

TEST_F(EffectsWindow, StartsConfiguresSwitchesAndStopsAModule) {
  using namespace tav::engine;
  TFormEffect& fx = Fx();
  HoldFirstLibrary();
  SelectLibrary(L"dsp_engine_test.dll");
  ASSERT_EQ(fx.ComboBox1->Count(), kTestModuleCount);
  fx.Button2Click(nullptr);
  EXPECT_EQ(report_.configCalls.load(), 0) << "configure before start does nothing";

  fx.ComboBox1->SetItemIndex(1);  // "Halve"
  fx.CheckBox1->SetChecked(false);
  fx.Button3Click(nullptr);
  ASSERT_TRUE(fx.Controller().DspRunning());
  EXPECT_EQ(report_.initCalls.load(), 1);
  EXPECT_EQ(report_.parentSeen.load(), static_cast<void*>(fx.Handle()));
  // Started with "开关" off: no block reaches the module until it is on.
  EXPECT_FALSE(PassState.DspActive);
  StartDevice();
  Open(MakeTone("tone_off.wav", 1.0, 440.0, 8000));
  Pump(400);
  EXPECT_EQ(report_.modifyCalls.load(), 0);
  fx.CheckBox1->SetChecked(true);
  EXPECT_TRUE(PassState.DspActive);
  EXPECT_EQ(PassState.DspModuleIndex.load(), 1);
  EXPECT_FALSE(fx.ComboBox1->Enabled());
  EXPECT_FALSE(fx.ListView1->Enabled());
  EXPECT_FALSE(fx.Button1->Enabled());
  fx.Button3Click(nullptr);
  EXPECT_EQ(report_.initCalls.load(), 1) << "a second start is ignored";
  SelectLibrary(L"dsp_engine_test2.dll");  // a selection made by the program while running
  EXPECT_NE(DspHostState.DspLibHandle, nullptr);
  EXPECT_EQ(report_.quitCalls.load(), 0) << "the running module stays loaded";
  EXPECT_EQ(fx.ComboBox1->ItemIndex(), 1);
  fx.Button2Click(nullptr);
  EXPECT_EQ(report_.configCalls.load(), 1);

  // The capture shows the module's work: the tone at half its level.
  StartDevice("halved");
  Open(MakeTone("tone_dsp.wav", 2.0, 440.0, 8000));
  PlayToEnd();
  const float peak = Peak(Heard(), 1.0, 1.8);
  EXPECT_NEAR(peak, 4000.0f, 80.0f);
  EXPECT_GT(report_.modifyCalls.load(), 0);
  EXPECT_EQ(report_.lastRate.load(), kRate);
  EXPECT_EQ(report_.lastChannels.load(), 2);
  std::printf("[ figures ] module \"Halve\": peak %.0f for a tone of 8000\n", peak);

  // Off: no block reaches the module; on again: blocks go through.
  StartDevice();
  Open(MakeTone("tone_switch.wav", 3.0, 440.0, 8000));
  Pump(300);
  fx.CheckBox1->SetChecked(false);
  EXPECT_FALSE(PassState.DspActive);
  Pump(50);
  const int whileOff = report_.modifyCalls.load();
  Pump(400);
  EXPECT_EQ(report_.modifyCalls.load(), whileOff);
  fx.CheckBox1->SetChecked(true);
  EXPECT_LE(PumpUntil([&] { return report_.modifyCalls.load() > whileOff; }, 1000), 1000);

  fx.Button4Click(nullptr);
  EXPECT_FALSE(fx.Controller().DspRunning());
  EXPECT_FALSE(PassState.DspActive);
  EXPECT_EQ(report_.quitCalls.load(), 1);
  EXPECT_EQ(report_.quitWhileInside.load(), 0);
  EXPECT_TRUE(fx.ComboBox1->Enabled());
  EXPECT_TRUE(fx.ListView1->Enabled());
  EXPECT_EQ(DspHostState.DspLibHandle, nullptr);
  fx.Button4Click(nullptr);
  EXPECT_EQ(report_.quitCalls.load(), 1) << "a second stop is ignored";
  ReleaseFirstLibrary();
  EXPECT_EQ(GetModuleHandleW(L"dsp_engine_test.dll"), nullptr) << "the library is freed";
}

TEST_F(EffectsWindow, StopDuringASlowCallThatAsksTheWindowNeitherHangsNorCrashes) {
  using namespace tav::engine;
  TFormEffect& fx = Fx();
  HoldFirstLibrary();
  SelectLibrary(L"dsp_engine_test.dll");
  fx.ComboBox1->SetItemIndex(5);  // "Ask host"
  fx.CheckBox1->SetChecked(true);
  fx.Button3Click(nullptr);
  ASSERT_TRUE(fx.Controller().DspRunning());
  EXPECT_EQ(report_.reinitAnswer.load(), 0) << "query 105 answers 0";
  report_.sleepMs = 300;
  StartDevice();
  Open(MakeTone("tone_slow.wav", 3.0, 440.0, 8000));
  // The module sleeps, then waits in SendMessage for this thread, which does
  // not answer until it stops the module.
  const auto deadline = Clock::now() + std::chrono::seconds(5);
  while (report_.sending.load() == 0 && Clock::now() < deadline) Sleep(1);
  ASSERT_EQ(report_.sending.load(), 1) << "the module never asked";
  const auto start = Clock::now();
  fx.Button4Click(nullptr);
  const double stopSeconds = std::chrono::duration<double>(Clock::now() - start).count();
  EXPECT_LT(stopSeconds, 2.0);
  EXPECT_EQ(report_.rateAnswer.load(), kRate);
  EXPECT_EQ(report_.quitCalls.load(), 1);
  EXPECT_EQ(report_.quitWhileInside.load(), 0);
  EXPECT_EQ(report_.inside.load(), 0);
  Pump(200);  // playback goes on without the module
  EXPECT_EQ(BASS_ChannelIsActive(StreamState.OutStream), DWORD(BASS_ACTIVE_PLAYING));
  std::printf("[ figures ] stop during a query from the audio thread took %.3f s\n", stopSeconds);
}

TEST_F(EffectsWindow, QueriesFromAnotherThreadAreAnswered) {
  using namespace tav::engine;
  const HWND window = Fx().Handle();
  EndDevice();
  ASSERT_EQ(StreamState.DecodeStream, 0u);
  EXPECT_EQ(QueryFromAnotherThread(window, 0, 126), 44100) << "no stream";
  EXPECT_EQ(QueryFromAnotherThread(window, 1, 126), 16);
  EXPECT_EQ(QueryFromAnotherThread(window, 2, 126), 2);
  EXPECT_EQ(QueryFromAnotherThread(window, 0, 0), 0x5010);
  EXPECT_EQ(QueryFromAnotherThread(window, 0, 124), 1);
  EXPECT_EQ(QueryFromAnotherThread(window, 0, 105), 0);
  StartDevice();
  const std::string file = tav::test::MediaPath("tone48k_stereo.wav");
  Open(file);
  EXPECT_EQ(QueryFromAnotherThread(window, 0, 126), 48000);
  const auto* path = reinterpret_cast<const char*>(QueryFromAnotherThread(window, 0, 211));
  const auto* title = reinterpret_cast<const char*>(QueryFromAnotherThread(window, 0, 212));
  ASSERT_NE(path, nullptr);
  ASSERT_NE(title, nullptr);
  EXPECT_EQ(std::string(path), file);
  EXPECT_EQ(std::string(title), "tone48k_stereo.wav");
}

TEST_F(EffectsWindow, ScreenshotsOfTheFourPages) {
  TFormEffect& fx = Fx();
  fx.Show();
  SetWindowPos(fx.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_SHOWWINDOW);
  const wchar_t* names[] = {L"effects_equaliser", L"effects_dsp_plugins", L"effects_other", L"effects_phaser"};
  for (int page = 0; page < 4; ++page) {
    fx.PageControl1->SetActivePageIndex(page);
    if (page == 1) {
      SelectLibrary(L"dsp_engine_test.dll");
      EXPECT_EQ(fx.ComboBox1->ItemIndex(), 0);
      EXPECT_EQ(fx.ComboBox1->Text(), L"Keep");
    }
    RedrawWindow(fx.Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump(300);
    EXPECT_FALSE(tav::test::SaveScreenshot(fx.Handle(), names[page]).empty());
  }
  fx.PageControl1->SetActivePageIndex(0);
}

// Runs last: closing the program stops a running module (its Quit runs while
// the window exists) and writes the window's settings.
TEST_F(EffectsWindow, ClosingTheProgramStopsARunningModule) {
  TFormEffect& fx = Fx();
  HoldFirstLibrary();
  SelectLibrary(L"dsp_engine_test.dll");
  fx.ComboBox1->SetItemIndex(0);
  fx.Button3Click(nullptr);
  ASSERT_TRUE(fx.Controller().DspRunning());
  fx.sldspeed->SetValue(20);
  StartDevice();
  Open(MakeTone("tone_close.wav", 3.0, 440.0, 8000));
  Pump(200);
  fx.clrClick(nullptr);  // the module box empties; the stop still finds the module
  Application().DestroyForms();
  EXPECT_EQ(report_.quitCalls.load(), 1);
  EXPECT_EQ(tav::engine::DspHostState.DspLibHandle, nullptr);
  const std::wstring ini = (tav::test::ExeDir() / "Tavolen.ini").wstring();
  EXPECT_EQ(GetPrivateProfileIntW(L"FormEffect", L"sldspeed", -1, ini.c_str()), 20);
  EXPECT_EQ(GetPrivateProfileIntW(L"FormEffect", L"ActPage", -1, ini.c_str()), 0);
  EXPECT_EQ(GetPrivateProfileIntW(L"FormEffect", L"Visable", -1, ini.c_str()), 1) << "last written when shown";
  ReleaseFirstLibrary();
}

}  // namespace
