#include "toolkit/win32/extctrls.h"

#include <map>

#include "toolkit/win32/module_windows.h"

namespace tav {

// --- TImage ------------------------------------------------------------------

TImage::TImage(TWinControl* parent) : TGraphicControl(parent) { StoreBounds(0, 0, 105, 105); }

void TImage::PictureChanged() {
  if (AutoSize && !picture_.Empty()) SetBounds(Left(), Top(), picture_.Width(), picture_.Height());
  Invalidate();
}

void TImage::Paint(TCanvas& canvas) {
  if (picture_.Empty()) return;
  if (Stretch) {
    SetStretchBltMode(canvas.Handle(), COLORONCOLOR);
    canvas.CopyRect({0, 0, Width(), Height()}, picture_.Canvas(), {0, 0, picture_.Width(), picture_.Height()});
    return;
  }
  const int x = Center ? (Width() - picture_.Width()) / 2 : 0;
  const int y = Center ? (Height() - picture_.Height()) / 2 : 0;
  if (Transparent)
    canvas.DrawTransparent(picture_, {}, x, y, TransparentColor);
  else
    canvas.Draw(x, y, picture_);
}

// --- TPaintBox ---------------------------------------------------------------

TPaintBox::TPaintBox(TWinControl* parent) : TGraphicControl(parent) { StoreBounds(0, 0, 105, 105); }

TCanvas& TPaintBox::Canvas() {
  if (painting_) return *painting_;
  canvas_.Acquire();
  return canvas_;
}

void TPaintBox::Paint(TCanvas& canvas) {
  if (!OnPaint) return;
  painting_ = &canvas;
  try {
    OnPaint(this);
  } catch (...) {
    painting_ = nullptr;
    throw;
  }
  painting_ = nullptr;
}

// --- TUtilityWindow ----------------------------------------------------------

TUtilityWindow::TUtilityWindow(Handler handler) : handler_(std::move(handler)) {
  UseModuleClass(kUtilityWindowClass, &TUtilityWindow::Proc);
  hwnd_ = CreateWindowExW(WS_EX_TOOLWINDOW, kUtilityWindowClass, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                          ModuleInstance(), this);
  if (!hwnd_) {
    ReleaseModuleClasses();
    RaiseLastOSError("CreateWindowEx");
  }
}

TUtilityWindow::~TUtilityWindow() {
  if (hwnd_) {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
  }
  ReleaseModuleClasses();
}

LRESULT CALLBACK TUtilityWindow::Proc(HWND h, UINT m, WPARAM w, LPARAM l) {
  if (m == WM_NCCREATE) {
    SetWindowLongPtrW(h, GWLP_USERDATA,
                      reinterpret_cast<LONG_PTR>(reinterpret_cast<CREATESTRUCTW*>(l)->lpCreateParams));
    ModuleWindowCreated(h);
  } else if (m == WM_NCDESTROY) {
    ModuleWindowDestroyed(h);
  }
  auto* self = reinterpret_cast<TUtilityWindow*>(GetWindowLongPtrW(h, GWLP_USERDATA));
  // The handler hears from the window once it is made, not of its making.
  if (self && self->hwnd_ && self->handler_) {
    TMessage msg{m, w, l, 0};
    // A copy runs: the handler may free this window (the last timer stopping).
    const Handler handler = self->handler_;
    const bool handled = GuardedCall([&] { return handler(msg); });
    if (handled) return msg.Result;
  }
  return DefWindowProcW(h, m, w, l);
}

// --- TTimer ------------------------------------------------------------------

namespace {
// The running timers of the module share one utility window, made for the
// first and freed with the last; the timer id is the timer's own number.
struct TimerWindow {
  std::map<UINT_PTR, TTimer*> timers;
  UINT_PTR next = 1;
  std::unique_ptr<TUtilityWindow> window;

  HWND Handle() {
    if (!window) window = std::make_unique<TUtilityWindow>([this](TMessage& m) { return Tick(m); });
    return window->Handle();
  }
  bool Tick(TMessage& m) {
    if (m.Msg != WM_TIMER) return false;
    auto it = timers.find(m.WParam);
    if (it != timers.end()) {
      TTimer* t = it->second;
      if (t->OnTimer) t->OnTimer(t);
      FreeDeviceContexts();
    }
    return true;
  }
};
TimerWindow& Timers() {
  static TimerWindow w;
  return w;
}
UINT_PTR IdOf(TTimer* t) {
  for (auto& [id, timer] : Timers().timers)
    if (timer == t) return id;
  return 0;
}
}  // namespace

TTimer::TTimer() { Update(); }

TTimer::~TTimer() {
  enabled_ = false;
  Update();
}

void TTimer::SetEnabled(bool v) {
  if (v == enabled_) return;
  enabled_ = v;
  Update();
}

void TTimer::SetInterval(unsigned ms) {
  if (ms == interval_) return;
  interval_ = ms;
  if (running_) {
    enabled_ = false;
    Update();
    enabled_ = true;
  }
  Update();
}

void TTimer::Update() {
  auto& t = Timers();
  if (running_) {
    const UINT_PTR id = IdOf(this);
    if (t.window) KillTimer(t.window->Handle(), id);
    t.timers.erase(id);
    running_ = false;
  }
  if (enabled_ && interval_ > 0) {
    const UINT_PTR id = t.next++;
    if (SetTimer(t.Handle(), id, interval_, nullptr)) {
      t.timers[id] = this;
      running_ = true;
    }
  }
  if (t.timers.empty()) t.window.reset();
}

}  // namespace tav
