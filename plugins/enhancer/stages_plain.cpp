// The processor's stages as plain code: one operation after another, as each
// stage is described, on the two channels' lanes. The SSE2 kernels
// (stages_sse.cpp) are held to these bit for bit.
#include "stages.h"

namespace brindle::plain {

// The bass section over a run of frames, giving each frame's bass output, and
// the feedback refresh after each frame (whether or not the section ran).
void Bass(BassState& st, const Coefficients& c, const Parameters& params, const F2* in, int count, F2* bo) {
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
void Main(MainState& st, const Coefficients& c, const Parameters& params, const F2* in, int count,
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
void Reverb(ReverbState& st, const Coefficients& c, const Parameters& params, F2* o, int count) {
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
void Dynamics(DynamicsState& st, const Coefficients& c, const Parameters& params, F2* io, const F2* bo,
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

void Stages(DspState& st, const Coefficients& c, const Parameters& params, const F2* in, int count, float& dither,
            F2* out) {
  F2 bo[kChunk];
  Bass(st.bass, c, params, in, count, bo);
  Main(st.main, c, params, in, count, dither, out);
  Reverb(st.reverb, c, params, out, count);
  Dynamics(st.dyn, c, params, out, bo, count);
}

}  // namespace brindle::plain
