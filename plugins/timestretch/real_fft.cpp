// Mixed-radix decimation-in-frequency transform over powers of two (radix 4
// passes around at most one radix-2 middle pass, the order a square-factor
// factorisation gives), followed by the digit reversal that the symmetric factor
// list makes a set of pair swaps. Rotation factors advance by a recurrence that is
// restarted from cosine and sine every 32 steps.
#include "real_fft.h"

#include <cmath>
#include <cstdlib>

namespace lentaro {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kRestartEvery = 32;

// Rotation e^(i k theta) for k = 0, 1, 2, ... by the recurrence
// c' = c - (cd c + sd s), s' = s + (sd c - cd s), restarted every 32 steps.
class Rotation {
 public:
  explicit Rotation(double theta, double startRe = 1.0)
      : theta_(theta), start_(startRe), cd_(2.0 * std::sin(theta / 2) * std::sin(theta / 2)),
        sd_(std::sin(theta)) {}
  void restart(int k) {
    c_ = start_ * std::cos(k * theta_);
    s_ = start_ * std::sin(k * theta_);
  }
  void at(int k) {
    if (k % kRestartEvery == 0) {
      restart(k);
    } else {
      const double c = c_ - (cd_ * c_ + sd_ * s_);
      s_ = s_ + (sd_ * c_ - cd_ * s_);
      c_ = c;
    }
  }
  double c() const { return c_; }
  double s() const { return s_; }

 private:
  double theta_, start_, cd_, sd_;
  double c_ = 1.0, s_ = 0.0;
};

int log2Exact(int n) {
  if (n < 1 || (n & (n - 1)) != 0) return -1;
  int l = 0;
  while ((1 << l) < n) ++l;
  return l;
}

// Square factors, the middle factor, the square factors reversed.
int factorise(int n, int* factors) {
  int count = 0;
  int rest = n;
  while (rest % 16 == 0) {
    factors[count++] = 4;
    rest /= 16;
  }
  const int squares = count;
  if (rest == 8) {  // 8 = 2 * 2 * 2: square factor 2 around a square-free 2
    factors[count++] = 2;
    factors[count++] = 2;
    for (int i = squares; i >= 0; --i) factors[count++] = factors[i];
    return count;
  }
  if (rest > 1) factors[count++] = rest;  // middle factor 2 or 4
  for (int i = squares - 1; i >= 0; --i) factors[count++] = factors[i];
  return count;
}

inline void radix2(float* a, float* b, long i0, long i1, float c, float s) {
  const float ar = a[i0] - a[i1], ai = b[i0] - b[i1];
  a[i0] += a[i1];
  b[i0] += b[i1];
  a[i1] = ar * c - ai * s;
  b[i1] = ar * s + ai * c;
}

inline void radix4(float* a, float* b, long i0, long i1, long i2, long i3, float sign,
                   float c1, float s1, float c2, float s2, float c3, float s3) {
  const float t0r = a[i0] + a[i2], t0i = b[i0] + b[i2];
  const float t1r = a[i0] - a[i2], t1i = b[i0] - b[i2];
  const float t2r = a[i1] + a[i3], t2i = b[i1] + b[i3];
  // (x1 - x3) * (sign * i)
  const float t3r = -sign * (b[i1] - b[i3]), t3i = sign * (a[i1] - a[i3]);
  a[i0] = t0r + t2r;
  b[i0] = t0i + t2i;
  const float y1r = t1r + t3r, y1i = t1i + t3i;
  const float y2r = t0r - t2r, y2i = t0i - t2i;
  const float y3r = t1r - t3r, y3i = t1i - t3i;
  a[i1] = y1r * c1 - y1i * s1;
  b[i1] = y1r * s1 + y1i * c1;
  a[i2] = y2r * c2 - y2i * s2;
  b[i2] = y2r * s2 + y2i * c2;
  a[i3] = y3r * c3 - y3i * s3;
  b[i3] = y3r * s3 + y3i * c3;
}

void transform(float* a, float* b, int n, long stride, int sign) {
  int factors[16];
  const int count = factorise(n, factors);
  int span = n;
  for (int f = 0; f < count; ++f) {
    const int radix = factors[f];
    const int sub = span / radix;
    Rotation rot(sign * 2.0 * kPi / span);
    for (int j = 0; j < sub; ++j) {
      rot.at(j);
      const double c1 = rot.c(), s1 = rot.s();
      if (radix == 2) {
        for (long base = j; base < n; base += span)
          radix2(a, b, base * stride, (base + sub) * stride, float(c1), float(s1));
      } else {
        const double c2 = c1 * c1 - s1 * s1, s2 = 2.0 * c1 * s1;
        const double c3 = c2 * c1 - s2 * s1, s3 = s2 * c1 + c2 * s1;
        for (long base = j; base < n; base += span)
          radix4(a, b, base * stride, (base + sub) * stride, (base + 2 * sub) * stride,
                 (base + 3 * sub) * stride, float(sign), float(c1), float(s1), float(c2),
                 float(s2), float(c3), float(s3));
      }
    }
    span = sub;
  }
  // Digit reversal: position p = r1 (n/f1) + r2 (n/(f1 f2)) + ... holds
  // X[r1 + f1 r2 + f1 f2 r3 + ...]; the list is symmetric, so this is an involution.
  int bitsOf[16];
  for (int f = 0; f < count; ++f) bitsOf[f] = log2Exact(factors[f]);
  const int totalBits = log2Exact(n);
  for (int p = 0; p < n; ++p) {
    int k = 0, shiftP = totalBits, shiftK = 0;
    for (int f = 0; f < count; ++f) {
      shiftP -= bitsOf[f];
      k |= ((p >> shiftP) & (factors[f] - 1)) << shiftK;
      shiftK += bitsOf[f];
    }
    if (k > p) {
      const long ip = p * stride, ik = k * stride;
      const float tr = a[ip], ti = b[ip];
      a[ip] = a[ik];
      b[ip] = b[ik];
      a[ik] = tr;
      b[ik] = ti;
    }
  }
}

}  // namespace

