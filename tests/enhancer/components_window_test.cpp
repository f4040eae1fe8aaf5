// The enhancer window's components on the window system, in-process: the
// simple timer on its shared hidden window, the bitmap button's frames read
// back from the screen, the tray icon against the shell and with the shell's
// callback messages injected, and the knob turned by mouse, keys and wheel.
#include <gtest/gtest.h>

#include <windows.h>

#include <shellapi.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "gui_test_support.h"
#include "tav/test/screenshot.h"
#include "toolkit/win32/extctrls.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/module_windows.h"
#include "win32/bit_button.h"
#include "win32/knob.h"
#include "win32/simple_timer_window.h"
#include "win32/tray_icon.h"

namespace brindle {
namespace {

using tav::test::Pump;
using tav::test::PumpUntil;

bool UtilityClassRegistered() {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof wc;
  return GetClassInfoExW(tav::ModuleInstance(), tav::kUtilityWindowClass, &wc) != FALSE;
}

class Components : public ::testing::Test {
 protected:
  void SetUp() override {
    tav::Application().OnException = [](const std::wstring& m) { ADD_FAILURE() << tav::Narrow(m); };
  }
  void TearDown() override { tav::Application().OnException = nullptr; }
};

// --- the simple timer ---------------------------------------------------------

TEST_F(Components, TimersOfDifferentPeriodsShareOneWindowThatGoesWithTheLast) {
  ASSERT_EQ(TimerWindowUse::Window(), nullptr);
  std::vector<DWORD> fast, slow;
  HWND shared = nullptr;
  {
    TSimpleTimer a(40, [&](TSimpleTimer* t) { fast.push_back(GetTickCount()); });
    auto b = std::make_unique<TSimpleTimer>(150, [&](TSimpleTimer*) { slow.push_back(GetTickCount()); });
    shared = TimerWindowUse::Window();
    ASSERT_NE(shared, nullptr);
    EXPECT_TRUE(IsWindow(shared));
    EXPECT_FALSE(IsWindowVisible(shared));
    EXPECT_NE(a.TimerId(), b->TimerId());
    EXPECT_LT(a.TimerId(), 1000u);  // small numbers, not addresses
    // A new timer does not run until started.
    Pump(120);
    EXPECT_TRUE(fast.empty());
    const DWORD started = GetTickCount();
    ASSERT_TRUE(a.Start());
    ASSERT_TRUE(b->Start());
    Pump(1000);
    const double fastPeriod = fast.size() > 1 ? double(fast.back() - fast.front()) / (fast.size() - 1) : 0;
    const double slowPeriod = slow.size() > 1 ? double(slow.back() - slow.front()) / (slow.size() - 1) : 0;
    std::printf("40 ms timer: %zu ticks, period %.1f ms; 150 ms timer: %zu ticks, period %.1f ms\n", fast.size(),
                fastPeriod, slow.size(), slowPeriod);
    RecordProperty("fast_period_ms", static_cast<int>(fastPeriod));
    RecordProperty("slow_period_ms", static_cast<int>(slowPeriod));
    EXPECT_GE(fast.size(), 12u);
    EXPECT_LE(fast.size(), 26u);
    EXPECT_GE(slow.size(), 4u);
    EXPECT_LE(slow.size(), 7u);
    EXPECT_NEAR(fastPeriod, 40, 15);
    EXPECT_NEAR(slowPeriod, 150, 40);
    EXPECT_GE(slow.front() - started, 120u);  // the first tick one period after the start
    // Destroying one leaves the other running on the same window.
    b.reset();
    EXPECT_EQ(TimerWindowUse::Window(), shared);
    const size_t slowTicks = slow.size(), fastTicks = fast.size();
    Pump(300);
    EXPECT_EQ(slow.size(), slowTicks);
    EXPECT_GT(fast.size(), fastTicks + 3);
  }
  // The last timer took the window and, with no other window of the
  // program left, its class.
  EXPECT_FALSE(IsWindow(shared));
  EXPECT_EQ(TimerWindowUse::Window(), nullptr);
  EXPECT_EQ(tav::ModuleWindowCount(), 0u);
  EXPECT_FALSE(UtilityClassRegistered());
}

TEST_F(Components, TimerStopsPausesAndResumes) {
  int ticks = 0;
  TSimpleTimer t(0, [&](TSimpleTimer* sender) {
    EXPECT_EQ(sender, &t);
    ++ticks;
  });
  // No period: it cannot start.
  EXPECT_FALSE(t.Start());
  EXPECT_FALSE(t.Running());
  t.SetIntervalMs(50);
  EXPECT_FALSE(t.Running());  // an interval does not start it
  ASSERT_TRUE(t.Start());
  Pump(400);
  EXPECT_GE(ticks, 4);
  // Stopped: no ticks.
  t.Stop();
  EXPECT_FALSE(t.Running());
  int at = ticks;
  Pump(250);
  EXPECT_EQ(ticks, at);
  // Interval 0 pauses a running timer, which still counts as running; a new
  // interval resumes it.
  ASSERT_TRUE(t.Start());
  t.SetIntervalMs(0);
  EXPECT_TRUE(t.Running());
  at = ticks;
  Pump(250);
  EXPECT_EQ(ticks, at);
  t.SetIntervalMs(100);
  Pump(550);
  EXPECT_GE(ticks - at, 3);
  EXPECT_LE(ticks - at, 6);
  // SetRunning(false) stops it.
  t.SetRunning(false);
  at = ticks;
  Pump(250);
  EXPECT_EQ(ticks, at);
}

TEST_F(Components, LateTicksOfReleasedTimersAreIgnored) {
  int keeperTicks = 0, goneTicks = 0;
  TSimpleTimer keeper(1000, [&](TSimpleTimer*) { ++keeperTicks; });
  uint32_t goneId = 0;
  {
    TSimpleTimer gone(30, [&](TSimpleTimer*) { ++goneTicks; });
    goneId = gone.TimerId();
    ASSERT_TRUE(gone.Start());
    Pump(100);
    ASSERT_GT(goneTicks, 0);
    // a tick already queued when the timer goes
    PostMessageW(TimerWindowUse::Window(), WM_TIMER, goneId, 0);
  }
  const int at = goneTicks;
  PostMessageW(TimerWindowUse::Window(), WM_TIMER, 0x7FFF, 0);  // an id never handed out
  Pump(150);
  EXPECT_EQ(goneTicks, at);
  EXPECT_EQ(keeperTicks, 0);
  // A new timer does not take the released id over.
  TSimpleTimer next(1000, [&](TSimpleTimer*) { ++keeperTicks; });
  EXPECT_NE(next.TimerId(), goneId);
}

// --- the bitmap button ------------------------------------------------------

constexpr tav::TColor kFormColor = 0x604020;
constexpr tav::TColor kNormal = 0x0000C0, kHot = 0x00C000, kPressed = 0xC00000, kKey = 0xFF00FF;

class ButtonForm : public tav::TForm {
 public:
  TBitButton button{this};
  ButtonForm() {
    SetBorderStyle(tav::bsNone);
    SetBounds(60, 60, 200, 100);
    SetColor(kFormColor);
    button.SetBounds(20, 30, 30, 20);
    SetCursorPos(700, 700);  // away from the button, whatever a test before left
  }
};

// A strip of three frames of 30 x 20 at (dx, dy), each one colour with a
// 6 x 6 square of the key colour in its top-left corner.
void MakeStrip(tav::TBitmap& b, int width, int dx = 0, int dy = 0) {
  b.SetSize(width, 20 + dy);
  tav::TCanvas& c = b.Canvas();
  c.Brush.SetColor(kKey);
  c.FillRect({0, 0, b.Width(), b.Height()});
  const tav::TColor frames[] = {kNormal, kHot, kPressed};
  for (int k = 0; k < 3; ++k) {
    c.Brush.SetColor(frames[k]);
    c.FillRect({dx + 30 * k, dy, dx + 30 * k + 30, dy + 20});
    c.Brush.SetColor(kKey);
    c.FillRect({dx + 30 * k, dy, dx + 30 * k + 6, dy + 6});
  }
}

tav::TColor ScreenPixel(HWND w, int x, int y) {
  tav::TBitmap shot;
  tav::test::GrabClient(w, shot);
  return shot.Pixels().ColorAt(x, y);
}

tav::TPoint OnScreen(HWND w, int x, int y) {
  POINT p{x, y};
  ClientToScreen(w, &p);
  return {p.x, p.y};
}

void PostMouse(HWND w, UINT msg, WPARAM keys, int x, int y) { PostMessageW(w, msg, keys, MAKELPARAM(x, y)); }

TEST_F(Components, ButtonPaintsTheFrameOfItsState) {
  ButtonForm f;
  tav::TBitmap strip;
  MakeStrip(strip, 90);
  f.button.SetBmp(strip);
  f.button.SetTransparentBmp(false);  // as every button of the enhancer's window
  std::vector<window::ButtonState> atClick;
  tav::TColor clickPixel = 0;
  f.button.OnClick = [&](tav::TObject*) {
    atClick.push_back(f.button.State());
    f.Repaint();
    clickPixel = ScreenPixel(f.Handle(), 35, 40);
  };
  f.Show();
  const tav::TPoint away = OnScreen(f.Handle(), 150, 80);
  SetCursorPos(away.X, away.Y);
  Pump(100);
  const HWND w = f.Handle();
  struct Case {
    const char* what;
    UINT msg;
    WPARAM keys;
    window::ButtonState state;
    tav::TColor frame;
  };
  const tav::TPoint over = OnScreen(f.Handle(), 35, 40);
  const Case cases[] = {
      {"away", 0, 0, window::ButtonState::normal, kNormal},
      {"entered", WM_MOUSEMOVE, 0, window::ButtonState::hot, kHot},
      {"pressed", WM_LBUTTONDOWN, MK_LBUTTON, window::ButtonState::pressed, kPressed},
      {"released", WM_LBUTTONUP, 0, window::ButtonState::hot, kHot},
      {"double click", WM_LBUTTONDBLCLK, MK_LBUTTON, window::ButtonState::hot, kHot},
      {"released again", WM_LBUTTONUP, 0, window::ButtonState::hot, kHot},
      {"left", WM_MOUSELEAVE, 0, window::ButtonState::normal, kNormal},
  };
  for (const Case& c : cases) {
    if (c.msg == WM_MOUSEMOVE) SetCursorPos(over.X, over.Y);
    if (c.msg == WM_MOUSELEAVE) SetCursorPos(away.X, away.Y);
    if (c.msg) PostMouse(w, c.msg, c.keys, 35, 40);
    Pump(60);

    EXPECT_EQ(f.button.State(), c.state) << c.what;
    // The opaque frame, its key-coloured corner too; the form around it.
    EXPECT_EQ(ScreenPixel(w, 40, 45), c.frame) << c.what;
    EXPECT_EQ(ScreenPixel(w, 22, 32), kKey) << c.what;
    EXPECT_EQ(ScreenPixel(w, 19, 30), kFormColor) << c.what;
    EXPECT_EQ(ScreenPixel(w, 50, 40), kFormColor) << c.what;
  }
  // One click (the double click's second press is none), run while the
  // pressed frame showed.
  ASSERT_EQ(atClick.size(), 1u);
  EXPECT_EQ(atClick[0], window::ButtonState::pressed);
  EXPECT_EQ(clickPixel, kPressed);
}

TEST_F(Components, PressedButtonLeftAndEnteredAgain) {
  ButtonForm f;
  tav::TBitmap strip;
  MakeStrip(strip, 90);
  f.button.SetBmp(strip);
  int clicks = 0;
  f.button.OnClick = [&](tav::TObject*) { ++clicks; };
  f.Show();
  const tav::TPoint over = OnScreen(f.Handle(), 35, 40);
  SetCursorPos(over.X, over.Y);
  Pump(100);
  const HWND w = f.Handle();
  struct Step {
    const char* what;
    UINT msg;
    WPARAM keys;
    int x;
    window::ButtonState state;
    tav::TColor frame;
  };
  const Step steps[] = {
      {"entered", WM_MOUSEMOVE, 0, 35, window::ButtonState::hot, kHot},
      {"pressed", WM_LBUTTONDOWN, MK_LBUTTON, 35, window::ButtonState::pressed, kPressed},
      {"left while pressed", WM_MOUSEMOVE, MK_LBUTTON, 90, window::ButtonState::normal, kNormal},
      {"back while pressed", WM_MOUSEMOVE, MK_LBUTTON, 40, window::ButtonState::hot, kHot},
      {"left again", WM_MOUSEMOVE, MK_LBUTTON, 90, window::ButtonState::normal, kNormal},
      {"released outside", WM_LBUTTONUP, 0, 90, window::ButtonState::hot, kHot},
  };
  for (const Step& st : steps) {
    PostMouse(w, st.msg, st.keys, st.x, 40);
    Pump(60);
    EXPECT_EQ(f.button.State(), st.state) << st.what;
    EXPECT_EQ(ScreenPixel(w, 40, 45), st.frame) << st.what;
  }
  EXPECT_EQ(clicks, 0);  // released away from the button
}

TEST_F(Components, TransparentButtonShowsWhatLiesBehindIt) {
  ButtonForm f;
  // A picture control of the same parent behind the button.
  auto* behind = f.Make<tav::TImage>();
  behind->SetBounds(10, 25, 60, 30);
  behind->Picture().SetSize(60, 30);
  behind->Picture().Canvas().Brush.SetColor(tav::clYellow);
  behind->Picture().Canvas().FillRect({0, 0, 60, 30});
  behind->PictureChanged();
  f.button.BringToFront();
  // The strip lies at (30, 5) of a larger picture whose (0, 0) holds the key
  // colour; it is only two frames wide, so the pressed frame is missing.
  tav::TBitmap strip;
  MakeStrip(strip, 90, 30, 5);
  tav::TBitmap cut;
  cut.SetSize(90, 25);
  cut.Canvas().CopyRect({0, 0, 90, 25}, strip.Canvas(), {0, 0, 90, 25});
  f.button.SetBmp(cut);
  f.button.SetBmpPosx(30);
  f.button.SetBmpPosy(5);
  f.Show();
  Pump(100);
  const HWND w = f.Handle();
  EXPECT_EQ(ScreenPixel(w, 40, 45), kNormal);
  EXPECT_EQ(ScreenPixel(w, 22, 32), tav::clYellow);  // the key colour shows the picture
  const tav::TPoint over = OnScreen(f.Handle(), 35, 40);
  SetCursorPos(over.X, over.Y);
  PostMouse(w, WM_MOUSEMOVE, 0, 35, 40);
  Pump(60);
  EXPECT_EQ(ScreenPixel(w, 40, 45), kHot);
  EXPECT_EQ(ScreenPixel(w, 22, 32), tav::clYellow);
  PostMouse(w, WM_LBUTTONDOWN, MK_LBUTTON, 35, 40);
  Pump(60);
  // the pressed frame lies outside the picture: the background shows
  EXPECT_EQ(ScreenPixel(w, 45, 45), tav::clYellow);
  PostMouse(w, WM_LBUTTONUP, 0, 35, 40);
  Pump(60);
  // Opaque: the key colour is drawn like any other.
  f.button.SetTransparentBmp(false);
  f.Repaint();
  Pump(60);
  EXPECT_EQ(ScreenPixel(w, 22, 32), kKey);
  // An empty strip shows only what is behind.
  f.button.SetBmp(tav::TBitmap());
  f.Repaint();
  Pump(60);
  EXPECT_EQ(ScreenPixel(w, 40, 45), tav::clYellow);
}


// --- the tray icon --------------------------------------------------------------

// Watches the shell calls and passes them on to the real shell.
class WatchedTray : public TCoolTrayIcon {
 public:
  using TCoolTrayIcon::TCoolTrayIcon;
  struct Call {
    DWORD message;
    TrayIconData data;
    bool ok;
  };
  std::vector<Call> calls;
  ~WatchedTray() override = default;

