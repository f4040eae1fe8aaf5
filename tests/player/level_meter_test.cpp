// The level meter's colour bar, its peak-hold line and the composed frame.
#include "player/core/level_meter.h"

#include "player/core/shown_value.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

namespace tav::player {
namespace {

TEST(LevelGradient, ShadesFromRedThroughYellowToGreen) {
  const auto rows = LevelGradientRows(114, 556, 768);
  ASSERT_EQ(rows.size(), 114u);
  struct Row {
    int index;
    int r, g;
  };
  for (const Row& row : std::vector<Row>{{0, 255, 6}, {41, 255, 252}, {42, 255, 255}, {57, 255, 255},
                                         {58, 251, 255}, {113, 31, 255}}) {
    SCOPED_TRACE(row.index);
    EXPECT_EQ(rows[size_t(row.index)], RGBColor(uint8_t(row.r), uint8_t(row.g), 0));
  }
}

TEST(LevelGradient, ClampsRedAtZeroOnSteepFalls) {
  const auto rows = LevelGradientRows(10, 2000, 768);
  EXPECT_EQ(rows.back(), RGBColor(0, 255, 0));
}

// The heights at which the hold line is drawn in the frames after a peak of
// 100, with level 0 from then on.
std::vector<int> LinesAfterPeak(bool idle, int frames) {
  LevelHold hold;
  EXPECT_EQ(hold.Step(100, idle), 0);  // the peak frame draws no line
  std::vector<int> lines;
  for (int i = 0; i < frames; ++i) lines.push_back(hold.Step(0, idle));
  return lines;
}

TEST(LevelHold, FallsFastWhilePlaying) {
  std::vector<int> expected(16, 100);
  for (int v : {85, 69, 52, 34, 15, 0, 0}) expected.push_back(v);
  EXPECT_EQ(LinesAfterPeak(false, int(expected.size())), expected);
}

TEST(LevelHold, FallsSlowlyWhilePausedOrStopped) {
  std::vector<int> expected(20, 100);
  for (int v : {99, 98, 97, 95, 93, 91, 88, 85, 82}) expected.push_back(v);
  EXPECT_EQ(LinesAfterPeak(true, int(expected.size())), expected);
}

TEST(LevelHold, ANewPeakPushesTheLineUpAgain) {
  LevelHold hold;
  hold.Step(50, false);
  for (int i = 0; i < 17; ++i) hold.Step(0, false);
  EXPECT_EQ(hold.Step(60, false), 0);
  EXPECT_EQ(hold.HoldLevel, 60);
  EXPECT_EQ(hold.HoldTicks, 0);
  EXPECT_EQ(hold.Step(10, false), 60);
}

TEST(ShownValue, ChangesOnlyWhenTheValueDiffersFromTheOneShown) {
  TShownValue<std::wstring> shown;
  EXPECT_TRUE(shown.Changes(L"0:00:00.0"));  // nothing shown yet
  EXPECT_FALSE(shown.Changes(std::wstring_view(L"0:00:00.0")));
  EXPECT_TRUE(shown.Changes(L"0:00:00.1"));
  EXPECT_FALSE(shown.Changes(L"0:00:00.1"));
  shown.Forget();
  EXPECT_TRUE(shown.Changes(L"0:00:00.1"));
}

// The frames a meter paints, tick by tick: a frame is drawn when its bar or
// hold line moves and not while both stand still.
std::vector<bool> MeterPaints(const std::vector<int>& levels, bool idle) {
  LevelHold hold;
  TShownValue<LevelFrame> shown;
  std::vector<bool> painted;
  for (int level : levels) painted.push_back(shown.Changes(NextLevelFrame(level, 114, hold, idle)));
  return painted;
}

TEST(LevelFrame, AMeterPaintsWhenItsPictureChangesAndNotOtherwise) {
  // at rest: the first frame, then nothing
  EXPECT_EQ(MeterPaints({0, 0, 0, 0}, true), (std::vector<bool>{true, false, false, false}));
  // a steady level: the peak frame, the frame the hold line appears in, then
  // 15 still frames while the line is held, then the line falls frame by frame
  std::vector<int> steady(30, 50);
  std::vector<bool> painted = MeterPaints(steady, false);
  EXPECT_EQ(std::count(painted.begin(), painted.end(), true), 1);  // a level at its hold draws no line
  // a peak, then silence while playing: the line is held, falls, and then rests
  std::vector<int> peak{100};
  peak.resize(40, 0);
  painted = MeterPaints(peak, false);
  std::vector<bool> expected{true, true};              // the bar, then bar gone and line at 100
  expected.resize(17, false);                          // held at 100 (same picture)
  for (int i = 0; i < 6; ++i) expected.push_back(true);  // 85, 69, 52, 34, 15, gone
  expected.resize(40, false);
  EXPECT_EQ(painted, expected);
  // a level that stays but is cut to the meter's height draws once
  EXPECT_EQ(MeterPaints({200, 300, 114}, false), (std::vector<bool>{true, false, false}));
}

struct MeterFixture : ::testing::Test {
  PixelImage bar{18, 114};
  PixelImage back{19, 114};
  LevelHold hold;
  void SetUp() override { FillLevelGradient(bar.View(), LevelGradientRows(114, 556, 768)); }
  TColor At(int x, int y) const { return back.View().ColorAt(x, y); }
};

TEST_F(MeterFixture, LeftMeterFillsColumnsZeroToSeventeen) {
  ComposeLevelFrame(back.View(), bar.View(), 10, 0, 0, hold, false);
  EXPECT_EQ(At(0, 113), RGBColor(31, 255, 0));
  EXPECT_EQ(At(17, 104), bar.View().ColorAt(0, 104));
  EXPECT_EQ(At(18, 113), kMeterBackground);  // the spare column
  EXPECT_EQ(At(0, 103), kMeterBackground);   // above the bar
}

TEST_F(MeterFixture, RightMeterIsShiftedOneColumn) {
  ComposeLevelFrame(back.View(), bar.View(), 10, 1, -1, hold, false);
  EXPECT_EQ(At(0, 113), kMeterBackground);
  EXPECT_EQ(At(1, 113), RGBColor(31, 255, 0));
  EXPECT_EQ(At(18, 113), RGBColor(31, 255, 0));
}

TEST_F(MeterFixture, LevelAboveTheHeightDrawsTheFullBar) {
  ComposeLevelFrame(back.View(), bar.View(), 200, 0, 0, hold, false);
  EXPECT_EQ(At(5, 0), RGBColor(255, 6, 0));
  EXPECT_EQ(hold.HoldLevel, 114);
}

TEST_F(MeterFixture, LevelZeroShowsOnlyBackgroundAndThePendingHoldLine) {
  ComposeLevelFrame(back.View(), bar.View(), 100, 1, -1, hold, false);
  ComposeLevelFrame(back.View(), bar.View(), 0, 1, -1, hold, false);
  EXPECT_EQ(At(5, 113), kMeterBackground);
  EXPECT_EQ(At(0, 14), kMeterBackground);  // line starts at LineX
  EXPECT_EQ(At(1, 14), kMeterHoldLine);    // y = 114 - 100
  EXPECT_EQ(At(18, 14), kMeterHoldLine);
  EXPECT_EQ(At(5, 13), kMeterBackground);
}

}  // namespace
}  // namespace tav::player
