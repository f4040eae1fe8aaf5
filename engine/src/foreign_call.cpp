#include "tav/engine/foreign_call.h"

namespace tav::engine {

#if !defined(_WIN32)
TForeignCallResult CallForeignRaw(void (*fn)(void*), void* context) noexcept {
  try {
    fn(context);
    return TForeignCallResult::Ok;
  } catch (...) {
    return TForeignCallResult::Exception;
  }
}
#endif

}  // namespace tav::engine
