// Makes one top-level window and says whether it could: the check that a
// Windows test reaches the session's own X server (exit 0), also when the
// caller's DISPLAY names another one (exit 1 if CreateWindowEx fails).
#include <windows.h>

#include <cstdio>

int main() {
  HWND window = CreateWindowExW(0, L"STATIC", L"session window check", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr,
                                nullptr, GetModuleHandleW(nullptr), nullptr);
  if (!window) {
    std::printf("CreateWindowEx failed (system error %lu)\n", GetLastError());
    return 1;
  }
  DestroyWindow(window);
  std::printf("a window was made\n");
  return 0;
}
