// The real FFT over SSE2: the n complex points of a frame of 2n reals are split
// into separate real and imaginary arrays, transformed by decimation in frequency
// (one radix-2 pass first when n is not a power of four, then radix-4 passes,
// four butterflies at a time, with the rotations of every pass tabled per size),
// and the last radix-4 pass writes its outputs straight to their digit-reversed
// places; the real split then runs four bins and their four partners at a time.
// The same operations as real_fft.cpp's transform, in another order: the results
// agree within float rounding.
#include <cmath>
#include <cstring>

#include <emmintrin.h>

#include "real_fft.h"
#include "sse_kernels.h"

namespace lentaro::sse {
namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr int kMinLog2 = 4, kMaxLog2 = 10;  // 16 to 1024 points

struct Pass {
  int radix;   // 2 or 4
  int span;    // points of one butterfly group
  int offset;  // into Tables::rotations: radix-2 rows c, s; radix-4 rows c1, s1, c2, s2, c3, s3
};

struct Plan {
  Pass passes[8];
  int count = 0;  // passes before the last radix-4 pass (whose span is 4)
  int groupOffset = 0;  // into Tables::groups: for k < n/4, the span-4 group whose outputs go to k + r n/4
  int splitOffset = 0;  // into Tables::splitCos / splitSin: cos(pi j / n), sin(pi j / n), j = 0..n/2
};

struct Tables {
  Plan plans[kMaxLog2 + 1];
  float rotations[3 * 2048];
  uint16_t groups[512];
  float splitCos[2048], splitSin[2048];

