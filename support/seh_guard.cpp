// Fault guard for calls into foreign code; see tav/seh_guard.h.
#include "tav/seh_guard.h"

#if defined(_WIN32) && (defined(__i386__) || defined(__x86_64__))
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
// (fninit at the landing empties the x87 register stack that the faulting code
// may have left loaded, and clears its pending exceptions.)
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
    fninit
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

static int GuardFrameCall(void (*fn)(void*), void* ctx, unsigned* exceptionCode) {
  return tav_seh_call_i686(fn, ctx, exceptionCode);
}

#elif defined(_WIN32) && defined(__x86_64__)

// On x86_64 the handler is found through the unwind tables: the guard is a
// function of its own whose unwind information names tav_seh_handler_x64 as
// its exception handler. On a fault the handler unwinds the callee's frames
// (running their cleanups) back to the guard and resumes it at
// tav_seh_landing_x64 with the exception code in eax. The x87 register stack
// is emptied there (fninit) and the caller's floating-point control state is
// put back.
//
// Frame after the prologue (rsp): +0..31 the callee's home area, +32 the
// code pointer, +40 the caller's MXCSR, +44 the caller's x87 control word.
extern "C" {
int tav_seh_call_x64(void (*fn)(void*), void* ctx, unsigned* exceptionCode);
void tav_seh_landing_x64();
EXCEPTION_DISPOSITION tav_seh_handler_x64(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT* context,
                                          DISPATCHER_CONTEXT* dispatch);
}

asm(R"(
    .text
    .p2align 4
    .globl tav_seh_call_x64
    .globl tav_seh_landing_x64
    .def tav_seh_call_x64; .scl 2; .type 32; .endef
    .seh_proc tav_seh_call_x64
tav_seh_call_x64:
    pushq %rbp
    .seh_pushreg %rbp
    subq  $48, %rsp
    .seh_stackalloc 48
    .seh_endprologue
    .seh_handler tav_seh_handler_x64, @except
    movq  %r8, 32(%rsp)
    stmxcsr 40(%rsp)
    fnstcw 44(%rsp)
    movq  %rcx, %rax
    movq  %rdx, %rcx
    call  *%rax
    nop
    movl  $1, %eax
    jmp   2f
tav_seh_landing_x64:
    fninit
    fldcw 44(%rsp)
    ldmxcsr 40(%rsp)
    movq  32(%rsp), %rdx
    testq %rdx, %rdx
    jz    1f
    movl  %eax, (%rdx)
1:
    xorl  %eax, %eax
2:
    addq  $48, %rsp
    popq  %rbp
    ret
    .seh_endproc
)");

extern "C" EXCEPTION_DISPOSITION tav_seh_handler_x64(EXCEPTION_RECORD* record, void* establisherFrame, CONTEXT*,
                                                     DISPATCHER_CONTEXT* dispatch) {
  constexpr DWORD kUnwinding = 0x2, kExitUnwind = 0x4;
  if (record->ExceptionFlags & (kUnwinding | kExitUnwind)) return ExceptionContinueSearch;
  RtlUnwindEx(establisherFrame, reinterpret_cast<void*>(&tav_seh_landing_x64), record,
              reinterpret_cast<void*>(static_cast<ULONG_PTR>(record->ExceptionCode)), dispatch->ContextRecord,
              dispatch->HistoryTable);
  return ExceptionContinueSearch;  // not reached: the unwind resumes in the guard
}

static int GuardFrameCall(void (*fn)(void*), void* ctx, unsigned* exceptionCode) {
  return tav_seh_call_x64(fn, ctx, exceptionCode);
}

#endif

#if defined(_WIN32) && (defined(__i386__) || defined(__x86_64__))

namespace tav {
bool CallGuarded(void (*fn)(void*), void* ctx, unsigned* exceptionCode) {
  CatchingCall call{fn, ctx, false};
  unsigned code = 0;
  if (!GuardFrameCall(&RunCatching, &call, &code)) {
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
// Outside Windows a hardware fault is a signal, not an exception that
// could be resumed from; the guard catches C++ exceptions only.
bool CallGuarded(void (*fn)(void*), void* ctx, unsigned* exceptionCode) {
  CatchingCall call{fn, ctx, false};
  RunCatching(&call);
  if (call.threw && exceptionCode) *exceptionCode = kCppExceptionCode;
  return !call.threw;
}
}  // namespace tav

#endif