 protected:
  bool NotifyShell(DWORD message, TrayIconData& data) override {
    const bool ok = TCoolTrayIcon::NotifyShell(message, data);
    calls.push_back({message, data, ok});
    return ok;
  }
};

tav::TIcon SystemIcon() {
  tav::TIcon icon;
  icon.SetHandle(CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)));
  return icon;
}

// A callback of the shell as it would send it: the icon's id and what happened.
void PostTray(uint32_t id, UINT what) { PostMessageW(TCoolTrayIcon::TrayWindow(), 0x800, id, what); }

// The shell forgetting an icon (as when the taskbar is recreated).
bool ShellForgets(uint32_t id) {
  TrayIconData d{};
  d.cbSize = sizeof d;
  d.hWnd = TCoolTrayIcon::TrayWindow();
  d.uID = id;
  return Shell_NotifyIconA(NIM_DELETE, reinterpret_cast<NOTIFYICONDATAA*>(&d)) != FALSE;
}

TEST_F(Components, TrayIconTalksToTheShellWithThe488ByteRecord) {
  std::printf("TaskbarCreated registered as %#x\n", TCoolTrayIcon::TaskbarCreatedMessage());
  EXPECT_NE(TCoolTrayIcon::TaskbarCreatedMessage(), 0u);  // Wine's common controls are new enough
  HWND trayWindow = nullptr;
  {
    WatchedTray tray;
    trayWindow = TCoolTrayIcon::TrayWindow();
    ASSERT_NE(trayWindow, nullptr);
    EXPECT_FALSE(IsWindowVisible(trayWindow));
    EXPECT_GE(tray.IconId(), 1u);
    EXPECT_LT(tray.IconId(), 1000u);
    tray.calls.clear();
    tray.SetIcon(SystemIcon());
    tray.SetShowHint(false);  // the enhancer's: no tooltip
    tray.SetHint(L"Brindle Enhancer");
    tray.SetIconVisible(true);
    ASSERT_FALSE(tray.calls.empty());
    const auto& add = tray.calls.back();
    EXPECT_EQ(add.message, DWORD(NIM_ADD));
    // the 32-bit shell's record (the 64-bit build's has wider handles)
    const size_t recordSize = sizeof(void*) == 4 ? 488u : sizeof(TrayIconData);
    EXPECT_EQ(sizeof add.data, recordSize);
    EXPECT_EQ(add.data.cbSize, recordSize);
    EXPECT_EQ(add.data.hWnd, trayWindow);
    EXPECT_EQ(add.data.uID, tray.IconId());
    EXPECT_EQ(add.data.uFlags, 7u);
    EXPECT_EQ(add.data.uCallbackMessage, 0x800u);
    EXPECT_EQ(add.data.hIcon, tray.Icon().Handle());
    EXPECT_EQ(add.data.szTip[0], 0);
    EXPECT_EQ(add.data.uVersion, 0u);
    const bool shell = add.ok;
    std::printf("the shell %s the icon\n", shell ? "took" : "refused");
    RecordProperty("shell_took_icon", shell ? 1 : 0);
    // Against the real shell: modify finds the icon, a second add does not
    // add another, delete removes it and modify then finds nothing.
    const bool modified = tray.UpdateIcon();
    const bool addedAgain = tray.AddIcon();
    const bool deleted = tray.DeleteIcon();
    const bool modifiedGone = tray.UpdateIcon();
    std::printf("modify %d, second add %d, delete %d, modify after delete %d\n", modified, addedAgain, deleted,
                modifiedGone);
    if (shell) {
      EXPECT_TRUE(modified);
      EXPECT_FALSE(addedAgain);
      EXPECT_TRUE(deleted);
      EXPECT_FALSE(modifiedGone);
    }
    EXPECT_FALSE(tray.IconVisible());
    // A long hint shown: its first 127 bytes and a NUL.
    tray.SetShowHint(true);
    tray.SetHint(std::wstring(200, L'h'));
    const auto& tip = tray.calls.back().data.szTip;
    EXPECT_EQ(std::string(tip, 127), std::string(127, 'h'));
    EXPECT_EQ(tip[127], 0);
    tray.SetIconVisible(true);
  }
  // The last icon took its hidden window with it, and the timers' one.
  EXPECT_FALSE(IsWindow(trayWindow));
  EXPECT_EQ(TCoolTrayIcon::TrayWindow(), nullptr);
  EXPECT_EQ(TimerWindowUse::Window(), nullptr);
  EXPECT_EQ(tav::ModuleWindowCount(), 0u);
  EXPECT_FALSE(UtilityClassRegistered());
}

