// Milliseconds to text by one of eight named patterns.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace tav::engine {

// Patterns: "ddd.dd", "hh:mm:ss.ddd", "h:mm:ss.d", "hh:mm:ss.dd", "mm:ss.d",
// "mm:ss.dd", "mm:ss.ddd", "h:mm:ss" (exact, case-sensitive); any other gives
// "Nothing". Every digit is truncated; the "mm" patterns drop the hours.
std::string FormatTime(std::string_view pattern, int32_t ms);

}  // namespace tav::engine
