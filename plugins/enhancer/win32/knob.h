// TMyKnob2: the rotary knob of the enhancer's component set. A focusable
// control that maps an integer range onto a 300-degree sweep (Min at 8
// o'clock, Max at 4 o'clock over the top), turned by dragging, the arrow,
// page, Home and End keys and the wheel. Its arithmetic is KnobModel's; this
// part paints it, feeds it input and keeps the control square.
#pragma once
#include <cstdint>

#include "toolkit/win32/controls.h"
#include "toolkit/win32/stdctrls.h"
#include "window/knob_model.h"

namespace brindle {

class TMyKnob2 : public tav::TCustomControl {
 public:
  // 40 x 40, Min 0, Max 100, Position 0, page 10, a white face with a pointer
  // in the active-caption colour.
  explicit TMyKnob2(tav::TWinControl* parent);

  int Min() const { return model_.Min(); }
  void SetMin(int v) { model_.SetMin(v); }
  int Max() const { return model_.Max(); }
  void SetMax(int v) { model_.SetMax(v); }
  int Position() const { return model_.Position(); }
  // A request equal to the one before does nothing; any other is clamped
  // into the range and raises OnChange, also when the value stays.
  void SetPosition(int v) { model_.SetPosition(v); }
  uint16_t PageSize() const { return model_.pageSize; }
  void SetPageSize(uint16_t v) { model_.pageSize = v; }
  bool SpringLoaded() const { return model_.SpringLoaded(); }
  // The knob goes back to 0 (into the range) on release and on losing focus.
  void SetSpringLoaded(bool v) { model_.SetSpringLoaded(v); }

  // Stored; drawing does not use it.
  int Transparency() const { return transparency_; }
  void SetTransparency(int v);
  // Rim colours (upper left, lower right), pointer and face.
  tav::TColor Light() const { return light_; }
  void SetLight(tav::TColor c);
  tav::TColor Shadow() const { return shadow_; }
  void SetShadow(tav::TColor c);
  tav::TColor LineColor() const { return lineColor_; }
  void SetLineColor(tav::TColor c);
  tav::TColor Knob2Color() const { return knobColor_; }
  void SetKnob2Color(tav::TColor c);

  // A label that shows "<value> <the knob's text>".
  tav::TLabel* PositionLabel() const { return label_; }
  void SetPositionLabel(tav::TLabel* label);

  tav::TNotifyEvent OnChange;
  const window::KnobModel& Model() const { return model_; }

 protected:
  void Paint(tav::TCanvas& canvas) override;
  void MouseDown(tav::TMouseButton b, tav::TShiftState s, int x, int y) override;
  void MouseMove(tav::TShiftState s, int x, int y) override;
  void MouseUp(tav::TMouseButton b, tav::TShiftState s, int x, int y) override;
  void MouseLeave() override;
  void KeyDown(WORD& key, tav::TShiftState shift) override;
  UINT DialogCode(UINT defaultCode) override { return DLGC_WANTARROWS; }
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
  void Resized() override;
  void FocusChanged(bool gained) override;
  void TextChanged() override;
  void EnabledChanged() override;
  void VisibleChanged() override;

 private:
  void ShowLabel(int32_t value);

  window::KnobModel model_;
  tav::TLabel* label_ = nullptr;
  int transparency_ = 50;
  tav::TColor light_ = tav::clBlack, shadow_ = tav::clBlack;
  tav::TColor lineColor_ = tav::clActiveCaption, knobColor_ = tav::clWhite;
};

}  // namespace brindle
