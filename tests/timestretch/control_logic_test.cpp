#include <gtest/gtest.h>

#include "control_logic.h"

namespace lentaro {
namespace {

TEST(ControlLogic, SettingsParseWithDefaultsAndClamps) {
  struct Case {
    const char *stretch, *pitch, *bypass, *mono;
    float eStretch, ePitch;
    int eBypass, eMono;
  } cases[] = {
      {"2.00", "0.00", "0", "1", 2.0f, 0.0f, 0, 1},   // the defaults as written
      {"1.15", "-0.07", "1", "0", 1.15f, -0.07f, 1, 0},
      {"abc", "", "x", "", 2.0f, 0.0f, 0, 1},          // unparsable: defaults
      {"0", "-5", "0", "1", 0.5f, -1.0f, 0, 1},        // clamped
      {"9.99", "3.5", "0", "1", 2.0f, 1.0f, 0, 1},
      {"1.5000009", "nan", "0", "1", 1.5f, 0.0f, 0, 1},  // at most 5 characters; NaN refused
  };
  for (const Case& c : cases) {
    const Settings s = parseSettings(c.stretch, c.pitch, c.bypass, c.mono);
    EXPECT_FLOAT_EQ(s.stretch, c.eStretch) << c.stretch;
    EXPECT_FLOAT_EQ(s.pitch, c.ePitch) << c.pitch;
    EXPECT_EQ(s.bypass, c.eBypass);
    EXPECT_EQ(s.mono, c.eMono);
  }
  EXPECT_EQ(formatDecimal(2.0f), "2.00");
  EXPECT_EQ(formatDecimal(-0.07f), "-0.07");
}

// The speed slider reopens where its label says, for every value it can set.
TEST(ControlLogic, SpeedPositionAndLabelAgreeForEverySliderValue) {
  for (int position = -50; position <= 70; ++position) {
    const float stretch = stretchForSpeedPosition(position);
    EXPECT_EQ(speedPositionForStretch(stretch), position);
    EXPECT_EQ(stretchPercentLabel(stretch), 20 - position);
  }
  EXPECT_EQ(speedLabel(stretchPercentLabel(2.0f)), "100 %");
  EXPECT_EQ(speedPositionForStretch(2.0f), -80);  // the track bar's range cuts it to -50
  EXPECT_FLOAT_EQ(stretchForSpeedPosition(-30), 1.5f);
  EXPECT_EQ(speedLabel(20 - (-30)), "50 %");
}

TEST(ControlLogic, PitchCentsAndLabels) {
  EXPECT_EQ(pitchCents(0.07f), 7);
  EXPECT_EQ(pitchCents(-0.07f), -7);
  EXPECT_EQ(pitchLabel(7), "7 cent");
  EXPECT_EQ(pitchLabel(-7), "-7 cent");
  EXPECT_EQ(pitchLabel(pitchCents(0.0f)), "0 cent");
}

TEST(ControlLogic, ScrollsApplyOnReleaseArrowsCtrlAndEndOfTrack) {
  struct Case {
    ScrollKind kind;
    bool ctrl, arrow, apply;
  } cases[] = {
      {ScrollKind::ThumbTrack, false, false, false}, {ScrollKind::ThumbPosition, false, false, true},
      {ScrollKind::EndTrack, false, false, true},    {ScrollKind::Other, false, false, false},
      {ScrollKind::Other, false, true, true},        {ScrollKind::ThumbTrack, true, false, true},
  };
  for (const Case& c : cases) {
    const ScrollResult speed = speedScroll(-30, c.ctrl, c.arrow, c.kind);
    const ScrollResult pitch = pitchScroll(-7, c.ctrl, c.arrow, c.kind);
    EXPECT_EQ(speed.apply, c.apply);
    EXPECT_EQ(pitch.apply, c.apply);
    EXPECT_EQ(speed.value, c.ctrl ? 0 : 50);
    EXPECT_EQ(pitch.value, c.ctrl ? 0 : 7);
    EXPECT_EQ(speed.position, c.ctrl ? std::optional<int>(20) : std::nullopt);
    EXPECT_EQ(pitch.position, c.ctrl ? std::optional<int>(0) : std::nullopt);
  }
}

TEST(ControlLogic, DialogPositionClamp) {
  const Rect desk{0, 0, 1024, 768};
  struct Case {
    Point in;
    Rect desktop;
    std::optional<Point> out;
  } cases[] = {
      {{-100, 900}, desk, Point{-64, 736}},
      {{-1, -1}, desk, Point{-1, -1}},
      {{5000, -500}, desk, Point{992, -32}},
      {{100, 200}, Rect{0, 0, 0, 0}, Point{100, 200}},   // unusable desktop: used as is
      {{-32, 200}, Rect{0, 0, 0, 0}, std::nullopt},       // ... unless out of bounds
      {{100, 8000}, Rect{-10, 0, 100, 100}, std::nullopt},
  };
  for (const Case& c : cases) {
    const auto got = clampDialogPosition(c.in, c.desktop);
    ASSERT_EQ(got.has_value(), c.out.has_value()) << c.in.x << "," << c.in.y;
    if (got) {
      EXPECT_EQ(got->x, c.out->x);
      EXPECT_EQ(got->y, c.out->y);
    }
  }
}

}  // namespace
}  // namespace lentaro
