// How the INI object turns values into text and back. Values are decimal text.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tav {

// A decimal 32-bit integer: optional leading blanks, an optional sign, digits,
// nothing after them. Anything else (empty, "12abc", out of range) is no integer.
std::optional<int32_t> ParseIniInteger(std::string_view text);
int32_t IniIntegerOr(std::string_view text, int32_t fallback);

// The lenient reading some settings and edits use: leading blanks, an optional
// sign, then as many digits as follow; whatever comes after them is ignored.
// Saturates at the 32-bit range; text without a leading digit reads 0.
int32_t ParseLeadingInteger(std::string_view text);

std::string FormatIniInteger(int32_t value);
// Booleans are written "1"/"0" and read as an integer other than 0.
inline std::string FormatIniBool(bool value) { return value ? "1" : "0"; }
bool IniBoolOr(std::string_view text, bool fallback);

}  // namespace tav
