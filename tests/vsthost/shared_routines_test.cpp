// The host library's small shared routines, and the record layouts of the
// build at hand (the 32-bit ones are checked where the host header is
// compiled for i686).
#include <gtest/gtest.h>

#include <cmath>
#include <cstddef>
#include <limits>

#include "tav/vst/vst_common.h"
#include "tav/vst/vst_interface.h"

namespace tav::vst {
namespace {

#if defined(__x86_64__) || defined(_M_X64)
// The 64-bit layout of the same records (what the x86_64 test build of the
// Windows code and its test plug-ins agree on).
static_assert(offsetof(AEffect, dispatcher) == 8 && offsetof(AEffect, numPrograms) == 40);
static_assert(offsetof(AEffect, flags) == 56 && offsetof(AEffect, initialDelay) == 80);
static_assert(offsetof(AEffect, uniqueID) == 112 && offsetof(AEffect, processReplacing) == 120);
static_assert(offsetof(VstWindow, parent) == 144 && offsetof(VstFileSelect, fileTypes) == 16);
static_assert(offsetof(VstFileSelect, title) == 24 && offsetof(VstFileSelect, initialPath) == 1048);
static_assert(sizeof(VstIntPtr) == 8);
#endif

TEST(ClampSingle, Table) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  struct Case {
    float value, lower, upper, expected;
  } cases[] = {
      {0.5f, -1, 1, 0.5f}, {-1.5f, -1, 1, -1.0f}, {1.0f, -1, 1, 1.0f},  {-1.0f, -1, 1, -1.0f},
      {1.5f, -1, 1, 1.0f}, {nan, -1, 1, -1.0f},   {inf, -1, 1, 1.0f},   {-inf, -1, 1, -1.0f},
      {0.0f, 0, 0, 0.0f},  {-0.25f, -0.5f, 2, -0.25f},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ClampSingle(c.value, c.lower, c.upper), c.expected) << c.value << " in " << c.lower << ".." << c.upper;
}

TEST(FourCharsToId, Table) {
  struct Case {
    char c[4];
    std::uint32_t expected;
  } cases[] = {
      {{'V', 's', 't', 'P'}, 0x56737450u}, {{'C', 'c', 'n', 'K'}, 0x43636E4Bu}, {{'F', 'x', 'C', 'k'}, 0x4678436Bu},
      {{'F', 'P', 'C', 'h'}, 0x46504368u}, {{'E', 'c', 'h', 'o'}, 0x4563686Fu}, {{'\xFF', 0, 0, '\x80'}, 0xFF000080u},
      {{0, 0, 0, 0}, 0u},
  };
  for (const Case& c : cases)
    EXPECT_EQ(static_cast<std::uint32_t>(FourCharsToId(c.c[0], c.c[1], c.c[2], c.c[3])), c.expected);
  static_assert(FourCharsToId('V', 's', 't', 'P') == kEffectMagic);
}

TEST(SwapInt32, ReversesBytesBothWays) {
  std::uint32_t v = 0x11223344u;
  SwapInt32(v);
  EXPECT_EQ(v, 0x44332211u);
  SwapInt32(v);
  EXPECT_EQ(v, 0x11223344u);
}

TEST(PlugInNumbers, ConversionsSaturate) {
  const double nan = std::nan("");
  EXPECT_EQ(SaturateToInt32(1e300), 2147483647);
  EXPECT_EQ(SaturateToInt32(-1e300), -2147483647 - 1);
  EXPECT_EQ(SaturateToInt32(nan), 0);
  EXPECT_EQ(SaturateToInt32(std::int64_t{1} << 40), 2147483647);
  EXPECT_EQ(SaturateToInt32(-(std::int64_t{1} << 40)), -2147483647 - 1);
  EXPECT_EQ(SaturateToInt32(std::int64_t{-5}), -5);
  struct Case {
    double value;
    std::int32_t expected;
  } rounding[] = {{99.6, 100}, {120.0, 120}, {44100.4, 44100}, {0.5, 0}, {1.5, 2}, {2.5, 2}, {-2.5, -2}, {1e12, 2147483647}};
  for (const Case& c : rounding) EXPECT_EQ(RoundHalfEvenToInt32(c.value), c.expected) << c.value;
  EXPECT_EQ(ClampCount(-3), 0);
  EXPECT_EQ(ClampCount(12), 12);
  EXPECT_EQ(ClampCount(0x7FFFFFFF), kMaxPlugInCount);
}

TEST(PlugInNumbers, TextsAreBounded) {
  const char unterminated[4] = {'a', 'b', 'c', 'd'};
  EXPECT_EQ(BoundedText(unterminated, 3), "abc");
  EXPECT_EQ(BoundedText("ab\0cd", 10), "ab");
  EXPECT_EQ(BoundedText(nullptr, 10), "");
}

#if defined(__i386__) || defined(__x86_64__)
TEST(FpuReset, LoadsHostControlWordAndClearsPendingExceptions) {
  const std::uint16_t before = CurrentFpuControlWord();
  LoadFpuControlWord(0x027F);
  ResetFpu();
  // Bit 6 of the word is reserved and reads as 1 whatever was loaded.
  EXPECT_EQ(CurrentFpuControlWord() & ~0x40, 0x133F);
  std::uint16_t status = 0;
  asm volatile("fnstsw %0" : "=m"(status));
  EXPECT_EQ(status & 0x3F, 0);
  LoadFpuControlWord(before);
}
#endif

}  // namespace
}  // namespace tav::vst
