// A plug-in-like library built on the toolkit: it shows a form of its own in
// a foreign program that runs its own message loop and knows nothing of the
// toolkit.
#include <windows.h>

#include <memory>
#include <stdexcept>

#include "controls/win32/slider.h"
#include "toolkit/win32/extctrls.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/stdctrls.h"

namespace {

using namespace tav;

class PluginForm : public TForm {
 public:
  TLabel label{this, L"增强器"};
  TButton button{this, L"确定"};
  enhancer::TSlider slider{this};
  TTimer timer;
  TUtilityWindow notifications{[this](TMessage& m) {
    if (m.Msg != WM_USER + 0x400) return false;
    ++notices;
    return true;
  }};
  int keys = 0, clicks = 0, ticks = 0, notices = 0;

  PluginForm() {
    SetCaption(L"插件窗口");
    SetBounds(50, 50, 300, 160);
    KeyPreview = true;
    label.SetBounds(8, 8, 10, 10);
    button.SetBounds(8, 30, 75, 25);
    slider.SetBounds(8, 70, 200, 40);
    OnKeyDown = [this](TObject*, WORD& key, TShiftState) {
      if (key == VK_F5) {
        ++keys;
        key = 0;
      }
    };
    button.OnClick = [this](TObject*) { ++clicks; };
    timer.SetInterval(20);
    timer.OnTimer = [this](TObject*) { ++ticks; };
  }
};

std::unique_ptr<PluginForm> form;

// A message box (a visible dialog window) of the thread.
BOOL CALLBACK FindBox(HWND h, LPARAM box) {
  wchar_t cls[16] = {};
  GetClassNameW(h, cls, 16);
  if (IsWindowVisible(h) && lstrcmpW(cls, L"#32770") == 0) *reinterpret_cast<HWND*>(box) = h;
  return TRUE;
}

}  // namespace

extern "C" __declspec(dllexport) int tkd_ShowForm(HWND host) {
  if (!form) form = std::make_unique<PluginForm>();
  form->SetOwnerWindow(host);
  form->Show();
  return form->Handle() != nullptr;
}

// 0 visible, 1 keys seen by the form first, 2 button clicks, 3 width of the
// slider's thumb picture (loaded from this library), 4 form window, 5 button
// window, 6 the toolkit's module is this library and not the program, 7 the
// slider's hand cursor came from this library, 8 timer ticks, 9 the utility
// window, 10 notifications it handled.
extern "C" __declspec(dllexport) intptr_t tkd_Query(int what) {
  if (!form) return -1;
  switch (what) {
    case 0: return IsWindowVisible(form->Handle());
    case 1: return form->keys;
    case 2: return form->clicks;
    case 3: return form->slider.GetImage(0).Width();
    case 4: return reinterpret_cast<intptr_t>(form->Handle());
    case 5: return reinterpret_cast<intptr_t>(form->button.Handle());
    case 6: return InsideLibrary() && Application().MainForm() == nullptr;
    case 7: return Screen().Cursor(slider::kCursorHand) != LoadCursorW(nullptr, IDC_ARROW);
    case 8: return form->ticks;
    case 9: return reinterpret_cast<intptr_t>(form->notifications.Handle());
    case 10: return form->notices;
    default: return -1;
  }
}

// Shows a modal form; answers 1 when the host's window was disabled while it
// showed and is enabled again after.
extern "C" __declspec(dllexport) int tkd_ShowModal(HWND host) {
  TForm modal;
  modal.SetCaption(L"关于");
  bool hostDisabled = false;
  TTimer t;
  t.SetInterval(50);
  t.OnTimer = [&](TObject*) {
    t.SetEnabled(false);
    hostDisabled = !IsWindowEnabled(host);
    modal.ModalResult = mrOk;
  };
  const int r = modal.ShowModal();
  modal.DoDestroy();
  return r == mrOk && hostDisabled && IsWindowEnabled(host);
}

// Shows the toolkit's exception box; answers 1 when the host's window was
// disabled while it showed and is enabled again after.
extern "C" __declspec(dllexport) int tkd_ShowError(HWND host) {
  bool hostDisabled = false, boxSeen = false;
  TTimer t;
  t.SetInterval(50);
  t.OnTimer = [&](TObject*) {
    t.SetEnabled(false);
    hostDisabled = !IsWindowEnabled(host);
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    boxSeen = box != nullptr;
    if (box) PostMessageW(box, WM_COMMAND, IDOK, 0);
  };
  HandleException(std::make_exception_ptr(std::runtime_error("坏的图标")));
  return boxSeen && hostDisabled && IsWindowEnabled(host);
}

extern "C" __declspec(dllexport) void tkd_Close() {
  if (!form) return;
  form->DoDestroy();
  form.reset();
}
