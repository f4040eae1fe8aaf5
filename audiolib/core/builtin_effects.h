// The effect types bass.dll provides itself: DirectX 8 echo and reverb.
#pragma once

#include "effect.h"

namespace tav::audio {

void register_builtin_effects(EffectRegistry& registry);

}  // namespace tav::audio