TEST_F(Components, InjectedCallbacksGiveClicksAndDoubleClicks) {
  WatchedTray tray;
  std::vector<std::string> seen;
  tray.OnClick = [&](tav::TObject* s) {
    EXPECT_EQ(s, &tray);
    seen.push_back("click");
  };
  tray.OnMouseDown = [&](tav::TObject*, tav::TMouseButton b, tav::TShiftState st, int, int) {
    seen.push_back(b == tav::mbLeft && (st & tav::ssLeft) ? "down" : "other down");
  };
  tray.OnMouseUp = [&](tav::TObject*, tav::TMouseButton, tav::TShiftState, int, int) { seen.push_back("up"); };
  tray.OnBalloonHintClick = [&](tav::TObject*) { seen.push_back("balloon"); };
  const uint32_t id = tray.IconId();
  auto run = [&](std::initializer_list<UINT> what, int ms) {
    seen.clear();
    for (UINT w : what) PostTray(id, w);
    Pump(ms);
    std::string all;
    for (auto& e : seen) all += (all.empty() ? "" : " ") + e;
    return all;
  };
  // With one, a click waits for the double-click time; a double click never
  // gives one.
  int dbl = 0;
  tray.OnDblClick = [&](tav::TObject*) {
    ++dbl;
    seen.push_back("double");
  };
  const int wait = int(GetDoubleClickTime());
  const DWORD pressed = GetTickCount();
  EXPECT_EQ(run({WM_LBUTTONDOWN, WM_LBUTTONUP}, 50), "down up");
  seen.clear();
  const long clickAfter = tav::test::PumpUntil([&] { return !seen.empty(); }, wait + 500);
  EXPECT_EQ(seen, std::vector<std::string>{"click"});
  const DWORD clicked = GetTickCount() - pressed;
  std::printf("deferred click %lu ms after the press (double-click time %d ms)\n", (unsigned long)clicked, wait);
  RecordProperty("deferred_click_ms", int(clicked));
  EXPECT_GE(clicked + 20, DWORD(wait));
  EXPECT_LT(clickAfter, wait + 500);
  EXPECT_EQ(run({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}, wait + 300), "down up double up");
  EXPECT_EQ(dbl, 1);
  tray.OnDblClick = nullptr;
  // Without a double-click handler a click comes at the release.
  EXPECT_EQ(run({WM_LBUTTONDOWN, WM_LBUTTONUP}, 50), "down click up");
  // The shell's double click: the second press is no button-down.
  EXPECT_EQ(run({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP}, 50), "down click up up");
  // Disabled: the mouse does nothing, a balloon still speaks.
  tray.SetEnabled(false);
  EXPECT_EQ(run({WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, 0x405}, 100), "balloon");
  tray.SetEnabled(true);
  // A late callback for an icon that is gone (the shared window lives on
  // with this one) finds nothing.
  uint32_t goneId = 0;
  {
    WatchedTray gone;
    goneId = gone.IconId();
    gone.OnClick = [&](tav::TObject*) { ADD_FAILURE() << "a click reached a destroyed icon"; };
  }
  seen.clear();
  PostTray(goneId, WM_LBUTTONDOWN);
  PostTray(goneId, WM_LBUTTONUP);
  PostTray(0xFFFF, WM_LBUTTONDOWN);
  Pump(100);
  EXPECT_TRUE(seen.empty());
}

