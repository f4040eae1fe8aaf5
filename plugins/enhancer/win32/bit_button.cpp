#include "win32/bit_button.h"

#include <algorithm>

namespace brindle {

TBitButton::TBitButton(tav::TWinControl* parent) : TGraphicControl(parent) { SetBounds(0, 0, 83, 31); }

void TBitButton::SetBmp(const tav::TBitmap& bitmap) {
  bmp_.Assign(bitmap);
  Invalidate();
}

void TBitButton::SetBmpPosx(int v) {
  posX_ = v;
  Invalidate();
}

void TBitButton::SetBmpPosy(int v) {
  posY_ = v;
  Invalidate();
}

void TBitButton::SetTransparentBmp(bool v) {
  transparent_ = v;
  Invalidate();
}

// The parent has painted its background and the controls before this one
// into the canvas already (the toolkit paints windowless controls in order
// onto its off-screen copy), so only the frame is drawn here.
void TBitButton::Paint(tav::TCanvas& canvas) {
  if (bmp_.Empty()) return;
  const window::Point o = model_.StripOrigin(posX_, posY_, Width());
  // The frame's part of the strip; what lies outside the picture shows the
  // background.
  tav::TRect source{-o.x, -o.y, -o.x + Width(), -o.y + Height()};
  source.Left = std::max(source.Left, 0);
  source.Top = std::max(source.Top, 0);
  source.Right = std::min(source.Right, bmp_.Width());
  source.Bottom = std::min(source.Bottom, bmp_.Height());
  if (source.Left >= source.Right || source.Top >= source.Bottom) return;
  const int x = o.x + source.Left, y = o.y + source.Top;
  if (transparent_) {
    canvas.DrawTransparent(bmp_, source, x, y, bmp_.Pixels().ColorAt(0, 0));
  } else {
    tav::TCanvas& from = bmp_.Canvas();
    canvas.CopyRect({x, y, x + source.Width(), y + source.Height()}, from, source);
  }
}

void TBitButton::MouseEnter() {
  if (!over_) TGraphicControl::MouseEnter();
  over_ = true;
  model_.MouseEnter();
  Repaint();
}

void TBitButton::MouseLeave() {
  model_.MouseLeave();
  if (over_) TGraphicControl::MouseLeave();
  over_ = false;
  Repaint();
}

void TBitButton::MouseMove(tav::TShiftState s, int x, int y) {
  TGraphicControl::MouseMove(s, x, y);
  if (!(s & tav::ssLeft)) return;  // without a press the parent tells crossings
  const bool inside = x >= 0 && y >= 0 && x < Width() && y < Height();
  if (inside && !over_)
    MouseEnter();
  else if (!inside && over_)
    MouseLeave();
}

void TBitButton::MouseDown(tav::TMouseButton b, tav::TShiftState s, int x, int y) {
  TGraphicControl::MouseDown(b, s, x, y);
  if (b != tav::mbLeft) return;
  // A double click's second press arrives as a double click: no new state.
  if (s & tav::ssDouble)
    model_.DoubleClick();
  else
    model_.LeftDown();
  Repaint();
}

void TBitButton::MouseUp(tav::TMouseButton b, tav::TShiftState s, int x, int y) {
  TGraphicControl::MouseUp(b, s, x, y);
  if (b != tav::mbLeft) return;
  model_.LeftUp();
  Repaint();
}

}  // namespace brindle
