// Helpers of the window tests: reading a window's pixels; running messages
// and answering message boxes (tests/common).
#pragma once
#include <windows.h>

#include "tav/test/box_watcher.h"
#include "tav/test/message_pump.h"
#include "toolkit/win32/forms.h"

namespace tav::test {

// The client area of a window as it is on the screen now.
inline void GrabClient(HWND window, TBitmap& into) {
  RECT r;
  GetClientRect(window, &r);
  into.SetSize(r.right, r.bottom);
  HDC dc = GetDC(window);
  BitBlt(into.Canvas().Handle(), 0, 0, r.right, r.bottom, dc, 0, 0, SRCCOPY);
  ReleaseDC(window, dc);
  GdiFlush();
}

}  // namespace tav::test
