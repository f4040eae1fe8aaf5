// A read-only edit that shows a key's name: every key reaches its OnKeyDown,
// Tab, Enter and Escape too. A Tab its handler leaves unconsumed still moves
// the focus on (Shift+Tab back).
#pragma once

#include "toolkit/win32/forms.h"
#include "toolkit/win32/stdctrls.h"

namespace tav::player {

class TKeyCaptureEdit : public TEdit {
 public:
  explicit TKeyCaptureEdit(TWinControl* parent) : TEdit(parent) { SetReadOnly(true); }

  void KeyDown(WORD& key, TShiftState shift) override {
    TEdit::KeyDown(key, shift);
    if (key != VK_TAB) return;
    const HWND root = GetAncestor(Handle(), GA_ROOT);
    if (HWND next = GetNextDlgTabItem(root, Handle(), (shift & ssShift) != 0); next && next != Handle())
      ::SetFocus(next);
  }
  // The Tab's character is not text.
  void KeyPress(wchar_t& key) override {
    if (key == L'\t') key = 0;
    TEdit::KeyPress(key);
  }

 protected:
  UINT DialogCode(UINT defaultCode) override { return defaultCode | DLGC_WANTALLKEYS; }
};

}  // namespace tav::player
