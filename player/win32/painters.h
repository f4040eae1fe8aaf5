// The main window's two off-screen painters: the level meter (colour bar and
// falling peak-hold line) and one line of text on a solid background. Each
// composes its frame in a bitmap of its own and copies it to the target in
// one block transfer, so the 18 ms timer does not flicker.
#pragma once
#include <string>

#include <windows.h>

#include "player/core/level_meter.h"
#include "toolkit/win32/graphics.h"

namespace tav::player {

class TGetVuParam {
 public:
  TGetVuParam(int width, int height, int gradWidth, int redFall, int greenRise);
  // Level in pixels; outputIdle: the output stream is paused or stopped.
  void Draw(TCanvas& target, int level, int lineX, int srcX, bool outputIdle);
  const LevelHold& Hold() const { return hold_; }
  TBitmap& BackBuffer() { return backBuffer_; }

 private:
  int height_;
  TBitmap gradientBitmap_;
  TBitmap backBuffer_;
  LevelHold hold_;
};

class TBufferText {
 public:
  TBufferText(int width, int height);
  TColor BackColor = cl3DDkShadow;
  TColor FontColor = RGBColor(192, 192, 192);
  std::wstring FontName = L"Tahoma";
  int FontSize = 8;
  void DrawTo(TCanvas& target, int x, int y, std::wstring_view text);
  TBitmap& Bitmap() { return bitmap_; }

 private:
  TBitmap bitmap_;
};

}  // namespace tav::player
