#include "library_instance.h"

namespace tav::audio {

// The one library of the process. It is never destroyed: at process exit the
// update threads have already been ended by the system, and tearing devices
// down from the DLL's unload (under the loader lock) would wait on them for
// ever. A host that wants its devices closed calls BASS_Free.
Library& library() {
  static Library* instance = new Library(platform_outputs());
  return *instance;
}

}  // namespace tav::audio