  Tables() {
    int rot = 0, grp = 0, split = 0;
    for (int l = kMinLog2; l <= kMaxLog2; ++l) {
      Plan& p = plans[l];
      const int n = 1 << l;
      // the factors, first to last: a 2 when l is odd, then 4s
      int factors[8], count = 0;
      if (l % 2) factors[count++] = 2;
      while (count < (l + 1) / 2) factors[count++] = 4;
      int span = n;
      for (int f = 0; f < count; ++f) {
        const int radix = factors[f], sub = span / radix;
        if (f + 1 < count) {
          p.passes[p.count++] = Pass{radix, span, rot};
          for (int j = 0; j < sub; ++j)
            for (int k = 1; k < radix; ++k) {
              const double theta = -2.0 * kPi * j * k / span;
              rotations[rot + (2 * (k - 1)) * sub + j] = float(std::cos(theta));
              rotations[rot + (2 * (k - 1) + 1) * sub + j] = float(std::sin(theta));
            }
          rot += 2 * (radix - 1) * sub;
        }
        span = sub;
      }
      // Output position p = r1 (n/f1) + r2 (n/(f1 f2)) + ... holds
      // X[r1 + f1 r2 + f1 f2 r3 + ...]; the last digit's weight is n/4, so group g
      // (positions 4g..4g+3) holds k(g) + r n/4 for r = 0..3.
      p.groupOffset = grp;
      for (int g = 0; g < n / 4; ++g) {
        int k = 0, weight = 1, rest = 4 * g, scale = n;
        for (int f = 0; f < count; ++f) {
          scale /= factors[f];
          const int digit = rest / scale;
          rest %= scale;
          k += digit * weight;
          weight *= factors[f];
        }
        groups[grp + k] = uint16_t(g);  // r = 0 here, so k < n/4
      }
      grp += n / 4;
      p.splitOffset = split;
      for (int j = 0; j <= n / 2; ++j) {
        splitCos[split + j] = float(std::cos(kPi * j / n));
        splitSin[split + j] = float(std::sin(kPi * j / n));
      }
      split += n / 2 + 4;
    }
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

int log2Of(int n) {
  if (n < 1 || (n & (n - 1)) != 0) return -1;
  int l = 0;
  while ((1 << l) < n) ++l;
  return l;
}

inline __m128 load(const float* p) { return _mm_loadu_ps(p); }
inline void store(float* p, __m128 v) { _mm_storeu_ps(p, v); }
inline __m128 reversed(__m128 v) { return _mm_shuffle_ps(v, v, _MM_SHUFFLE(0, 1, 2, 3)); }

// (xr + i xi)(c + i s); kConj takes the conjugate rotation (c - i s).
template <bool kConj>
inline void rotate(__m128& xr, __m128& xi, __m128 c, __m128 s) {
  const __m128 r = kConj ? _mm_add_ps(_mm_mul_ps(xr, c), _mm_mul_ps(xi, s)) : _mm_sub_ps(_mm_mul_ps(xr, c), _mm_mul_ps(xi, s));
  const __m128 i = kConj ? _mm_sub_ps(_mm_mul_ps(xi, c), _mm_mul_ps(xr, s)) : _mm_add_ps(_mm_mul_ps(xr, s), _mm_mul_ps(xi, c));
  xr = r;
  xi = i;
}

// The radix-4 butterfly without rotations. kInverse multiplies (x1 - x3) by +i,
// the forward transform by -i.
template <bool kInverse>
inline void butterfly4(__m128& r0, __m128& i0, __m128& r1, __m128& i1, __m128& r2, __m128& i2, __m128& r3,
                       __m128& i3) {
  const __m128 t0r = _mm_add_ps(r0, r2), t0i = _mm_add_ps(i0, i2);
  const __m128 t1r = _mm_sub_ps(r0, r2), t1i = _mm_sub_ps(i0, i2);
  const __m128 t2r = _mm_add_ps(r1, r3), t2i = _mm_add_ps(i1, i3);
  const __m128 dr = _mm_sub_ps(r1, r3), di = _mm_sub_ps(i1, i3);
  // forward: -i (dr + i di) = di - i dr; inverse: i (dr + i di) = -di + i dr
  const __m128 t3r = kInverse ? _mm_sub_ps(_mm_setzero_ps(), di) : di;
  const __m128 t3i = kInverse ? dr : _mm_sub_ps(_mm_setzero_ps(), dr);
  r0 = _mm_add_ps(t0r, t2r);
  i0 = _mm_add_ps(t0i, t2i);
  r1 = _mm_add_ps(t1r, t3r);
  i1 = _mm_add_ps(t1i, t3i);
  r2 = _mm_sub_ps(t0r, t2r);
  i2 = _mm_sub_ps(t0i, t2i);
  r3 = _mm_sub_ps(t1r, t3r);
  i3 = _mm_sub_ps(t1i, t3i);
}

// Points j..j+3 from the split arrays, or (kFromFrame) from the frame's (re, im)
// pairs, which the first pass of a forward transform reads straight.
template <bool kFromFrame>
inline void loadPoints(const float* re, const float* im, const float* frame, int j, __m128& r, __m128& i) {
  if (kFromFrame) {
    const __m128 lo = load(frame + 2 * j), hi = load(frame + 2 * j + 4);
    r = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(2, 0, 2, 0));
    i = _mm_shuffle_ps(lo, hi, _MM_SHUFFLE(3, 1, 3, 1));
  } else {
    r = load(re + j);
    i = load(im + j);
  }
}

template <bool kInverse, bool kFromFrame>
void radix2Pass(float* re, float* im, const float* frame, int n, const float* rot) {
  const int sub = n / 2;
  const float* c = rot;
  const float* s = rot + sub;
  for (int j = 0; j < sub; j += 4) {
    __m128 ar, ai, br, bi;
    loadPoints<kFromFrame>(re, im, frame, j, ar, ai);
    loadPoints<kFromFrame>(re, im, frame, j + sub, br, bi);
    store(re + j, _mm_add_ps(ar, br));
    store(im + j, _mm_add_ps(ai, bi));
    __m128 dr = _mm_sub_ps(ar, br), di = _mm_sub_ps(ai, bi);
    rotate<kInverse>(dr, di, load(c + j), load(s + j));
    store(re + j + sub, dr);
    store(im + j + sub, di);
  }
}

template <bool kInverse, bool kFromFrame>
void radix4Pass(float* re, float* im, const float* frame, int n, int span, const float* rot) {
  const int sub = span / 4;
  const float *c1 = rot, *s1 = rot + sub, *c2 = rot + 2 * sub, *s2 = rot + 3 * sub, *c3 = rot + 4 * sub,
              *s3 = rot + 5 * sub;
  for (int base = 0; base < n; base += span) {
    float *r = re + base, *i = im + base;
    const float* f = kFromFrame ? frame + 2 * base : nullptr;
    for (int j = 0; j < sub; j += 4) {
      __m128 r0, i0, r1, i1, r2, i2, r3, i3;
      loadPoints<kFromFrame>(r, i, f, j, r0, i0);
      loadPoints<kFromFrame>(r, i, f, j + sub, r1, i1);
      loadPoints<kFromFrame>(r, i, f, j + 2 * sub, r2, i2);
      loadPoints<kFromFrame>(r, i, f, j + 3 * sub, r3, i3);
      butterfly4<kInverse>(r0, i0, r1, i1, r2, i2, r3, i3);
      rotate<kInverse>(r1, i1, load(c1 + j), load(s1 + j));
      rotate<kInverse>(r2, i2, load(c2 + j), load(s2 + j));
      rotate<kInverse>(r3, i3, load(c3 + j), load(s3 + j));
      store(r + j, r0);
      store(i + j, i0);
      store(r + j + sub, r1);
      store(i + j + sub, i1);
      store(r + j + 2 * sub, r2);
      store(i + j + 2 * sub, i2);
      store(r + j + 3 * sub, r3);
      store(i + j + 3 * sub, i3);
    }
  }
}

// The passes before the last, into the split arrays; with a frame given (forward
// only) the first pass reads its points from the frame.
template <bool kInverse>
void earlyPasses(float* re, float* im, const float* frame, int n, const Plan& plan) {
  const Tables& t = tables();
  for (int p = 0; p < plan.count; ++p) {
    const Pass& pass = plan.passes[p];
    const float* rot = t.rotations + pass.offset;
    const bool fromFrame = p == 0 && frame;
    if (pass.radix == 2)
      fromFrame ? radix2Pass<kInverse, true>(re, im, frame, n, rot) : radix2Pass<kInverse, false>(re, im, frame, n, rot);
    else if (fromFrame)
      radix4Pass<kInverse, true>(re, im, frame, n, pass.span, rot);
    else
      radix4Pass<kInverse, false>(re, im, frame, n, pass.span, rot);
  }
}

// The last pass (span 4, no rotations) over four groups at a time, chosen so that
// their outputs land on four consecutive indices k..k+3 (+ r n/4). Sink(k, r, re, im)
// stores one such vector.
template <bool kInverse, typename Sink>
void lastPass(const float* re, const float* im, int n, const Plan& plan, Sink sink) {
  const uint16_t* groups = tables().groups + plan.groupOffset;
  for (int k = 0; k < n / 4; k += 4) {
    const int g0 = 4 * groups[k], g1 = 4 * groups[k + 1], g2 = 4 * groups[k + 2], g3 = 4 * groups[k + 3];
    __m128 r0 = load(re + g0), r1 = load(re + g1), r2 = load(re + g2), r3 = load(re + g3);
    __m128 i0 = load(im + g0), i1 = load(im + g1), i2 = load(im + g2), i3 = load(im + g3);
    _MM_TRANSPOSE4_PS(r0, r1, r2, r3);  // r_m: point m of the four groups
    _MM_TRANSPOSE4_PS(i0, i1, i2, i3);
    butterfly4<kInverse>(r0, i0, r1, i1, r2, i2, r3, i3);
    sink(k, 0, r0, i0);
    sink(k, 1, r1, i1);
    sink(k, 2, r2, i2);
    sink(k, 3, r3, i3);
  }
}

}  // namespace

void prepareFft() { (void)tables(); }

bool realForward(float* frame, int n, FftScratch& s) {
  const int l = log2Of(n);
  if (l < kMinLog2 || l > kMaxLog2) return lentaro::realForward(frame, n);
  const Plan& plan = tables().plans[l];
  // the n complex points are the frame's (re, im) pairs; the first pass splits them
  earlyPasses<false>(s.re, s.im, frame, n, plan);
  const int quarter = n / 4;
  lastPass<false>(s.re, s.im, n, plan, [&](int k, int r, __m128 vr, __m128 vi) {
    store(s.outRe + k + r * quarter, vr);
    store(s.outIm + k + r * quarter, vi);
  });
  s.outRe[n] = s.outRe[0];
  s.outIm[n] = s.outIm[0];

  // The real split of real_fft.cpp (realSplit), bins j..j+3 with their partners
  // n-j..n-j-3 at a time, and j = n/2 (its own partner) alone.
  // X[j] and X[n - j]: cn = cos(pi j / n), sn = -sin(pi j / n)
  const Tables& t = tables();
  const float* cosT = t.splitCos + plan.splitOffset;
  const float* sinT = t.splitSin + plan.splitOffset;
  const __m128 half = _mm_set1_ps(0.5f);
  const float* A = s.outRe;
  const float* B = s.outIm;
  for (int j = 0; j < n / 2; j += 4) {
    const __m128 aj = load(A + j), bj = load(B + j);
    const __m128 ak = reversed(load(A + n - j - 3)), bk = reversed(load(B + n - j - 3));
    const __m128 cn = load(cosT + j), sn = _mm_sub_ps(_mm_setzero_ps(), load(sinT + j));
    const __m128 aa = _mm_add_ps(aj, ak), ab = _mm_sub_ps(aj, ak);
    const __m128 ba = _mm_add_ps(bj, bk), bb = _mm_sub_ps(bj, bk);
    const __m128 re = _mm_add_ps(_mm_mul_ps(cn, ba), _mm_mul_ps(sn, ab));
    const __m128 em = _mm_sub_ps(_mm_mul_ps(sn, ba), _mm_mul_ps(cn, ab));
    const __m128 bjOut = _mm_mul_ps(_mm_add_ps(em, bb), half), ajOut = _mm_mul_ps(_mm_add_ps(aa, re), half);
    const __m128 bkOut = reversed(_mm_mul_ps(_mm_sub_ps(em, bb), half));
    const __m128 akOut = reversed(_mm_mul_ps(_mm_sub_ps(aa, re), half));
    store(frame + 2 * j, _mm_unpacklo_ps(ajOut, bjOut));
    store(frame + 2 * j + 4, _mm_unpackhi_ps(ajOut, bjOut));
    store(frame + 2 * (n - j - 3), _mm_unpacklo_ps(akOut, bkOut));
    store(frame + 2 * (n - j - 3) + 4, _mm_unpackhi_ps(akOut, bkOut));
  }
  {
    const int j = n / 2;  // its own partner
    const float a = A[j], b = B[j], cn = cosT[j], sn = -sinT[j];
    const float re = cn * (b + b), em = sn * (b + b);
    frame[2 * j] = (a + a + re) * 0.5f;
    frame[2 * j + 1] = em * 0.5f;
  }
  return true;
}

bool realInverse(float* frame, int n, FftScratch& s) {
  const int l = log2Of(n);
  if (l < kMinLog2 || l > kMaxLog2) return lentaro::realInverse(frame, n);
  const Plan& plan = tables().plans[l];
  const Tables& t = tables();
  const float* cosT = t.splitCos + plan.splitOffset;
  const float* sinT = t.splitSin + plan.splitOffset;
  // Z[j] and Z[n - j] from the bins: cn = -cos(pi j / n), sn = -sin(pi j / n); the
  // 1/n of the inverse transform rides on the split's halving.
  const float scale = 0.5f / float(n);
  const __m128 vscale = _mm_set1_ps(scale);
  float* A = s.re;
  float* B = s.im;
  for (int j = 0; j < n / 2; j += 4) {
    const __m128 p0 = load(frame + 2 * j), p1 = load(frame + 2 * j + 4);
    const __m128 q0 = load(frame + 2 * (n - j - 3)), q1 = load(frame + 2 * (n - j - 3) + 4);
    const __m128 aj = _mm_shuffle_ps(p0, p1, _MM_SHUFFLE(2, 0, 2, 0)), bj = _mm_shuffle_ps(p0, p1, _MM_SHUFFLE(3, 1, 3, 1));
    const __m128 ak = reversed(_mm_shuffle_ps(q0, q1, _MM_SHUFFLE(2, 0, 2, 0)));
    const __m128 bk = reversed(_mm_shuffle_ps(q0, q1, _MM_SHUFFLE(3, 1, 3, 1)));
    const __m128 zero = _mm_setzero_ps();
    const __m128 cn = _mm_sub_ps(zero, load(cosT + j)), sn = _mm_sub_ps(zero, load(sinT + j));
    const __m128 aa = _mm_add_ps(aj, ak), ab = _mm_sub_ps(aj, ak);
    const __m128 ba = _mm_add_ps(bj, bk), bb = _mm_sub_ps(bj, bk);
    const __m128 re = _mm_add_ps(_mm_mul_ps(cn, ba), _mm_mul_ps(sn, ab));
    const __m128 em = _mm_sub_ps(_mm_mul_ps(sn, ba), _mm_mul_ps(cn, ab));
    store(B + j, _mm_mul_ps(_mm_add_ps(em, bb), vscale));
    store(A + j, _mm_mul_ps(_mm_add_ps(aa, re), vscale));
    // j = 0 pairs with the bin n, which has no place in the arrays of n points
    const __m128 bkOut = reversed(_mm_mul_ps(_mm_sub_ps(em, bb), vscale));
    const __m128 akOut = reversed(_mm_mul_ps(_mm_sub_ps(aa, re), vscale));
    if (j == 0) {
      float tb[4], ta[4];
      store(tb, bkOut);
      store(ta, akOut);
      for (int x = 0; x < 3; ++x) {
        B[n - 3 + x] = tb[x];
        A[n - 3 + x] = ta[x];
      }
    } else {
      store(B + n - j - 3, bkOut);
      store(A + n - j - 3, akOut);
    }
  }
  {
    const int j = n / 2;
    const float a = frame[2 * j], b = frame[2 * j + 1], cn = -cosT[j], sn = -sinT[j];
    const float re = cn * (b + b), em = sn * (b + b);
    B[j] = em * scale;
    A[j] = (a + a + re) * scale;
  }
  earlyPasses<true>(A, B, nullptr, n, plan);
  const int quarter = n / 4;
  lastPass<true>(A, B, n, plan, [&](int k, int r, __m128 vr, __m128 vi) {
    float* out = frame + 2 * (k + r * quarter);
    store(out, _mm_unpacklo_ps(vr, vi));
    store(out + 4, _mm_unpackhi_ps(vr, vi));
  });
  return true;
}

}  // namespace lentaro::sse