TEST_F(Components, TaskbarRestartPutsTheVisibleIconsBack) {
  WatchedTray shown, hidden;
  shown.SetIcon(SystemIcon());
  hidden.SetIcon(SystemIcon());
  shown.SetIconVisible(true);
  const bool shell = shown.calls.back().ok;
  // The shell forgets the icons.
  if (shell) {
    EXPECT_TRUE(ShellForgets(shown.IconId()));
    EXPECT_FALSE(shown.UpdateIcon());
  }
  shown.calls.clear();
  hidden.calls.clear();
  // The restarted shell's broadcast reaches the hidden window.
  PostMessageW(HWND_BROADCAST, TCoolTrayIcon::TaskbarCreatedMessage(), 0, 0);
  tav::test::PumpUntil([&] { return !shown.calls.empty(); }, 2000);
  ASSERT_EQ(shown.calls.size(), 1u);
  EXPECT_EQ(shown.calls[0].message, DWORD(NIM_ADD));
  EXPECT_EQ(shown.calls[0].data.uID, shown.IconId());
  EXPECT_TRUE(hidden.calls.empty());
  if (shell) {
    EXPECT_TRUE(shown.calls[0].ok);
    EXPECT_TRUE(shown.UpdateIcon());  // the shell has it again
  }
}

