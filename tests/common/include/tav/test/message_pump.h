// Running this thread's window messages in a window test: for a while, or
// until something holds. Messages go through the toolkit's own loop, so
// dialog keys and the toolkit's pre-translation act as in the program.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <chrono>

#include "toolkit/win32/forms.h"

namespace tav::test {

// Runs the thread's messages for `ms` milliseconds.
inline void Pump(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (std::chrono::steady_clock::now() < end) {
    tav::Application().ProcessMessages();
    Sleep(2);
  }
}

// Runs the thread's messages until `done` holds or `maxMs` have passed;
// answers the milliseconds taken (more than maxMs when it never held).
template <class F>
long PumpUntil(F done, int maxMs) {
  const auto start = std::chrono::steady_clock::now();
  for (;;) {
    const auto ms = long(
        std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start).count());
    if (done() || ms > maxMs) return ms;
    tav::Application().ProcessMessages();
    Sleep(2);
  }
}

inline void CALLBACK EndMenuNow(HWND, UINT, UINT_PTR id, DWORD) {
  KillTimer(nullptr, id);
  EndMenu();
}

// Closes the menu that opens now: called from a menu's OnPopup, the menu's
// own loop runs a thread timer that ends it 50 ms later.
inline void CloseMenuSoon() { SetTimer(nullptr, 0, 50, &EndMenuNow); }

}  // namespace tav::test

#endif  // _WIN32
