// The light periodic timer the tray icon uses: a state machine over the
// system's window timers of one shared hidden window. The window side gives a
// TimerBackend (SetTimer/KillTimer on that window) and routes each WM_TIMER
// to DispatchTimer; ids are small numbers from a registry, so a late tick of
// a timer that is gone is ignored.
#pragma once

#include <cstdint>
#include <functional>

#include "window/id_registry.h"

namespace brindle::window {

class TimerBackend {
 public:
  virtual ~TimerBackend() = default;
  virtual bool SetTimer(uint32_t id, uint32_t intervalMs) = 0;
  virtual void KillTimer(uint32_t id) = 0;
};

class SimpleTimer {
 public:
  using Handler = std::function<void(SimpleTimer&)>;
  explicit SimpleTimer(TimerBackend& backend, uint32_t intervalMs = 1000, Handler onElapsed = {});
  ~SimpleTimer();
  SimpleTimer(const SimpleTimer&) = delete;
  SimpleTimer& operator=(const SimpleTimer&) = delete;

  // False, changing nothing, with a 0 interval or when the system refuses;
  // a running timer restarts its period.
  bool Start();
  // With clearRunning false the system timer stops but the timer still
  // counts as running (paused).
  void Stop(bool clearRunning = true);
  void SetRunning(bool value);
  // A running timer restarts with a new non-zero period, pauses at 0.
  void SetIntervalMs(uint32_t value);
  // An empty handler pauses a running timer.
  void SetOnElapsed(Handler handler);

  bool Running() const { return running_; }
  uint32_t IntervalMs() const { return intervalMs_; }
  uint32_t TimerId() const { return id_; }
  // What the backend was last told: a system timer is set for this one.
  bool Ticking() const { return ticking_; }

  // A WM_TIMER of the shared window: the timer it names gets its tick.
  // Returns false for an id no live timer has.
  static bool DispatchTimer(uint64_t id);
  // Live timers, and so whether the shared window is needed.
  static size_t LiveTimers();

 private:
  TimerBackend& backend_;
  uint32_t id_;
  bool running_ = false;
  bool ticking_ = false;
  uint32_t intervalMs_;
  Handler onElapsed_;
};

}  // namespace brindle::window
