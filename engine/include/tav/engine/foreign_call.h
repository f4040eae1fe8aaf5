// Calls into foreign code (plug-in modules): a C++ exception or, on Windows,
// a processor fault (access violation, floating-point trap) inside the call
// is caught and reported instead of ending the program.
#pragma once

#include <utility>

namespace tav::engine {

enum class TForeignCallResult { Ok, Exception, Fault };

TForeignCallResult CallForeignRaw(void (*fn)(void*), void* context) noexcept;

template <class F>
TForeignCallResult CallForeign(F&& fn) noexcept {
  using Fn = std::remove_reference_t<F>;
  return CallForeignRaw([](void* c) { (*static_cast<Fn*>(c))(); }, &fn);
}

}  // namespace tav::engine