bool fft(float* a, float* b, int nseg, int n, int nspn, int isn) {
  if (isn == 0 || nseg < 1 || nspn < 1 || log2Exact(n) < 0) return false;
  const long stride = std::labs(isn);
  const long step = stride * nspn;
  const int sign = isn < 0 ? -1 : 1;
  for (int seg = 0; seg < nseg; ++seg) {
    for (int off = 0; off < nspn; ++off) {
      const long start = (long(seg) * n * nspn + off) * stride;
      float* sa = a + start;
      float* sb = b + start;
      if (isn > 0) {
        const float scale = 1.0f / float(n);
        for (int j = 0; j < n; ++j) {
          sa[j * step] *= scale;
          sb[j * step] *= scale;
        }
      }
      if (n > 1) transform(sa, sb, n, step, sign);
    }
  }
  return true;
}

void realSplit(float* a, float* b, int n, int isn) {
  const long st = std::labs(isn);
  if (isn < 0) {
    a[n * st] = a[0];
    b[n * st] = b[0];
  }
  Rotation rot(isn < 0 ? -kPi / n : kPi / n, isn < 0 ? 1.0 : -1.0);
  for (int j = 0; j <= n / 2; ++j) {
    rot.at(j);
    const float cn = float(rot.c()), sn = float(rot.s());
    const long ij = j * st, ik = (n - j) * st;
    const float aa = a[ij] + a[ik], ab = a[ij] - a[ik];
    const float ba = b[ij] + b[ik], bb = b[ij] - b[ik];
    const float re = cn * ba + sn * ab;
    const float em = sn * ba - cn * ab;
    b[ik] = (em - bb) * 0.5f;
    b[ij] = (em + bb) * 0.5f;
    a[ik] = (aa - re) * 0.5f;
    a[ij] = (aa + re) * 0.5f;
  }
}

bool realForward(float* frame, int n) {
  if (!fft(frame, frame + 1, 1, n, 1, -2)) return false;
  realSplit(frame, frame + 1, n, -2);
  return true;
}

bool realInverse(float* frame, int n) {
  if (log2Exact(n) < 0) return false;
  realSplit(frame, frame + 1, n, 2);
  return fft(frame, frame + 1, 1, n, 1, 2);
}

}  // namespace lentaro
