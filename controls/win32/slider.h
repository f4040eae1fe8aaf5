// The bitmap slider over the toolkit: the window, its thumb window, mouse
// capture, the repeat timer and the drawing. Its rules live in the portable
// SliderModel; this part feeds it input and carries out what it asks.
//
// Two builds of one class: tav::TSlider (the player's: MinValue, MaxValue,
// Value, ThumbVisible; OnChange on a change) and tav::enhancer::TSlider (Min,
// Max, Position; OnChange on every assignment; thumb moves passed on).
#pragma once
#include <array>

#include <windows.h>

#include "controls/slider_model.h"
#include "toolkit/win32/controls.h"

namespace tav {

namespace slider {
// Loads default image i (0..3) of the module into b.
void LoadDefaultImage(int i, TBitmap& b);
// Registers the hand cursor as screen cursor 14000 (once per module).
void RegisterHandCursor();
}  // namespace slider

template <class Build>
class TSliderOf;

// The thumb: a window of its own showing one of the thumb picture's states.
template <class Build>
class TSliderThumbOf : public TCustomControl {
 public:
  explicit TSliderThumbOf(TSliderOf<Build>* slider)
      : TCustomControl(slider, ThumbParams()), slider_(slider) {
    SetTabStop(false);
    Cursor = slider::kCursorHand;
  }
  TBitmap& Image() { return image_; }
  TColor KeyColor = slider::kKeyColor;

 protected:
  void Paint(TCanvas& canvas) override {
    canvas.DrawTransparent(image_, slider_->Model().ThumbSourceRect(), 0, 0, KeyColor);
  }
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    TCustomControl::MouseDown(b, s, x, y);
    slider_->ThumbMouseDown(b, s, x, y);
  }
  void MouseMove(TShiftState s, int x, int y) override {
    TCustomControl::MouseMove(s, x, y);
    slider_->ThumbMouseMove(s, x, y);
  }
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
    TCustomControl::MouseUp(b, s, x, y);
    slider_->ThumbMouseUp(b, s, x, y);
  }
  void CaptureChanged(HWND newCapture) override {
    if (newCapture != Handle()) slider_->ThumbCaptureLost();
  }
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_LBUTTONDBLCLK) msg = WM_LBUTTONDOWN;  // no double clicks: a second press
    if (msg == WM_RBUTTONDBLCLK) msg = WM_RBUTTONDOWN;
    if (msg == WM_MBUTTONDBLCLK) msg = WM_MBUTTONDOWN;
    return TCustomControl::WndProc(msg, wParam, lParam);
  }

 private:
  static TCreateParams ThumbParams() {
    TCreateParams p;
    p.Style = WS_CHILD | WS_CLIPSIBLINGS | WS_VISIBLE;
    p.Width = 1;
    p.Height = 1;
    return p;
  }
  TSliderOf<Build>* slider_;
  TBitmap image_;
};

template <class Build>
class TSliderOf : public TCustomControl, private slider::SliderHost {
  static constexpr bool kPlayer = Build::kHasThumbVisible;

 public:
  using Model_t = slider::SliderModel<Build>;

  explicit TSliderOf(TWinControl* parent) : TCustomControl(parent, SliderParams()), model_(*this), thumb_(this) {
    slider::RegisterHandCursor();
    for (int i = 0; i < 4; ++i) SetImage(i, nullptr);
    model_.SetClientSize({ClientWidth(), ClientHeight()});
    model_.EndConstruction();
    PlaceThumb();
  }

  // --- the published properties of the player's build ----------------------
  int32_t MinValue() const requires kPlayer { return model_.Min(); }
  void SetMinValue(int32_t v) requires kPlayer { model_.SetMin(v); }
  int32_t MaxValue() const requires kPlayer { return model_.Max(); }
  void SetMaxValue(int32_t v) requires kPlayer { model_.SetMax(v); }
  int32_t Value() const requires kPlayer { return model_.Value(); }
  void SetValue(int32_t v) requires kPlayer { model_.SetValue(v); }
  bool ThumbVisible() const requires kPlayer { return model_.ThumbVisible(); }
  void SetThumbVisible(bool v) requires kPlayer { model_.SetThumbVisible(v); }
  // --- ... and of the enhancer's -------------------------------------------
  int32_t Min() const requires(!kPlayer) { return model_.Min(); }
  void SetMin(int32_t v) requires(!kPlayer) { model_.SetMin(v); }
  int32_t Max() const requires(!kPlayer) { return model_.Max(); }
  void SetMax(int32_t v) requires(!kPlayer) { model_.SetMax(v); }
  int32_t Position() const requires(!kPlayer) { return model_.Value(); }
  void SetPosition(int32_t v) requires(!kPlayer) { model_.SetValue(v); }