HWND menuForeground, menuWindow;

void CALLBACK WhileTracking(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  menuForeground = GetForegroundWindow();
  menuWindow = FindWindowW(L"#32768", nullptr);
  PostMessageW(TCoolTrayIcon::TrayWindow(), WM_KEYDOWN, VK_DOWN, 0);
  PostMessageW(TCoolTrayIcon::TrayWindow(), WM_KEYDOWN, VK_RETURN, 0);
}

void CALLBACK EndTracking(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EndMenu();
}

TEST_F(Components, TrayMenuIsForegroundedThroughItsOwnerAndFollowedByNull) {
  WatchedTray tray;
  tav::TPopupMenu menu;
  bool nullQueued = false;
  int clicks = 0;
  menu.Items.Add(L"显示窗口", [&](tav::TObject*) {
    ++clicks;
    MSG m;
    nullQueued = PeekMessageW(&m, TCoolTrayIcon::TrayWindow(), 0, 0, PM_NOREMOVE) && m.message == WM_NULL;
  });
  tray.PopupMenu = &menu;
  std::vector<std::string> seen;
  tray.OnMouseDown = [&](tav::TObject*, tav::TMouseButton b, tav::TShiftState, int, int) {
    seen.push_back(b == tav::mbRight ? "right down" : "down");
  };
  tray.OnMouseUp = [&](tav::TObject*, tav::TMouseButton, tav::TShiftState, int, int) { seen.push_back("up"); };
  // While the menu tracks: who is in front, then the item chosen by keys.
  menuForeground = menuWindow = nullptr;
  const UINT_PTR timer = SetTimer(nullptr, 0, 300, &WhileTracking);
  ASSERT_NE(timer, 0u);
  const UINT_PTR rescue = SetTimer(nullptr, 0, 1500, &EndTracking);
  PostTray(tray.IconId(), WM_RBUTTONDOWN);
  PostTray(tray.IconId(), WM_RBUTTONUP);
  Pump(2000);
  KillTimer(nullptr, rescue);
  EXPECT_EQ(menuForeground, TCoolTrayIcon::TrayWindow());
  EXPECT_NE(menuWindow, nullptr);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(nullQueued);
  // The menu opened at the press: the release came after it closed.
  EXPECT_EQ(seen, (std::vector<std::string>{"right down", "up"}));
  EXPECT_EQ(menu.PopupComponent, &tray);
}

