#include "toolkit/win32/module_windows.h"

#include <iterator>
#include <map>
#include <new>
#include <string>
#include <vector>

#include "toolkit/win32/base.h"

namespace tav {

namespace {

struct ModuleWindows {
  std::vector<std::wstring> classes;  // registered by this module now
  std::map<HWND, WNDPROC> windows;    // procedure to restore (none for our classes)

  void UnregisterClasses() {
    for (const auto& name : classes) UnregisterClassW(name.c_str(), ModuleInstance());
    classes.clear();
    classes.shrink_to_fit();
  }
};

// The library is being unloaded while windows of it still exist (a plug-in
// that did not free them): they must not call into code that is about to go.
// Only their procedures are put back; nothing is sent or destroyed.
struct UnloadGuard {
  ModuleWindows& state;
  ~UnloadGuard() {
    for (auto& [h, restore] : state.windows)
      if (IsWindow(h))
        SetWindowLongPtrW(h, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(restore ? restore : DefWindowProcW));
    state.windows.clear();
    state.UnregisterClasses();
  }
};

ModuleWindows& State() {
  // Never destroyed: objects destroyed after the guard may still report to it.
  alignas(ModuleWindows) static unsigned char storage[sizeof(ModuleWindows)];
  static ModuleWindows* state = new (storage) ModuleWindows;
  static UnloadGuard guard{*state};
  return *state;
}

bool Registered(const std::wstring& name) {
  for (const auto& c : State().classes)
    if (c == name) return true;
  return false;
}

}  // namespace

void UseModuleClass(const wchar_t* name, WNDPROC proc, UINT style) {
  if (Registered(name)) return;
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = style;
  wc.lpfnWndProc = proc;
  wc.hInstance = ModuleInstance();
  wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
  wc.lpszClassName = name;
  if (!RegisterClassExW(&wc)) {
    if (GetLastError() != ERROR_CLASS_ALREADY_EXISTS) RaiseLastOSError("RegisterClassEx");
    // Left behind under our instance: replace it, or accept it only when it
    // already runs our procedure (windows of it still exist).
    if (!UnregisterClassW(name, wc.hInstance) || !RegisterClassExW(&wc)) {
      WNDCLASSEXW old{};
      old.cbSize = sizeof(old);
      if (!GetClassInfoExW(wc.hInstance, name, &old) || old.lpfnWndProc != proc)
        throw EOSError("RegisterClassEx", ERROR_CLASS_ALREADY_EXISTS);
    }
  }
  State().classes.emplace_back(name);
}

void ModuleWindowCreated(HWND window, WNDPROC restore) { State().windows[window] = restore; }

void ModuleWindowDestroyed(HWND window) { State().windows.erase(window); }

void ReleaseModuleClasses() {
  auto& s = State();
  for (auto it = s.windows.begin(); it != s.windows.end();) it = IsWindow(it->first) ? std::next(it) : s.windows.erase(it);
  if (s.windows.empty()) s.UnregisterClasses();
}

size_t ModuleWindowCount() { return State().windows.size(); }

}  // namespace tav
