#include "controls/win32/slider.h"

namespace tav::slider {

void LoadDefaultImage(int i, TBitmap& b) {
  static const wchar_t* const kNames[4] = {L"W95_HTB", L"W95_HRL", L"W95_VTB", L"W95_VRL"};
  if (!b.LoadFromResourceName(ModuleInstance(), kNames[i])) RaiseLastOSError("slider picture missing");
}

void RegisterHandCursor() {
  static const bool done = [] {
    if (HCURSOR c = LoadCursorW(ModuleInstance(), L"AD_HAND")) Screen().SetCursor(kCursorHand, c);
    return true;
  }();
  (void)done;
}

}  // namespace tav::slider
