// Helpers of the window tests: pumping messages for a while, reading a
// window's pixels, and finding and closing message boxes from another thread
// (a message box must never hang a test).
#pragma once
#include <windows.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <string>
#include <thread>

#include "toolkit/win32/forms.h"

namespace tav::test {

inline void PumpFor(int ms) {
  const DWORD end = GetTickCount() + ms;
  do {
    Application().ProcessMessages();
    Sleep(2);
  } while (static_cast<int>(end - GetTickCount()) > 0);
}

inline bool PumpUntil(const std::function<bool()>& done, int timeoutMs = 3000) {
  const DWORD end = GetTickCount() + timeoutMs;
  while (!done()) {
    if (static_cast<int>(end - GetTickCount()) <= 0) return false;
    Application().ProcessMessages();
    Sleep(2);
  }
  return true;
}

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

// Watches for a message box of this process with the given caption, reads
// its text and presses its first button.
class BoxWatcher {
 public:
  explicit BoxWatcher(std::wstring caption, int timeoutMs = 10000) : caption_(std::move(caption)) {
    thread_ = std::thread([this, timeoutMs] {
      const DWORD end = GetTickCount() + timeoutMs;
      while (!stop_ && static_cast<int>(end - GetTickCount()) > 0) {
        HWND box = FindWindowW(L"#32770", caption_.c_str());
        DWORD pid = 0;
        if (box) GetWindowThreadProcessId(box, &pid);
        if (box && pid == GetCurrentProcessId()) {
          wchar_t text[512] = {};
          GetDlgItemTextW(box, 0xFFFF, text, 512);
          text_ = text;
          // the box's icon control (its id differs between systems)
          HWND icon = GetDlgItem(box, 0x14);
          if (!icon) icon = GetDlgItem(box, 0x440);
          stopIcon_ = icon && reinterpret_cast<HICON>(SendMessageW(icon, STM_GETICON, 0, 0)) ==
                                  LoadIconW(nullptr, IDI_HAND);
          seen_ = true;
          // press the button: IDOK for an OK box
          PostMessageW(box, WM_COMMAND, IDOK, 0);
          return;
        }
        Sleep(20);
      }
    });
  }
  ~BoxWatcher() {
    stop_ = true;
    thread_.join();
  }
  bool Seen() const { return seen_; }
  std::wstring Text() const { return seen_ ? text_ : L""; }
  bool HasStopIcon() const { return stopIcon_; }

 private:
  std::wstring caption_;
  std::wstring text_;
  std::atomic<bool> seen_{false}, stop_{false};
  bool stopIcon_ = false;
  std::thread thread_;
};

}  // namespace tav::test
