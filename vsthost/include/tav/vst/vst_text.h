// Texts between the program and plug-ins. Inside the program file names and
// the texts of dialogs and windows are UTF-16; the 8-bit texts of the VST 2
// interface (file selector titles, folders, filters and chosen paths, window
// captions, program, effect, vendor and product names) are in the system code
// page, as every 8-bit text of the player is. Builds for other systems take
// UTF-8 as their code page.
#pragma once

#include <string>
#include <string_view>

namespace tav::vst {

std::wstring PlugInTextToWide(std::string_view text);
// Characters the code page lacks become '?'.
std::string WideToPlugInText(std::wstring_view text);
// A chosen path for a plug-in: where the code page cannot spell it, the
// file's short name when the file system has one.
std::string PathToPlugInText(const std::wstring& path);

// The library loader takes its paths as UTF-8.
std::string WideToUtf8(std::wstring_view text);
std::wstring Utf8ToWide(std::string_view text);

}  // namespace tav::vst
