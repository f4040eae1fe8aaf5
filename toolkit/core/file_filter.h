// File dialog filters written as "description|pattern|description|pattern...".
#pragma once
#include <string>
#include <string_view>

namespace tav {

// The dialog's form: each '|' becomes a NUL and the list ends with two NULs.
// An empty filter text gives an empty list (just the terminator).
std::u16string DialogFilterFromText(std::u16string_view filter);

// The number of description/pattern pairs in a filter text.
int FilterPairCount(std::u16string_view filter);

// The extension (without dot) a save dialog appends when the user types none;
// "" when none is set. The setting may be written as a pattern ("*.brindle")
// or with its dot (".brindle"): both give "brindle".
std::u16string NormalisedDefaultExtension(std::u16string_view ext);

}  // namespace tav
