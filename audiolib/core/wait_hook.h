// Waits of an API caller for the update thread (a running stream procedure, a channel
// in use). On Windows the caller may be a window thread that the procedure is sending a
// message to, so the platform installs a hook that handles sent messages while waiting.
#pragma once

#include <chrono>
#include <thread>

namespace tav::audio {

using WaitHook = void (*)();
void set_wait_hook(WaitHook hook);
void run_wait_hook();

#if defined(__SANITIZE_THREAD__)
#define TAV_THREAD_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TAV_THREAD_SANITIZER 1
#endif
#endif

// Locks `m` (a timed mutex), running the wait hook between attempts.
template <typename Mutex>
void lock_while_serving(Mutex& m) {
#ifdef TAV_THREAD_SANITIZER
  // ThreadSanitizer does not see a lock taken by try_lock_for (glibc's
  // pthread_mutex_clocklock has no interceptor in it), so it would report every access
  // under such a lock as a race: the checked build polls try_lock instead.
  while (!m.try_lock()) {
    run_wait_hook();
    std::this_thread::sleep_for(std::chrono::microseconds(200));
  }
#else
  while (!m.try_lock_for(std::chrono::milliseconds(2))) run_wait_hook();
#endif
}

}  // namespace tav::audio
