// Delivery of window messages that other threads send to this one while it
// waits. A plug-in may send its parent window a query from the audio thread
// and block until the window's thread answers; a window thread that waits for
// that plug-in call to end must answer meanwhile, or both wait on each other.
#include "tav/engine/sent_messages.h"

#if defined(_WIN32)
#include <windows.h>
#endif

namespace tav::engine {

void DeliverSentMessages() {
#if defined(_WIN32)
  // Peeking delivers the messages sent from other threads; posted messages
  // stay in the queue for the message loop.
  MSG message;
  PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
#endif
}

}  // namespace tav::engine
