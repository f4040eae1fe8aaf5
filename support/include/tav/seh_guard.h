// Calls into foreign code (plug-in libraries) behind a fault guard.
//
// On Windows a C++ catch does not see hardware faults such as an access
// violation, an integer divide by zero or an unmasked floating-point trap.
// CallGuarded puts a structured-exception handler of its own around the call
// (a frame in the thread's handler chain on 32-bit Windows, the unwind tables
// on 64-bit Windows; never a vectored handler, so a plug-in's own handlers
// still see its faults first): when the callee faults, execution resumes
// after the call, CallGuarded returns false and reports the exception code.
// On 32-bit Windows whatever the callee had on its stack is abandoned; on
// 64-bit Windows its frames are unwound.  The caller's floating-point control
// state is put back either way.
//
// C++ exceptions that leave fn are caught as well (code kCppExceptionCode).
// In builds for other systems the guard is a plain call that only catches
// C++ exceptions.
#pragma once

#include <type_traits>
#include <utility>

namespace tav {

// Reported for a C++ exception that left the guarded function.
inline constexpr unsigned kCppExceptionCode = 0xE0435050u;

// Calls fn(ctx).  Returns true when fn returned normally; false when it
// faulted or threw, with the code stored in *exceptionCode (when given).
bool CallGuarded(void (*fn)(void*), void* ctx, unsigned* exceptionCode = nullptr);

// CallGuarded over any callable: Guarded([&] { result = plugin->call(); }).
template <class F>
bool Guarded(F&& f, unsigned* exceptionCode = nullptr) {
  using Fn = std::remove_reference_t<F>;
  return CallGuarded([](void* p) { (*static_cast<Fn*>(p))(); },
                     const_cast<void*>(static_cast<const void*>(std::addressof(f))),
                     exceptionCode);
}

}  // namespace tav