  int32_t Increment() const { return model_.Increment(); }
  void SetIncrement(int32_t v) { model_.SetIncrement(v); }
  int EdgeSize() const { return model_.EdgeSize(); }
  void SetEdgeSize(int v) { model_.SetEdgeSize(v); }
  int NumThumbStates() const { return model_.NumThumbStates(); }
  void SetNumThumbStates(int n) { model_.SetNumThumbStates(n); }
  TSliderOrientation Orientation() const { return model_.Orientation(); }
  void SetOrientation(TSliderOrientation o) {
    if (o == model_.Orientation()) return;
    model_.SetOrientation(o);  // the thumb takes the new image through ThumbChanged
  }
  TSliderOptions Options() const { return model_.Options(); }
  void SetOptions(TSliderOptions o) { model_.SetOptions(o); }

  // Image i (0 horizontal thumb, 1 horizontal ruler, 2 vertical thumb,
  // 3 vertical ruler), the object itself.
  TBitmap& GetImage(int i) { return images_.at(i); }
  // A bitmap is copied in and marked as the user's; none reloads the default.
  void SetImage(int i, const TBitmap* bitmap) {
    if (i < 0 || i > 3) return;
    if (bitmap)
      images_[i].Assign(*bitmap);
    else
      slider::LoadDefaultImage(i, images_[i]);
    ++imageGeneration_;
    model_.SetImage(i, {images_[i].Width(), images_[i].Height()}, bitmap != nullptr);
  }
  uint8_t UserImageBits() const { return model_.UserImageBits(); }

  TNotifyEvent OnChange, OnDrawPoints, OnStartTracking, OnStopTracking;

  // Repaints at once (the control and the model's host both ask for it).
  void Repaint() override { TCustomControl::Repaint(); }

  // The canvas while painting (for OnDrawPoints).
  TCanvas& Canvas() { return *paintCanvas_; }
  const Model_t& Model() const { return model_; }
  TSliderThumbOf<Build>& Thumb() { return thumb_; }
  bool SliderFocused() const { return model_.Focused(); }

  // Built-in tick marks: step, length and end length in pixels.
  virtual void DrawPoints(int32_t step, int length, int endLength) {
    if (!paintCanvas_) return;
    TCanvas& c = *paintCanvas_;
    const TRect area = model_.TickArea();
    for (const slider::Tick& t : model_.Ticks(step, length, endLength)) {
      if (model_.Orientation() == soHorizontal) {
        c.MoveTo(t.Position, area.Top);
        c.LineTo(t.Position, area.Top + t.Length);
      } else {
        c.MoveTo(area.Left, t.Position);
        c.LineTo(area.Left + t.Length, t.Position);
      }
    }
  }

  // Thumb notifications (thumb coordinates).
  virtual void ThumbMouseDown(TMouseButton b, TShiftState s, int x, int y) {
    model_.ThumbMouseDown(ToModel(b), x, y);
  }
  virtual void ThumbMouseMove(TShiftState s, int x, int y) {
    model_.ThumbMouseMove((s & ssLeft) != 0, s, x, y);
  }
  virtual void ThumbMouseUp(TMouseButton b, TShiftState s, int x, int y) { model_.ThumbMouseUp(ToModel(b)); }
  void ThumbCaptureLost() { model_.ThumbCaptureLost(); }

 protected:
  void Paint(TCanvas& canvas) override {
    BuildRuler();
    if (ruler_.Width() > 0) {
      const TPoint o = model_.RulerOrigin();
      canvas.DrawTransparent(ruler_, {}, o.X, o.Y, slider::kKeyColor);
    }
    if ((model_.Options() & soShowFocus) && model_.Focused()) {
      const TRect r = ClientRect();
      canvas.DrawFocusRect({r.Left + 2, r.Top + 2, r.Right - 2, r.Bottom - 2});
    }
    if (model_.Options() & soShowPoints) {
      paintCanvas_ = &canvas;
      try {
        if (OnDrawPoints)
          OnDrawPoints(this);
        else
          DrawPoints(model_.Increment(), 3, 4);
      } catch (...) {
        paintCanvas_ = nullptr;
        throw;
      }
      paintCanvas_ = nullptr;
    }
  }

  UINT DialogCode(UINT) override { return DLGC_WANTARROWS; }

