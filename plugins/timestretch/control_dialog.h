// The control dialog (speed and pitch track bars, Bypass and Mono) and the Help
// and About dialogs, all modeless from the library's dialog templates.
#pragma once

#include <windows.h>

namespace lentaro {

HWND createControlDialog(HINSTANCE instance, HWND owner);
void openHelpDialog(HINSTANCE instance, HWND owner);
void openAboutDialog(HINSTANCE instance, HWND owner);
// Destroys whichever of the three dialogs are open.
void destroyDialogs();

}  // namespace lentaro
