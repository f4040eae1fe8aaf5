// The one library state behind the C interface, and the platform's output devices.
#pragma once

#include "library.h"

namespace tav::audio {

Library& library();
OutputPlatform* platform_outputs();  // null where there is no sound output (native build)

}  // namespace tav::audio
