// Names of the keys that may step the play position: a fixed table indexed by
// virtual-key code 1..256. A code without a name cannot be chosen.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace tav::player {

inline constexpr int kFirstKeyCode = 1;
inline constexpr int kLastKeyCode = 256;

// Index 0 is unused; entries without text are empty.
extern const std::array<std::string_view, kLastKeyCode + 1> KeyNames;

// The key's name, or empty for a code that has none or lies outside 1..256.
std::string_view KeyNameOf(int64_t code);

}  // namespace tav::player
