#include "player/win32/painters.h"

#include <algorithm>

namespace tav::player {

TGetVuParam::TGetVuParam(int width, int height, int gradWidth, int redFall, int greenRise)
    : height_(height), gradientBitmap_(gradWidth, height), backBuffer_(width, height) {
  FillLevelGradient(gradientBitmap_.Pixels(), LevelGradientRows(height, redFall, greenRise));
}

bool TGetVuParam::Draw(TCanvas& target, int level, int lineX, int srcX, bool outputIdle) {
  GdiFlush();  // the DIB's memory is written directly
  const int line = ComposeLevelFrame(backBuffer_.Pixels(), gradientBitmap_.Pixels(), level, lineX, srcX, hold_, outputIdle);
  // The same frame as the one on the screen is not copied again: a resting
  // meter costs the composing of a small bitmap and nothing more.
  const Frame frame{std::clamp(level, 0, height_), line};
  if (shown_ && *shown_ == frame) return false;
  shown_ = frame;
  target.Draw(0, 0, backBuffer_);
  ++transfers_;
  return true;
}

TBufferText::TBufferText(int width, int height) : bitmap_(width, height) {}

bool TBufferText::Show(TCanvas& target, int x, int y, std::wstring_view text) {
  if (shown_ && *shown_ == text) return false;
  DrawTo(target, x, y, text);
  shown_ = std::wstring(text);
  return true;
}

void TBufferText::DrawTo(TCanvas& target, int x, int y, std::wstring_view text) {
  TCanvas& c = bitmap_.Canvas();
  c.Pen.SetColor(BackColor);
  c.Brush.SetColor(BackColor);
  c.Brush.SetStyle(bsSolid);
  c.Font.SetSize(FontSize);
  c.Font.SetColor(FontColor);
  c.Font.SetName(FontName);
  c.FillRect({0, 0, bitmap_.Width(), bitmap_.Height()});
  c.TextOut(x, y, text);
  target.Draw(0, 0, bitmap_);
  ++transfers_;
}

}  // namespace tav::player
