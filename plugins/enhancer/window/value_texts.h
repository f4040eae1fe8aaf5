// The short text each parameter slider keeps as its hint: what its position
// (0..100) roughly means in hertz, per cent or milliseconds.
#pragma once

#include <cstdint>
#include <string>

#include "parameters.h"

namespace brindle::window {

// The value text of the slider that sets `p` at `position`; empty for the
// check-box parameters, which have none.
std::string ValueText(Param p, int32_t position);

}  // namespace brindle::window
