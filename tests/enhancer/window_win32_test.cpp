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
#include "tav/test/keyboard_input.h"
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
    // the preset list makes its folder the current one, which then cannot go
    SetCurrentDirectoryW(Here().c_str());
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

// A dialog that picks `file` at once (none: cancelled), noting the default
// extension and options it had, whether its first folder was there, and
// whether the window `watched` took input meanwhile.
template <class Dialog>
class Picking : public Dialog {
 public:
  explicit Picking(std::wstring file, HWND watched = nullptr) : file_(std::move(file)), watched_(watched) {}
  bool Execute() override {
    seenExt = this->DefaultExt;
    seenOptions = this->Options;
    initialDirThere = fs::is_directory(fs::path(this->InitialDir));
    if (watched_) watchedEnabled = IsWindowEnabled(watched_) != 0;
    this->FileName = file_;
    return !file_.empty();
  }
  std::wstring seenExt;
  tav::TOpenOptions seenOptions{};
  bool initialDirThere = false;
  bool watchedEnabled = true;

 private:
  std::wstring file_;
  HWND watched_;
};
using ChosenFile = Picking<tav::TSaveDialog>;
using PickedFile = Picking<tav::TOpenDialog>;

// A red 16-pixel icon file.
void WriteRedIcon(const fs::path& file) {
  const auto bytes = tav::test::MakeIconFile({{16, 0xFFFF0000}});
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

// "改变系统托盘图标" with `file` picked in its dialog; answers the errors the
// toolkit's exception box would have shown.
std::vector<std::wstring> ChooseIcon(TForm_s& f, const fs::path& file) {
  std::vector<std::wstring> errors;
  tav::Application().OnException = [&](const std::wstring& m) { errors.push_back(m); };
  f.OpenPictureDialog1 = std::make_unique<PickedFile>(file.wstring());
  f.Changeicon1Click();
  tav::Application().OnException = nullptr;
  return errors;
}

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
  EXPECT_EQ(ChooseIcon(f, bad).size(), 1u);
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
  WriteRedIcon(icon);
  EXPECT_TRUE(ChooseIcon(f, icon).empty()) << "the icon file is found";
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
  WriteRedIcon(red);
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

// A host that starts the plug-in again without Quit keeps running: the first
// window closes with Bypass set, so its close query posts nothing.
TEST_F(EnhancerWindowTest, ASecondStartWithoutQuitLeavesTheHostOpen) {
  Start();
  MSG m;
  while (PeekMessageW(&m, host, WM_CLOSE, WM_CLOSE, PM_REMOVE)) {
  }
  ASSERT_EQ(module.Init(host), 0);
  EXPECT_FALSE(PeekMessageW(&m, host, WM_CLOSE, WM_CLOSE, PM_REMOVE)) << "the host was asked to close";
  TForm_s* second = FormWindowFactory::Current();
  ASSERT_NE(second, nullptr);
  PumpUntil([second] { return second->timermove.Enabled(); }, 2000);
  EXPECT_TRUE(IsWindow(host));
  EXPECT_TRUE(IsWindowVisible(second->Handle()));
}

// A fresh install: the first save dialog opens in the preset folder, which
// is there before the list ever dropped down, so the preset lands in it and
// is listed.
TEST_F(EnhancerWindowTest, TheFirstSaveOpensInThePresetFolder) {
  TForm_s& f = Start();
  const fs::path folder = Here() / "plugins" / "Brindle";
  ASSERT_FALSE(fs::exists(folder));
  auto* dialog = new ChosenFile((folder / L"First.brindle").wstring());
  f.SaveDialog1.reset(dialog);
  f.Button1Click();
  EXPECT_TRUE(dialog->initialDirThere) << "the dialog would fall back to the last folder used";
  EXPECT_EQ(fs::path(dialog->InitialDir), fs::path(Wide(module.PresetFolder)));
  EXPECT_TRUE(fs::exists(folder / "First.brindle"));
  EXPECT_EQ(f.presetbox->Count(), 1);
  EXPECT_EQ(f.presetbox->ItemIndex(), 0);
}

// Saving again over a preset replaces it without a question: that is how a
// preset is updated.
TEST_F(EnhancerWindowTest, SavingOverAPresetReplacesItWithoutAQuestion) {
  TForm_s& f = Start();
  tav::test::BoxWatcher boxes;
  const fs::path warm = Here() / "plugins" / "Brindle" / "Warm.brindle";
  f.SliderOf(P::dry)->SetPosition(33);
  f.SaveDialog1.reset(new ChosenFile(warm.wstring()));
  f.Button1Click();
  ProfileStore(warm.string(), kPresetSection).Write("stale", "1");
  f.SliderOf(P::dry)->SetPosition(66);
  auto* dialog = new ChosenFile(warm.wstring());
  f.SaveDialog1.reset(dialog);
  f.Button1Click();
  EXPECT_FALSE(dialog->seenOptions & tav::ofOverwritePrompt) << "the dialog would ask \"replace?\"";
  EXPECT_EQ(ProfileStore(warm.string(), kPresetSection).Read("dry").value_or(""), "66");
  EXPECT_FALSE(ProfileStore(warm.string(), kPresetSection).Read("stale")) << "replaced whole";
  boxes.ExpectNoOthers();
}

// A preset name longer than 255 characters is refused with a message: it is
// never cut to the name of another file, which the save would replace.
TEST_F(EnhancerWindowTest, APresetNameTooLongIsRefusedNotCut) {
  TForm_s& f = Start();
  tav::test::BoxWatcher boxes;
  boxes.Answer(L"Brindle", IDOK);
  const fs::path folder = Here() / "plugins" / "Brindle";
  fs::create_directories(folder);
  const std::wstring folderText = folder.wstring() + L"\\";
  const std::wstring longPath = folderText + std::wstring(270 - folderText.size() - 8, L'n') + L".brindle";
  const std::wstring cutPath = longPath.substr(0, 255);
  { std::ofstream(fs::path(cutPath)) << "[other]\r\nkeep=1\r\n"; }
  f.SaveDialog1.reset(new ChosenFile(longPath));
  f.Button1Click();
  const auto seen = boxes.Take();
  EXPECT_EQ(seen.size(), 1u) << "the name is refused with a message";
  for (const auto& box : seen) EXPECT_EQ(box.caption, L"Brindle");
  EXPECT_EQ(ProfileStore(Narrow(cutPath), "other").Read("keep").value_or(""), "1") << "another file was replaced";
  EXPECT_FALSE(ProfileStore(Narrow(cutPath), kPresetSection).Read("presettype"));
  EXPECT_FALSE(fs::exists(fs::path(longPath)));
  EXPECT_EQ(module.PresetFile, "");
  boxes.ExpectNoOthers();
}

// An icon file whose full name is longer than 255 characters is kept whole:
// stored so, and found again at the next start.
TEST_F(EnhancerWindowTest, ALongIconFileNameIsKeptWhole) {
  TForm_s& first = Start();
  const std::vector<uint32_t> own = IconPixels(first.Icon().Handle());
  const fs::path folder = Here() / std::wstring(120, L'd');
  fs::create_directories(folder);
  const fs::path icon = folder / (std::wstring(130, L'i') + L".ico");
  ASSERT_GT(icon.wstring().size(), 255u);
  WriteRedIcon(icon);
  EXPECT_TRUE(ChooseIcon(first, icon).empty()) << "the icon file is found";
  EXPECT_EQ(module.window.icon, Narrow(icon.wstring()));
  Quit();
  EXPECT_EQ(Value("icon"), Narrow(icon.wstring()));
  TForm_s& f = Start();
  EXPECT_EQ(module.window.icon, Narrow(icon.wstring()));
  EXPECT_NE(IconPixels(f.Icon().Handle()), own) << "the custom icon is in place again";
  Quit();
  fs::remove_all(folder);
}

// Typing the scope delay by hand: the box keeps what is typed while it has the
// focus (each tick still takes the value), and shows the value taken once the
// focus leaves it.
TEST_F(EnhancerWindowTest, TheDelayBoxIsNotRewrittenWhileTheUserTypes) {
  TForm_s& f = Start();
  f.BitButton2Click();  // the configuration panel
  f.CheckBox1->SetChecked(false);
  ASSERT_TRUE(f.Edit1->Enabled());
  SetForegroundWindow(f.Handle());
  f.Edit1->SetFocus();
  ASSERT_TRUE(f.Edit1->Focused());
  const auto type = [&](std::wstring_view text) {
    std::wstring expected = f.Edit1->Text();
    for (wchar_t c : text) {
      expected += c;
      ASSERT_TRUE(tav::test::TypeKeys(std::wstring(1, c)));
      PumpUntil([&] { return f.Edit1->Text() != expected.substr(0, expected.size() - 1); }, 2000);
      f.Timer1Timer();  // a tick between two keys
    }
  };
  f.Edit1->SetText(L"");
  type(L"2500");
  EXPECT_EQ(f.Edit1->Text(), L"2500");
  EXPECT_EQ(module.window.delay, 2500);
  f.Edit1->SetText(L"");
  type(L"50");
  EXPECT_EQ(f.Edit1->Text(), L"50") << "still as typed";
  EXPECT_EQ(module.window.delay, 100) << "but taken, clamped";
  SetFocus(f.Handle());  // the focus leaves the box
  EXPECT_EQ(f.Edit1->Text(), L"100");
  f.Timer1Timer();
  EXPECT_EQ(f.Edit1->Text(), L"100");
  EXPECT_EQ(module.window.delay, 100);
  // the plug-in ends while the user types: the value the last tick took is stored
  f.Edit1->SetFocus();
  f.Edit1->SetText(L"");
  type(L"3000");
  Quit();
  EXPECT_EQ(Value("delay"), "3000");
}

// A "winamp.ini" that takes no writes (here a folder of that name; a
// read-only file does the same to a user who may not write it): the
// first-run values never reach it, and the enhancer runs on them instead of
// on the zeros it reads (silence).
TEST_F(EnhancerWindowTest, ASettingsFileThatTakesNoWritesStartsOnTheFirstRunValues) {
  fs::create_directory(Ini());
  TForm_s& f = Start();
  ASSERT_EQ(Value("XXX"), "<missing>") << "the file took the defaults";
  EXPECT_EQ(f.SliderOf(P::dry)->Position(), 90);
  EXPECT_EQ(f.SliderOf(P::bassout)->Position(), 100);
  EXPECT_EQ(f.Slider_t->Position(), 25);
  EXPECT_EQ(module.params.Get(P::dry), 90);
  EXPECT_EQ(module.params.Get(P::bassout), 100);
  EXPECT_EQ(f.Position(), (window::Point{300, 200}));
  Quit();
  EXPECT_EQ(Value("XXX"), "<missing>");
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
