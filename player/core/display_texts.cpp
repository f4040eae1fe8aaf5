#include "player/core/display_texts.h"

#include <cmath>
#include <cstdio>
#include <limits>

#include "tav/engine/format_time.h"

namespace tav::player {

using tav::engine::FormatTime;

int32_t SecondsToMs(double seconds) {
  const double ms = std::trunc(seconds * 1000.0);
  if (std::isnan(ms)) return 0;
  if (ms <= std::numeric_limits<int32_t>::min()) return std::numeric_limits<int32_t>::min();
  if (ms >= std::numeric_limits<int32_t>::max()) return std::numeric_limits<int32_t>::max();
  return int32_t(ms);
}

std::string SecondsLabelText(int32_t ms) { return "Seconds:" + FormatTime("ddd.dd", ms) + " s"; }

std::string TimeDisplayText(int32_t ms) { return FormatTime("h:mm:ss.d", ms); }

std::string MaxTimeText(double seconds) { return "MaxTime:" + FormatTime("h:mm:ss", SecondsToMs(seconds)); }

std::string RateText(uint32_t rate) { return "采样率:" + std::to_string(rate) + "Hz"; }

std::string ChannelsText(uint32_t channels) {
  if (channels == 1) return "声道:单声道";
  if (channels == 2) return "声道:立体声";
  if (channels > 2) return "声道:多声道";
  return "声道:";
}

std::string SpeedText(int32_t sliderValue) {
  return "Speed:" + std::to_string(int64_t(sliderValue) * 10 / 441) + "%";
}

std::array<std::string, 7> TimeScaleTexts(double seconds) {
  // 850, not 1000: the last label shows 85 % of the length, where it stands
  // under the slider.
  double scaled = std::trunc(seconds * 850.0);
  if (!(scaled > 0)) scaled = 0;
  if (scaled > double(std::numeric_limits<int32_t>::max())) scaled = std::numeric_limits<int32_t>::max();
  const int64_t span = int64_t(scaled);
  std::array<std::string, 7> texts;
  for (int k = 1; k <= 7; ++k) texts[size_t(k - 1)] = FormatTime("h:mm:ss", int32_t(span * k / 7));
  return texts;
}

std::string LevelText(std::string_view side, std::string_view db) {
  std::string text(side);
  text += ':';
  text += db;
  text += "dB";
  return text;
}

TitleScroll NextTitleScroll(bool scrolling, int left, int titleWidth, int frameWidth) {
  if (scrolling && titleWidth > frameWidth) {
    left -= 1;
    if (left < -titleWidth) left = frameWidth;
    return {left, true};
  }
  return {1, false};
}

std::string_view FileNameOf(std::string_view path) {
  const auto cut = path.find_last_of("\\:");
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string PlayListDisplayName(int number, std::string_view path) {
  char head[16];
  std::snprintf(head, sizeof head, "%.3d-", number);
  return head + std::string(FileNameOf(path));
}

}  // namespace tav::player
