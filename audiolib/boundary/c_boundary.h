// The C boundary of bass.dll and bfxs.dll: every exported function, and every callback
// that C code or the other library calls (a stage's stream functions, an effect's, a
// decoder's reader), runs its body through guarded(), so a C++ exception (an allocation
// that fails, a thread that cannot start, a decoder that throws) never unwinds into a
// caller that cannot take it: each library has its own unwinder, and C frames have none.
// It becomes the library's error code and the function's documented failure value. The
// update thread guards each stream it serves the same way.
#pragma once

#include <new>
#include <stdexcept>
#include <utility>

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

// A callback that a C library calls inside a call of ours (a decoder's reader) catches
// with note_callback_failure as its error setter; the library's call then fails, and
// raise_callback_failure() raises the failure again on this side of it.
inline thread_local int t_callback_failure = 0;
inline void note_callback_failure(int error) { t_callback_failure = error; }
inline void clear_callback_failure() { t_callback_failure = 0; }
inline void raise_callback_failure() {
  const int error = std::exchange(t_callback_failure, 0);
  if (error == BASS_ERROR_MEM) throw std::bad_alloc();
  if (error) throw std::runtime_error("a callback failed");
}

}  // namespace tav::audio
