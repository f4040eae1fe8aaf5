// The enhancer's window in this process: the module with the library's
// platform and window factory, started against a host window of the test,
// from a folder of its own (bin/enhancer_window) whose "winamp.ini" and
// preset folder are removed before and after every test. Screenshots of the
// header with each panel open and of the About window are saved.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstring>
#include <filesystem>
#include <fstream>

#include "presets.h"
#include "settings.h"
#include "tav/test/box_watcher.h"
#include "tav/test/files.h"
#include "tav/test/icon_image.h"
#include "tav/test/message_pump.h"
#include "tav/test/screenshot.h"
#include "tav/test/win32_process.h"
#include "win32/form_a.h"
#include "win32/form_s.h"
#include "win32_platform.h"
#include "window/placement.h"
#include "window/scope.h"
#include "window/value_texts.h"

namespace fs = std::filesystem;

namespace brindle::win32 {
namespace {

using tav::test::Pump;
using tav::test::PumpUntil;
using window::Panel;
using P = Param;

fs::path Here() { return tav::test::ExeDir(); }
fs::path Ini() { return Here() / "winamp.ini"; }

std::string Value(const char* key, const char* section = kSettingsSection) {
  return ProfileStore(Ini().string(), section).Read(key).value_or("<missing>");
}
void Store(const char* key, const std::string& value, const char* section = kSettingsSection) {
  ProfileStore(Ini().string(), section).Write(key, value);
}

LRESULT CALLBACK HostProc(HWND h, UINT m, WPARAM w, LPARAM l) { return DefWindowProcW(h, m, w, l); }

// The host program's window, at (200, 150), 300 x 200.
HWND MakeHost() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = HostProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"EnhancerTestHost";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"Host", WS_POPUP | WS_VISIBLE, 200, 150, 300, 200, nullptr, nullptr,
                         wc.hInstance, nullptr);
}

class EnhancerWindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    host = MakeHost();
    ASSERT_TRUE(host);
  }
  void TearDown() override {
    if (started) module.Quit();
    DestroyWindow(host);
    Pump(20);
    Clean();
  }
  static void Clean() {
    std::error_code ec;
    fs::remove(Ini(), ec);
    fs::remove_all(Here() / "plugins", ec);
  }
  // Init, then the host's loop until the window's start-up has run.
  TForm_s& Start() {
    EXPECT_EQ(module.Init(host), 0);
    started = true;
    TForm_s* f = FormWindowFactory::Current();
    EXPECT_NE(f, nullptr);
    PumpUntil([f] { return f->timermove.Enabled(); }, 2000);
    Pump(30);  // the second start-up run that showing starts
    return *f;
  }
  void Quit() {
    module.Quit();
    started = false;
  }

  HWND host = nullptr;
  Win32Platform platform;
  FormWindowFactory windows;
  Module module{platform, windows};
  bool started = false;
};

window::Rect RectOf(HWND h) {
  RECT r{};
  GetWindowRect(h, &r);
  return {r.left, r.top, r.right, r.bottom};
}

TEST_F(EnhancerWindowTest, FirstRunShowsTheHeaderAtItsDefaultPlaceWithTheFirstRunValues) {
  TForm_s& f = Start();
  EXPECT_TRUE(IsWindowVisible(f.Handle()));
  EXPECT_EQ(RectOf(f.Handle()), (window::Rect{300, 200, 575, 316}));
  EXPECT_TRUE(GetWindowLongW(f.Handle(), GWL_EXSTYLE) & WS_EX_TOOLWINDOW);
  EXPECT_FALSE(GetWindowLongW(f.Handle(), GWL_STYLE) & WS_CAPTION);
  EXPECT_EQ(tav::test::WindowText(f.Handle()), L"Brindle Enhancer");
  EXPECT_EQ(f.SliderOf(P::bass3d)->Position(), 50);
  EXPECT_EQ(f.SliderOf(P::basslopass)->Position(), 20);
  EXPECT_EQ(f.SliderOf(P::dry)->Position(), 90);
  EXPECT_EQ(f.Slider_t->Position(), 25);
  EXPECT_EQ(f.Label_osc->Caption(), L"25fps");
  EXPECT_EQ(f.Timer_osc.Interval(), 40u);
  // every slider's value text is its parameter's
  for (const ParamSlider& s : f.sliders)
    EXPECT_EQ(tav::Narrow(s.slider->Hint()), window::ValueText(s.param, s.slider->Position())) << int(s.param);
  EXPECT_EQ(f.sliders.size(), 26u);
  EXPECT_EQ(f.checkBoxes.size(), 5u);
}

