#include "player/core/level_meter.h"

#include <algorithm>

namespace tav::player {

std::vector<TColor> LevelGradientRows(int height, int redFall, int greenRise) {
  std::vector<TColor> rows;
  if (height <= 0) return rows;
  rows.reserve(size_t(height));
  const int greenStep = greenRise / height;
  const int redStep = redFall / height;
  int r = 255;
  int g = 0;
  for (int i = 0; i < height; ++i) {
    if (i <= height / 2.0)
      g += greenStep;
    else
      r -= redStep;
    r = std::max(r, 0);
    g = std::min(g, 255);
    rows.push_back(RGBColor(uint8_t(r), uint8_t(g), 0));
  }
  return rows;
}

void FillLevelGradient(const PixelView& bar, const std::vector<TColor>& rows) {
  const int n = std::min(bar.Height, int(rows.size()));
  for (int y = 0; y < n; ++y) FillRect(bar, {0, y, bar.Width, y + 1}, rows[size_t(y)]);
}

int LevelHold::Step(int level, bool outputIdle) {
  if (level >= HoldLevel) {
    HoldLevel = level;
    HoldTicks = 0;
    return 0;
  }
  if (HoldLevel <= 0) return 0;
  const int drawnAt = HoldLevel;
  if (HoldTicks >= 15) {
    if (outputIdle)
      HoldLevel -= int((HoldTicks - 15) * 0.3);
    else
      HoldLevel -= HoldTicks;
  }
  if (HoldLevel < 0)
    HoldLevel = 0;
  else
    HoldTicks += 1;
  return drawnAt;
}

LevelFrame NextLevelFrame(int level, int height, LevelHold& hold, bool outputIdle) {
  LevelFrame frame;
  frame.Level = std::clamp(level, 0, std::max(height, 0));
  frame.Line = hold.Step(frame.Level, outputIdle);
  return frame;
}

void DrawLevelFrame(const PixelView& back, const PixelView& bar, LevelFrame frame, int lineX, int srcX) {
  const int height = back.Height;
  FillRect(back, {0, 0, back.Width, height}, kMeterBackground);
  const int level = std::clamp(frame.Level, 0, height);
  if (level > 0) {
    const int top = height - level;
    CopyRect(bar, {0, top, bar.Width, height}, back, -srcX, top);
  }
  if (frame.Line > 0) {
    const int y = height - frame.Line;
    FillRect(back, {lineX, y, lineX + bar.Width, y + 1}, kMeterHoldLine);
  }
}

int ComposeLevelFrame(const PixelView& back, const PixelView& bar, int level, int lineX, int srcX,
                       LevelHold& hold, bool outputIdle) {
  const LevelFrame frame = NextLevelFrame(level, back.Height, hold, outputIdle);
  DrawLevelFrame(back, bar, frame, lineX, srcX);
  return frame.Line;
}

}  // namespace tav::player
