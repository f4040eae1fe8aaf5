#include "toolkit/win32/base.h"

#include "toolkit/core/text.h"

namespace tav {

TShiftState ShiftFromMouse(WPARAM wParam) {
  TShiftState s = 0;
  if (wParam & MK_SHIFT) s |= ssShift;
  if (wParam & MK_CONTROL) s |= ssCtrl;
  if (wParam & MK_LBUTTON) s |= ssLeft;
  if (wParam & MK_RBUTTON) s |= ssRight;
  if (wParam & MK_MBUTTON) s |= ssMiddle;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

TShiftState KeyboardShift() {
  TShiftState s = 0;
  if (GetKeyState(VK_SHIFT) < 0) s |= ssShift;
  if (GetKeyState(VK_CONTROL) < 0) s |= ssCtrl;
  if (GetKeyState(VK_MENU) < 0) s |= ssAlt;
  return s;
}

HINSTANCE ModuleInstance() {
  static HINSTANCE module = [] {
    HMODULE m = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleInstance), &m);
    return m;
  }();
  return module;
}

bool InsideLibrary() { return ModuleInstance() != GetModuleHandleW(nullptr); }

std::wstring Widen(std::string_view utf8) {
  const std::u16string w = Utf8ToUtf16(utf8);
  return std::wstring(w.begin(), w.end());
}

std::string Narrow(std::wstring_view wide) {
  return Utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
}

EOSError::EOSError(const std::string& what, DWORD code)
    : std::runtime_error(what + " (system error " + std::to_string(code) + ")"), code_(code) {}

void RaiseLastOSError(const char* what) { throw EOSError(what, GetLastError()); }

std::wstring ExceptionMessage(std::exception_ptr e) {
  try {
    std::rethrow_exception(e);
  } catch (const std::exception& x) {
    return Widen(x.what());
  } catch (...) {
    return L"Unknown exception";
  }
}

}  // namespace tav
