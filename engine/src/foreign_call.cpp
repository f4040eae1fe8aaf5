#include "tav/engine/foreign_call.h"

#if defined(TAV_HAVE_SEH_GUARD)
#include "tav/seh_guard.h"
#endif

namespace tav::engine {

#if defined(TAV_HAVE_SEH_GUARD)
TForeignCallResult CallForeignRaw(void (*fn)(void*), void* context) noexcept {
  unsigned code = 0;
  if (tav::CallGuarded(fn, context, &code)) return TForeignCallResult::Ok;
  return code == tav::kCppExceptionCode ? TForeignCallResult::Exception : TForeignCallResult::Fault;
}
#else
// Without the structured-exception guard (a build without the support
// component) only C++ exceptions are caught.
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
