#include "win32/knob.h"

#include <windowsx.h>

namespace brindle {

namespace {

tav::TCreateParams KnobParams() {
  tav::TCreateParams p = tav::TCustomControl::DefaultParams();
  p.Width = 40;
  p.Height = 40;
  return p;
}

}  // namespace

TMyKnob2::TMyKnob2(tav::TWinControl* parent) : TCustomControl(parent, KnobParams()) {
  model_.Resize(Width(), Height());
  model_.onLabel = [this](int32_t v) { ShowLabel(v); };
  // Every assignment draws at once, then tells.
  model_.onChange = [this] {
    Repaint();
    if (OnChange) OnChange(this);
  };
}

void TMyKnob2::SetTransparency(int v) {
  transparency_ = v;
  Repaint();
}
void TMyKnob2::SetLight(tav::TColor c) {
  light_ = c;
  Repaint();
}
void TMyKnob2::SetShadow(tav::TColor c) {
  shadow_ = c;
  Repaint();
}
void TMyKnob2::SetLineColor(tav::TColor c) {
  lineColor_ = c;
  Invalidate();
}
void TMyKnob2::SetKnob2Color(tav::TColor c) {
  knobColor_ = c;
  Invalidate();
}

void TMyKnob2::SetPositionLabel(tav::TLabel* label) {
  if (label == label_) return;
  label_ = label;
  if (label_) ShowLabel(Position());
}

void TMyKnob2::ShowLabel(int32_t value) {
  if (label_) label_->SetCaption(tav::Widen(window::KnobModel::LabelText(value, tav::Narrow(Text()))));
}

// On the control's off-screen bitmap (the toolkit paints through one).
void TMyKnob2::Paint(tav::TCanvas& c) {
  const int w = Width(), h = Height();
  c.Brush.SetStyle(tav::bsSolid);
  c.Brush.SetColor(tav::clBlack);
  c.FillRect({0, 0, w, h});
  // the face: a pie whose two ends meet, a whole disc
  c.Pen.SetColor(knobColor_);
  c.Pen.SetWidth(1);
  c.Brush.SetColor(knobColor_);
  c.Pie({3, 3, w - 3, h - 3}, {w, h / 2}, {w, h / 2});
  c.Pen.SetWidth(2);
  // the rim: light on the upper left, shadow on the lower right
  c.Pen.SetColor(light_);
  c.Arc({2, 2, w, h}, {w, 0}, {0, h});
  c.Pen.SetColor(shadow_);
  c.Arc({2, 2, w - 2, h - 2}, {0, h}, {w, 0});
  window::Point from, to;
  model_.PointerLine(from, to);
  c.Pen.SetColor(lineColor_);
  c.MoveTo(from.x, from.y);
  c.LineTo(to.x, to.y);
  if (label_) label_->SetEnabled(Enabled());
}

void TMyKnob2::MouseDown(tav::TMouseButton b, tav::TShiftState s, int x, int y) {
  if (b == tav::mbLeft) {
    const bool wasDragging = model_.Dragging();
    model_.LeftDown(x, y, Width(), Height());
    if (model_.Dragging() && !wasDragging) {
      SetFocus();
      // the press's own move step, as a move over the knob would be
      TCustomControl::MouseMove(s, x, y);
      Repaint();
    }
  }
  TCustomControl::MouseDown(b, s, x, y);
}

void TMyKnob2::MouseMove(tav::TShiftState s, int x, int y) {
  if (model_.Dragging()) {
    model_.MouseMove(x, y, Width(), Height());
    Repaint();
  }
  TCustomControl::MouseMove(s, x, y);
}

void TMyKnob2::MouseUp(tav::TMouseButton b, tav::TShiftState s, int x, int y) {
  if (b == tav::mbLeft) model_.LeftUp();
  TCustomControl::MouseUp(b, s, x, y);
}

void TMyKnob2::MouseLeave() {
  ShowLabel(Position());
  Repaint();
  TCustomControl::MouseLeave();
}

void TMyKnob2::KeyDown(WORD& key, tav::TShiftState shift) {
  TCustomControl::KeyDown(key, shift);
  model_.Key(key);  // not consumed
}

LRESULT TMyKnob2::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == WM_MOUSEWHEEL) {
    model_.Wheel(static_cast<int16_t>(GET_WHEEL_DELTA_WPARAM(wParam)));
    const LRESULT r = TCustomControl::WndProc(msg, wParam, lParam);
    Repaint();
    return r;
  }
  return TCustomControl::WndProc(msg, wParam, lParam);
}

void TMyKnob2::Resized() {
  const int side = model_.Resize(Width(), Height());
  if (side != Width() || side != Height()) SetBounds(Left(), Top(), side, side);
  TCustomControl::Resized();
}

void TMyKnob2::FocusChanged(bool gained) {
  if (!gained) model_.FocusLost();
  if (label_) label_->SetEnabled(Enabled());
  TCustomControl::FocusChanged(gained);
}

void TMyKnob2::TextChanged() {
  ShowLabel(Position());
  TCustomControl::TextChanged();
}

void TMyKnob2::EnabledChanged() {
  Repaint();
  TCustomControl::EnabledChanged();
}

void TMyKnob2::VisibleChanged() {
  if (label_) label_->SetVisible(Visible());
  Repaint();
  TCustomControl::VisibleChanged();
}

}  // namespace brindle
