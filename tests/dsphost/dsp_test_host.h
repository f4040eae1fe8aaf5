// A Winamp DSP host for tests: loads a plug-in library (from a private copy, so
// that the files a plug-in writes beside itself belong to one test), fills in
// every module's parent window and instance handle, and calls its entry points.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "tav/winamp_dsp.h"
#include "toolkit/win32/base.h"  // the toolkit's window class name

namespace tav::test {

struct HostMessage {
  WPARAM wParam;
  LPARAM lParam;
};

class DspTestHost {
 public:
  DspTestHost();
  ~DspTestHost();
  DspTestHost(const DspTestHost&) = delete;
  DspTestHost& operator=(const DspTestHost&) = delete;

  // Copies the library into a fresh folder of its own and loads it from there;
  // false when it cannot be loaded or lacks the export.
  bool load(const std::wstring& libraryPath);
  void unload();  // FreeLibrary; the private folder stays until destruction

  winampDSPHeader* header() const { return header_; }
  const std::vector<winampDSPModule*>& modules() const { return modules_; }
  winampDSPModule* module(size_t i = 0) const { return i < modules_.size() ? modules_[i] : nullptr; }
  HWND window() const { return window_; }
  HMODULE library() const { return library_; }
  const std::wstring& folder() const { return folder_; }

  int init(size_t i = 0) { return module(i)->Init(module(i)); }
  void config(size_t i = 0) { module(i)->Config(module(i)); }
  void quit(size_t i = 0) { module(i)->Quit(module(i)); }
  int modify(short* samples, int frames, int bps, int nch, int srate, size_t i = 0) {
    return module(i)->ModifySamples(module(i), samples, frames, bps, nch, srate);
  }

  // Dispatches the queued messages of this thread.
  static void pump();
  // A visible or hidden top-level window of this thread with that class and
  // caption, or 0.
  static HWND findWindow(const wchar_t* className, const wchar_t* caption);
  // The same for a dialog box, and for a form of the window toolkit that a
  // plug-in built on it shows.
  static HWND findDialog(const wchar_t* caption) { return findWindow(L"#32770", caption); }
  static HWND findToolkitWindow(const wchar_t* caption) { return findWindow(tav::kToolkitWindowClass, caption); }

  // WM_USER messages the plug-in sent to the host window (answered with 0).
  std::vector<HostMessage> userMessages;

 private:
  static LRESULT CALLBACK windowProc(HWND, UINT, WPARAM, LPARAM);
  HWND window_ = nullptr;
  HMODULE library_ = nullptr;
  winampDSPHeader* header_ = nullptr;
  std::vector<winampDSPModule*> modules_;
  std::wstring folder_;
};

std::wstring readWindowText(HWND window);
std::wstring exeFolder();
// The process's CPU time so far (user and kernel), in seconds: what the
// plug-ins' speed tools measure against.
double processCpuSeconds();

}  // namespace tav::test