TEST_F(Components, OwnerComesToTheFrontAndMinimisesToTheTray) {
  tav::TForm owner;
  owner.SetBounds(300, 300, 200, 120);
  WatchedTray tray(&owner);
  tav::TForm other;
  other.SetBounds(10, 10, 100, 100);
  other.Show();
  Pump(100);
  owner.Show();
  Pump(100);
  EXPECT_EQ(GetForegroundWindow(), owner.Handle());
  // Minimising with a handler sends the owner to the tray instead.
  int handled = 0;
  tray.MinimizeToTray = true;
  tray.OnMinimizeToTray = [&](tav::TObject*) { ++handled; };
  EXPECT_EQ(SendMessageW(owner.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0), 1);
  Pump(50);
  EXPECT_EQ(handled, 1);
  EXPECT_FALSE(IsIconic(owner.Handle()));
  EXPECT_TRUE(tray.IconVisible());
  // Without one it minimises as ever.
  tray.OnMinimizeToTray = nullptr;
  SendMessageW(owner.Handle(), WM_SYSCOMMAND, SC_MINIMIZE, 0);
  Pump(100);
  EXPECT_TRUE(IsIconic(owner.Handle()));
}

// --- the knob -------------------------------------------------------------------

class KnobForm : public tav::TForm {
 public:
  TMyKnob2 knob{this};
  tav::TLabel label{this};
  KnobForm() {
    SetBorderStyle(tav::bsNone);
    SetBounds(80, 80, 160, 100);
    SetColor(kFormColor);
    knob.SetBounds(10, 10, 60, 50);  // made square: 60 x 60
    knob.SetText(L"dB");
    label.SetBounds(90, 40, 60, 16);
    tav::TFont white = label.Font();
    white.SetColor(tav::clWhite);
    label.SetFont(white);
    knob.SetPositionLabel(&label);
  }
};

