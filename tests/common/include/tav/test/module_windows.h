// Windows test helpers for libraries that make windows: a named entry of a
// loaded library, a foreign host's own message loop, which top-level windows
// of this thread a module made, and whether a class of it is still
// registered. Header only.
#pragma once
#ifdef _WIN32

#include <windows.h>

#include <vector>

namespace tav::test {

// A library's entry point as the type the caller names.
template <class F>
F Entry(HMODULE lib, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

// The host's own loop (PeekMessage, TranslateMessage, DispatchMessage) for `ms`.
inline void HostLoopFor(int ms) {
  const DWORD end = GetTickCount() + ms;
  while (static_cast<int>(end - GetTickCount()) > 0) {
    MSG m;
    while (PeekMessageW(&m, nullptr, 0, 0, PM_REMOVE)) {
      TranslateMessage(&m);
      DispatchMessageW(&m);
    }
    Sleep(5);
  }
}

struct WindowsOfModuleSearch {
  HMODULE module;
  std::vector<HWND> found;
};

// A named procedure: a lambda cannot become the 32-bit build's stdcall callback.
inline BOOL CALLBACK CollectModuleWindow(HWND h, LPARAM lp) {
  auto* s = reinterpret_cast<WindowsOfModuleSearch*>(lp);
  if (reinterpret_cast<HMODULE>(GetWindowLongPtrW(h, GWLP_HINSTANCE)) == s->module) s->found.push_back(h);
  return TRUE;
}

// Top-level windows of this thread (visible or not) whose instance is `module`.
inline std::vector<HWND> WindowsOfModule(HMODULE module) {
  WindowsOfModuleSearch s{module, {}};
  EnumThreadWindows(GetCurrentThreadId(), CollectModuleWindow, reinterpret_cast<LPARAM>(&s));
  return s.found;
}
inline size_t WindowsOf(HMODULE module) { return WindowsOfModule(module).size(); }

// Whether the module has a window class of that name registered.
inline bool ClassLeft(HMODULE module, const wchar_t* name) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  return GetClassInfoExW(module, name, &wc) != FALSE;
}

}  // namespace tav::test

#endif  // _WIN32
