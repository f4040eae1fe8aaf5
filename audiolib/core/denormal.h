// Recursive filters and delay lines decay towards zero through subnormal numbers, which
// are slow on x86. Their state goes through flush_denormal, so silence stays cheap.
#pragma once

#include <cmath>

namespace tav::audio {

inline float flush_denormal(float v) { return std::fabs(v) < 1e-20f ? 0.0f : v; }

}  // namespace tav::audio
