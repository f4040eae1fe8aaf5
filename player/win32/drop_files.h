// Names of files dropped from the shell (the handle of WM_DROPFILES), counted
// from 1, as 8-bit paths for the engine (a name outside the system code page
// by its short form, player/win32/ansi_text.h). The caller releases the drop.
#pragma once
#include <string>

#include <windows.h>
#include <shellapi.h>

namespace tav::player {

int GetDropFileCount(HDROP drop);
// The n-th name, whole however long it is; empty for an n outside the drop.
std::string GetDropFileName(HDROP drop, int n);

}  // namespace tav::player
