// The effect types bfxs adds to bass.dll's channels.
#pragma once

namespace tav::bfxs {

// Registers the peaking equaliser and the phaser with bass.dll (once).
void ensure_effects_registered();

}  // namespace tav::bfxs
