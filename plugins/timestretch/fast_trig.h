// Branch-free single-precision arc tangent and sine/cosine for the vocoder's
// per-bin loop (the scalar reference of vocoder_scalar.cpp; sse_bins.cpp runs the
// same polynomials four bins at a time). Errors stay within a few 1e-7 radians
// (atan2) and a few 1e-7 (sine, cosine), far below what a 16-bit output can show.
#pragma once

namespace lentaro {

inline float selectIf(bool condition, float yes, float no) { return condition ? yes : no; }

// atan2(y, x) in [-pi, pi]; 0 for (0, 0).
inline float fastAtan2(float y, float x) {
  constexpr float kPi = 3.14159265358979f, kHalfPi = 1.57079632679490f, kQuarterPi = 0.785398163397448f;
  constexpr float kTanEighthPi = 0.414213562373095f;
  const float ax = x < 0.0f ? -x : x, ay = y < 0.0f ? -y : y;
  const bool steep = ay > ax;
  const float hi = steep ? ay : ax, lo = steep ? ax : ay;
  const float a = lo / selectIf(hi > 0.0f, hi, 1.0f);  // 0..1
  // atan(a) = pi/4 + atan((a - 1) / (a + 1)) brings a above tan(pi/8) into range
  const bool upper = a > kTanEighthPi;
  const float t = selectIf(upper, (a - 1.0f) / (a + 1.0f), a);
  const float z = t * t;
  const float poly = (((8.05374449538e-2f * z - 1.38776856032e-1f) * z + 1.99777106478e-1f) * z -
                      3.33329491539e-1f) * z * t + t;
  float r = selectIf(upper, kQuarterPi, 0.0f) + poly;
  r = selectIf(steep, kHalfPi - r, r);
  r = selectIf(x < 0.0f, kPi - r, r);
  return selectIf(y < 0.0f, -r, r);
}

// Sine and cosine of theta for |theta| <= 2 pi.
inline void fastSinCos(float theta, float& s, float& c) {
  constexpr float kTwoOverPi = 0.636619772367581f;
  // pi/2 in two parts, so that theta - q pi/2 loses nothing for small q
  constexpr float kHalfPiHi = 1.5703125f, kHalfPiLo = 4.83826794897e-4f;
  const float qf = theta * kTwoOverPi;
  const int q = int(qf + selectIf(qf >= 0.0f, 0.5f, -0.5f));
  const float r = (theta - float(q) * kHalfPiHi) - float(q) * kHalfPiLo;  // |r| <= pi/4
  const float z = r * r;
  const float sr = ((-1.9515295891e-4f * z + 8.3321608736e-3f) * z - 1.6666654611e-1f) * z * r + r;
  const float cr = ((2.443315711809948e-5f * z - 1.388731625493765e-3f) * z + 4.166664568298827e-2f) * z * z -
                   0.5f * z + 1.0f;
  // rotate by q quarter turns
  const int quadrant = q & 3;
  const bool swap = (quadrant & 1) != 0;
  const float s0 = selectIf(swap, cr, sr), c0 = selectIf(swap, sr, cr);
  s = selectIf(quadrant >= 2, -s0, s0);
  c = selectIf(quadrant == 1 || quadrant == 2, -c0, c0);
}

}  // namespace lentaro
