// Basic types shared by the toolkit's classes over Win32: the object that
// events name as their sender, event signatures, key and mouse states, and
// the module the toolkit's code lives in.
#pragma once
#include <functional>
#include <stdexcept>
#include <string>
#include <string_view>

#include <windows.h>

#include "toolkit/core/pixels.h"

namespace tav {

class TObject {
 public:
  virtual ~TObject() = default;
  std::wstring Name;
  intptr_t Tag = 0;
};

enum TShiftFlag : unsigned {
  ssShift = 1, ssAlt = 2, ssCtrl = 4, ssLeft = 8, ssRight = 16, ssMiddle = 32, ssDouble = 64
};
using TShiftState = unsigned;
enum TMouseButton { mbLeft, mbRight, mbMiddle };

using TNotifyEvent = std::function<void(TObject* sender)>;
using TKeyEvent = std::function<void(TObject* sender, WORD& key, TShiftState shift)>;
using TKeyPressEvent = std::function<void(TObject* sender, wchar_t& key)>;
using TMouseEvent = std::function<void(TObject* sender, TMouseButton button, TShiftState shift, int x, int y)>;
using TMouseMoveEvent = std::function<void(TObject* sender, TShiftState shift, int x, int y)>;

// Shift state from a mouse message's wParam plus the keyboard's Alt state.
TShiftState ShiftFromMouse(WPARAM wParam);
// Shift state of the keyboard now.
TShiftState KeyboardShift();

// The module (exe or DLL) that holds the toolkit's code, so a plug-in DLL
// finds its own resources and registers its own window classes.
HINSTANCE ModuleInstance();
// True when that module is a DLL loaded into a foreign process.
bool InsideLibrary();

// The window classes the toolkit registers under that module: forms and the
// toolkit's own controls, and hidden utility windows.
inline constexpr wchar_t kToolkitWindowClass[] = L"TavolenWindow";
inline constexpr wchar_t kUtilityWindowClass[] = L"TavolenUtilityWindow";

// UTF-8 <-> UTF-16 for window texts.
std::wstring Widen(std::string_view utf8);
std::string Narrow(std::wstring_view wide);

// Failure of a window-system call, with the system's error code.
class EOSError : public std::runtime_error {
 public:
  EOSError(const std::string& what, DWORD code);
  DWORD Code() const { return code_; }

 private:
  DWORD code_;
};
[[noreturn]] void RaiseLastOSError(const char* what);

// Message text of an exception, UTF-8 inside std::exception.
std::wstring ExceptionMessage(std::exception_ptr e);

}  // namespace tav
