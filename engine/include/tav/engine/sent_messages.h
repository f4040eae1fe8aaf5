// Lets a waiting window thread answer the messages other threads send it.
#pragma once

#include <atomic>
#include <cstdint>

namespace tav::engine {

// Delivers the window messages that other threads have sent to the calling
// thread (Windows); nothing elsewhere. Posted messages are left queued.
void DeliverSentMessages();

// Waits until `callsInFlight` is 0, at most `timeoutMs` milliseconds,
// delivering sent messages meanwhile (a plug-in's call may be waiting for
// this thread to answer one). True when it reached 0. The flag that lets
// calls in must already be clear.
bool WaitForCallsToEnd(const std::atomic<int32_t>& callsInFlight, int32_t timeoutMs);

}  // namespace tav::engine
