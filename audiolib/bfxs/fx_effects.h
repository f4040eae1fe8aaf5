// The effect types bfxs adds to bass.dll's channels.
#pragma once

#include "bass_ext.h"

namespace tav::bfxs {

// The functions bass.dll calls for the equaliser and the phaser.
const TAV_FX_FUNCS& effect_funcs();

// Registers the peaking equaliser and the phaser with bass.dll (once).
void ensure_effects_registered();

}  // namespace tav::bfxs
