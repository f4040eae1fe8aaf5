// The C boundary of bass.dll and bfxs.dll: every exported function, and every callback
// that C code or the other library calls (a stage's stream functions, an effect's, a
// decoder's reader), runs its body through guarded(), so a C++ exception (an allocation
// that fails, a thread that cannot start, a decoder that throws) never unwinds into a
// caller that cannot take it: each library has its own unwinder, and C frames have none.
// It becomes the library's error code and the function's documented failure value. The
// update thread guards each stream it serves the same way.
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

// The same for a body that returns nothing.
template <typename SetError, typename Body>
void guarded(SetError set_error, Body&& body) noexcept {
  guarded(set_error, false, [&] {
    body();
    return true;
  });
}

}  // namespace tav::audio
