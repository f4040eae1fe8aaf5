// The engine takes file names and addresses as 8-bit text in the system code
// page; windows show UTF-16.
#pragma once
#include <string>
#include <string_view>

namespace tav::player {

std::wstring AnsiToWide(std::string_view text);
std::string WideToAnsi(std::wstring_view text);

}  // namespace tav::player
