// A DirectSound device opened the one way the library opens it: priority level, the
// primary buffer asked for 16-bit stereo at the rate, and one looping ring of silence
// that plays. Shared with the probe that measures the sound system's own cost.
#pragma once

#include <windows.h>
#include <mmsystem.h>
#include <mmreg.h>
#include <dsound.h>

namespace tav::audio {

// `guid` nullptr: the default device. True with both objects set; false with none.
bool open_playing_ring(const GUID* guid, HWND hwnd, unsigned freq, DWORD ring_bytes, IDirectSound8*& ds_out,
                       IDirectSoundBuffer*& buffer_out);

}  // namespace tav::audio
