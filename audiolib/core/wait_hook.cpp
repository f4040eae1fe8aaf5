#include "wait_hook.h"

#include <atomic>

namespace tav::audio {

namespace {
std::atomic<WaitHook> g_hook{nullptr};
}

void set_wait_hook(WaitHook hook) { g_hook = hook; }

void run_wait_hook() {
  if (WaitHook hook = g_hook.load()) hook();
}

}  // namespace tav::audio
