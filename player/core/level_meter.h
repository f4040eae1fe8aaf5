// The level meter's picture: its colour bar and the falling peak-hold line,
// composed on plain pixel memory. The window layer owns the bitmaps and copies
// the finished frame to the screen.
#pragma once

#include <vector>

#include "toolkit/core/pixels.h"

namespace tav::player {

inline constexpr TColor kMeterBackground = RGBColor(51, 51, 51);
inline constexpr TColor kMeterHoldLine = RGBColor(192, 192, 192);

// The colour of every row of the bar, top (row 0) to bottom: red shading
// through yellow to green. greenRise and redFall are spread over the height.
std::vector<TColor> LevelGradientRows(int height, int redFall, int greenRise);

// Fills a bar picture (any width) with the rows' colours.
void FillLevelGradient(const PixelView& bar, const std::vector<TColor>& rows);

// The peak-hold line of one meter.
struct LevelHold {
  int HoldLevel = 0;  // height of the line above the bottom, pixels
  int HoldTicks = 0;  // frames since the line was last pushed up

  // One frame at `level` (already cut to the meter's height). Returns the
  // height at which the line is drawn in this frame, 0 for no line.
  // `outputIdle`: the output is paused or stopped, and the line falls slowly.
  int Step(int level, bool outputIdle);
};

// What one meter shows in a frame: the bar's height (cut to the meter) and
// the hold line's (0 for none). Two frames that compare equal are the same
// picture.
struct LevelFrame {
  int Level = 0;
  int Line = 0;
  bool operator==(const LevelFrame&) const = default;
};

// One frame at `level` on a meter `height` pixels high: cuts the level and
// steps the hold line.
LevelFrame NextLevelFrame(int level, int height, LevelHold& hold, bool outputIdle);

// Draws a frame into `back` (meter width x height): background, the bottom
// `frame.Level` rows of `bar` landing at x = -srcX, then the hold line from
// x = lineX, as wide as the bar.
void DrawLevelFrame(const PixelView& back, const PixelView& bar, LevelFrame frame, int lineX, int srcX);

// Both in one: steps the hold line and draws the frame. Returns the height of
// the line drawn (0 for none).
int ComposeLevelFrame(const PixelView& back, const PixelView& bar, int level, int lineX, int srcX,
                       LevelHold& hold, bool outputIdle);

}  // namespace tav::player
