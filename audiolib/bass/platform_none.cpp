// Builds without a sound system: device 0 is the only device.
#include "library_instance.h"

namespace tav::audio {

OutputPlatform* platform_outputs() { return nullptr; }

}  // namespace tav::audio
