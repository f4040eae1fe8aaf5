// A foreign program (plain Win32 and its own message loop) loads a library
// with a running simple timer and a tray icon: they work under its loop, and
// whether the library stops them or is freed with them alive, no window or
// class of it is left and the loop runs on.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

namespace {

using Start = int (*)();
using Query = intptr_t (*)(int);
using Stop = void (*)();

template <class F>
F Entry(HMODULE lib, const char* name) {
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(lib, name)));
}

void HostLoopFor(int ms) {
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

bool ClassLeft(HMODULE module) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  return GetClassInfoExW(module, L"TavolenUtilityWindow", &wc) != FALSE;
}

struct Library {
  HMODULE lib = LoadLibraryW(L"brindle_components_in_dll.dll");
  Start start = lib ? Entry<Start>(lib, "bcd_Start") : nullptr;
  Query query = lib ? Entry<Query>(lib, "bcd_Query") : nullptr;
  Stop stop = lib ? Entry<Stop>(lib, "bcd_Stop") : nullptr;
  bool Ok() const { return lib && start && query && stop; }
};

// Starts the timer and the icon and checks that they run under the loop.
void StartAndRun(Library& l, HWND& timers, HWND& trayWindow) {
  ASSERT_EQ(l.start(), 1);
  timers = reinterpret_cast<HWND>(l.query(2));
  trayWindow = reinterpret_cast<HWND>(l.query(3));
  ASSERT_TRUE(IsWindow(timers));
  ASSERT_TRUE(IsWindow(trayWindow));
  EXPECT_TRUE(ClassLeft(l.lib));
  // a click as the shell reports it
  PostMessageW(trayWindow, 0x800, static_cast<WPARAM>(l.query(4)), WM_LBUTTONDOWN);
  PostMessageW(trayWindow, 0x800, static_cast<WPARAM>(l.query(4)), WM_LBUTTONUP);
  HostLoopFor(400);
  EXPECT_GE(l.query(0), 6);  // the 30 ms timer ran
  EXPECT_EQ(l.query(1), 1);
}

TEST(ComponentsInsideLibrary, StoppedOrNotNothingOfTheLibraryIsLeft) {
  HWND timers = nullptr, trayWindow = nullptr;
  {
    Library l;
    ASSERT_TRUE(l.Ok()) << GetLastError();
    StartAndRun(l, timers, trayWindow);
    // Stopped by the library (the plug-in's Quit): windows and class go.
    l.stop();
    EXPECT_FALSE(IsWindow(timers));
    EXPECT_FALSE(IsWindow(trayWindow));
    EXPECT_FALSE(ClassLeft(l.lib));
    // a late tick and a late callback find nothing
    PostMessageW(timers, WM_TIMER, 1, 0);
    HostLoopFor(100);
    FreeLibrary(l.lib);
  }
  {
    // Loaded again, started, and freed with both still running (a host that
    // never stops the plug-in): the unload takes the windows and the class.
    Library l;
    ASSERT_TRUE(l.Ok()) << GetLastError();
    StartAndRun(l, timers, trayWindow);
    const HMODULE module = l.lib;
    FreeLibrary(l.lib);
    EXPECT_EQ(GetModuleHandleW(L"brindle_components_in_dll.dll"), nullptr);
    EXPECT_FALSE(IsWindow(timers));
    EXPECT_FALSE(IsWindow(trayWindow));
    EXPECT_FALSE(ClassLeft(module));
  }
  // The host's loop runs on: no tick or callback reaches the unloaded code.
  HostLoopFor(300);
  SUCCEED();
}

}  // namespace
