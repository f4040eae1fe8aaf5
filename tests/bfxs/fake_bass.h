// A small stand-in for bass.dll's channel and extension interface, enough to
// drive the bfxs stages and effects natively.
#pragma once

#include <cstdint>
#include <vector>

#include "bass.h"

namespace tav::bfxs::test {

// A decoding stream over 16-bit PCM held in memory (prescanned: exact length and seeking).
DWORD make_pcm_stream(DWORD freq, DWORD chans, std::vector<int16_t> pcm, DWORD flags);

}  // namespace tav::bfxs::test
