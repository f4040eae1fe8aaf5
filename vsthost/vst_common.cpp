#include "tav/vst/vst_common.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

namespace tav::vst {

void SwapInt32(std::uint32_t& value) {
  value = (value >> 24) | ((value >> 8) & 0xFF00u) | ((value << 8) & 0xFF0000u) | (value << 24);
}

std::int32_t SaturateToInt32(double value) {
  if (std::isnan(value)) return 0;
  if (value >= 2147483647.0) return std::numeric_limits<std::int32_t>::max();
  if (value <= -2147483648.0) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

std::int32_t SaturateToInt32(std::int64_t value) {
  if (value > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (value < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(value);
}

std::int32_t RoundHalfEvenToInt32(double value) {
  if (!std::isfinite(value)) return SaturateToInt32(value);
  double whole = std::floor(value);
  double fraction = value - whole;
  if (fraction > 0.5 || (fraction == 0.5 && std::fmod(whole, 2.0) != 0.0)) whole += 1.0;
  return SaturateToInt32(whole);
}

std::int32_t ClampCount(std::int32_t count) {
  if (count < 0) return 0;
  return count > kMaxPlugInCount ? kMaxPlugInCount : count;
}

std::string BoundedText(const char* text, std::size_t limit) {
  if (!text) return {};
  std::size_t n = 0;
  while (n < limit && text[n] != '\0') ++n;
  return std::string(text, n);
}

namespace {
std::string FaultText(unsigned code) {
  char text[64];
  std::snprintf(text, sizeof text, "plug-in fault 0x%08X", code);
  return text;
}
}  // namespace

TVstPlugInFault::TVstPlugInFault(unsigned exceptionCode)
    : std::runtime_error(FaultText(exceptionCode)), code_(exceptionCode) {}

}  // namespace tav::vst
