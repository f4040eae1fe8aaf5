// UTF-8 <-> UTF-16 conversion. Sources are UTF-8; window texts are UTF-16.
#pragma once
#include <string>
#include <string_view>

namespace tav {

// Malformed UTF-8 sequences become U+FFFD.
std::u16string Utf8ToUtf16(std::string_view text);
// Unpaired surrogates become U+FFFD.
std::string Utf16ToUtf8(std::u16string_view text);

}  // namespace tav
