#include "library_instance.h"

namespace tav::audio {

Library& library() {
  static Library instance(platform_outputs());
  return instance;
}

}  // namespace tav::audio
