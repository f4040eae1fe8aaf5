// The slider on a real window system: keys, the ruler's repeat, dragging the
// thumb, a lost capture, and pixels read from the screen against the model.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "controls/win32/slider.h"
#include "gui_test_support.h"

namespace tav {
namespace {

using test::Pump;
using test::PumpUntil;

class SliderForm : public TForm {
 public:
  TSlider h{this};
  TSlider v{this};
  TForm* other = nullptr;
  SliderForm() {
    SetBorderStyle(bsNone);
    SetBounds(40, 40, 400, 260);
    SetColor(RGBColor(40, 90, 160));
    h.SetBounds(10, 10, 200, 40);
    v.SetOrientation(soVertical);
    v.SetBounds(240, 10, 40, 200);
  }
};

class SliderWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    Application().OnException = [](const std::wstring& m) { ADD_FAILURE() << Narrow(m); };
    f.Show();
    Pump(50);
  }
  void TearDown() override { Application().OnException = nullptr; }
  SliderForm f;
};

void PostMouse(HWND w, UINT msg, WPARAM keys, int x, int y) { PostMessageW(w, msg, keys, MAKELPARAM(x, y)); }

TEST_F(SliderWindow, KeysStepTheValue) {
  int changes = 0;
  f.h.OnChange = [&](TObject*) { ++changes; };
  f.h.SetFocus();
  Pump(20);
  PostMessageW(f.h.Handle(), WM_KEYDOWN, VK_RIGHT, 1);
  Pump(50);
  EXPECT_EQ(f.h.Value(), 10);
  EXPECT_EQ(changes, 1);
  PostMessageW(f.h.Handle(), WM_KEYDOWN, VK_END, 1);
  PostMessageW(f.h.Handle(), WM_KEYDOWN, VK_LEFT, 1);
  Pump(50);
  EXPECT_EQ(f.h.Value(), 90);
  // Up and Down belong to the vertical slider; Left does nothing there.
  PostMessageW(f.h.Handle(), WM_KEYDOWN, VK_UP, 1);
  f.v.SetFocus();
  Pump(20);
  PostMessageW(f.v.Handle(), WM_KEYDOWN, VK_UP, 1);
  PostMessageW(f.v.Handle(), WM_KEYDOWN, VK_LEFT, 1);
  Pump(50);
  EXPECT_EQ(f.h.Value(), 90);
  EXPECT_EQ(f.v.Value(), 10);
  EXPECT_TRUE(f.v.SliderFocused());
  EXPECT_FALSE(f.h.SliderFocused());
  EXPECT_EQ(SendMessageW(f.h.Handle(), WM_GETDLGCODE, 0, 0), DLGC_WANTARROWS);
}

TEST_F(SliderWindow, RulerPressRepeatsEvery400msUntilTheThumbPassesThePoint) {
  std::vector<std::pair<int32_t, DWORD>> steps;
  f.h.OnChange = [&](TObject*) { steps.push_back({f.h.Value(), GetTickCount()}); };
  // Track 200 - 11 = 189 pixels; the thumb covers x = 57..68 at value 30.
  // The real pointer stands where the press is, so any move the system makes
  // up agrees with it.
  const TPoint at = f.h.ClientToScreen({60, 5});
  SetCursorPos(at.X, at.Y);
  Pump(30);
  const DWORD pressed = GetTickCount();
  PostMouse(f.h.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, 60, 5);
  Pump(1700);
  ASSERT_EQ(steps.size(), 3u);
  EXPECT_EQ(steps[0].first, 10);
  EXPECT_EQ(steps[1].first, 20);
  EXPECT_EQ(steps[2].first, 30);
  EXPECT_LT(steps[0].second - pressed, 200u);  // at once
  RecordProperty("first_step_ms", static_cast<int>(steps[0].second - pressed));
  for (int i = 1; i < 3; ++i) {
    const DWORD gap = steps[i].second - steps[i - 1].second;
    RecordProperty("gap" + std::to_string(i) + "_ms", static_cast<int>(gap));
    std::printf("repeat step %d after %lu ms\n", i, static_cast<unsigned long>(gap));
    EXPECT_GE(gap, 350u) << i;
    EXPECT_LE(gap, 800u) << i;
  }
  // Stepping pauses with the thumb under the pointer; the timer still runs.
  EXPECT_TRUE(f.h.Model().RulerPressed());
  EXPECT_TRUE(f.h.Model().RepeatRunning());
  EXPECT_EQ(GetCapture(), f.h.Handle());
  PostMouse(f.h.Handle(), WM_LBUTTONUP, 0, 60, 5);
  Pump(500);
  EXPECT_FALSE(f.h.Model().RulerPressed());
  EXPECT_FALSE(f.h.Model().RepeatRunning());
  EXPECT_EQ(f.h.Value(), 30);
  EXPECT_NE(GetCapture(), f.h.Handle());
}

