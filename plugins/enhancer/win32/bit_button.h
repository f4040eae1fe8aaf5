// TBitButton: the skinned push button of the enhancer's window. A windowless
// control that shows one frame of a three-frame strip (normal, hot, pressed,
// side by side, each the button's size, from BmpPosx/BmpPosy in Bmp) by
// whether the mouse is away, over it or pressing it. It has no text; what
// the frame does not cover shows the parent and the controls behind it.
#pragma once
#include "toolkit/win32/controls.h"
#include "window/bit_button_model.h"

namespace brindle {

class TBitButton : public tav::TGraphicControl {
 public:
  // 83 x 31 at (0, 0), with an empty strip.
  explicit TBitButton(tav::TWinControl* parent);

  // The strip: assigning copies the picture in.
  const tav::TBitmap& Bmp() const { return bmp_; }
  void SetBmp(const tav::TBitmap& bitmap);
  int BmpPosx() const { return posX_; }
  void SetBmpPosx(int v);
  int BmpPosy() const { return posY_; }
  void SetBmpPosy(int v);
  // The colour of the strip's top-left pixel (of the whole picture, not of
  // the frame) lets the background show through.
  bool TransparentBmp() const { return transparent_; }
  void SetTransparentBmp(bool v);

  window::ButtonState State() const { return model_.State(); }

  // OnClick (a left release over the button) runs while the pressed frame
  // still shows; the hot frame follows.
  void Paint(tav::TCanvas& canvas) override;
  void MouseEnter() override;
  void MouseLeave() override;
  void MouseDown(tav::TMouseButton b, tav::TShiftState s, int x, int y) override;
  // While pressed the button holds the mouse: leaving and entering again
  // are seen here.
  void MouseMove(tav::TShiftState s, int x, int y) override;
  void MouseUp(tav::TMouseButton b, tav::TShiftState s, int x, int y) override;

 private:
  window::BitButtonModel model_;
  tav::TBitmap bmp_;
  int posX_ = 0, posY_ = 0;
  bool transparent_ = true;
  bool over_ = false;
};

}  // namespace brindle
