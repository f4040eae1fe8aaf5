#include "float_math.h"

#include <cstring>

namespace brindle {
namespace {

constexpr double kLn2Hi = 6.93147180369123816490e-01;  // ln 2 split so that k * kLn2Hi is exact
constexpr double kLn2Lo = 1.90821492927058770002e-10;
constexpr double kSqrtHalf = 0.70710678118654752440;

// x * 2^e by the exponent bits; x normal and the result within the normal range.
double Scale2(double x, int e) {
  uint64_t bits;
  std::memcpy(&bits, &x, 8);
  bits += uint64_t(int64_t(e)) << 52;
  std::memcpy(&x, &bits, 8);
  return x;
}

// ln x for a positive normal x.
double Ln(double x) {
  uint64_t bits;
  std::memcpy(&bits, &x, 8);
  int e = int((bits >> 52) & 0x7FF) - 1023;
  bits = (bits & 0x000FFFFFFFFFFFFFull) | (uint64_t(1023) << 52);  // mantissa m in [1, 2)
  double m;
  std::memcpy(&m, &bits, 8);
  if (m > 2.0 * kSqrtHalf) {
    m *= 0.5;
    ++e;
  }
  // ln m = 2 atanh(s), s = (m - 1) / (m + 1), |s| <= 0.172
  const double s = (m - 1.0) / (m + 1.0);
  const double s2 = s * s;
  double sum = 0.0;
  for (int k = 23; k >= 3; k -= 2) sum = sum * s2 + 1.0 / k;
  const double lnm = 2.0 * s + 2.0 * s * s2 * sum;
  return e * kLn2Hi + (lnm + e * kLn2Lo);
}

// e^t for |t| < 700.
double Exp(double t) {
  const double kf = t * 1.44269504088896340736;
  const int k = int(kf < 0 ? kf - 0.5 : kf + 0.5);
  const double f = (t - k * kLn2Hi) - k * kLn2Lo;  // |f| <= 0.35
  double sum = 1.0;
  for (int n = 16; n >= 1; --n) sum = 1.0 + sum * f / n;
  return Scale2(sum, k);
}

}  // namespace

float PowConst(float x, float y) {
  if (!(x > 0.0f)) return 0.0f;
  const double t = double(y) * Ln(double(x));
  if (t < -700.0) return 0.0f;
  return float(Exp(t));
}

FpuGuard::FpuGuard() {
  mxcsr_ = _mm_getcsr();
  __asm__ volatile("fnstcw %0" : "=m"(x87_));
  // all exceptions masked, round to nearest; tiny values flushed to zero (denormal
  // arithmetic would slow the decaying filters down many times over)
  _mm_setcsr(0x9FC0);
  const unsigned short masked = (x87_ & ~0x0C00) | 0x003F;
  __asm__ volatile("fldcw %0" : : "m"(masked));
}

FpuGuard::~FpuGuard() {
  // what the block raised must not trap on the caller's next x87 instruction
  __asm__ volatile("fnclex");
  __asm__ volatile("fldcw %0" : : "m"(x87_));
  _mm_setcsr(mxcsr_);
}

}  // namespace brindle
