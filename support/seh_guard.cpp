// Fault guard for calls into foreign code; see tav/seh_guard.h.
#include "tav/seh_guard.h"

#if defined(_WIN32) && defined(__i386__)
#include <windows.h>
#endif

namespace tav {
namespace {

struct CatchingCall {
  void (*fn)(void*);
  void* ctx;
  bool threw;
};

// Runs the callee and stops any C++ exception here, inside the guard frame:
// the unwinder must never have to cross the hand-written frame below.
void RunCatching(void* p) {
  auto* call = static_cast<CatchingCall*>(p);
  try {
    call->fn(call->ctx);
  } catch (...) {
    call->threw = true;
  }
}

}  // namespace
}  // namespace tav

#if defined(_WIN32) && defined(__i386__)

// The guard frame is an exception registration record on the stack, linked
// into the thread's handler chain at fs:[0], followed by our own fields:
//   +0 previous record   +4 handler   +8 caller's ebp   +12 exception code
//   +16 caller's x87 control word   +20 caller's SSE control/status
struct TavGuardFrame {
  TavGuardFrame* previous;
  void* handler;
  DWORD savedEbp;
  DWORD exceptionCode;
  DWORD savedFpuControl;
  DWORD savedMxcsr;
};
static_assert(sizeof(TavGuardFrame) == 24, "the assembly below lays the frame out by hand");

extern "C" {
int tav_seh_call_i686(void (*fn)(void*), void* ctx, unsigned* exceptionCode);
void tav_seh_landing_i686();
EXCEPTION_DISPOSITION __cdecl tav_seh_handler_i686(EXCEPTION_RECORD* record, void* frame,
                                                    CONTEXT* context, void* dispatcherContext);
}

// tav_seh_call_i686(fn, ctx, exceptionCode): 1 when fn returned, 0 after a fault.
// On a fault the handler resumes at tav_seh_landing_i686 with esp pointing at the
// frame and ebp restored; the callee-saved registers come back from the stack,
// and the caller's floating-point control state is put back (a faulting callee
// may have left traps unmasked).
asm(R"(
    .text
    .globl _tav_seh_call_i686
    .globl _tav_seh_landing_i686
_tav_seh_call_i686:
    pushl %ebp
    movl  %esp, %ebp
    pushl %ebx
    pushl %esi
    pushl %edi
    subl  $24, %esp
    movl  %fs:0, %eax
    movl  %eax, 0(%esp)
    movl  $_tav_seh_handler_i686, 4(%esp)
    movl  %ebp, 8(%esp)
    movl  $0, 12(%esp)
    movl  $0, 16(%esp)
    fnstcw 16(%esp)
    stmxcsr 20(%esp)
    movl  %esp, %fs:0
    pushl 12(%ebp)
    call  *8(%ebp)
    leal  -36(%ebp), %esp
    movl  0(%esp), %eax
    movl  %eax, %fs:0
    movl  $1, %eax
    jmp   2f
_tav_seh_landing_i686:
    movl  0(%esp), %eax
    movl  %eax, %fs:0
    fnclex
    fldcw 16(%esp)
    ldmxcsr 20(%esp)
    movl  16(%ebp), %edx
    testl %edx, %edx
    jz    1f
    movl  12(%esp), %ecx
    movl  %ecx, (%edx)
1:
    xorl  %eax, %eax
2:
    leal  -12(%ebp), %esp
    popl  %edi
    popl  %esi
    popl  %ebx
    popl  %ebp
    ret
)");

extern "C" EXCEPTION_DISPOSITION __cdecl tav_seh_handler_i686(EXCEPTION_RECORD* record, void* frame,
                                                               CONTEXT* context, void*) {
  constexpr DWORD kUnwinding = 0x2, kExitUnwind = 0x4;
  if (record->ExceptionFlags & (kUnwinding | kExitUnwind)) return ExceptionContinueSearch;
  auto* guard = static_cast<TavGuardFrame*>(frame);
  guard->exceptionCode = record->ExceptionCode;
  context->Eip = reinterpret_cast<DWORD>(&tav_seh_landing_i686);
  context->Esp = reinterpret_cast<DWORD>(guard);
  context->Ebp = guard->savedEbp;
  // A floating-point trap leaves its exception flags pending in the saved
  // state; clear them so that resuming does not trap again at once.
  context->FloatSave.StatusWord &= ~0x80FFu;
  if ((context->ContextFlags & CONTEXT_EXTENDED_REGISTERS) == CONTEXT_EXTENDED_REGISTERS) {
    auto* mxcsr = reinterpret_cast<DWORD*>(context->ExtendedRegisters + 24);
    *mxcsr &= ~0x3Fu;
  }
  return ExceptionContinueExecution;
}

namespace tav {
bool CallGuarded(void (*fn)(void*), void* ctx, unsigned* exceptionCode) {
  CatchingCall call{fn, ctx, false};
  unsigned code = 0;
  if (!tav_seh_call_i686(&RunCatching, &call, &code)) {
    if (exceptionCode) *exceptionCode = code;
    return false;
  }
  if (call.threw) {
    if (exceptionCode) *exceptionCode = kCppExceptionCode;
    return false;
  }
  return true;
}
}  // namespace tav

#else

namespace tav {
// Outside 32-bit Windows a hardware fault is a signal, not an exception that
// could be resumed from; the guard catches C++ exceptions only.
bool CallGuarded(void (*fn)(void*), void* ctx, unsigned* exceptionCode) {
  CatchingCall call{fn, ctx, false};
  RunCatching(&call);
  if (call.threw && exceptionCode) *exceptionCode = kCppExceptionCode;
  return !call.threw;
}
}  // namespace tav

#endif
