// The engine takes file names and addresses as 8-bit text in the system code
// page; windows show UTF-16.
#pragma once
#include <string>
#include <string_view>

namespace tav::player {

std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);
// An existing file's path as an 8-bit name that opens the same file: the
// path itself when the system code page holds every character of it, else
// its short (8.3) form when that one does. A path that neither holds comes
// back narrowed (its lost characters as '?'), and opening it fails.
std::string AnsiFileName(std::wstring_view path);
// The file-name part of an 8-bit path (after its last backslash or colon) as
// the user named the file: a short name is shown in its long form.
std::wstring ShownFileName(std::string_view path);

}  // namespace tav::player
