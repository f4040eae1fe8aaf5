#include "processor.h"

#include <algorithm>
#include <cstring>

#include "settings.h"

namespace brindle {
namespace {

using P = Param;

constexpr float kIn = 1.0f / 32767.0f;
constexpr float kOut = 32769.0f;
constexpr float kGuard = 0.000002f;

// The main high-pass stops converging at kh = 1.4105 (hipass 0 below 5,211 Hz):
// kept just below it.
constexpr float kMaxHighPass = 1.4f;

inline float Scaled(int32_t v) { return float(v) / 100.0f; }

typedef int32_t I4 __attribute__((vector_size(16)));
inline F2 Select(I4 mask, F2 a, F2 b) {
  const __m128 m = (__m128)mask;
  return _mm_or_ps(_mm_and_ps(m, a), _mm_andnot_ps(m, b));
}
inline bool Finite(F2 v) {
  const F2 d = v - v;  // NaN for an infinity or a NaN
  return (_mm_movemask_ps(_mm_cmpeq_ps(d, d)) & 3) == 3;
}

inline int32_t ToSample(float v, int& clips) {
  if (v >= float(kClipLimit)) {
    ++clips;
    return kClipLimit;
  }
  if (v <= -float(kClipLimit)) {
    ++clips;
    return -kClipLimit;
  }
  return v == v ? int32_t(v) : 0;
}

inline int Advance(int pos, int last) { return pos >= last ? 0 : pos + 1; }

// The pair (a, b) of a resonant low-pass: input x, coefficients k and kb, feedback fb.
inline void ResonantLowPass(F2& a, F2& b, F2 x, F2 k, F2 kb, F2 fb) {
  a = a + ((a - b) * fb + x - a) * k;
  b = b + (a - b) * kb;
}

constexpr std::array<int, 13> kReverbBase = {981, 1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617, 556, 441, 341, 225};
constexpr std::array<int, 9> kReverbRightOffset = {11, -11, 11, -11, 11, -11, 11, -11, 11};

constexpr int kChunk = 256;  // frames each stage runs through before the next one takes them

// The chunk's input samples as floats, scaled 1/32767.
void ReadInput(const int16_t* left, const int16_t* right, int step, int count, F2* in) {
  const F2 scale = Both(kIn);
  for (int n = 0; n < count; ++n, left += step, right += step)
    in[n] = _mm_cvtepi32_ps(_mm_setr_epi32(*left, *right, 0, 0)) * scale;
}

// The bass section over a run of frames, giving each frame's bass output, and
// the feedback refresh after each frame (whether or not the section ran).
void BassStage(BassState& st, const Coefficients& c, const Parameters& params, const F2* in, int count, F2* bo) {
  BassFilters b = st.f;
  F2* ring = st.ring.data();
  const F2 G = Both(c.G), D = Both(c.D), S = Both(c.S), K = Both(c.K), O = Both(c.O), mA = Both(c.mA), mB = Both(c.mB);
  const F2 k1 = Both(c.k1), k2 = Both(c.k2), k3 = Both(c.k3), k3b = Both(c.k3b), k4 = Both(c.k4), k5 = Both(c.k5),
           k6 = Both(c.k6), k7 = Both(c.k7), k8 = Both(c.k8), k9 = Both(c.k9), k10 = Both(c.k10),
           k11 = Both(c.k11), k12 = Both(c.k12), k13 = Both(c.k13), k14 = Both(c.k14);
  const F2 fb1 = Both(c.fb1), fb2 = Both(c.fb2), fb3 = Both(c.fb3), fb4 = Both(c.fb4);
  const F2 guard = Both(kGuard);
  for (int n = 0; n < count; ++n) {
    if (params.Get(Param::bassout) < 1) {
      bo[n] = F2{};
    } else {
      const F2 bx = in[n] * 0.5f + guard;
      ResonantLowPass(b.a1, b.a2, bx * G * b.gA, k1, k1, fb1);
      ResonantLowPass(b.b1, b.b2, b.a2, k2, k2, fb2);
      ResonantLowPass(b.c1, b.c2, b.a2 - b.b2, k3, k3b, fb3);
      if (!AbsAbove(b.c2, 0.7f))
        b.gA = b.gA >= c.Cb ? c.Cb : b.gA * 1.000004f;
      else
        b.gA = b.gA >= 0.5f ? b.gA * 0.999f : 0.5f;

      F2 y = b.c2 * D * b.gS;
      y = y + (y - Swap(y)) * S;  // left + m, right - m
      if (params.On(Param::soft)) {
        if (AbsAbove(y, 0.9f)) b.gS = b.gS * 0.998f;
        if (AbsAbove(y, 0.8f))
          b.gS = b.gS * 0.998f;
        else
          b.gS = b.gS >= 1.0f ? 1.0f : b.gS * 1.0003f;
      } else {
        b.gS = 1.2f;
        y = Clamp(y, -1.0f, 1.0f);
      }

      const F2 yK = y * K;
      auto& u = b.u;
      u[0] = u[0] + (yK - u[0] + guard) * k4;
      u[1] = u[1] + (u[0] - u[1]) * k4;
      u[2] = u[2] + (u[1] - u[2]) * k7;
      u[3] = u[3] + (u[2] - u[3]) * k7;
      u[4] = u[4] + ((u[1] - u[3] - b.w) - u[4]) * k5;
      u[5] = u[5] + (u[4] - u[5]) * k6;
      auto& t = b.t;
      t[0] = t[0] + (yK - t[0]) * k9 - t[1];
      t[1] = t[1] + (t[0] - t[1]) * k10;
      t[2] = t[2] + (t[0] - t[2]) * k11 - t[3];
      t[3] = t[3] + (t[2] - t[3]) * k12;
      t[4] = t[4] + (t[2] - t[4]) * k13 - t[5];
      t[5] = t[5] + (t[4] - t[5]) * k14;

      F2 z = u[5] * mB + t[4] * mA;
      ResonantLowPass(b.o1, b.o2, z, k8, k8, fb4);
      z = z - b.o2;

      ring[b.p] = z;
      b.p = Advance(b.p, 180);
      const F2 zd = ring[b.p];
      const F2 l = z * b.gL;
      if (AbsAbove(l, 0.9f)) b.gL = b.gL * 0.97f;
      if (AbsAbove(l, 0.8f)) b.gL = b.gL * 0.97f;
      if (AbsAbove(l, 0.75f)) b.gL = b.gL * 0.97f;
      if (!AbsAbove(l, 0.7f))
        b.gL = b.gL >= 1.0f ? 1.0f : b.gL * 1.0001f;
      else
        b.gL = b.gL * 0.9999f;
      b.s1 = b.s1 + (b.gL - b.s1) * 0.005f;
      b.s2 = b.s2 + (b.s1 - b.s2) * 0.005f;
      b.s3 = b.s3 + (b.s2 - b.s3) * 0.005f;
      bo[n] = zd * b.s3 * O;
    }
    b.w = b.u[5] * mB + b.t[4] * mA;
  }
  st.f = b;
}

// The main path over a run of frames, from the input samples to the mixed signal.
void MainStage(MainState& st, const Coefficients& c, const Parameters& params, const F2* in, int count,
               float& dither, F2* out) {
  MainFilters s = st.f;
  auto* ring = st.ring.data();
  const F2 kg1 = Both(c.kg1), kg2 = Both(c.kg2), kh = Both(c.kh), kq = Both(c.kq), ks = Both(c.ks), ku = Both(c.ku),
           kt1 = Both(c.kt1), kt2 = Both(c.kt2), Tl = Both(c.Tl), P = Both(c.P), T = Both(c.T), C = Both(c.C), Wf = Both(c.Wf);
  const int len = c.len, tapA = c.tapA, tapB = c.tapB;
  for (int n = 0; n < count; ++n) {
    dither = -dither;
    F2 m = (in[n] + dither) * s.g;
    if (params.Get(Param::dnl) >= 1) {
      s.l1 = s.l1 + (m - s.l1) * kg1;
      const F2 h1 = m - s.l1;
      s.l2 = s.l2 + (h1 - s.l2) * kg2;
      const F2 h2 = h1 - s.l2;
      const I4 open = Abs(h2) * T > Both(10.0f);
      const F2 up = s.t + 0.3f, down = s.t - 0.1f;
      const F2 opened = Select(up >= Both(0.0f), Both(0.0f), up);
      const F2 closed = Select(down > Both(-1.0f), down, Both(-1.0f));
      s.t = Select(open, opened, closed);
      s.ts = 0.95f * s.ts + 0.05f * s.t;
      m = m + h1 * s.ts;
    }
    s.p1 = s.p1 + ((s.p1 - s.p2) * 0.3f + m - s.p1) * kh;
    s.p2 = s.p2 + (s.p1 - s.p2) * kh;
    F2 w = m - s.p2;
    s.q = s.q + (w - s.q) * kq;
    const F2 hi = w - s.q;
    s.sf = s.sf + (hi - s.sf) * ks;
    const F2 feed = hi - s.sf;

    if (params.Get(Param::prologic) >= 1) {
      s.i = s.i > len ? 0 : s.i + 1;
      const int j = s.i + len;
      _mm_storel_pi(reinterpret_cast<__m64*>(ring[s.i].data()), feed);
      _mm_storel_pi(reinterpret_cast<__m64*>(ring[j].data()), feed);
      const float leftA = ring[j - tapA][0];
      const float sL = ring[j - tapB][0] - leftA;
      const float sR = leftA - ring[j - tapB][1];
      s.su = s.su + (Pair(sL, sR) - s.su) * ku;
    } else {
      s.su = F2{};
    }

    // W in the left lane and -W in the right one
    const F2 d = (w - Swap(w)) * Wf;
    s.W = params.On(Param::widefilt) ? (s.W + d) * 0.5f : d;
    w = w + s.W;

    s.e1 = s.e1 + (w - s.e1) * kt1;
    F2 tb = w - s.e1;
    s.e2 = s.e2 + (tb - s.e2) * kt2;
    tb = tb - s.e2;

    const I4 quiet = Abs(hi) <= Both(0.8f);
    const F2 rising = Select(s.g >= C, C, s.g * 1.0000015f);
    s.g = Select(quiet, rising, s.g * 0.9994f);
    if (!params.On(Param::stereoagc)) s.g = _mm_min_ps(s.g, Swap(s.g));  // the smaller gain in both lanes

    out[n] = tb * Tl + w + s.su * P;
  }
  st.f = s;
}

// The reverb on the frames where it is on, mixed into the main path's output.
void ReverbStage(ReverbState& st, const Coefficients& c, const Parameters& params, F2* o, int count) {
  auto& lineL = st.line[0];
  auto& lineR = st.line[1];
  std::array<int, 13> posL = st.pos[0], posR = st.pos[1];
  std::array<F2, 9> damp = st.damp;
  F2 lowpass = st.lowpass;
  const F2 d1 = Both(c.d1), d2 = Both(c.d2), F = Both(c.F), kd = Both(c.kd), kdc = Both(1.0f - c.kd),
           dry = Both(c.dryLevel), wet = Both(c.wetLevel), cross = Both(0.7f), half = Both(0.5f);
  for (int n = 0; n < count; ++n) {
    if (params.Get(Param::reverb) == 0) continue;
    const F2 in = o[n] + cross * Swap(o[n]);  // left + 0.7 right, right + 0.7 left
    F2 acc = Both(0.0f);
    for (int i = 0; i < 9; ++i) {
      posL[i] = Advance(posL[i], c.lineLenL[i]);
      posR[i] = Advance(posR[i], c.lineLenR[i]);
      float& slotL = lineL[i][posL[i]];
      float& slotR = lineR[i][posR[i]];
      const F2 y = Pair(slotL, slotR);
      damp[i] = damp[i] * d1 + y * d2;
      const F2 fed = damp[i] * F + in;
      slotL = Left(fed);
      slotR = Right(fed);
      acc = acc + y;
    }
    lowpass = lowpass * kd + acc * kdc;
    acc = lowpass;
    for (int i = 9; i < 13; ++i) {
      posL[i] = Advance(posL[i], c.lineLenL[i]);
      posR[i] = Advance(posR[i], c.lineLenR[i]);
      float& slotL = lineL[i][posL[i]];
      float& slotR = lineR[i][posR[i]];
      const F2 b = Pair(slotL, slotR);
      const F2 out = b - acc;
      const F2 fed = b * half + acc;
      slotL = Left(fed);
      slotR = Right(fed);
      acc = out;
    }
    o[n] = o[n] * dry + acc * wet;
  }
  st.pos[0] = posL;
  st.pos[1] = posR;
  st.damp = damp;
  st.lowpass = lowpass;
}

// Loudness, compressor, the bass added, final limiter: the float outputs.
void DynamicsStage(DynamicsState& st, const Coefficients& c, const Parameters& params, F2* io, const F2* bo,
                   int count) {
  DynamicsFilters s = st.f;
  F2* ring1 = st.ring1.data();
  F2* ring2 = st.ring2.data();
  F2* ringF = st.ringF.data();
  const F2 kl1 = Both(c.kl1), kl2 = Both(c.kl2), Lc = Both(c.Lc), Md = Both(c.Md), Og = Both(c.Og);
  for (int n = 0; n < count; ++n) {
    F2 o = io[n];
    if (params.On(Param::loudness)) {
      s.a1 = s.a1 + (o - s.a1) * kl1;
      s.a2 = s.a2 + (o - s.a2) * kl2;
      o = 0.8f * o - 0.1f * s.a2 + s.a1;
    }
    if (AbsAbove(o * s.gc * Lc, 0.9f))
      s.gc = s.gc * c.Rf;
    else
      s.gc = s.gc >= 1.0f ? 1.0f : s.gc * c.Rr;
    s.gs = 0.95f * s.gs + 0.05f * s.gc;

    const int q1 = s.p1, q2 = s.p2;
    s.p1 = Advance(s.p1, 140);
    s.p2 = Advance(s.p2, 40);
    ring1[q1] = o;
    ring2[q2] = ring1[s.p1] * s.gs * Md;
    const F2 mv = ring2[s.p2] + bo[n];

    const int q3 = s.p3;
    s.p3 = Advance(s.p3, 21);
    if (AbsAbove(s.out, c.theta)) s.gf = s.gf * 0.997f;
    if (AbsAbove(mv * s.ga * Og, c.theta))
      s.gf = s.gf * 0.997f;
    else
      s.gf = s.gf >= 1.0f ? 1.0f : s.gf * 1.0002f;
    if (s.gf < 0.25f) s.gf = 0.25f;
    s.f1 = 0.97f * s.f1 + 0.03f * s.gf;
    s.ga = 0.97f * s.f1 + 0.03f * s.gf;

    ringF[q3] = mv;
    s.out = ringF[s.p3] * Og * s.ga;
    io[n] = s.out;
  }
  st.f = s;
}

bool Accepted(int frames, int bits, int channels, int rate) {
  return (channels == 1 || channels == 2) && bits == 16 && frames >= kMinFrames && frames <= kMaxFrames &&
         rate >= kMinRate && rate <= kMaxRate;
}

}  // namespace

Coefficients ComputeCoefficients(const std::array<int32_t, kParamCount>& p, int sampleRate) {
  auto v = [&](Param q) { return p[size_t(q)]; };
  auto Pw = PowConst;
  Coefficients k;
  const float r = float(sampleRate) * (1.0f / 44100.0f);
  k.r = r;

  // bass section
  const float a = Scaled(v(P::bassinlopass)), b = Scaled(v(P::bassinhipass)), c = Scaled(v(P::bassinres));
  const float d = Scaled(v(P::basslopass)), e = Scaled(v(P::basshipass)), f = Scaled(v(P::bassres));
  k.G = Pw(a, 6.0f) * (1.5f - c) * 20.0f + (1.0f - 0.5f * c) - 0.1f * b;
  k.Cb = 1.0f + 0.04f * float(v(P::bassagc));
  k.S = Scaled(v(P::bass3d)) - 0.5f;
  k.D = 3.0f * Pw(0.015f * float(v(P::phatt)), 2.0f) + 1.0f;
  k.L = 2.0f * Pw(Scaled(v(P::basscomp)), 2.0f) + 0.3f;
  k.K = (Pw(d, 6.0f) * (1.5f - f) * 10.0f + (2.0f - 0.5f * f) - 0.1f * e) * k.L;
  k.O = Scaled(v(P::bassout));
  const float a15 = Pw(a, 1.5f), a5 = Pw(a, 5.0f), d01 = Pw(d, 0.1f);
  const float d15 = Pw(d, 1.5f), d4 = Pw(d, 4.0f), d5 = Pw(d, 5.0f), d05 = Pw(d, 0.5f);
  const float e15 = Pw(e, 1.5f), e5 = Pw(e, 5.0f), e2 = Pw(e, 2.0f);
  k.k1 = 1.0f / ((100.0f * a15 + 180.0f * a5 + 50.0f * d01 + 5.0f) * r + 2.0f);
  k.k2 = 1.0f / ((100.0f * Pw(b, 1.5f) + 200.0f * Pw(b, 5.0f) + 50.0f) * r);
  k.k3 = 1.0f / ((30.0f * a15 + 70.0f * a5 + 30.0f * d01 + 20.0f) * r + 2.0f);
  k.k3b = 1.3f * k.k3;
  k.k4 = 1.0f / ((80.0f * d15 + 210.0f * d4 + 5.0f * d05) * r + 2.0f);
  k.k5 = 1.0f / ((70.0f * d15 + 190.0f * d4 + 10.0f * d05) * r + 2.0f);
  k.k6 = 1.0f / ((50.0f * d15 + 100.0f * d5 + 20.0f * d05) * r + 2.0f);
  k.k7 = 1.0f / ((100.0f * e15 + 200.0f * e5 + 50.0f) * r + 2.0f);
  k.k8 = 1.0f / ((90.0f * e15 + 170.0f * e5 + 50.0f) * r * 0.5f + 2.0f);
  k.k9 = 1.0f / ((350.0f * d15 + 400.0f * d4 + 25.0f * d05) * r + 3.0f);
  k.k10 = 1.0f / ((62000.0f * e2 + 2000.0f) * r);
  k.k11 = 1.0f / ((200.0f * d15 + 300.0f * d4 + 25.0f * d05) * r + 3.0f);
  k.k12 = 1.0f / ((58000.0f * e2 + 2000.0f) * r);
  k.k13 = 1.0f / ((100.0f * d15 + 150.0f * d4 + 25.0f * d05) * r + 3.0f);
  k.k14 = 1.0f / ((50000.0f * e2 + 2000.0f) * r);
  k.mA = 2.0f * f;
  k.mB = 1.5f * (1.0f - f);
  const float c07 = Pw(c, 0.7f);
  const float q1 = 0.4f * c07, q2 = 0.8f * c07, q3 = 0.4f * c07, q4 = 0.2f * Pw(f, 0.7f);
  k.fb1 = q1 / (1.0f - k.k1) + q1;
  k.fb2 = q2 / (1.0f - k.k2) + q2;
  k.fb3 = q3 / (1.0f - k.k3) + q3;
  k.fb4 = q4 / (1.0f - k.k8) + q4;

  // main path
  const float h = Scaled(v(P::hipass));
  k.C = 1.0f + 0.05f * float(v(P::agc));
  const int32_t gate = v(P::dnl) - 110;
  k.T = float(gate * gate);
  k.kg1 = 1.0f / (2.0f * r + 1.0f);
  k.kg2 = 1.0f / (r + 1.0f);
  k.kh = std::min(1.0f / ((300.0f * Pw(h, 8.0f) + 180.0f * Pw(h, 2.4f) + 6.0f) * r), kMaxHighPass);
  k.kq = 1.0f / ((100.0f * Pw(h, 2.0f) + 10.0f) * r);
  k.ks = 1.0f / (20.0f * r);
  k.len = std::min(int(1500.0f * r), (kSurroundRing - 2) / 2);
  k.tapA = int(500.0f * r);
  k.tapB = int(1000.0f * r);
  k.ku = 1.0f / (3.0f * r);
  if (k.ku >= 2.0f) k.ku = 1.0f;  // below 7,350 Hz the smoothing would not converge: follow the value instead
  k.P = Scaled(v(P::prologic));
  k.Wf = float(v(P::wide3d)) / 75.0f;
  k.kt1 = 1.0f / (float(v(P::trange)) * r * 0.02f + 2.0f);
  k.kt2 = 1.0f / (float(v(P::trange)) * r * 0.2f + 2.0f);
  k.Tl = float(v(P::treble)) * 0.1f;

  // reverb
  const float Ls = 0.5f + 0.001f * float(v(P::length));
  for (int n = 0; n < 13; ++n) {
    const float base = float(kReverbBase[size_t(n)]);
    if (n < 9) {
      k.lineLenL[size_t(n)] = int(base * r * Ls);
      k.lineLenR[size_t(n)] = int((base + float(kReverbRightOffset[size_t(n)])) * r * Ls);
    } else {
      k.lineLenL[size_t(n)] = k.lineLenR[size_t(n)] = int(base * r);
    }
    k.lineLenL[size_t(n)] = std::min(k.lineLenL[size_t(n)], kReverbLine - 1);
    k.lineLenR[size_t(n)] = std::min(k.lineLenR[size_t(n)], kReverbLine - 1);
  }
  const float size = Scaled(v(P::size)), damp = Scaled(v(P::damp)), reverb = Scaled(v(P::reverb));
  k.F = 0.6f + 0.0037f * float(v(P::size));
  k.d1 = 0.005f * float(v(P::damp));
  k.d2 = 1.0f - k.d1;
  k.kd = 0.99f * Pw(damp, 0.4f);
  k.dryLevel = Pw(1.0f - reverb, 0.5f);
  k.wetLevel = 0.01f * Pw(damp, 6.0f) + (1.5f - size) * 0.0002f * float(v(P::reverb));

  // loudness, compressor, final limiter
  const float speed4 = Pw(Scaled(v(P::speed)), 4.0f);
  k.kl1 = 1.0f / (50.0f * r);
  k.kl2 = 1.0f / (r + 2.0f);
  k.Lc = 0.04f * float(v(P::comp)) + 0.5f;
  k.Rf = 0.997f - 0.04f * speed4;
  k.Rr = 1.00004f + 0.001f * speed4;
  k.Md = 0.012f * float(v(P::dry)) * k.Lc + 0.00001f;
  k.Og = 1.0f + 0.02f * float(v(P::boost));
  k.theta = v(P::boost) >= 10 ? 0.75f : 1.0f - 0.025f * float(v(P::boost));
  return k;
}

int32_t OutputSample(float o, int& clips) { return ToSample(o * kOut, clips); }

void ResetGains(DspState& s) {
  BassFilters& b = s.bass.f;
  b.gA = b.gS = b.gL = b.s1 = b.s2 = b.s3 = 1.0f;
  DynamicsFilters& d = s.dyn.f;
  d.gc = d.gs = d.gf = d.f1 = 1.0f;
  s.main.f.g = Both(1.3f);
}

void ResetReverb(DspState& s) {
  for (auto& channel : s.reverb.line)
    for (auto& line : channel) std::fill(line.begin(), line.begin() + kReverbClearedValues, 0.0f);
  for (auto& channel : s.reverb.pos) channel.fill(0);
}

void ResetAll(DspState& s) {
  // in place: the host's audio thread may have little stack
  s.bass.f = BassFilters{};
  s.bass.ring.fill(F2{});
  s.main.f = MainFilters{};
  s.main.ring.fill({0.0f, 0.0f});
  for (auto& channel : s.reverb.line)
    for (auto& line : channel) line.fill(0.0f);
  for (auto& channel : s.reverb.pos) channel.fill(0);
  s.reverb.damp.fill(F2{});
  s.reverb.lowpass = F2{};
  s.dyn.f = DynamicsFilters{};
  s.dyn.ring1.fill(F2{});
  s.dyn.ring2.fill(F2{});
  s.dyn.ringF.fill(F2{});
  ResetGains(s);
  s.dyn.f.ga = 1.0f;
}

int ProcessBlock(Processor& proc, const Parameters& params, const WindowSettings& window, Handshake& hs,
                 int16_t* samples, int frames, int bitsPerSample, int channels, int sampleRate) {
  hs.InFlight.store(true);  // before the Bypass test: see Handshake
  if (hs.Bypass.load()) {
    hs.InFlight.store(false);
    return frames;
  }
  if (hs.holdHook) hs.holdHook();
  ScopeValues& scope = proc.scope;
  int32_t scopeIndex = scope.ScopeWriteIndex.load(std::memory_order_relaxed);
  scope.ScopeBlockStart.store(scopeIndex, std::memory_order_relaxed);
  scope.BlockSampleRate.store(sampleRate, std::memory_order_relaxed);
  hs.BlockDone.store(false);

  if (samples && Accepted(frames, bitsPerSample, channels, sampleRate)) {
    FpuGuard fpu;
    DspState& st = proc.state;
    scope.ClipCount.store(0, std::memory_order_relaxed);
    const auto snapshot = params.Snapshot();
    if (snapshot != st.kParams || sampleRate != st.kRate) {
      st.k = ComputeCoefficients(snapshot, sampleRate);
      st.kParams = snapshot;
      st.kRate = sampleRate;
    }
    const Coefficients& k = st.k;
    st.dither = kGuard;
    int clips = 0;
    int16_t* ring = scope.ScopeRing.data();
    F2 in[kChunk], bo[kChunk], o[kChunk];

    for (int first = 0; first < frames; first += kChunk) {
      const int count = std::min(kChunk, frames - first);
      int16_t* left = samples + first * channels;
      int16_t* right = left + (channels == 2 ? 1 : 0);
      ReadInput(left, right, channels, count, in);
      BassStage(st.bass, k, params, in, count, bo);
      MainStage(st.main, k, params, in, count, st.dither, o);
      ReverbStage(st.reverb, k, params, o, count);
      DynamicsStage(st.dyn, k, params, o, bo, count);

      bool finite = true;
      for (int n = 0; n < count; ++n, left += channels, right += channels) {
        finite = finite && Finite(o[n]);
        const F2 scaled = o[n] * kOut;
        const int32_t iL = ToSample(Left(scaled), clips);
        const int32_t iR = ToSample(Right(scaled), clips);
        const int16_t written = int16_t(params.On(P::inverted) ? -iL : iL);
        *left = written;
        ring[scopeIndex] = int16_t(-written);
        *right = int16_t(iR);
        ring[scopeIndex + 1] = int16_t(-iR);
        scopeIndex += 2;
        if (scopeIndex >= kScopeRingValues) scopeIndex = 0;
      }
      if (!finite) {
        // a value that is no number reached the output: every stage starts afresh
        ResetAll(st);
        ++st.restarts;
      }
    }

    scope.ScopeWriteIndex.store(scopeIndex, std::memory_order_relaxed);
    scope.ClipCount.store(clips, std::memory_order_relaxed);
    const float percent = float(clips) / float(frames * channels) * 100.0f;
    scope.ClipPercent.store(percent, std::memory_order_relaxed);
    const float held = scope.ClipHeld.load(std::memory_order_relaxed);
    scope.ClipHeld.store(IifFloat(percent > held, percent, held * 0.98f - 0.03f), std::memory_order_relaxed);
  }

  hs.BlockDone.store(true);
  scope.ScopeFrameCredit.store(100 * window.timer.load(std::memory_order_relaxed), std::memory_order_relaxed);
  hs.InFlight.store(false);
  return frames;
}

}  // namespace brindle
