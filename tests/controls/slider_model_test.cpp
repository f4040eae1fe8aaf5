#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "controls/slider_model.h"

namespace tav::slider {
namespace {

// Records what the model asks of its window.
struct RecordingHost : SliderHost {
  std::vector<std::string> calls;
  int changes = 0;
  void Change() override { ++changes; }
  void StartTracking() override { calls.push_back("start-tracking"); }
  void StopTracking() override { calls.push_back("stop-tracking"); }
  void TakeFocus() override { calls.push_back("focus"); }
  void CaptureMouse() override { calls.push_back("capture"); }
  void ReleaseMouse() override { calls.push_back("release"); }
  void StartTimer(int id, int ms) override { calls.push_back("timer " + std::to_string(id) + " " + std::to_string(ms)); }
  void StopTimer(int id) override { calls.push_back("kill " + std::to_string(id)); }
  void PassMouseMove(unsigned, int x, int y) override { calls.push_back("move " + std::to_string(x) + "," + std::to_string(y)); }
};

// The default pictures' sizes: thumbs of two states 11 x 18 (horizontal) and
// 18 x 11 (vertical), rulers 20 x 6 and 6 x 20.
template <class Build>
struct Fixture {
  RecordingHost host;
  SliderModel<Build> model{host};
  explicit Fixture(Size client = {140, 40}, TSliderOrientation o = soHorizontal) {
    model.SetClientSize(client);
    model.SetImage(kHThumb, {22, 18}, false);
    model.SetImage(kHRuler, {20, 6}, false);
    model.SetImage(kVThumb, {36, 11}, false);
    model.SetImage(kVRuler, {6, 20}, false);
    model.EndConstruction();
    if (o != soHorizontal) model.SetOrientation(o);
    host.changes = 0;
    host.calls.clear();
  }
};

template <class Build>
class SliderBothBuilds : public ::testing::Test {};
using Builds = ::testing::Types<PlayerSliderBuild, EnhancerSliderBuild>;
TYPED_TEST_SUITE(SliderBothBuilds, Builds);

TYPED_TEST(SliderBothBuilds, NewSliderDefaultsAndLayout) {
  Fixture<TypeParam> f;
  auto& m = f.model;
  EXPECT_EQ(m.Min(), 0);
  EXPECT_EQ(m.Max(), 100);
  EXPECT_EQ(m.Increment(), 10);
  EXPECT_EQ(m.Value(), 0);
  EXPECT_EQ(m.Options(), kAllSliderOptions);
  EXPECT_EQ(m.EdgeSize(), 2);
  EXPECT_EQ(m.NumThumbStates(), 2);
  EXPECT_EQ(m.UserImageBits(), 0);
  // The ruler is thinner than the thumb: thumb at the top, ruler centred on it.
  EXPECT_EQ(m.ThumbRect(), (TRect{0, 0, 11, 18}));
  EXPECT_EQ(m.RulerOrigin(), (TPoint{0, 6}));
  EXPECT_EQ(m.RulerSize(), (Size{140, 6}));
  EXPECT_EQ(m.TickArea(), (TRect{0, 19, 140, 39}));
  EXPECT_EQ(m.TrackLength(), 129);
}

TYPED_TEST(SliderBothBuilds, RefusedValuesChangeNothing) {
  Fixture<TypeParam> f;
  auto& m = f.model;
  m.SetMin(95);        // above MaxValue - Increment
  m.SetMax(5);         // below MinValue + Increment
  m.SetIncrement(0);
  m.SetIncrement(-1);
  m.SetEdgeSize(10);   // 2 x 10 is not below the ruler image's 20
  m.SetNumThumbStates(3);
  EXPECT_EQ(m.Min(), 0);
  EXPECT_EQ(m.Max(), 100);
  EXPECT_EQ(m.Increment(), 10);
  EXPECT_EQ(m.EdgeSize(), 2);
  EXPECT_EQ(m.NumThumbStates(), 2);
  m.SetMin(90);
  m.SetMax(10 + 90);
  EXPECT_EQ(m.Min(), 90);
  // Accepting a new minimum neither clamps nor re-places the value.
  EXPECT_EQ(m.Value(), 0);
}

TYPED_TEST(SliderBothBuilds, SnappingPlacesThumbOnTheGridButKeepsValue) {
  Fixture<TypeParam> f;
  auto& m = f.model;
  m.SetOptions(soShowFocus | soShowPoints);
  m.SetValue(45);
  EXPECT_EQ(m.Value(), 45);
  EXPECT_EQ(m.ThumbRect().Left, m.PosFromValue(40));
  EXPECT_EQ(m.PosFromValue(40), 52);  // 129 x 40 / 100 = 51.6
  m.SetOptions(kAllSliderOptions);
  m.SetValue(45);
  EXPECT_EQ(m.ThumbRect().Left, 58);  // 58.05
}

TYPED_TEST(SliderBothBuilds, MappingRoundsHalvesToEven) {
  // Track of 5 pixels over 0..10: value v lies at 0.5 v.
  Fixture<TypeParam> f({16, 40});
  auto& m = f.model;
  m.SetIncrement(1);
  m.SetMax(10);
  ASSERT_EQ(m.TrackLength(), 5);
  const int expected[] = {0, 0, 1, 2, 2, 2, 3, 4, 4, 4, 5};  // 0.5 -> 0, 1.5 -> 2, 2.5 -> 2 ...
  for (int v = 0; v <= 10; ++v) EXPECT_EQ(m.PosFromValue(v), expected[v]) << v;
  // Back: p x 10 / 5 is exact; the grid counts from MinValue.
  m.SetOptions(soShowPoints);
  m.SetIncrement(3);
  m.SetMin(1);
  EXPECT_EQ(m.ValueFromPos(2), 1 + 3 * (4 / 3));
}

TYPED_TEST(SliderBothBuilds, VerticalValuesGrowUpwards) {
  Fixture<TypeParam> f({40, 140}, soVertical);
  auto& m = f.model;
  m.SetValue(0);
  EXPECT_EQ(m.ThumbRect(), (TRect{0, 129, 18, 140}));  // at the bottom
  m.SetValue(100);
  EXPECT_EQ(m.ThumbRect().Top, 0);
  EXPECT_EQ(m.ValueFromPos(129), 0);
  EXPECT_EQ(m.ValueFromPos(0), 100);
}

TYPED_TEST(SliderBothBuilds, KeysAndStepsCountTheGridFromZero) {
  Fixture<TypeParam> f;
  auto& m = f.model;
  struct Case {
    int from, key;
    bool noModifiers;
    bool consumed;
    int to;
  } cases[] = {
      {45, kKeyRight, true, true, 50},  {45, kKeyLeft, true, true, 30},
      {-5, kKeyRight, true, true, 10},  {-5, kKeyLeft, true, true, -10},
      {45, kKeyHome, true, true, -20},  {45, kKeyEnd, true, true, 100},
      {45, kKeyHome, false, false, 45}, {45, kKeyEnd, false, false, 45},
      {45, kKeyRight, false, false, 45}, {45, kKeyUp, true, false, 45},
      {45, kKeyDown, true, false, 45},  {45, 'A', true, false, 45},
      {100, kKeyRight, true, true, 100},
  };
  m.SetMin(-20);
  for (const auto& c : cases) {
    m.SetValue(c.from);
    ASSERT_EQ(m.Value(), c.from);
    EXPECT_EQ(m.HandleKey(c.key, c.noModifiers), c.consumed) << c.from << " key " << c.key;
    EXPECT_EQ(m.Value(), c.to) << c.from << " key " << c.key;
  }
}

TYPED_TEST(SliderBothBuilds, VerticalArrowKeys) {
  Fixture<TypeParam> f({40, 140}, soVertical);
  auto& m = f.model;
  m.SetValue(50);
  EXPECT_FALSE(m.HandleKey(kKeyLeft, true));
  EXPECT_FALSE(m.HandleKey(kKeyRight, true));
  EXPECT_EQ(m.Value(), 50);
  EXPECT_TRUE(m.HandleKey(kKeyUp, true));
  EXPECT_EQ(m.Value(), 60);
  EXPECT_TRUE(m.HandleKey(kKeyDown, true));
  EXPECT_EQ(m.Value(), 50);
}

TYPED_TEST(SliderBothBuilds, RulerPressRepeatsUntilThumbPassesThePointer) {
  Fixture<TypeParam> f;
  auto& m = f.model;
  // Thumb at 0..11; press at x 40 (right of it).
  m.MouseDown(Button::Left, 40, 10);
  EXPECT_EQ(m.Value(), 10);  // the first step at once
  EXPECT_EQ(f.host.calls, (std::vector<std::string>{"focus", "capture", "timer 1 400"}));
  m.TimerFired();
  EXPECT_EQ(m.Value(), 20);
  m.TimerFired();
  EXPECT_EQ(m.Value(), 30);  // thumb left edge now 39: 40 lies inside it
  m.TimerFired();
  EXPECT_EQ(m.Value(), 30);  // paused, the timer keeps running
  EXPECT_TRUE(m.RepeatRunning());
  m.MouseMove(5, 10);  // to the left of the thumb: the other side, still paused
  m.TimerFired();
  EXPECT_EQ(m.Value(), 30);
  m.MouseMove(120, 10);  // back on the side where the press began: resumes
  m.TimerFired();
  EXPECT_EQ(m.Value(), 40);
  f.host.calls.clear();
  m.MouseUp();
  EXPECT_EQ(f.host.calls, (std::vector<std::string>{"kill 1", "release"}));
  m.TimerFired();
  m.MouseUp();  // a second release does nothing
  EXPECT_EQ(f.host.calls.size(), 2u);
  EXPECT_FALSE(m.RulerPressed());
}

TYPED_TEST(SliderBothBuilds, OtherButtonsOnTheRulerDoNothing) {
  Fixture<TypeParam> f;
  f.model.MouseDown(Button::Right, 40, 10);
  EXPECT_EQ(f.model.Value(), 0);
  EXPECT_TRUE(f.host.calls.empty());
}

TYPED_TEST(SliderBothBuilds, LostCaptureEndsRepeatAndTracking) {
  Fixture<TypeParam> f;
  auto& m = f.model;
  m.MouseDown(Button::Left, 100, 10);
  m.CaptureLost();
  EXPECT_FALSE(m.RulerPressed());
  EXPECT_FALSE(m.RepeatRunning());
  EXPECT_EQ(f.host.calls.back(), "kill 1");
  const int v = m.Value();
  m.MouseMove(130, 10);
  m.TimerFired();  // a timer message still queued steps no further
  EXPECT_EQ(m.Value(), v);

  m.ThumbMouseDown(Button::Left, 3, 3);
  ASSERT_TRUE(m.Tracking());
  f.host.calls.clear();
  m.ThumbCaptureLost();
  EXPECT_FALSE(m.Tracking());
  EXPECT_FALSE(m.ThumbPressed());
  EXPECT_EQ(f.host.calls, (std::vector<std::string>{"stop-tracking"}));
}

TYPED_TEST(SliderBothBuilds, ThumbDragFollowsThePointerAndRightClickIsNoDrag) {
  Fixture<TypeParam> f;
  auto& m = f.model;
  m.ThumbMouseDown(Button::Right, 5, 5);
  m.ThumbMouseUp(Button::Right);
  EXPECT_EQ(f.host.calls, (std::vector<std::string>{"focus"}));  // no tracking events
  m.ThumbMouseDown(Button::Left, 5, 5);
  EXPECT_TRUE(m.ThumbPressed());
  EXPECT_EQ(m.ThumbSourceRect(), (TRect{11, 0, 22, 18}));
  f.host.changes = 0;
  m.ThumbMouseMove(true, 0, 5 + 65, 5);  // pointer 65 px further: thumb left 65
  EXPECT_EQ(m.ThumbRect().Left, 65);
  EXPECT_EQ(m.Value(), 50);  // 65 x 100 / 129 = 50.4
  EXPECT_EQ(f.host.changes, 1);
  m.ThumbMouseMove(true, 0, 5 + 500, 5);  // far past the end: clamped
  EXPECT_EQ(m.Value(), 100);
  m.ThumbMouseUp(Button::Left);
  EXPECT_FALSE(m.Tracking());
  EXPECT_EQ(m.ThumbSourceRect(), (TRect{0, 0, 11, 18}));
}

TYPED_TEST(SliderBothBuilds, TicksWidenUntilGapsAreThreePixels) {
  Fixture<TypeParam> f({211, 40});  // track 200
  auto& m = f.model;
  m.SetMax(1000);
  ASSERT_EQ(m.TrackLength(), 200);
  EXPECT_EQ(m.TickMultiplier(10), 3);
  const auto ticks = m.Ticks(10, 3, 4);
  ASSERT_EQ(ticks.size(), 34u);
  EXPECT_EQ(ticks.front(), (Tick{0 + 5, 4}));
  EXPECT_EQ(ticks[1], (Tick{6 + 5, 3}));                 // 200 x 30 / 1000
  EXPECT_EQ(ticks.back(), (Tick{m.PosFromValue(990) + 5, 3}));  // 990 is the last and short
  // A range that is a multiple of the spacing ends with a long tick at MaxValue.
  m.SetMax(960);  // k = 2: 49 ticks, gap 3
  EXPECT_EQ(m.TickMultiplier(10), 2);
  EXPECT_EQ(m.Ticks(10, 3, 4).back(), (Tick{200 + 5, 4}));
}

TYPED_TEST(SliderBothBuilds, RulerIsBuiltFromEdgesAndRepeatedMiddle) {
  Fixture<TypeParam> f({101, 40});
  EXPECT_EQ(f.model.RulerPieces(), (std::vector<RulerPiece>{
                                       {0, 18, 0, 18},
                                       {2, 18, 18, 34},
                                       {2, 18, 34, 50},
                                       {2, 18, 50, 66},
                                       {2, 18, 66, 82},
                                       {2, 18, 82, 98},
                                       {17, 20, 98, 101},
                                   }));
  // Shorter than the source: the first piece only, no end edge.
  f.model.Resized({10, 40});
  EXPECT_EQ(f.model.RulerPieces(), (std::vector<RulerPiece>{{0, 18, 0, 18}}));
  // b < 0 (edge 9 leaves a middle of 2): nothing.
  f.model.SetEdgeSize(9);
  f.model.Resized({2, 40});
  EXPECT_TRUE(f.model.RulerPieces().empty());
}

TEST(SliderPlayerBuild, ChangeOnlyOnAChangeAndWrapsOnOverflow) {
  Fixture<PlayerSliderBuild> f;
  f.model.SetValue(150);
  EXPECT_EQ(f.model.Value(), 100);
  EXPECT_EQ(f.host.changes, 1);
  f.model.SetValue(100);
  f.model.Resized({150, 40});
  f.model.SetIncrement(5);
  EXPECT_EQ(f.host.changes, 1);
  // Step beyond the 32-bit range wraps and is clamped by the setter.
  f.model.SetMax(INT32_MAX);
  f.model.SetIncrement(INT32_MAX / 2 + 1);
  f.model.SetValue(INT32_MAX);
  EXPECT_NO_THROW(f.model.Step(kStepUp));
  EXPECT_EQ(f.model.Value(), 0);  // wrapped to a negative number, clamped to MinValue
  f.model.ThumbMouseMove(false, 0, 3, 4);
  EXPECT_TRUE(f.host.calls.empty());  // thumb moves are not passed on
}

TEST(SliderEnhancerBuild, ChangeOnEveryAssignmentAndLayout) {
  Fixture<EnhancerSliderBuild> f;
  f.model.SetValue(150);
  f.model.SetValue(100);
  EXPECT_EQ(f.host.changes, 2);
  f.model.Resized({150, 40});
  EXPECT_EQ(f.host.changes, 3);
  f.model.SetIncrement(5);
  EXPECT_EQ(f.host.changes, 4);
  f.model.SetIncrement(5);  // refused: no assignment
  EXPECT_EQ(f.host.changes, 4);
}

TEST(SliderEnhancerBuild, PassesThumbMovesAndRaisesOnOverflow) {
  Fixture<EnhancerSliderBuild> f;
  f.model.ThumbMouseMove(false, 0, 3, 4);
  EXPECT_EQ(f.host.calls, (std::vector<std::string>{"move 3,4"}));
  f.model.SetMax(INT32_MAX);
  f.model.SetIncrement(INT32_MAX / 2 + 1);
  EXPECT_THROW(f.model.SetValue(INT32_MAX), std::overflow_error);  // 129 x (value - 0)
}

}  // namespace
}  // namespace tav::slider
