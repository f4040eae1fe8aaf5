#include "bass_fx.h"
#include "fx_effects.h"

#ifndef TAV_BFXS_REPORTED_VERSION
#define TAV_BFXS_REPORTED_VERSION BASS_FX_VERSION_NUMBER
#endif

extern "C" DWORD BASSAPI BASS_FX_GetVersion(void) {
  tav::bfxs::ensure_effects_registered();
  return TAV_BFXS_REPORTED_VERSION;
}
