// What the engine takes from the operating system, one routine each; the
// Windows build links the *_win32.cpp files, other builds the *_posix.cpp
// ones (engine/CMakeLists.txt chooses).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tav/library_loader.h"

namespace tav::engine {

// The loader the DSP host starts with: Win32's, or one that loads nothing.
tav::TLibraryLoader& DefaultDspLibraryLoader();

// Names of the files in `folder` (ending in a path separator) that may be
// add-ons ("bass*.dll" where the system matches patterns, every file
// elsewhere), in the order the file system lists them.
std::vector<std::string> ListAddOnCandidates(const std::string& folder);

// An 8-bit text of the system code page as UTF-8 (unchanged where the
// system's 8-bit texts are UTF-8 already).
std::string CodePageToUtf8(std::string_view text);

}  // namespace tav::engine
