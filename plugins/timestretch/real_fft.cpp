// Mixed-radix decimation-in-frequency transform over powers of two (radix 4
// passes around at most one radix-2 middle pass, the order a square-factor
// factorisation gives), followed by the digit reversal that the symmetric factor
// list makes a set of pair swaps. For the lengths the stretcher uses (up to 1024
// points) the rotation factors and the swaps come from tables built once, at the
// first call; other lengths compute their rotations by a recurrence restarted from
// cosine and sine every 32 steps.
#include "real_fft.h"

#include <cmath>
#include <cstdlib>
#include <utility>
#include <vector>

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

// Digit reversal: position p = r1 (n/f1) + r2 (n/(f1 f2)) + ... holds
// X[r1 + f1 r2 + f1 f2 r3 + ...]; the list is symmetric, so this is an involution.
// Calls visit(p, k) for every pair with k > p.
template <typename Visit>
void forEachSwap(int n, const int* factors, int count, Visit visit) {
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
    if (k > p) visit(p, k);
  }
}

inline void swapPoints(float* a, float* b, long ip, long ik) {
  std::swap(a[ip], a[ik]);
  std::swap(b[ip], b[ik]);
}

// One pass of the given radix over spans of span points: butterflies, then the
// rotation by twiddle(j) = (c1, s1) for the j-th point of each part.
template <typename Twiddle>
void pass(float* a, float* b, int n, long stride, int radix, int span, float sign, Twiddle twiddle) {
  const int sub = span / radix;
  for (int j = 0; j < sub; ++j) {
    float c1, s1, c2, s2, c3, s3;
    twiddle(j, c1, s1, c2, s2, c3, s3);
    if (radix == 2) {
      for (long base = j; base < n; base += span) radix2(a, b, base * stride, (base + sub) * stride, c1, s1);
    } else {
      for (long base = j; base < n; base += span)
        radix4(a, b, base * stride, (base + sub) * stride, (base + 2 * sub) * stride, (base + 3 * sub) * stride,
               sign, c1, s1, c2, s2, c3, s3);
    }
  }
}

// A pass with the rotations from a table (rows c1, s1, c2, s2, c3, s3 of the
// forward transform; the inverse takes their conjugates). The points of a part
// are the inner loop, so that the long first passes run several at once. The
// stretcher's frames are interleaved (re, im) pairs: x = a, b = a + 1, stride 2,
// which the first form spells out for the compiler.
template <long kStride>
void quarterButterflies(float* __restrict x0, float* __restrict x1, float* __restrict x2, float* __restrict x3,
                        int sub, int sign, float conj, const float* c1, const float* s1, const float* c2,
                        const float* s2, const float* c3, const float* s3);

template <long kStride>
void tabledPassInterleaved(float* x, int n, int radix, int span, int sign, const float* rot) {
  const int sub = span / radix;
  const float conj = float(-sign);
  const float* c1 = rot;
  const float* s1 = rot + sub;
  const float* c2 = rot + 2 * sub;
  const float* s2 = rot + 3 * sub;
  const float* c3 = rot + 4 * sub;
  const float* s3 = rot + 5 * sub;
  for (long base = 0; base < n; base += span) {
    float* x0 = x + base * kStride;
    float* x1 = x0 + sub * kStride;
    float* x2 = x1 + sub * kStride;
    float* x3 = x2 + sub * kStride;
    if (radix == 2) {
      for (int j = 0; j < sub; ++j) radix2(x0 + j * kStride, x0 + j * kStride + 1, 0, sub * kStride, c1[j], conj * s1[j]);
      continue;
    }
    quarterButterflies<kStride>(x0, x1, x2, x3, sub, sign, conj, c1, s1, c2, s2, c3, s3);
  }
}

// The radix-4 butterflies of one span, whose four quarters do not overlap.
template <long kStride>
void quarterButterflies(float* __restrict x0, float* __restrict x1, float* __restrict x2, float* __restrict x3,
                        int sub, int sign, float conj, const float* c1, const float* s1, const float* c2,
                        const float* s2, const float* c3, const float* s3) {
    for (int j = 0; j < sub; ++j) {
      const long o = j * kStride;
      const float ar0 = x0[o], ai0 = x0[o + 1], ar1 = x1[o], ai1 = x1[o + 1];
      const float ar2 = x2[o], ai2 = x2[o + 1], ar3 = x3[o], ai3 = x3[o + 1];
      const float t0r = ar0 + ar2, t0i = ai0 + ai2, t1r = ar0 - ar2, t1i = ai0 - ai2;
      const float t2r = ar1 + ar3, t2i = ai1 + ai3;
      const float t3r = -float(sign) * (ai1 - ai3), t3i = float(sign) * (ar1 - ar3);
      x0[o] = t0r + t2r;
      x0[o + 1] = t0i + t2i;
      const float y1r = t1r + t3r, y1i = t1i + t3i, y2r = t0r - t2r, y2i = t0i - t2i;
      const float y3r = t1r - t3r, y3i = t1i - t3i;
      const float k1 = conj * s1[j], k2 = conj * s2[j], k3 = conj * s3[j];
      x1[o] = y1r * c1[j] - y1i * k1;
      x1[o + 1] = y1r * k1 + y1i * c1[j];
      x2[o] = y2r * c2[j] - y2i * k2;
      x2[o + 1] = y2r * k2 + y2i * c2[j];
      x3[o] = y3r * c3[j] - y3i * k3;
      x3[o + 1] = y3r * k3 + y3i * c3[j];
    }
}

