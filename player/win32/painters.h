// The main window's two off-screen painters: the level meter (colour bar and
// falling peak-hold line) and one line of text on a solid background. Each
// composes its frame in a bitmap of its own and copies it to the target in
// one block transfer, so the 18 ms timer does not flicker; a frame the same
// as the one already on the screen is neither composed nor transferred, and
// the target's device context is not even taken.
#pragma once
#include <windows.h>

#include <string>

#include "player/core/level_meter.h"
#include "player/core/shown_value.h"
#include "toolkit/win32/extctrls.h"
#include "toolkit/win32/graphics.h"

namespace tav::player {

class TGetVuParam {
 public:
  TGetVuParam(int width, int height, int gradWidth, int redFall, int greenRise);
  // Level in pixels; outputIdle: the output stream is paused or stopped.
  // Returns whether the frame differed from the last one and was copied.
  bool Draw(TPaintBox& target, int level, int lineX, int srcX, bool outputIdle);
  const LevelHold& Hold() const { return hold_; }
  TBitmap& BackBuffer() { return backBuffer_; }
  // Frames copied to the target so far.
  int Transfers() const { return transfers_; }

 private:
  int height_;
  TShownValue<LevelFrame> shown_;
  int transfers_ = 0;
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
  // Draws the text, always (the window's own painting).
  void DrawTo(TCanvas& target, int x, int y, std::wstring_view text);
  // Draws it only when it differs from the text Show drew last; returns
  // whether it did.
  bool Show(TPaintBox& target, int x, int y, std::wstring_view text);
  TBitmap& Bitmap() { return bitmap_; }
  // Texts drawn to a target so far.
  int Transfers() const { return transfers_; }

 private:
  TBitmap bitmap_;
  TShownValue<std::wstring> shown_;
  int transfers_ = 0;
};

}  // namespace tav::player
