// The main window's texts made from times, rates and levels (UTF-8).
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace tav::player {

// Milliseconds of a time in seconds, cut toward zero and kept inside 32 bits.
int32_t SecondsToMs(double seconds);

// "Seconds:" + "ddd.dd" + " s", under the position slider.
std::string SecondsLabelText(int32_t ms);
// The large time display: "h:mm:ss.d".
std::string TimeDisplayText(int32_t ms);
// "MaxTime:" + "h:mm:ss" of the stream's length.
std::string MaxTimeText(double seconds);
// "采样率:" + rate + "Hz".
std::string RateText(uint32_t rate);
// "声道:单声道", "声道:立体声", "声道:多声道"; "声道:" for no channels.
std::string ChannelsText(uint32_t channels);
// "Speed:" + percentage of 44100 Hz for a speed slider value (Hz / 10).
std::string SpeedText(int32_t sliderValue);
// The seven labels of the time scale: k x 85 % of the length / 7.
std::array<std::string, 7> TimeScaleTexts(double seconds);
// "左:" + dB + "dB" and "右:" + dB + "dB".
std::string LevelText(std::string_view side, std::string_view db);

// The title's place when it scrolls one step (every 200 ms): a title wider
// than its frame moves left by a pixel and comes back in at the right edge.
struct TitleScroll {
  int Left;
  bool Scrolling;
};
TitleScroll NextTitleScroll(bool scrolling, int left, int titleWidth, int frameWidth);

// The display name of a play-list entry: "%.3d" of its number, "-", then the
// path's file name (everything after its last backslash or colon).
std::string PlayListDisplayName(int number, std::string_view path);

// The file-name part of a path (after its last backslash or colon).
std::string_view FileNameOf(std::string_view path);

}  // namespace tav::player
