// Image, paint box, timer and the hidden utility window.
#pragma once
#include <functional>
#include <memory>

#include <windows.h>

#include "toolkit/win32/controls.h"

namespace tav {

// Shows a bitmap; with Transparent the pixels of TransparentColor let the
// parent show through.
class TImage : public TGraphicControl {
 public:
  explicit TImage(TWinControl* parent);
  TBitmap& Picture() { return picture_; }
  // Call after drawing on or loading the picture.
  void PictureChanged();
  bool AutoSize = false;
  bool Stretch = false;
  bool Center = false;
  bool Transparent = false;
  TColor TransparentColor = 0x008080;
  void Paint(TCanvas& canvas) override;

 private:
  TBitmap picture_;
};

// A windowless area its owner draws on: in OnPaint, or at any time through
// Canvas() (a timer's meter).
class TPaintBox : public TGraphicControl {
 public:
  explicit TPaintBox(TWinControl* parent);
  TCanvas& Canvas();
  TNotifyEvent OnPaint;
  void Paint(TCanvas& canvas) override;

 private:
  TCanvas* painting_ = nullptr;
  TControlCanvas canvas_{*this};
};

// A hidden top-level window that hands its messages to one handler. Being
// top-level, it also receives messages broadcast to all windows.
class TUtilityWindow {
 public:
  using Handler = std::function<bool(TMessage& message)>;
  explicit TUtilityWindow(Handler handler = {});
  ~TUtilityWindow();
  TUtilityWindow(const TUtilityWindow&) = delete;
  TUtilityWindow& operator=(const TUtilityWindow&) = delete;
  HWND Handle() const { return hwnd_; }
  void SetHandler(Handler h) { handler_ = std::move(h); }

 private:
  static LRESULT CALLBACK Proc(HWND, UINT, WPARAM, LPARAM);
  HWND hwnd_ = nullptr;
  Handler handler_;
};

// A window timer. The first OnTimer comes one Interval after it is enabled.
class TTimer : public TObject {
 public:
  TTimer();
  ~TTimer() override;
  bool Enabled() const { return enabled_; }
  void SetEnabled(bool v);
  unsigned Interval() const { return interval_; }
  void SetInterval(unsigned ms);
  TNotifyEvent OnTimer;

 private:
  void Update();
  bool enabled_ = true;
  unsigned interval_ = 1000;
  bool running_ = false;
};

}  // namespace tav
