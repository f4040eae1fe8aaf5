#include "win32/simple_timer_window.h"

#include "toolkit/win32/controls.h"
#include "win32/shared_window.h"

namespace brindle {

namespace {

bool HandleTimerMessage(tav::TMessage& m) {
  if (m.Msg != WM_TIMER) return false;
  // An id no live timer has (a tick queued before its timer went) is ignored.
  window::SimpleTimer::DispatchTimer(m.WParam);
  tav::FreeDeviceContexts();
  m.Result = 0;
  return true;
}

SharedHiddenWindow& Shared() {
  static SharedHiddenWindow shared(&HandleTimerMessage);
  return shared;
}

class WindowTimers : public window::TimerBackend {
 public:
  bool SetTimer(uint32_t id, uint32_t intervalMs) override {
    HWND w = TimerWindowUse::Window();
    return w && ::SetTimer(w, id, intervalMs, nullptr) != 0;
  }
  void KillTimer(uint32_t id) override {
    if (HWND w = TimerWindowUse::Window()) ::KillTimer(w, id);
  }
};

}  // namespace

TimerWindowUse::TimerWindowUse() { Shared().Acquire(); }

TimerWindowUse::~TimerWindowUse() { Shared().Release(); }

window::TimerBackend& TimerWindowUse::Backend() {
  static WindowTimers backend;
  return backend;
}

HWND TimerWindowUse::Window() { return Shared().Handle(); }

size_t TimerWindowUse::Users() { return Shared().Users(); }

TSimpleTimer::TSimpleTimer(uint32_t intervalMs, TElapsedEvent onElapsed)
    : timer_(TimerWindowUse::Backend(), intervalMs) {
  SetOnElapsed(std::move(onElapsed));
}

TSimpleTimer::~TSimpleTimer() = default;

void TSimpleTimer::SetOnElapsed(TElapsedEvent handler) {
  if (!handler) {
    timer_.SetOnElapsed({});
    return;
  }
  timer_.SetOnElapsed([this, h = std::move(handler)](window::SimpleTimer&) { h(this); });
}

}  // namespace brindle
