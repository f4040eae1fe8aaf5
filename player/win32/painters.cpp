#include "player/win32/painters.h"

namespace tav::player {

TGetVuParam::TGetVuParam(int width, int height, int gradWidth, int redFall, int greenRise)
    : height_(height), gradientBitmap_(gradWidth, height), backBuffer_(width, height) {
  FillLevelGradient(gradientBitmap_.Pixels(), LevelGradientRows(height, redFall, greenRise));
}

void TGetVuParam::Draw(TCanvas& target, int level, int lineX, int srcX, bool outputIdle) {
  GdiFlush();  // the DIB's memory is written directly
  ComposeLevelFrame(backBuffer_.Pixels(), gradientBitmap_.Pixels(), level, lineX, srcX, hold_, outputIdle);
  target.Draw(0, 0, backBuffer_);
}

TBufferText::TBufferText(int width, int height) : bitmap_(width, height) {}

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
}

}  // namespace tav::player