TEST_F(EnhancerWindowTest, TheRegionAnswersAsTheOutline) {
  TForm_s& f = Start();
  HRGN rgn = CreateRectRgn(0, 0, 0, 0);
  ASSERT_NE(GetWindowRgn(f.Handle(), rgn), ERROR);
  int inside = 0, onSlant = 0;
  for (int y = -2; y < 503; ++y)
    for (int x = -2; x < 278; ++x) {
      const bool in = PtInRegion(rgn, x, y) != 0;
      inside += in;
      if (in == window::InWindowOutline(x, y)) continue;
      // the tail's right edge runs from (266, 116) to (265, 500): which
      // pixels along a slanted edge a region takes is the system's choice
      if (y >= 116 && y <= 500 && x >= 264 && x <= 266) {
        ++onSlant;
        continue;
      }
      ADD_FAILURE() << "at " << x << "," << y << " the region says " << in;
      DeleteObject(rgn);
      return;
    }
  EXPECT_LT(onSlant, 400);
  EXPECT_GT(inside, 275 * 100);
  DeleteObject(rgn);
}

TEST_F(EnhancerWindowTest, StoredCoordinatesNearTheHostSnapToItAndFollowItsMoves) {
  // the host is at (200, 150)-(500, 350): 10 pixels right of it and below its top
  Start();  // the first run writes the defaults ...
  Quit();
  Store("x", "510");
  Store("y", "160");
  TForm_s& f = Start();  // ... the second starts from the stored place
  EXPECT_TRUE(f.HostDocked);
  EXPECT_EQ(f.Position(), (window::Point{500, 150}));
  SetWindowPos(host, nullptr, 250, 180, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  PumpUntil([&] { return f.Position() == window::Point{550, 180}; }, 1000);
  EXPECT_EQ(f.Position(), (window::Point{550, 180}));
  // a jump of 1000 pixels or more leaves it behind, undocked
  SetWindowPos(host, nullptr, -32000, -32000, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  PumpUntil([&] { return !f.HostDocked; }, 1000);
  EXPECT_FALSE(f.HostDocked);
  EXPECT_EQ(f.Position(), (window::Point{550, 180}));
}

// A left click on a control of the header, as the mouse gives it.
void ClickOn(TForm_s& f, tav::TControl* c) {
  const LPARAM at = MAKELPARAM(c->Left() + c->Width() / 2, c->Top() + c->Height() / 2);
  SendMessageW(f.Handle(), WM_MOUSEMOVE, 0, at);
  SendMessageW(f.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
  SendMessageW(f.Handle(), WM_LBUTTONUP, 0, at);
}

TEST_F(EnhancerWindowTest, PanelButtonsFoldThePanelsOut) {
  TForm_s& f = Start();
  EXPECT_EQ(f.BitButton1->Hint(), L"Previous");
  EXPECT_TRUE(f.CoolTrayIcon1->IconVisible()) << "the tray icon is the window's door";
  struct Press {
    TBitButton* button;
    int height;
    const wchar_t* shot;
  };
  const Press presses[] = {{f.BitButton1, 361, L"enhancer_bass_panel"},
                           {f.BitButton6, 442, L"enhancer_music_panel"},
                           {f.BitButton6, 116, L"enhancer_header"},
                           {f.BitButton2, 211, L"enhancer_settings_panel"}};
  for (const Press& p : presses) {
    ClickOn(f, p.button);
    Pump(60);
    const window::Rect r = RectOf(f.Handle());
    EXPECT_EQ(r.bottom - r.top, p.height);
    EXPECT_EQ(r.right - r.left, 275);
    EXPECT_FALSE(tav::test::SaveScreenshot(f.Handle(), p.shot).empty());
  }
  EXPECT_TRUE(f.Panel_cfg->Visible() && f.Panel_cfg->Enabled());
  EXPECT_FALSE(f.Panel_bass->Visible() || f.Panel_music->Visible());
  // a double click toggles twice
  const LPARAM at = MAKELPARAM(f.BitButton2->Left() + 5, f.BitButton2->Top() + 5);
  SendMessageW(f.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageW(f.Handle(), WM_LBUTTONUP, 0, at);
  EXPECT_EQ(f.OpenPanel, Panel::none);
}

TEST_F(EnhancerWindowTest, AMovedSliderShowsItsValueTextAndIsStored) {
  TForm_s& f = Start();
  f.BitButton1Click();
  Pump(30);
  TSlider* s = f.SliderOf(P::basslopass);
  s->SetPosition(7);
  SendMessageW(s->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(3, 3));
  EXPECT_EQ(f.Label_hint->Caption(), L"113Hz");
  // over a descriptive label: its description; over the background: nothing
  EXPECT_EQ(module.params.Get(P::basslopass), 7);
  SendMessageW(f.Panel_bass->Handle(), WM_MOUSEMOVE, 0, MAKELPARAM(2, 240));
  EXPECT_EQ(f.Label_hint->Caption(), L"");
  Quit();
  EXPECT_EQ(Value("basslopass"), "7");
}

TEST_F(EnhancerWindowTest, LabelsBesideCheckBoxesToggleThemButTheSoftOne) {
  TForm_s& f = Start();
  for (const ParamCheckBox& c : f.checkBoxes) {
    const bool before = c.box->Checked();
    c.label->Click();
    EXPECT_EQ(c.box->Checked(), c.param == P::soft ? before : !before) << int(c.param);
    EXPECT_EQ(module.params.On(c.param), c.box->Checked());
  }
}

// A ring whose values draw distinct traces: a slow ramp on the left and a
// faster one on the right.
void FillRing(ScopeValues& s) {
  for (int i = 0; i < kScopeRingValues; i += 2) {
    s.ScopeRing[size_t(i)] = int16_t((i * 37) % 60000 - 30000);
    s.ScopeRing[size_t(i) + 1] = int16_t((i * 211) % 64000 - 32000);
  }
}

TEST_F(EnhancerWindowTest, OneScopeTickDrawsTheNativeRaster) {
  TForm_s& f = Start();
  ScopeValues& s = module.processor->scope;
  FillRing(s);
  f.Edit1->SetText(L"300");
  f.Timer1Timer();  // the delay is taken from the edit
  ASSERT_EQ(module.window.delay, 300);
  s.ScopeBlockStart = 123456;
  s.BlockSampleRate = 48000;
  s.ScopeFrameCredit = 1;
  f.Timer_oscTimer();
  EXPECT_EQ(s.ScopeFrameCredit.load(), 0);

  const window::ScopeLayout layout = window::MakeScopeLayout(265, 49);
  int32_t last = 0;
  std::atomic<int32_t> credit{1};
  const auto index = window::NextScopeFrame(credit, 123456, last, 300, 48000, 265, kScopeRingValues);
  ASSERT_TRUE(index);
  EXPECT_EQ(f.ScopeReadIndex, *index);
  window::Raster expected;
  window::DrawScopeFrame(layout, window::MakeScopeGrid(layout), s.ScopeRing, *index, expected);

  // what the window shows there, read back from its device context
  HDC dc = GetDC(f.Handle());
  HDC mem = CreateCompatibleDC(dc);
  BITMAPINFO bi{};
  bi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
  bi.bmiHeader.biWidth = 265;
  bi.bmiHeader.biHeight = -49;  // top-down
  bi.bmiHeader.biPlanes = 1;
  bi.bmiHeader.biBitCount = 32;
  bi.bmiHeader.biCompression = BI_RGB;
  void* bits = nullptr;
  HBITMAP dib = CreateDIBSection(dc, &bi, DIB_RGB_COLORS, &bits, nullptr, 0);
  HGDIOBJ old = SelectObject(mem, dib);
  BitBlt(mem, 0, 0, 265, 49, dc, 5, 63, SRCCOPY);
  GdiFlush();
  int differing = 0;
  const auto* px = static_cast<const uint32_t*>(bits);
  for (int y = 0; y < 49; ++y)
    for (int x = 0; x < 265; ++x) differing += (px[y * 265 + x] & 0xFFFFFF) != expected.At(x, y);
  SelectObject(mem, old);
  DeleteObject(dib);
  DeleteDC(mem);
  ReleaseDC(f.Handle(), dc);
  EXPECT_EQ(differing, 0);
  // and both traces are there
  int blue = 0, green = 0;
  for (uint32_t p : expected.pixels) blue += p == window::kScopeLeftColour, green += p == window::kScopeRightColour;
  EXPECT_GT(blue, 100);
  EXPECT_GT(green, 100);
}

TEST_F(EnhancerWindowTest, TheDelayComesFromTheHostsOutputBuffer) {
  TForm_s& f = Start();
  EXPECT_TRUE(f.CheckBox1->Checked());  // first run: detection on
  EXPECT_FALSE(f.Edit1->Enabled());
  Store("outname", "out_ds.dll", "winamp");
  Store("cfg_buf_ms", "20000", "out_ds");
  f.Timer2Timer();
  f.Timer1Timer();
  EXPECT_EQ(module.window.delay, 10000);
  EXPECT_EQ(f.Edit1->Text(), L"10000");
  f.CheckBox1->SetChecked(false);
  EXPECT_TRUE(f.Edit1->Enabled());
  EXPECT_EQ(module.window.autodetect, 0);
  f.Edit1->SetText(L"50");
  f.Timer1Timer();
  EXPECT_EQ(module.window.delay, 100);
  module.processor->scope.ClipHeld = 3.7f;
  f.Timer3Timer();
  EXPECT_EQ(f.Label_clip->Caption(), L"Clip: 3%");
}

// Answers the save dialog with a file of the test's choice.
// A dialog that picks `file` at once (none: cancelled), noting the default
// extension it had and whether the window `watched` took input meanwhile.
template <class Dialog>
class Picking : public Dialog {
 public:
  explicit Picking(std::wstring file, HWND watched = nullptr) : file_(std::move(file)), watched_(watched) {}
  bool Execute() override {
    seenExt = this->DefaultExt;
    if (watched_) watchedEnabled = IsWindowEnabled(watched_) != 0;
    this->FileName = file_;
    return !file_.empty();
  }
  std::wstring seenExt;
  bool watchedEnabled = true;

 private:
  std::wstring file_;
  HWND watched_;
};
using ChosenFile = Picking<tav::TSaveDialog>;
using PickedFile = Picking<tav::TOpenDialog>;

TEST_F(EnhancerWindowTest, PresetsThroughTheList) {
  TForm_s& f = Start();
  tav::test::BoxWatcher boxes;
  const fs::path folder = Here() / "plugins" / "Brindle";
  EXPECT_FALSE(fs::exists(folder));
  f.presetboxDropDown();
  EXPECT_TRUE(fs::is_directory(folder)) << "the first drop-down makes the folder";

  // a save writes the type and the parameters, then shows and loads the entry
  f.SliderOf(P::dry)->SetPosition(33);
  auto* dialog = new ChosenFile((folder / L"Warm.brindle").wstring());
  f.SaveDialog1.reset(dialog);
  f.Button1Click();
  EXPECT_EQ(dialog->seenExt, L"brindle");
  const std::string warm = (folder / "Warm.brindle").string();
  EXPECT_EQ(ProfileStore(warm, kPresetSection).Read("presettype").value_or(""), "30");
  EXPECT_EQ(ProfileStore(warm, kPresetSection).Read("dry").value_or(""), "33");
  ASSERT_EQ(f.presetbox->ItemIndex(), 0);
  EXPECT_EQ(f.presetbox->Item(0), L"Warm");

  // a file of another type asks; No changes nothing and empties the list
  ProfileStore old((folder / "Old.brindle").string(), kPresetSection);
  old.Write("presettype", "29");
  old.Write("dry", "5");
  boxes.Answer(L"Annoing Question", IDNO);
  f.presetboxDropDown();
  f.presetbox->SetItemIndex(f.presetbox->IndexOf(L"Old"));
  f.presetboxSelect();
  auto seen = boxes.Take();
  ASSERT_EQ(seen.size(), 1u);
  EXPECT_EQ(seen[0].caption, L"Annoing Question");
  EXPECT_EQ(f.SliderOf(P::dry)->Position(), 33);
  EXPECT_EQ(module.params.Get(P::dry), 33);
  EXPECT_EQ(f.presetbox->Count(), 0);

  // Yes loads it
  boxes.Answer(L"Annoing Question", IDYES);
  f.presetboxDropDown();
  f.presetbox->SetItemIndex(f.presetbox->IndexOf(L"Old"));
  f.presetboxSelect();
  EXPECT_EQ(boxes.Take().size(), 1u);
  EXPECT_EQ(f.SliderOf(P::dry)->Position(), 5);
  EXPECT_EQ(module.params.Get(P::dry), 5);

  // delete with no entry selected asks nothing and deletes nothing
  f.presetboxDropDown();
  ASSERT_EQ(f.presetbox->ItemIndex(), -1);
  f.Button2Click();
  EXPECT_EQ(boxes.Take().size(), 0u);
  EXPECT_TRUE(fs::exists(warm));
  EXPECT_EQ(f.presetbox->Count(), 0);
  // with one selected and Yes it deletes that preset
  boxes.Answer(L"Annoing?", IDYES);
  f.presetboxDropDown();
  f.presetbox->SetItemIndex(f.presetbox->IndexOf(L"Warm"));
  f.presetboxSelect();
  f.Button2Click();
  EXPECT_EQ(boxes.Take().size(), 1u);
  EXPECT_FALSE(fs::exists(warm));
  boxes.ExpectNoOthers();
}

HWND TopWindowCaptioned(const wchar_t* caption) {
  for (HWND h : tav::test::TopWindowsOf(GetCurrentProcessId()))
    if (tav::test::WindowText(h) == caption) return h;
  return nullptr;
}

struct ModalProbe {
  HWND host;
  bool hostEnabled = true;
  bool aboutSeen = false;
  HWND about = nullptr;
};
ModalProbe* probe = nullptr;

void CALLBACK ProbeModal(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  probe->about = TopWindowCaptioned(L"About me");
  probe->aboutSeen = probe->about && IsWindowVisible(probe->about);
  probe->hostEnabled = IsWindowEnabled(probe->host) != 0;
  if (probe->about) {
    tav::test::SaveScreenshot(probe->about, L"enhancer_about");
    PostMessageW(probe->about, WM_CLOSE, 0, 0);
  }
}

TEST_F(EnhancerWindowTest, TheAboutWindowIsModal) {
  TForm_s& f = Start();
  ModalProbe p{host};
  probe = &p;
  SetTimer(nullptr, 0, 300, ProbeModal);
  f.Button3Click();
  probe = nullptr;
  EXPECT_TRUE(p.aboutSeen);
  EXPECT_FALSE(p.hostEnabled) << "the host takes no input while About shows";
  EXPECT_TRUE(IsWindowEnabled(host));
  EXPECT_FALSE(IsWindow(p.about)) << "freed when it closes";
}

TEST_F(EnhancerWindowTest, ClosingWhileProcessingClosesTheHost) {
  TForm_s& f = Start();
  MSG m;
  while (PeekMessageW(&m, host, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
  }
  f.Close();  // Alt+F4
  EXPECT_TRUE(PeekMessageW(&m, host, WM_CLOSE, WM_CLOSE, PM_REMOVE));
  EXPECT_FALSE(IsWindowVisible(f.Handle()));
  EXPECT_TRUE(module.WindowClosed);
  Quit();  // Bypass set: nothing more for the host
  EXPECT_FALSE(PeekMessageW(&m, host, WM_CLOSE, WM_CLOSE, PM_REMOVE));
}

// --- mended faults -------------------------------------------------------------

TEST_F(EnhancerWindowTest, ABadCustomIconFileNeitherStopsTheStartNorReplacesTheName) {
  Start();
  Quit();
  const fs::path bad = Here() / "not_an_icon.ico";
  { std::ofstream(bad) << "this is no icon at all"; }
  Store("icon", bad.string());
  TForm_s& f = Start();
  EXPECT_TRUE(f.timermove.Enabled()) << "the start-up ran to its end";
  EXPECT_TRUE(f.CoolTrayIcon1->IconVisible()) << "and the tray icon, the way back, is there";
  EXPECT_TRUE(IsWindowVisible(f.Handle()));
  EXPECT_FALSE(f.Icon().Empty());
  // a failed change of icon keeps the old file name
  std::vector<std::wstring> errors;
  tav::Application().OnException = [&](const std::wstring& m) { errors.push_back(m); };
  f.OpenPictureDialog1 = std::make_unique<PickedFile>(bad.wstring());
  f.Changeicon1Click();
  tav::Application().OnException = nullptr;
  EXPECT_EQ(errors.size(), 1u);
  EXPECT_EQ(module.window.icon, bad.string());
  fs::remove(bad);
}

void CALLBACK AnswerTheQuestionNo(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  probe->about = TopWindowCaptioned(L"Annoing?");
  probe->aboutSeen = probe->about != nullptr;
  probe->hostEnabled = IsWindowEnabled(probe->host) != 0;
  if (probe->about) PostMessageW(probe->about, WM_COMMAND, IDNO, 0);
}

// The window's dialogs and questions keep the host from input, as its About
// window does: a host that ended the plug-in under one would free the window
// and unload the code the dialog returns into.
TEST_F(EnhancerWindowTest, DialogsAndQuestionsHoldTheHostsWindows) {
  TForm_s& f = Start();
  const fs::path warm = Here() / "plugins" / "Brindle" / "Warm.brindle";
  f.presetboxDropDown();
  auto* save = new ChosenFile(warm.wstring(), host);
  f.SaveDialog1.reset(save);
  f.Button1Click();
  EXPECT_FALSE(save->watchedEnabled) << "while the save dialog runs";
  auto* pick = new PickedFile(L"", host);  // cancelled
  f.OpenPictureDialog1.reset(pick);
  f.Changeicon1Click();
  EXPECT_FALSE(pick->watchedEnabled) << "while the icon dialog runs";
  EXPECT_TRUE(IsWindowEnabled(host));

  ASSERT_EQ(f.presetbox->ItemIndex(), 0) << "Warm, saved and selected";
  ModalProbe p{host};
  probe = &p;
  SetTimer(nullptr, 0, 300, AnswerTheQuestionNo);
  f.Button2Click();
  probe = nullptr;
  EXPECT_TRUE(p.aboutSeen) << "the question was asked";
  EXPECT_FALSE(p.hostEnabled) << "while the question shows";
  EXPECT_TRUE(IsWindowEnabled(host));
  EXPECT_TRUE(fs::exists(warm)) << "answered No";
}

// 70 Chinese characters take 210 bytes in UTF-8: with the folder the full
// names pass 255 bytes but not 255 characters, so neither the preset nor the
// icon may lose any.
TEST_F(EnhancerWindowTest, LongChineseNamesOfAPresetAndAnIconAreKeptWhole) {
  TForm_s& f = Start();
  const fs::path folder = Here() / "plugins" / "Brindle";
  f.presetboxDropDown();  // makes the folder
  std::wstring name;
  for (int i = 0; i < 70; ++i) name += L'\u97f3';
  const fs::path preset = folder / (name + L".brindle");
  ASSERT_LT(preset.wstring().size(), 255u);
  ASSERT_GT(Narrow(preset.wstring()).size(), 255u);
  f.SliderOf(P::dry)->SetPosition(44);
  f.SaveDialog1.reset(new ChosenFile(preset.wstring()));
  f.Button1Click();
  EXPECT_TRUE(fs::exists(preset));
  ASSERT_EQ(f.presetbox->Count(), 1);
  EXPECT_EQ(f.presetbox->Item(0), name);
  EXPECT_EQ(f.presetbox->ItemIndex(), 0) << "the saved preset is selected";
  EXPECT_EQ(module.PresetFile, Narrow(preset.wstring()));

  const fs::path icon = folder / (name + L".ico");
  {
    const auto bytes = tav::test::MakeIconFile({{16, 0xFFFF0000}});
    std::ofstream(icon, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  f.OpenPictureDialog1 = std::make_unique<PickedFile>(icon.wstring());
  std::vector<std::wstring> errors;
  tav::Application().OnException = [&](const std::wstring& m) { errors.push_back(m); };
  f.Changeicon1Click();
  tav::Application().OnException = nullptr;
  EXPECT_TRUE(errors.empty()) << "the icon file is found";
  EXPECT_EQ(module.window.icon, Narrow(icon.wstring()));
}

TEST_F(EnhancerWindowTest, SettingsChangedAfterTheWindowWasClosedAndShownAgainAreSaved) {
  TForm_s& f = Start();
  f.Close();
  EXPECT_TRUE(module.WindowClosed);
  f.Show();
  Pump(30);
  EXPECT_FALSE(module.WindowClosed);
  f.SliderOf(P::dry)->SetPosition(12);
  Quit();
  EXPECT_EQ(Value("dry"), "12");
}

TEST_F(EnhancerWindowTest, ShowTheWindowShowsAHiddenWindowAtItsHomePlace) {
  TForm_s& f = Start();
  f.CoolTrayIcon1Click();
  EXPECT_FALSE(IsWindowVisible(f.Handle()));
  EXPECT_EQ(Value("hidden"), "1");
  f.Getbackthewindow1Click();
  Pump(60);  // the start-up that showing runs
  EXPECT_TRUE(IsWindowVisible(f.Handle()));
  EXPECT_EQ(f.Position(), (window::Point{100, 100}));
  EXPECT_EQ(Value("hidden"), "0");
}

TEST_F(EnhancerWindowTest, ClicksOnTheTrayIconHideAndShowTheWindowAndStoreIt) {
  TForm_s& f = Start();
  const HWND tray = TCoolTrayIcon::TrayWindow();
  ASSERT_TRUE(IsWindow(tray));
  const WPARAM id = f.CoolTrayIcon1->IconId();
  // a click as the shell reports it; the click comes once no double click can follow
  const auto click = [&] {
    PostMessageW(tray, 0x800, id, WM_LBUTTONDOWN);
    PostMessageW(tray, 0x800, id, WM_LBUTTONUP);
    Pump(GetDoubleClickTime() + 250);
  };
  click();
  EXPECT_FALSE(IsWindowVisible(f.Handle()));
  EXPECT_EQ(Value("hidden"), "1");
  click();
  EXPECT_TRUE(IsWindowVisible(f.Handle()));
  EXPECT_EQ(Value("hidden"), "0");
  // a late message for an id no icon has changes nothing
  PostMessageW(tray, 0x800, id + 100, WM_LBUTTONDOWN);
  PostMessageW(tray, 0x800, id + 100, WM_LBUTTONUP);
  Pump(GetDoubleClickTime() + 250);
  EXPECT_TRUE(IsWindowVisible(f.Handle()));
}

// The pixels of an icon, drawn on black.
std::vector<uint32_t> IconPixels(HICON icon) {
  tav::TBitmap b(16, 16);
  DrawIconEx(b.Canvas().Handle(), 0, 0, icon, 16, 16, 0, nullptr, DI_NORMAL);
  GdiFlush();
  const tav::PixelView v = b.Pixels();
  return std::vector<uint32_t>(v.Bits, v.Bits + 256);
}

TEST_F(EnhancerWindowTest, DefaultIconRestoresTheWindowsOwnIconAfterACustomOneAtStartUp) {
  ASSERT_EQ(module.Init(host), 0);
  const std::vector<uint32_t> own = IconPixels(FormWindowFactory::Current()->Icon().Handle());
  module.Quit();
  const fs::path red = Here() / "red.ico";
  {
    const auto bytes = tav::test::MakeIconFile({{16, 0xFFFF0000}});
    std::ofstream(red, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
  }
  Store("icon", red.string());
  TForm_s& f = Start();
  EXPECT_NE(IconPixels(f.Icon().Handle()), own) << "the custom icon is in place";
  f.Defaulticon1Click();
  EXPECT_EQ(IconPixels(f.Icon().Handle()), own);
  EXPECT_EQ(module.window.icon, "");
  Quit();
  EXPECT_EQ(Value("icon"), "");
  fs::remove(red);
}

// A real right click (the button pressed and released, as the mouse sends
// them) on the header picture or the scope, with no panel open, opens the
// window's menu ("重置所有", "改变系统托盘图标", "默认图标").
TEST_F(EnhancerWindowTest, ARightClickOnTheHeaderPictureOrTheScopeOpensTheMenu) {
  TForm_s& f = Start();
  int popups = 0;
  f.PopupMenu1.OnPopup = [&](tav::TObject*) {
    ++popups;
    tav::test::CloseMenuSoon();
  };
  struct Case {
    const char* what;
    HWND window;
    POINT at;
  } cases[] = {{"header picture", f.Handle(), {30, 8}}, {"scope", f.Panel_osc->Handle(), {20, 20}}};
  for (const Case& c : cases) {
    const int before = popups;
    PostMessageW(c.window, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(c.at.x, c.at.y));
    PostMessageW(c.window, WM_RBUTTONUP, 0, MAKELPARAM(c.at.x, c.at.y));
    PumpUntil([&] { return popups > before; }, 2000);
    Pump(50);
    EXPECT_EQ(popups, before + 1) << c.what;
  }
  EXPECT_TRUE(IsWindowVisible(f.Handle()));
  f.PopupMenu1.OnPopup = nullptr;
}

}  // namespace
}  // namespace brindle::win32