void tabledPass(float* a, float* b, int n, long stride, int radix, int span, int sign, const float* rot) {
  if (stride == 2 && b == a + 1) return tabledPassInterleaved<2>(a, n, radix, span, sign, rot);
  const int sub = span / radix;
  const float conj = float(-sign);
  const float* c1 = rot;
  const float* s1 = rot + sub;
  if (radix == 2) {
    for (long base = 0; base < n; base += span)
      for (int j = 0; j < sub; ++j) radix2(a, b, (base + j) * stride, (base + j + sub) * stride, c1[j], conj * s1[j]);
    return;
  }
  const float* c2 = rot + 2 * sub;
  const float* s2 = rot + 3 * sub;
  const float* c3 = rot + 4 * sub;
  const float* s3 = rot + 5 * sub;
  for (long base = 0; base < n; base += span)
    for (int j = 0; j < sub; ++j) {
      const long i0 = (base + j) * stride;
      radix4(a, b, i0, i0 + sub * stride, i0 + 2 * sub * stride, i0 + 3 * sub * stride, float(sign), c1[j],
             conj * s1[j], c2[j], conj * s2[j], c3[j], conj * s3[j]);
    }
}

// Rotations e^(-2 pi i j k / span) for k = 1..3 from exact cosines and sines.
void rotationsOf(double theta, float* out) {
  for (int k = 1; k <= 3; ++k) {
    out[2 * (k - 1)] = float(std::cos(k * theta));
    out[2 * (k - 1) + 1] = float(std::sin(k * theta));
  }
}

constexpr int kMaxPlanLog2 = 10;  // 1024 points, the stretcher's largest

// The factor list, the forward rotations of every pass and the digit-reversal
// swaps of one length; the inverse uses the conjugate rotations.
struct Plan {
  int factors[16];
  int count = 0;
  // per pass of sub points a part: the six rows c1, s1, c2, s2, c3, s3 of sub values
  std::vector<float> rotations;
  std::vector<std::pair<int, int>> swaps;
};

const Plan* planFor(int n) {
  static const std::vector<Plan> plans = [] {
    std::vector<Plan> all(kMaxPlanLog2 + 1);
    for (int l = 0; l <= kMaxPlanLog2; ++l) {
      Plan& p = all[size_t(l)];
      const int n = 1 << l;
      p.count = factorise(n, p.factors);
      int span = n;
      for (int f = 0; f < p.count; ++f) {
        const int sub = span / p.factors[f];
        const size_t at = p.rotations.size();
        p.rotations.resize(at + 6 * size_t(sub));
        for (int j = 0; j < sub; ++j) {
          float r[6];
          rotationsOf(-2.0 * kPi * j / span, r);
          for (int row = 0; row < 6; ++row) p.rotations[at + size_t(row * sub + j)] = r[row];
        }
        span = sub;
      }
      forEachSwap(n, p.factors, p.count, [&](int i, int k) { p.swaps.emplace_back(i, k); });
    }
    return all;
  }();
  const int l = log2Exact(n);
  return l >= 0 && l <= kMaxPlanLog2 ? &plans[size_t(l)] : nullptr;
}

void transform(float* a, float* b, int n, long stride, int sign) {
  if (const Plan* plan = planFor(n)) {
    const float* rot = plan->rotations.data();
    int span = n;
    for (int f = 0; f < plan->count; ++f) {
      const int sub = span / plan->factors[f];
      tabledPass(a, b, n, stride, plan->factors[f], span, sign, rot);
      rot += 6 * sub;
      span = sub;
    }
    for (const auto& [p, k] : plan->swaps) swapPoints(a, b, p * stride, k * stride);
    return;
  }
  int factors[16];
  const int count = factorise(n, factors);
  int span = n;
  for (int f = 0; f < count; ++f) {
    Rotation rotation(sign * 2.0 * kPi / span);
    pass(a, b, n, stride, factors[f], span, float(sign),
         [&](int j, float& c1, float& s1, float& c2, float& s2, float& c3, float& s3) {
           rotation.at(j);
           const double c = rotation.c(), s = rotation.s();
           const double cc = c * c - s * s, ss = 2.0 * c * s;
           c1 = float(c), s1 = float(s), c2 = float(cc), s2 = float(ss);
           c3 = float(cc * c - ss * s), s3 = float(ss * c + cc * s);
         });
    span /= factors[f];
  }
  forEachSwap(n, factors, count, [&](int p, int k) { swapPoints(a, b, p * stride, k * stride); });
}

// cos(pi j / n) and sin(pi j / n) for j = 0..n/2, for the real split of the
// tabled lengths.
const std::vector<float>* splitRotations(int n) {
  static const std::vector<std::vector<float>> tables = [] {
    std::vector<std::vector<float>> all(kMaxPlanLog2 + 1);
    for (int l = 0; l <= kMaxPlanLog2; ++l) {
      const int n = 1 << l;
      for (int j = 0; j <= n / 2; ++j) {
        all[size_t(l)].push_back(float(std::cos(kPi * j / n)));
        all[size_t(l)].push_back(float(std::sin(kPi * j / n)));
      }
    }
    return all;
  }();
  const int l = log2Exact(n);
  return l >= 0 && l <= kMaxPlanLog2 ? &tables[size_t(l)] : nullptr;
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
  // element j turns by (cos(pi j/n), -sin(pi j/n)) forward, (-cos, -sin) back
  const std::vector<float>* table = splitRotations(n);
  Rotation rot(isn < 0 ? -kPi / n : kPi / n, isn < 0 ? 1.0 : -1.0);
  const float cosSign = isn < 0 ? 1.0f : -1.0f;
  for (int j = 0; j <= n / 2; ++j) {
    float cn, sn;
    if (table) {
      cn = cosSign * (*table)[size_t(2 * j)];
      sn = -(*table)[size_t(2 * j + 1)];
    } else {
      rot.at(j);
      cn = float(rot.c());
      sn = float(rot.s());
    }
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
