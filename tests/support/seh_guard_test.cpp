#include "tav/seh_guard.h"

#include <gtest/gtest.h>

#include <stdexcept>

#if defined(_WIN32)
#include <windows.h>
#endif

namespace {

TEST(SehGuard, NormalCallRunsWithContextAndReportsSuccess) {
  int calls = 0;
  unsigned code = 123;
  EXPECT_TRUE(tav::CallGuarded([](void* p) { ++*static_cast<int*>(p); }, &calls, &code));
  EXPECT_TRUE(tav::Guarded([&] { calls += 10; }));
  EXPECT_EQ(calls, 11);
  EXPECT_EQ(code, 123u) << "the code is written only on failure";
}

TEST(SehGuard, CppExceptionIsCaughtAndReported) {
  unsigned code = 0;
  EXPECT_FALSE(tav::Guarded([] { throw std::runtime_error("plug-in failure"); }, &code));
  EXPECT_EQ(code, tav::kCppExceptionCode);
  EXPECT_FALSE(tav::Guarded([] { throw 5; }));
}

#if defined(_WIN32) && (defined(__i386__) || defined(__x86_64__))

// The head of the thread's handler chain (32-bit only; 64-bit Windows finds
// handlers through the unwind tables).
void* HandlerChainHead() {
#if defined(__i386__)
  void* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
#else
  return nullptr;
#endif
}

void WriteThroughNull(void*) { *static_cast<volatile int*>(nullptr) = 1; }

void DivideByZero(void* p) {
  volatile int zero = 0;
  *static_cast<volatile int*>(p) = 10 / zero;
}

// An x87 divide by zero with the zero-divide exception unmasked traps at the
// next waiting instruction.
void FloatTrap(void*) {
  unsigned short cw = 0x133F & ~0x0004;
  asm volatile("fldcw %0\n\tfld1\n\tfldz\n\tfdivrp\n\tfstp %%st(0)\n\tfwait" : : "m"(cw));
}

// An SSE divide by zero with the exception unmasked traps at once.
void SseTrap(void*) {
  unsigned control = 0x1F80 & ~0x0200u;
  asm volatile("ldmxcsr %0" : : "m"(control));
  volatile float one = 1.0f, zero = 0.0f;
  volatile float quotient = one / zero;
  (void)quotient;
}

TEST(SehGuard, HardwareFaultsAreCaughtAndTheProgramGoesOn) {
  struct Case {
    void (*fn)(void*);
    unsigned code;
    unsigned alsoCode;  // systems report an SSE trap either way
  };
  const Case cases[] = {{WriteThroughNull, EXCEPTION_ACCESS_VIOLATION, 0},
                        {DivideByZero, EXCEPTION_INT_DIVIDE_BY_ZERO, 0},
                        {FloatTrap, EXCEPTION_FLT_DIVIDE_BY_ZERO, 0},
                        {SseTrap, EXCEPTION_FLT_DIVIDE_BY_ZERO, 0xC00002B5u}};
  void* chainBefore = HandlerChainHead();
  unsigned short callerControl = 0, controlAfter = 0;
  unsigned callerMxcsr = 0, mxcsrAfter = 0;
  asm volatile("fnstcw %0" : "=m"(callerControl));
  asm volatile("stmxcsr %0" : "=m"(callerMxcsr));
  // Values live in callee-saved registers across the guarded calls.
  volatile int sink = 0;
  long long sum = 0;
  for (int round = 0; round < 200; ++round) {
    for (const Case& c : cases) {
      unsigned code = 0;
      ASSERT_FALSE(tav::CallGuarded(c.fn, const_cast<int*>(&sink), &code));
      ASSERT_TRUE(code == c.code || (c.alsoCode != 0 && code == c.alsoCode)) << std::hex << code;
      ASSERT_EQ(HandlerChainHead(), chainBefore);
      sum += round;
    }
  }
  EXPECT_EQ(sum, 4LL * 199 * 200 / 2);
  // The caller's control words are back and the pending traps were cleared
  // (200 rounds of x87 traps would also have overflowed the register stack
  // had the guard not emptied it).
  asm volatile("fnstcw %0" : "=m"(controlAfter));
  asm volatile("stmxcsr %0" : "=m"(mxcsrAfter));
  EXPECT_EQ(controlAfter, callerControl);
  EXPECT_EQ(mxcsrAfter & 0xFFC0u, callerMxcsr & 0xFFC0u);
  volatile double a = 1.0, b = 3.0;
  EXPECT_NEAR(a / b, 0.3333333, 1e-6);
  EXPECT_TRUE(tav::Guarded([] {}));
}

TEST(SehGuard, InnerGuardCatchesItsOwnFaultAndOuterCallSucceeds) {
  unsigned innerCode = 0;
  bool innerResult = true;
  unsigned outerCode = 0;
  EXPECT_TRUE(tav::Guarded(
      [&] { innerResult = tav::CallGuarded(WriteThroughNull, nullptr, &innerCode); }, &outerCode));
  EXPECT_FALSE(innerResult);
  EXPECT_EQ(innerCode, static_cast<unsigned>(EXCEPTION_ACCESS_VIOLATION));
  EXPECT_EQ(outerCode, 0u);
  // A fault below a guard that itself sits in a guard reaches the inner one only.
  unsigned code = 0;
  EXPECT_FALSE(tav::Guarded([] { tav::Guarded([] {}); WriteThroughNull(nullptr); }, &code));
  EXPECT_EQ(code, static_cast<unsigned>(EXCEPTION_ACCESS_VIOLATION));
}

#endif

}  // namespace
