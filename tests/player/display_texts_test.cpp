// Texts of the main window and the play list's display names.
#include "player/core/display_texts.h"

#include <gtest/gtest.h>

namespace tav::player {
namespace {

TEST(DisplayTexts, TimeTexts) {
  EXPECT_EQ(SecondsLabelText(SecondsToMs(12.3456)), "Seconds:0012.3 s");
  EXPECT_EQ(TimeDisplayText(SecondsToMs(3723.45)), "1:02:03.4");
  EXPECT_EQ(TimeDisplayText(0), "0:00:00.0");
  EXPECT_EQ(MaxTimeText(70.9), "MaxTime:0:01:10");
  EXPECT_EQ(SecondsToMs(-1.0), -1000);
  EXPECT_EQ(SecondsToMs(1e12), 2147483647);
}

TEST(DisplayTexts, TimeScaleShowsEightyFivePercentOfTheLength) {
  const auto scale = TimeScaleTexts(70.0);
  EXPECT_EQ(scale[0], "0:00:08");
  EXPECT_EQ(scale[6], "0:00:59");
  for (const auto& t : TimeScaleTexts(0)) EXPECT_EQ(t, "0:00:00");
  for (const auto& t : TimeScaleTexts(-1)) EXPECT_EQ(t, "0:00:00");  // address of unknown length
  EXPECT_EQ(TimeScaleTexts(1e9)[6], "596:31:23");                   // no overflow
}

TEST(DisplayTexts, RateChannelsSpeedAndLevels) {
  EXPECT_EQ(RateText(44100), "采样率:44100Hz");
  EXPECT_EQ(ChannelsText(1), "声道:单声道");
  EXPECT_EQ(ChannelsText(2), "声道:立体声");
  EXPECT_EQ(ChannelsText(6), "声道:多声道");
  EXPECT_EQ(SpeedText(4410), "Speed:100%");
  EXPECT_EQ(SpeedText(2205), "Speed:50%");
  EXPECT_EQ(SpeedText(10), "Speed:0%");
  EXPECT_EQ(SpeedText(10000), "Speed:226%");
  EXPECT_EQ(LevelText("左", "-06"), "左:-06dB");
}

TEST(DisplayTexts, TitleScrollsOnlyWhenWiderThanItsFrame) {
  EXPECT_EQ(NextTitleScroll(true, 1, 100, 168).Left, 1);
  EXPECT_FALSE(NextTitleScroll(true, 1, 100, 168).Scrolling);
  const auto step = NextTitleScroll(true, 1, 300, 168);
  EXPECT_EQ(step.Left, 0);
  EXPECT_TRUE(step.Scrolling);
  EXPECT_EQ(NextTitleScroll(true, -300, 300, 168).Left, 168);  // back in at the right
  EXPECT_EQ(NextTitleScroll(false, -50, 300, 168).Left, 1);
}

TEST(DisplayTexts, PlayListNames) {
  EXPECT_EQ(PlayListDisplayName(1, "C:\\Music\\a b.mp3"), "001-a b.mp3");
  EXPECT_EQ(PlayListDisplayName(12, "D:song.ogg"), "012-song.ogg");
  EXPECT_EQ(PlayListDisplayName(1234, "plain.wav"), "1234-plain.wav");
  EXPECT_EQ(PlayListDisplayName(2, "#EXTM3U"), "002-#EXTM3U");
}

}  // namespace
}  // namespace tav::player
