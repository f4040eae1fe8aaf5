// Stand-ins for a bass.dll without the extension interface: the library loads,
// reports its version, and refuses to make stages.
#include "bass_fx.h"
#include "fx_effects.h"

namespace tav::bfxs {
void ensure_effects_registered() {}
}  // namespace tav::bfxs

extern "C" {
HSTREAM BASSAPI BASS_FX_TempoCreate(DWORD, DWORD) { return 0; }
DWORD BASSAPI BASS_FX_TempoGetSource(HSTREAM) { return 0; }
HSTREAM BASSAPI BASS_FX_ReverseCreate(DWORD, float, DWORD) { return 0; }
DWORD BASSAPI BASS_FX_ReverseGetSource(HSTREAM) { return 0; }
}
