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

#if defined(_WIN32) && defined(__i386__)

void* HandlerChainHead() {
  void* head;
  asm volatile("movl %%fs:0, %0" : "=r"(head));
  return head;
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

TEST(SehGuard, HardwareFaultsAreCaughtAndTheProgramGoesOn) {
  struct Case {
    void (*fn)(void*);
    unsigned code;
  };
  const Case cases[] = {{WriteThroughNull, EXCEPTION_ACCESS_VIOLATION},
                        {DivideByZero, EXCEPTION_INT_DIVIDE_BY_ZERO},
                        {FloatTrap, EXCEPTION_FLT_DIVIDE_BY_ZERO}};
  void* chainBefore = HandlerChainHead();
  unsigned short callerControl = 0, controlAfter = 0;
  asm volatile("fnstcw %0" : "=m"(callerControl));
  // Values live in callee-saved registers across the guarded calls.
  volatile int sink = 0;
  long long sum = 0;
  for (int round = 0; round < 200; ++round) {
    for (const Case& c : cases) {
      unsigned code = 0;
      ASSERT_FALSE(tav::CallGuarded(c.fn, const_cast<int*>(&sink), &code));
      ASSERT_EQ(code, c.code);
      ASSERT_EQ(HandlerChainHead(), chainBefore);
      sum += round;
    }
  }
  EXPECT_EQ(sum, 3LL * 199 * 200 / 2);
  // The caller's control word is back and the pending trap was cleared.
  asm volatile("fnstcw %0" : "=m"(controlAfter));
  EXPECT_EQ(controlAfter, callerControl);
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
