// The enhancer's components inside a library that a foreign program loads:
// a running simple timer and a tray icon, freed by the library's stop entry
// or left behind for the library's unload.
#include <windows.h>

#include <cstdint>

#include "win32/simple_timer_window.h"
#include "win32/tray_icon.h"

namespace {

brindle::TSimpleTimer* timer = nullptr;
brindle::TCoolTrayIcon* tray = nullptr;
int ticks = 0;
int clicks = 0;

}  // namespace

extern "C" {

__declspec(dllexport) int bcd_Start() {
  timer = new brindle::TSimpleTimer(30, [](brindle::TSimpleTimer*) { ++ticks; });
  tray = new brindle::TCoolTrayIcon();
  tray->Icon().SetHandle(CopyIcon(LoadIconW(nullptr, IDI_APPLICATION)));
  tray->OnClick = [](tav::TObject*) { ++clicks; };
  tray->SetIconVisible(true);
  return timer->Start() ? 1 : 0;
}

// 0 ticks, 1 clicks, 2 the timers' window, 3 the tray's window, 4 the icon's id
__declspec(dllexport) intptr_t bcd_Query(int what) {
  switch (what) {
    case 0: return ticks;
    case 1: return clicks;
    case 2: return reinterpret_cast<intptr_t>(brindle::TimerWindowUse::Window());
    case 3: return reinterpret_cast<intptr_t>(brindle::TCoolTrayIcon::TrayWindow());
    case 4: return tray ? tray->IconId() : 0;
    default: return -1;
  }
}

__declspec(dllexport) void bcd_Stop() {
  delete tray;
  delete timer;
  tray = nullptr;
  timer = nullptr;
}

}  // extern "C"
