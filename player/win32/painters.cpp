#include "player/win32/painters.h"

#include <algorithm>

namespace tav::player {

TGetVuParam::TGetVuParam(int width, int height, int gradWidth, int redFall, int greenRise)
    : height_(height), gradientBitmap_(gradWidth, height), backBuffer_(width, height) {
  FillLevelGradient(gradientBitmap_.Pixels(), LevelGradientRows(height, redFall, greenRise));
}

bool TGetVuParam::Draw(TPaintBox& target, int level, int lineX, int srcX, bool outputIdle) {
  const LevelFrame frame = NextLevelFrame(level, height_, hold_, outputIdle);
  // The same frame as the one on the screen is not composed or copied again:
  // a resting meter costs the stepping of its hold line and nothing more.
  if (!shown_.Changes(frame)) return false;
  GdiFlush();  // the DIB's memory is written directly
  DrawLevelFrame(backBuffer_.Pixels(), gradientBitmap_.Pixels(), frame, lineX, srcX);
  target.Canvas().Draw(0, 0, backBuffer_);
  ++transfers_;
  return true;
}

TBufferText::TBufferText(int width, int height) : bitmap_(width, height) {}

bool TBufferText::Show(TPaintBox& target, int x, int y, std::wstring_view text) {
  if (!shown_.Changes(text)) return false;
  DrawTo(target.Canvas(), x, y, text);
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
