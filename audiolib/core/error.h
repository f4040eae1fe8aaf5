// Per-thread error code of the library's C interface.
#pragma once

namespace tav::audio {

// Error codes are the values of bass.h (BASS_ERROR_*).
void set_error(int code);
int last_error();

// Sets the code and returns `value`, so failing paths read `return fail(BASS_ERROR_HANDLE, 0);`.
template <typename T>
T fail(int code, T value) {
  set_error(code);
  return value;
}

}  // namespace tav::audio
