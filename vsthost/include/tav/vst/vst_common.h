// Small shared routines of the VST host: clamping, four-character
// ids, byte order, the FPU reset before calls into plug-ins, and checked
// conversions of numbers that plug-ins hand us.
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "tav/engine/float_planes.h"

namespace tav::vst {

// The float planes and ClampSingle are the engine's: one definition serves
// the engine's VST pass and this host.
using tav::engine::TSingleDynArray;
using tav::engine::TAVDArrayOfSingleDynArray;
// Lower when value is below it or not a number, Upper when above, else value.
using tav::engine::ClampSingle;

// c1 lands in the most significant byte: FourCharsToId('V','s','t','P') == 0x56737450.
constexpr std::int32_t FourCharsToId(char c1, char c2, char c3, char c4) {
  return static_cast<std::int32_t>((std::uint32_t(std::uint8_t(c1)) << 24) |
                                   (std::uint32_t(std::uint8_t(c2)) << 16) |
                                   (std::uint32_t(std::uint8_t(c3)) << 8) |
                                   std::uint32_t(std::uint8_t(c4)));
}

// Reverses the four bytes of a 32-bit value in place.
void SwapInt32(std::uint32_t& value);

// The x87 control word loaded before every dispatcher request and at every
// entry into the host callback: all exceptions masked, 64-bit precision, round
// to nearest, infinity-control bit set.
inline constexpr std::uint16_t HostFpuControlWord = 0x133F;

// The x87 control word (0 on processors without the x87 unit).  Bit 6 is
// reserved and reads as 1 whatever was loaded.
inline std::uint16_t CurrentFpuControlWord() {
#if defined(__i386__) || defined(__x86_64__)
  std::uint16_t word = 0;
  asm volatile("fnstcw %0" : "=m"(word));
  return word;
#else
  return 0;
#endif
}
// Clears pending x87 exceptions and loads `word` (nothing on other processors).
inline void LoadFpuControlWord(std::uint16_t word) {
#if defined(__i386__) || defined(__x86_64__)
  asm volatile("fnclex\n\tfldcw %0" : : "m"(word));
#else
  (void)word;
#endif
}
// Done before every dispatcher request and at every entry into the host callback.
inline void ResetFpu() { LoadFpuControlWord(HostFpuControlWord); }

// Conversions of numbers that come from plug-ins: they saturate instead of
// overflowing, and not-a-number gives 0.
std::int32_t SaturateToInt32(double value);
std::int32_t SaturateToInt32(std::int64_t value);
// Rounds to the nearest whole number, halves to even, then saturates.
std::int32_t RoundHalfEvenToInt32(double value);

// Counts a plug-in reports (programs, parameters, channels) are kept within 0 .. kMaxPlugInCount.
inline constexpr std::int32_t kMaxPlugInCount = 65536;
std::int32_t ClampCount(std::int32_t count);

// Reads at most `limit` characters of a NUL-terminated text a plug-in handed us.
std::string BoundedText(const char* text, std::size_t limit);

// Raised by the host inside itself (the messages reach the user).
class TVstError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// A fault or exception inside a plug-in's processing or parameter entry point.
class TVstPlugInFault : public std::runtime_error {
 public:
  explicit TVstPlugInFault(unsigned exceptionCode);
  unsigned ExceptionCode() const { return code_; }

 private:
  unsigned code_;
};

}  // namespace tav::vst
