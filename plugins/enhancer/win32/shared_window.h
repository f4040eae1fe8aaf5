// A hidden window that several objects of the library share (the timers'
// one, the tray icons' one): made for its first user, destroyed with its
// last, so its class is unregistered with it. One that still exists when the
// library unloads is destroyed then, on the thread that owns it.
#pragma once
#include <memory>

#include <windows.h>

#include "toolkit/win32/extctrls.h"

namespace brindle {

class SharedHiddenWindow {
 public:
  explicit SharedHiddenWindow(tav::TUtilityWindow::Handler handler);
  ~SharedHiddenWindow();
  SharedHiddenWindow(const SharedHiddenWindow&) = delete;
  SharedHiddenWindow& operator=(const SharedHiddenWindow&) = delete;

  void Acquire();
  // Never below 0; at 0 the window goes.
  void Release();
  HWND Handle() const { return window_ ? window_->Handle() : nullptr; }
  size_t Users() const { return users_; }

 private:
  tav::TUtilityWindow::Handler handler_;
  size_t users_ = 0;
  std::unique_ptr<tav::TUtilityWindow> window_;
};

}  // namespace brindle
