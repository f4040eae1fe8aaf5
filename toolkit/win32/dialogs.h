// Common dialogs: open and save dialogs, the folder browser and message boxes.
#pragma once
#include <string>
#include <vector>

#include <windows.h>

#include "toolkit/win32/base.h"

namespace tav {

enum TOpenOption : unsigned {
  ofAllowMultiSelect = 1,
  ofFileMustExist = 2,
  ofPathMustExist = 4,
  ofOverwritePrompt = 8,
  ofHideReadOnly = 16,
  ofNoChangeDir = 32,
  ofNoTestFileCreate = 64,  // the chosen file is not tested by creating it
  ofDontAddToRecent = 128,  // the chosen file is not added to the recent documents
};
using TOpenOptions = unsigned;

class TOpenDialog : public TObject {
 public:
  std::wstring Title;
  // "description|pattern|description|pattern..."
  std::wstring Filter;
  int FilterIndex = 1;
  std::wstring InitialDir;
  std::wstring FileName;
  // The extension a save dialog adds when the user types none ("" for none);
  // "*.ext", ".ext" and "ext" all mean "ext".
  std::wstring DefaultExt;
  TOpenOptions Options = ofHideReadOnly | ofPathMustExist;
  // Every chosen file (one unless ofAllowMultiSelect).
  std::vector<std::wstring> Files;
  // The window the dialog belongs to; the active window when none.
  HWND Owner = nullptr;

  // Returns false when the user cancels or the dialog fails (DialogError
  // then holds the dialog's error code, else 0).
  virtual bool Execute();
  DWORD DialogError = 0;

 protected:
  bool Run(bool save);
};

// Asks before overwriting a file unless ofOverwritePrompt is taken out of
// its options.
class TSaveDialog : public TOpenDialog {
 public:
  TSaveDialog() { Options = ofHideReadOnly | ofOverwritePrompt | ofPathMustExist; }
  bool Execute() override { return Run(true); }
};

// Lets the user pick a folder; returns false when cancelled.
bool SelectDirectory(std::wstring_view caption, std::wstring& directory, HWND owner = nullptr);

// A message box over the active window.
int ShowMessageBox(std::wstring_view text, std::wstring_view caption, UINT flags);

}  // namespace tav
