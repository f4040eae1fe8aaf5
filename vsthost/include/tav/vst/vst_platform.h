// What the VST host needs from the operating system, behind small interfaces:
// loading plug-in libraries, and the few windows and dialogs that plug-ins
// may ask the host for.  The Windows build installs Win32 implementations;
// tests install fakes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tav/library_loader.h"

namespace tav::vst {

// The program's library loader, which also tells whether a file exists (the
// host reports a missing file before it tries to load it).
class TVstLibraryLoader : public tav::TLibraryLoader {
 public:
  virtual bool FileExists(const std::string& path) = 0;
};

// Texts are UTF-16 here; the host callback converts the plug-in's 8-bit texts.
struct TPlugInWindowRequest {
  std::wstring title;
  int left = 0, top = 0, width = 0, height = 0;
  std::int32_t style = 0;  // 0: resizable tool window with title bar, 1: no border, else default
  void* parent = nullptr;  // the plug-in's parent window, when given
};

struct TFileDialogRequest {
  bool save = false;
  bool multiple = false;  // an open dialog that may return several files
  std::wstring title;
  std::wstring initialFolder;
  std::wstring filter;  // "Name (*.ext)|*.ext|..." pairs
};

class TVstHostUi {
 public:
  virtual ~TVstHostUi() = default;
  // A form for audioMasterOpenWindow; it is made but not shown.
  virtual void* CreatePlugInWindow(const TPlugInWindowRequest& request) = 0;
  virtual void DestroyPlugInWindow(void* window) = 0;
  virtual void ShowMessage(const std::string& text) = 0;
  // Runs an open or save dialog modally on the calling thread.  True, with the
  // chosen files' full paths, only when the user chose at least one.
  virtual bool RunFileDialog(const TFileDialogRequest& request, std::vector<std::wstring>& files) = 0;
};

// The program-wide services (never null).  Passing null restores the default:
// Win32 in the Windows build; elsewhere a loader that finds no library and an
// interface without windows whose dialogs are always cancelled.
TVstLibraryLoader& VstLibraryLoader();
void SetVstLibraryLoader(TVstLibraryLoader* loader);
TVstHostUi& VstHostUi();
void SetVstHostUi(TVstHostUi* ui);

}  // namespace tav::vst
