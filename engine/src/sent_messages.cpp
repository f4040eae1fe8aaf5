#include "tav/engine/sent_messages.h"

#include <chrono>
#include <thread>

namespace tav::engine {

bool WaitForCallsToEnd(const std::atomic<int32_t>& callsInFlight, int32_t timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (callsInFlight.load() != 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    DeliverSentMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace tav::engine
