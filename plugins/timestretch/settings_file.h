// "plugin.ini" beside the library, section "DSP_Lentaro": settings and the
// control dialog's position.
#pragma once

#include <string>

#include <windows.h>

#include "stretch_module.h"

namespace lentaro {

std::wstring iniPath(HINSTANCE library);
void loadSettings(const std::wstring& path, StretchModule& module);
void saveSettings(const std::wstring& path, const StretchModule& module);
// Reads, checks and applies the saved position; updates posX, posY when moved.
void loadWindowPos(const std::wstring& path, HWND dialog, int& posX, int& posY);
void saveWindowPos(const std::wstring& path, int posX, int posY);

}  // namespace lentaro
