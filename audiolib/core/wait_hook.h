// Waits of an API caller for the update thread (a running stream procedure, a channel
// in use). On Windows the caller may be a window thread that the procedure is sending a
// message to, so the platform installs a hook that handles sent messages while waiting.
#pragma once

#include <chrono>

namespace tav::audio {

using WaitHook = void (*)();
void set_wait_hook(WaitHook hook);
void run_wait_hook();

// Locks `m` (a timed mutex), running the wait hook between attempts.
template <typename Mutex>
void lock_while_serving(Mutex& m) {
  while (!m.try_lock_for(std::chrono::milliseconds(2))) run_wait_hook();
}

}  // namespace tav::audio
