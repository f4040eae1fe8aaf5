// Source channels for the bfxs tests, made through the audio library's own
// exported functions.
#pragma once

#include <cstdint>
#include <vector>

#include "bass.h"

namespace tav::bfxs::test {

// A channel over 16-bit PCM: with BASS_STREAM_DECODE in `flags` a decoding
// stream of a WAV file holding `pcm` (exact length and seeking with
// BASS_STREAM_PRESCAN), otherwise a playing stream on the "no sound" device.
DWORD make_pcm_stream(DWORD freq, DWORD chans, const std::vector<int16_t>& pcm, DWORD flags);

}  // namespace tav::bfxs::test
