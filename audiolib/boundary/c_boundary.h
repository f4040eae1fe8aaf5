// The C boundary of bass.dll and bfxs.dll: every exported function runs its body through
// guarded(), so a C++ exception (an allocation that fails, a thread that cannot start, a
// decoder that throws) never reaches a C caller. It becomes the library's error code and
// the function's documented failure value.
#pragma once

#include <new>

#include "bass.h"

namespace tav::audio {

template <typename T, typename SetError, typename Body>
T guarded(SetError set_error, T failure, Body&& body) noexcept {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    set_error(BASS_ERROR_MEM);
  } catch (...) {
    set_error(BASS_ERROR_UNKNOWN);
  }
  return failure;
}

}  // namespace tav::audio
