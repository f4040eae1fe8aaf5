// Putting a finished file in the place of another, one file per platform
// (replace_file_win32.cpp, replace_file_posix.cpp).
#pragma once

#include <filesystem>

namespace tav::player {

// Puts `from` in the place of `to`, replacing it; false when it cannot.
bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to);

}  // namespace tav::player
