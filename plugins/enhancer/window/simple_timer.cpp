#include "window/simple_timer.h"

namespace brindle::window {

namespace {

// One per process, on the thread that owns the shared window.
IdRegistry<SimpleTimer>& Timers() {
  static IdRegistry<SimpleTimer> registry;
  return registry;
}

}  // namespace

SimpleTimer::SimpleTimer(TimerBackend& backend, uint32_t intervalMs, Handler onElapsed)
    : backend_(backend), id_(Timers().Register(this)), intervalMs_(intervalMs) {
  SetOnElapsed(std::move(onElapsed));
}

SimpleTimer::~SimpleTimer() {
  if (running_) Stop(true);
  Timers().Release(id_);
}

bool SimpleTimer::Start() {
  if (intervalMs_ == 0) return false;
  if (running_) Stop(true);
  if (!backend_.SetTimer(id_, intervalMs_)) return false;
  running_ = true;
  ticking_ = true;
  return true;
}

void SimpleTimer::Stop(bool clearRunning) {
  if (clearRunning) running_ = false;
  backend_.KillTimer(id_);
  ticking_ = false;
}

void SimpleTimer::SetRunning(bool value) {
  if (value)
    Start();
  else
    Stop(true);
}

void SimpleTimer::SetIntervalMs(uint32_t value) {
  if (value == intervalMs_) return;
  intervalMs_ = value;
  if (!running_) return;
  if (value != 0)
    Start();
  else
    Stop(false);
}

void SimpleTimer::SetOnElapsed(Handler handler) {
  onElapsed_ = std::move(handler);
  if (!onElapsed_ && running_) Stop(false);
}

bool SimpleTimer::DispatchTimer(uint64_t id) {
  SimpleTimer* t = Timers().Find(id);
  if (!t) return false;
  if (t->onElapsed_) t->onElapsed_(*t);
  return true;
}

size_t SimpleTimer::LiveTimers() { return Timers().Count(); }

}  // namespace brindle::window