TEST_F(SliderWindow, LostCaptureEndsThePressAndTheDrag) {
  TForm thief;
  thief.Show();
  PostMouse(f.h.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, 190, 5);
  Pump(50);
  ASSERT_TRUE(f.h.Model().RepeatRunning());
  SetCapture(thief.Handle());
  Pump(20);
  EXPECT_FALSE(f.h.Model().RulerPressed());
  EXPECT_FALSE(f.h.Model().RepeatRunning());
  const int32_t after = f.h.Value();
  Pump(900);
  EXPECT_EQ(f.h.Value(), after);  // no more steps
  ReleaseCapture();

  std::vector<std::string> log;
  f.h.OnStartTracking = [&](TObject*) { log.push_back("start"); };
  f.h.OnStopTracking = [&](TObject*) { log.push_back("stop"); };
  PostMouse(f.h.Thumb().Handle(), WM_LBUTTONDOWN, MK_LBUTTON, 3, 3);
  Pump(30);
  EXPECT_TRUE(f.h.Model().Tracking());
  SetCapture(thief.Handle());
  Pump(20);
  EXPECT_FALSE(f.h.Model().Tracking());
  EXPECT_FALSE(f.h.Model().ThumbPressed());
  EXPECT_EQ(log, (std::vector<std::string>{"start", "stop"}));
  ReleaseCapture();
}

TEST_F(SliderWindow, DraggingTheThumbAndRightClicks) {
  f.h.SetValue(20);
  std::vector<std::string> log;
  f.h.OnChange = [&](TObject*) { log.push_back("change " + std::to_string(f.h.Value())); };
  f.h.OnStartTracking = [&](TObject*) { log.push_back("start"); };
  f.h.OnStopTracking = [&](TObject*) { log.push_back("stop"); };
  HWND thumb = f.h.Thumb().Handle();
  // A right press on the thumb neither seeks nor drags.
  PostMouse(thumb, WM_RBUTTONDOWN, MK_RBUTTON, 3, 3);
  PostMouse(thumb, WM_MOUSEMOVE, MK_RBUTTON, 60, 3);
  PostMouse(thumb, WM_RBUTTONUP, 0, 60, 3);
  Pump(50);
  EXPECT_TRUE(log.empty());
  EXPECT_EQ(f.h.Value(), 20);
  // Left drag by 38 pixels: from 38 (value 20) to 76 -> value round(76 * 100 / 189) = 40.
  const TRect before = f.h.Model().ThumbRect();
  EXPECT_EQ(before.Left, 38);
  PostMouse(thumb, WM_LBUTTONDOWN, MK_LBUTTON, 3, 3);
  PostMouse(thumb, WM_MOUSEMOVE, MK_LBUTTON, 41, 3);
  PostMouse(thumb, WM_LBUTTONUP, 0, 41, 3);
  Pump(80);
  EXPECT_EQ(f.h.Value(), 40);
  EXPECT_EQ(log, (std::vector<std::string>{"start", "change 40", "stop"}));
  RECT r;
  GetWindowRect(thumb, &r);
  MapWindowPoints(nullptr, f.h.Handle(), reinterpret_cast<POINT*>(&r), 2);
  EXPECT_EQ(r.left, 76);
}

// What the slider should look like, from the model and its pictures.
void ExpectedPicture(TSlider& s, TColor back, PixelImage& out) {
  const auto& m = s.Model();
  out = PixelImage(s.Width(), s.Height(), back);
  const bool horizontal = m.Orientation() == soHorizontal;
  const TBitmap& ruler = s.GetImage(m.RulerImageIndex());
  PixelImage built(m.RulerSize().Width, m.RulerSize().Height, slider::kKeyColor);
  for (const auto& p : m.RulerPieces()) {
    const TRect src = horizontal ? TRect{p.SourceStart, 0, p.SourceEnd, ruler.Height()}
                                 : TRect{0, p.SourceStart, ruler.Width(), p.SourceEnd};
    CopyRect(ruler.Pixels(), src, built.View(), horizontal ? p.TargetStart : 0, horizontal ? 0 : p.TargetStart);
  }
  DrawTransparent(built.View(), {}, out.View(), m.RulerOrigin().X, m.RulerOrigin().Y, slider::kKeyColor);
  for (const auto& t : m.Ticks(m.Increment(), 3, 4)) {
    for (int i = 0; i < t.Length; ++i) {
      if (horizontal)
        out.View().SetColor(t.Position, m.TickArea().Top + i, clBlack);
      else
        out.View().SetColor(m.TickArea().Left + i, t.Position, clBlack);
    }
  }
  // The thumb is a window of the slider's colour over the ruler.
  const TRect th = m.ThumbRect();
  FillRect(out.View(), th, back);
  DrawTransparent(s.GetImage(m.ThumbImageIndex()).Pixels(), m.ThumbSourceRect(), out.View(), th.Left, th.Top,
                  slider::kKeyColor);
}

