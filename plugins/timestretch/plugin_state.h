// The plug-in library's state shared by its entry points and its dialogs.
#pragma once

#include <windows.h>

#include "stretch_module.h"

namespace lentaro {

struct PluginWindows {
  HINSTANCE instance = nullptr;  // the library, as the host gave it to Init
  HWND host = nullptr;           // owns the dialogs and receives the WM_USER notice
  HWND control = nullptr;
  HWND help = nullptr;
  HWND about = nullptr;
  int posX = 10, posY = 10;      // last known place of the control dialog
};

StretchModule& stretchModule();
PluginWindows& pluginWindows();

}  // namespace lentaro
