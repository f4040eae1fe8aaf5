// TSimpleTimer: the light periodic timer of the tray icon, on window timers
// of one hidden window that every timer of the library shares. The rules
// (start, stop, pause, interval changes) are SimpleTimer's; this part gives
// them the shared window and routes each WM_TIMER to the timer it names.
//
// The window is made with the first user and destroyed with the last, and
// its class goes with it, so a library freed by its host leaves nothing
// behind. A tick that is still queued for a timer that is gone names an id
// no timer has any more and is ignored.
#pragma once
#include <cstdint>
#include <functional>

#include <windows.h>

#include "toolkit/win32/base.h"
#include "window/simple_timer.h"

namespace brindle {

// A use of the shared timer window: while one exists, the window does. The
// tray icon holds one for the timers of its click logic.
class TimerWindowUse {
 public:
  TimerWindowUse();
  ~TimerWindowUse();
  TimerWindowUse(const TimerWindowUse&) = delete;
  TimerWindowUse& operator=(const TimerWindowUse&) = delete;
  // SetTimer/KillTimer on the shared window.
  static window::TimerBackend& Backend();
  // The shared window now; none while nothing uses it.
  static HWND Window();
  static size_t Users();
};

class TSimpleTimer : public tav::TObject {
 public:
  using TElapsedEvent = std::function<void(TSimpleTimer* sender)>;
  explicit TSimpleTimer(uint32_t intervalMs = 1000, TElapsedEvent onElapsed = {});
  ~TSimpleTimer() override;

  // False with a 0 interval or when the system has no timer to give; a
  // running timer restarts its period.
  bool Start() { return timer_.Start(); }
  // With clearRunning false the ticks stop but the timer still counts as
  // running (a later interval change resumes it).
  void Stop(bool clearRunning = true) { timer_.Stop(clearRunning); }
  bool Running() const { return timer_.Running(); }
  void SetRunning(bool v) { timer_.SetRunning(v); }
  uint32_t IntervalMs() const { return timer_.IntervalMs(); }
  void SetIntervalMs(uint32_t ms) { timer_.SetIntervalMs(ms); }
  // An empty handler pauses a running timer.
  void SetOnElapsed(TElapsedEvent handler);
  // The id its WM_TIMER messages carry.
  uint32_t TimerId() const { return timer_.TimerId(); }
  const window::SimpleTimer& Model() const { return timer_; }

 private:
  TimerWindowUse use_;  // first in, last out: the window outlives the timer
  window::SimpleTimer timer_;
};

}  // namespace brindle
