// A foreign program (plain Win32 and its own message loop) loads a library
// with a running simple timer and a tray icon: they work under its loop, and
// whether the library stops them or is freed with them alive, no window or
// class of it is left and the loop runs on.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdint>

#include "tav/test/module_windows.h"

namespace {

using tav::test::ClassLeft;
using tav::test::Entry;
using tav::test::HostLoopFor;

// the shared hidden window's class
constexpr wchar_t kUtilityClass[] = L"TavolenUtilityWindow";

using Start = int (*)();
using Query = intptr_t (*)(int);
using Stop = void (*)();

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
  EXPECT_TRUE(ClassLeft(l.lib, kUtilityClass));
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
    EXPECT_FALSE(ClassLeft(l.lib, kUtilityClass));
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
    EXPECT_FALSE(ClassLeft(module, kUtilityClass));
  }
  // The host's loop runs on: no tick or callback reaches the unloaded code.
  HostLoopFor(300);
  SUCCEED();
}

}  // namespace
