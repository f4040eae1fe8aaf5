// Lets a waiting window thread answer the messages other threads send it.
#pragma once

namespace tav::engine {

// Delivers the window messages that other threads have sent to the calling
// thread (Windows); nothing elsewhere. Posted messages are left queued.
void DeliverSentMessages();

}  // namespace tav::engine