  void KeyDown(WORD& key, TShiftState shift) override {
    TCustomControl::KeyDown(key, shift);
    if (key != 0 && model_.HandleKey(key, (shift & (ssShift | ssCtrl | ssAlt)) == 0)) key = 0;
  }
  void MouseDown(TMouseButton b, TShiftState s, int x, int y) override {
    TCustomControl::MouseDown(b, s, x, y);
    model_.MouseDown(ToModel(b), x, y);
  }
  void MouseMove(TShiftState s, int x, int y) override {
    model_.MouseMove(x, y);
    TCustomControl::MouseMove(s, x, y);
  }
  void MouseUp(TMouseButton b, TShiftState s, int x, int y) override {
    model_.MouseUp();
    TCustomControl::MouseUp(b, s, x, y);
  }
  void CaptureChanged(HWND newCapture) override {
    if (newCapture != Handle()) model_.CaptureLost();
  }
  void FocusChanged(bool gained) override {
    model_.SetFocused(gained);
    TCustomControl::FocusChanged(gained);
  }
  void Resized() override { model_.Resized({ClientWidth(), ClientHeight()}); }
  void ColorChanged() override {
    TCustomControl::ColorChanged();
    thumb_.Invalidate();
  }
  LRESULT WndProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
    if (msg == WM_TIMER) {
      model_.TimerFired();
      return 0;
    }
    if (msg == WM_LBUTTONDBLCLK) msg = WM_LBUTTONDOWN;
    if (msg == WM_RBUTTONDBLCLK) msg = WM_RBUTTONDOWN;
    if (msg == WM_MBUTTONDBLCLK) msg = WM_MBUTTONDOWN;
    return TCustomControl::WndProc(msg, wParam, lParam);
  }

 private:
  static TCreateParams SliderParams() {
    TCreateParams p = TCustomControl::DefaultParams();
    p.Width = 140;
    p.Height = 40;
    return p;
  }
  static slider::Button ToModel(TMouseButton b) {
    return b == mbLeft ? slider::Button::Left : b == mbRight ? slider::Button::Right : slider::Button::Middle;
  }

  // Builds Ruler from the current ruler image when the layout changed.
  void BuildRuler() {
    const auto size = model_.RulerSize();
    const int source = model_.RulerImageIndex();
    if (builtGeneration_ == imageGeneration_ && builtSource_ == source && builtPieces_ == model_.RulerPieces() &&
        ruler_.Width() == size.Width && ruler_.Height() == size.Height)
      return;
    ruler_.SetSize(size.Width, size.Height);
    if (ruler_.Empty()) return;
    FillRect(ruler_.Pixels(), {0, 0, size.Width, size.Height}, slider::kKeyColor);
    const TBitmap& from = images_[source];
    const bool horizontal = model_.Orientation() == soHorizontal;
    for (const slider::RulerPiece& p : model_.RulerPieces()) {
      const TRect s = horizontal ? TRect{p.SourceStart, 0, p.SourceEnd, from.Height()}
                                 : TRect{0, p.SourceStart, from.Width(), p.SourceEnd};
      tav::CopyRect(from.Pixels(), s, ruler_.Pixels(), horizontal ? p.TargetStart : 0,
                    horizontal ? 0 : p.TargetStart);
    }
    builtGeneration_ = imageGeneration_;
    builtSource_ = source;
    builtPieces_ = model_.RulerPieces();
  }

  void PlaceThumb() {
    if (!thumbReady_) return;
    const int index = model_.ThumbImageIndex();
    const bool newImage = thumbGeneration_ != imageGeneration_ || thumbSource_ != index;
    if (newImage) {
      thumb_.Image().Assign(images_[index]);
      thumbGeneration_ = imageGeneration_;
      thumbSource_ = index;
    }
    const TRect r = model_.ThumbRect();
    // A move repaints through the new bounds; a thumb that stays where it is
    // with the same image is not repainted (the position timer sets the
    // same value again and again at rest).
    thumb_.SetBounds(r.Left, r.Top, r.Width(), r.Height());
    thumb_.SetVisible(model_.ThumbVisible());
    if (newImage) thumb_.Invalidate();
  }

  // --- SliderHost ---
  void Change() override {
    if (OnChange) OnChange(this);
  }
  void StartTracking() override {
    if (OnStartTracking) OnStartTracking(this);
  }
  void StopTracking() override {
    if (OnStopTracking) OnStopTracking(this);
  }
  void ThumbChanged() override { PlaceThumb(); }
  void TakeFocus() override {
    if (CanFocus()) SetFocus();
  }
  void CaptureMouse() override { SetCapture(Handle()); }
  void ReleaseMouse() override {
    if (GetCapture() == Handle()) ReleaseCapture();
  }
  void StartTimer(int id, int periodMs) override { SetTimer(Handle(), id, periodMs, nullptr); }
  void StopTimer(int id) override { KillTimer(Handle(), id); }
  void PassMouseMove(unsigned shift, int x, int y) override { TCustomControl::MouseMove(shift, x, y); }

  Model_t model_;
  std::array<TBitmap, 4> images_;
  TBitmap ruler_;
  TSliderThumbOf<Build> thumb_;
  bool thumbReady_ = true;
  TCanvas* paintCanvas_ = nullptr;
  unsigned imageGeneration_ = 0, builtGeneration_ = ~0u, thumbGeneration_ = ~0u;
  int builtSource_ = -1, thumbSource_ = -1;
  std::vector<slider::RulerPiece> builtPieces_;
};

using TSlider = TSliderOf<PlayerSliderBuild>;
using TSliderThumb = TSliderThumbOf<PlayerSliderBuild>;

namespace enhancer {
using TSlider = TSliderOf<EnhancerSliderBuild>;
using TSliderThumb = TSliderThumbOf<EnhancerSliderBuild>;
}  // namespace enhancer

}  // namespace tav
