// The enhancer window's components on the window system, in-process: the
// simple timer on its shared hidden window, the bitmap button's frames read
// back from the screen, the tray icon against the shell and with the shell's
// callback messages injected, and the knob turned by mouse, keys and wheel.
#include <gtest/gtest.h>

#include <windows.h>

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
#include "win32/simple_timer_window.h"

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

}  // namespace
}  // namespace brindle
