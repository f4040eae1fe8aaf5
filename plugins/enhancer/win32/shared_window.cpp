#include "win32/shared_window.h"

#include "toolkit/win32/module_windows.h"

namespace brindle {

SharedHiddenWindow::SharedHiddenWindow(tav::TUtilityWindow::Handler handler) : handler_(std::move(handler)) {
  // The toolkit's list of the module's windows is made first, so it is
  // still there when this object goes at unload.
  tav::ModuleWindowCount();
}

SharedHiddenWindow::~SharedHiddenWindow() {
  if (!window_) return;
  // Unloaded with the window alive (no Quit): destroy it where that is
  // allowed, else only let go of it (the toolkit puts its procedure back).
  if (GetWindowThreadProcessId(window_->Handle(), nullptr) != GetCurrentThreadId()) (void)window_.release();
  window_.reset();
}

void SharedHiddenWindow::Acquire() {
  if (!window_) window_ = std::make_unique<tav::TUtilityWindow>(handler_);
  ++users_;
}

void SharedHiddenWindow::Release() {
  if (users_ > 0) --users_;
  if (users_ == 0) window_.reset();
}

}  // namespace brindle