TEST_F(Components, KnobTurnsByDragKeysAndWheel) {
  KnobForm f;
  EXPECT_EQ(f.knob.Width(), 60);
  EXPECT_EQ(f.knob.Height(), 60);
  int changes = 0;
  f.knob.OnChange = [&](tav::TObject*) { ++changes; };
  f.Show();
  Pump(100);
  const HWND k = f.knob.Handle();
  auto mouse = [&](UINT msg, WPARAM keys, int x, int y) {
    PostMouse(k, msg, keys, x, y);
    Pump(40);
  };
  // A press at 12 o'clock: the middle of the range, and the focus.
  mouse(WM_LBUTTONDOWN, MK_LBUTTON, 30, 4);
  EXPECT_EQ(f.knob.Position(), 50);
  EXPECT_TRUE(f.knob.Focused());
  EXPECT_EQ(f.label.Caption(), L"50 dB");
  struct Drag {
    int x, y, value;
  };
  // 3 o'clock, 9 o'clock, the dead zone left and right of the bottom.
  for (const Drag d : {Drag{56, 30, 80}, Drag{4, 30, 20}, Drag{25, 58, 0}, Drag{35, 58, 100}, Drag{56, 30, 80}}) {
    mouse(WM_MOUSEMOVE, MK_LBUTTON, d.x, d.y);
    EXPECT_EQ(f.knob.Position(), d.value) << d.x << "," << d.y;
  }
  mouse(WM_LBUTTONUP, 0, 56, 30);
  EXPECT_FALSE(f.knob.Model().Dragging());
  mouse(WM_MOUSEMOVE, 0, 4, 30);  // not dragging: nothing moves
  EXPECT_EQ(f.knob.Position(), 80);
  // Keys, in a table; a request equal to the one before is filtered.
  struct Key {
    WORD vk;
    int value;
  };
  for (const Key key : {Key{VK_RIGHT, 81}, Key{VK_UP, 82}, Key{VK_PRIOR, 92}, Key{VK_PRIOR, 100}, Key{VK_NEXT, 90},
                        Key{VK_LEFT, 89}, Key{VK_HOME, 0}, Key{VK_DOWN, 0}, Key{VK_END, 100}}) {
    PostMessageW(k, WM_KEYDOWN, key.vk, 1);
    Pump(30);
    EXPECT_EQ(f.knob.Position(), key.value) << key.vk;
  }
  EXPECT_EQ(SendMessageW(k, WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);
  // The wheel: 2 a notch either way.
  const tav::TPoint c = OnScreen(k, 30, 30);
  PostMessageW(k, WM_MOUSEWHEEL, MAKEWPARAM(0, -120), MAKELPARAM(c.X, c.Y));
  Pump(30);
  EXPECT_EQ(f.knob.Position(), 98);
  PostMessageW(k, WM_MOUSEWHEEL, MAKEWPARAM(0, 120), MAKELPARAM(c.X, c.Y));
  Pump(30);
  EXPECT_EQ(f.knob.Position(), 100);
  EXPECT_EQ(f.label.Caption(), L"100 dB");
  EXPECT_GT(changes, 15);
  // Square on every size change.
  f.knob.SetBounds(10, 10, 60, 30);
  EXPECT_EQ(f.knob.Width(), 30);
  EXPECT_EQ(f.knob.Height(), 30);
}

TEST_F(Components, KnobPaintsFaceRimAndPointer) {
  KnobForm f;
  f.knob.SetLight(tav::clYellow);
  f.knob.SetShadow(tav::clGray);
  f.knob.SetLineColor(tav::clRed);
  f.Show();
  Pump(100);
  const HWND k = f.knob.Handle();
  for (const int position : {50, 0, 100, 27}) {
    f.knob.SetPosition(position);
    Pump(40);
    tav::TBitmap shot;
    tav::test::GrabClient(k, shot);
    const auto px = shot.Pixels();
    EXPECT_EQ(px.ColorAt(0, 0), tav::clBlack) << position;    // the corners
    EXPECT_EQ(px.ColorAt(59, 59), tav::clBlack) << position;
    // The pointer: red at the middle of its line, and the model's ends.
    window::Point from, to;
    f.knob.Model().PointerLine(from, to);
    const int mx = (from.x + to.x) / 2, my = (from.y + to.y) / 2;
    EXPECT_EQ(px.ColorAt(mx, my), tav::clRed) << position;
    // The face is white away from the pointer: opposite the pointer's middle.
    EXPECT_EQ(px.ColorAt(60 - mx, 60 - my), tav::clWhite) << position;
    // The rim: light on the upper left, shadow on the lower right.
    int light = 0, shadow = 0;
    for (int d = -2; d <= 2; ++d) {
      light += px.ColorAt(10 + d, 10 + d) == tav::clYellow;
      shadow += px.ColorAt(50 + d, 50 + d) == tav::clGray;
    }
    EXPECT_GT(light, 0) << position;
    EXPECT_GT(shadow, 0) << position;
  }
  f.knob.SetPosition(70);
  Pump(40);
  f.Repaint();
  Pump(40);
  EXPECT_FALSE(tav::test::SaveScreenshot(f.Handle(), L"enhancer_knob").empty());
}

}  // namespace
}  // namespace brindle