TEST_F(SliderWindow, PixelsMatchTheModel) {
  f.h.SetValue(40);
  f.v.SetValue(70);
  f.h.SetOptions(soShowPoints | soSmooth);  // no focus rectangle to compare
  f.v.SetOptions(soShowPoints | soSmooth);
  f.Repaint();
  Pump(100);
  TBitmap shot;
  test::GrabClient(f.Handle(), shot);
  for (TSlider* s : {&f.h, &f.v}) {
    PixelImage want;
    ExpectedPicture(*s, f.Color(), want);
    int wrong = 0;
    std::string first;
    for (int y = 0; y < s->Height(); ++y)
      for (int x = 0; x < s->Width(); ++x) {
        const TColor got = shot.Pixels().ColorAt(s->Left() + x, s->Top() + y);
        if (got != want.View().ColorAt(x, y)) {
          if (!wrong) first = std::to_string(x) + "," + std::to_string(y);
          ++wrong;
        }
      }
    EXPECT_EQ(wrong, 0) << "first at " << first;
  }
  // The default pictures keep their sizes: thumb 11 x 12 in two states.
  EXPECT_EQ(f.h.GetImage(0).Width(), 22);
  EXPECT_EQ(f.h.Model().ThumbRect().Width(), 11);
  // The thumb of a value at the minimum of a vertical slider is at the bottom.
  f.v.SetValue(0);
  EXPECT_EQ(f.v.Model().ThumbRect().Bottom, f.v.Height());
}

TEST_F(SliderWindow, HiddenThumbOwnTicksAndUserPictures) {
  f.h.SetThumbVisible(false);
  EXPECT_FALSE(IsWindowVisible(f.h.Thumb().Handle()));
  f.h.SetThumbVisible(true);
  EXPECT_TRUE(IsWindowVisible(f.h.Thumb().Handle()));
  int drawn = 0;
  f.h.OnDrawPoints = [&](TObject*) {
    ++drawn;
    f.h.DrawPoints(50, 6, 6);
  };
  f.h.Repaint();
  Pump(50);
  EXPECT_GE(drawn, 1);
  // A picture of the user's: a 30 x 8 thumb of two states.
  TBitmap thumb(30, 8);
  FillRect(thumb.Pixels(), {0, 0, 30, 8}, clRed);
  f.h.SetImage(0, &thumb);
  EXPECT_EQ(f.h.UserImageBits(), 1);
  EXPECT_EQ(f.h.Model().ThumbRect().Width(), 15);
  RECT r;
  GetClientRect(f.h.Thumb().Handle(), &r);
  EXPECT_EQ(r.right, 15);
  f.h.SetImage(0, nullptr);
  EXPECT_EQ(f.h.UserImageBits(), 0);
  EXPECT_EQ(f.h.Model().ThumbRect().Width(), 11);
}

TEST(EnhancerSliderWindow, ChangesOnEveryAssignmentAndPassesThumbMoves) {
  TForm form;
  enhancer::TSlider s(&form);
  s.SetBounds(0, 0, 200, 40);
  form.Show();
  int changes = 0;
  std::vector<std::pair<int, int>> moves;
  s.OnChange = [&](TObject*) { ++changes; };
  s.OnMouseMove = [&](TObject*, TShiftState, int x, int y) { moves.push_back({x, y}); };
  s.SetPosition(50);
  s.SetPosition(50);
  EXPECT_EQ(changes, 2);
  PostMouse(s.Thumb().Handle(), WM_MOUSEMOVE, 0, 4, 6);
  Pump(50);
  // thumb coordinates, unconverted (the X pointer may add moves of its own
  // when a window of another test appears under it)
  EXPECT_NE(std::find(moves.begin(), moves.end(), std::make_pair(4, 6)), moves.end());
  EXPECT_EQ(s.Position(), 50);
}

}  // namespace
}  // namespace tav
