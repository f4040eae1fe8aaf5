#include "error.h"

namespace tav::audio {

namespace {
thread_local int t_error = 0;
}

void set_error(int code) { t_error = code; }
int last_error() { return t_error; }

}  // namespace tav::audio
