// The processor's stages as SSE2 kernels: the operations of stages_plain.cpp in
// the same order and with the same roundings, arranged for speed. A run of
// frames goes through three passes: the bass section's input part beside the
// main path, then the reverb, then the bass section's branches and limiter
// beside the dynamics stage. Each pass puts work with long chains from frame to
// frame beside independent work, so that the processor overlaps the two.
#include "stages.h"

#include <algorithm>

namespace brindle::sse {
namespace {

inline F2 Lanes(float a, float b, float c, float d) { return _mm_setr_ps(a, b, c, d); }
// lanes 0 and 1 of a with lanes 2 and 3 of b
inline F2 LowHigh(F2 a, F2 b) { return _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 2, 1, 0)); }
// lanes 2 and 3 of v in lanes 0 and 1
inline F2 High(F2 v) { return _mm_movehl_ps(v, v); }
// lanes 2 and 3 of v, lanes 0 and 1 zero
inline F2 HighOnly(F2 v) { return _mm_and_ps(v, _mm_castsi128_ps(_mm_setr_epi32(0, 0, -1, -1))); }
// v in both halves
inline F2 Twice(F2 v) { return _mm_movelh_ps(v, v); }

// The bass section's input filters, AGC, drive and clipping: each frame's y K.
struct BassFront {
  BassFilters b;
  const Coefficients& c;
  const F2 G = Both(c.G), D = Both(c.D), S = Both(c.S), K = Both(c.K);
  const F2 k1 = Both(c.k1), k2 = Both(c.k2), k3 = Both(c.k3), k3b = Both(c.k3b);
  const F2 fb1 = Both(c.fb1), fb2 = Both(c.fb2), fb3 = Both(c.fb3);

  F2 Frame(F2 in, bool soft) {
    const F2 bx = in * 0.5f + Both(kGuard);
    ResonantLowPass(b.a1, b.a2, bx * G * b.gA, k1, k1, fb1);
    ResonantLowPass(b.b1, b.b2, b.a2, k2, k2, fb2);
    ResonantLowPass(b.c1, b.c2, b.a2 - b.b2, k3, k3b, fb3);
    if (!AbsAbove(b.c2, 0.7f))
      b.gA = b.gA >= c.Cb ? c.Cb : b.gA * 1.000004f;
    else
      b.gA = b.gA >= 0.5f ? b.gA * 0.999f : 0.5f;

    F2 y = b.c2 * D * b.gS;
    y = y + (y - Swap(y)) * S;  // left + m, right - m
    if (soft) {
      if (AbsAbove(y, 0.9f)) b.gS = b.gS * 0.998f;
      if (AbsAbove(y, 0.8f))
        b.gS = b.gS * 0.998f;
      else
        b.gS = b.gS >= 1.0f ? 1.0f : b.gS * 1.0003f;
    } else {
      b.gS = 1.2f;
      y = Clamp(y, -1.0f, 1.0f);
    }
    return y * K;
  }
};

// The two branches, their mix and the output resonance removed: y K in, z out.
// Branch A's states travel in lanes 0 and 1 and branch B's in lanes 2 and 3 of
// the same vectors, step k of one beside step k of the other:
//   u1 + ((yK - u1) + guard) k4 - 0     t1 + ((yK - t1) + 0) k9 - t2
//   u2 + (u1 - u2) k4                   t2 + (t1 - t2) k10
//   u3 + (u2 - u3) k7 - 0               t3 + (t1 - t3) k11 - t4
//   u4 + (u3 - u4) k7                   t4 + (t3 - t4) k12
//   u5 + ((u2 - u4 - w) - u5) k5 - 0    t5 + (t3 - t5) k13 - t6
//   u6 + (u5 - u6) k6                   t6 + (t5 - t6) k14
// Subtracting 0 changes no value, and adding 0 at most the sign of a zero,
// which no later step can turn into a different value. The chain from one
// frame's w to the next one's is the section's longest: u5's lanes go on to
// u6 straight from before the subtraction of 0.
struct BassBranches {
  BassFilters& f;
  const Coefficients& c;
  F2 s1 = LowHigh(f.u[0], Twice(f.t[0])), s2 = LowHigh(f.u[1], Twice(f.t[1])), s3 = LowHigh(f.u[2], Twice(f.t[2])),
     s4 = LowHigh(f.u[3], Twice(f.t[3])), s5 = LowHigh(f.u[4], Twice(f.t[4])), s6 = LowHigh(f.u[5], Twice(f.t[5]));
  F2 w = f.w, o1 = f.o1, o2 = f.o2;
  const F2 kA = Lanes(c.k4, c.k4, c.k9, c.k9), kB = Lanes(c.k4, c.k4, c.k10, c.k10),
           kC = Lanes(c.k7, c.k7, c.k11, c.k11), kD = Lanes(c.k7, c.k7, c.k12, c.k12),
           kE = Lanes(c.k5, c.k5, c.k13, c.k13), kF = Lanes(c.k6, c.k6, c.k14, c.k14);
  const F2 first = Lanes(kGuard, kGuard, 0.0f, 0.0f);
  const F2 mA = Both(c.mA), mB = Both(c.mB), k8 = Both(c.k8), fb4 = Both(c.fb4);

  F2 Frame(F2 yK) {
    const F2 x = Twice(yK);
    s1 = s1 + ((x - s1) + first) * kA - HighOnly(s2);
    s2 = s2 + (s1 - s2) * kB;
    s3 = s3 + (LowHigh(s2, s1) - s3) * kC - HighOnly(s4);
    s4 = s4 + (s3 - s4) * kD;
    const F2 u5 = s5 + (LowHigh(s2 - s4 - w, s3) - s5) * kE;
    s5 = LowHigh(u5, u5 - HighOnly(s6));
    s6 = s6 + (s5 - s6) * kF;
    const F2 z = s6 * mB + High(s5) * mA;
    w = z;  // the feedback refresh: the same sum from the same states
    ResonantLowPass(o1, o2, z, k8, k8, fb4);
    return z - o2;
  }
  void Refresh() { w = s6 * mB + High(s5) * mA; }  // a frame with the section off
  void Store() {
    f.u[0] = s1, f.u[1] = s2, f.u[2] = s3, f.u[3] = s4, f.u[4] = s5, f.u[5] = s6;
    f.t[0] = High(s1), f.t[1] = High(s2), f.t[2] = High(s3), f.t[3] = High(s4), f.t[4] = High(s5), f.t[5] = High(s6);
    f.w = w, f.o1 = o1, f.o2 = o2;
  }
};

// The bass section's ring and limiter: z in, the bass output out.
struct BassLimiter {
  BassFilters& f;
  F2* ring;
  const F2 O;
  float gL = f.gL, s1 = f.s1, s2 = f.s2, s3 = f.s3;
  int p = f.p;

  F2 Frame(F2 z) {
    ring[p] = z;
    p = Advance(p, 180);
    const F2 zd = ring[p];
    const F2 l = z * gL;
    if (AbsAbove(l, 0.9f)) gL = gL * 0.97f;
    if (AbsAbove(l, 0.8f)) gL = gL * 0.97f;
    if (AbsAbove(l, 0.75f)) gL = gL * 0.97f;
    if (!AbsAbove(l, 0.7f))
      gL = gL >= 1.0f ? 1.0f : gL * 1.0001f;
    else
      gL = gL * 0.9999f;
    s1 = s1 + (gL - s1) * 0.005f;
    s2 = s2 + (s1 - s2) * 0.005f;
    s3 = s3 + (s2 - s3) * 0.005f;
    return zd * s3 * O;
  }
  void Store() { f.gL = gL, f.s1 = s1, f.s2 = s2, f.s3 = s3, f.p = p; }
};

// The main path: the scaled input in, the mixed signal out.
struct MainPath {
  MainFilters s;
  std::array<float, 2>* ring;
  const Coefficients& c;
  const F2 kg1 = Both(c.kg1), kg2 = Both(c.kg2), kh = Both(c.kh), kq = Both(c.kq), ks = Both(c.ks), ku = Both(c.ku),
           kt1 = Both(c.kt1), kt2 = Both(c.kt2), Tl = Both(c.Tl), P = Both(c.P), T = Both(c.T), C = Both(c.C),
           Wf = Both(c.Wf);

  F2 Frame(F2 in, float dither, const Parameters& params) {
    F2 m = (in + dither) * s.g;
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
      s.i = s.i > c.len ? 0 : s.i + 1;
      const int j = s.i + c.len;
      _mm_storel_pi(reinterpret_cast<__m64*>(ring[s.i].data()), feed);
      _mm_storel_pi(reinterpret_cast<__m64*>(ring[j].data()), feed);
      const float leftA = ring[j - c.tapA][0];
      const float sL = ring[j - c.tapB][0] - leftA;
      const float sR = leftA - ring[j - c.tapB][1];
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

    // Mostly both channels are within 0.8: a branch then keeps the next
    // frame's gain from waiting for this frame's whole path.
    const F2 rising = Select(s.g >= C, C, s.g * 1.0000015f);
    const I4 quiet = Abs(hi) <= Both(0.8f);
    if ((_mm_movemask_ps((__m128)quiet) & 3) == 3)
      s.g = rising;
    else
      s.g = Select(quiet, rising, s.g * 0.9994f);
    if (!params.On(Param::stereoagc)) s.g = _mm_min_ps(s.g, Swap(s.g));  // the smaller gain in both lanes

    return tb * Tl + w + s.su * P;
  }
};

// Loudness, compressor, the bass added, final limiter: the float outputs.
struct DynamicsPath {
  DynamicsFilters s;
  DynamicsState& st;
  const Coefficients& c;
  const F2 kl1 = Both(c.kl1), kl2 = Both(c.kl2), Lc = Both(c.Lc), Md = Both(c.Md), Og = Both(c.Og);

  F2 Frame(F2 o, F2 bo, bool loudness) {
    if (loudness) {
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
    st.ring1[q1] = o;
    st.ring2[q2] = st.ring1[s.p1] * s.gs * Md;
    const F2 mv = st.ring2[s.p2] + bo;

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

    st.ringF[q3] = mv;
    s.out = st.ringF[s.p3] * Og * s.ga;
    return s.out;
  }
};

// The reverb's lines and running values while a stretch of frames runs.
struct ReverbRun {
  std::array<std::array<float, kReverbLine>, 13>& lineL;
  std::array<std::array<float, kReverbLine>, 13>& lineR;
  std::array<int, 13> posL, posR;
  std::array<F2, 9> damp;
  F2 lowpass;
  F2 d1, d2, F, kd, kdc, dry, wet;

  // One frame, each line at its position plus `ahead`.
  void Frame(int ahead, F2& o) {
    const F2 in = o + Both(0.7f) * Swap(o);  // left + 0.7 right, right + 0.7 left
    F2 acc = Both(0.0f);
    for (int i = 0; i < 9; ++i) {
      float& slotL = lineL[i][posL[i] + ahead];
      float& slotR = lineR[i][posR[i] + ahead];
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
      float& slotL = lineL[i][posL[i] + ahead];
      float& slotR = lineR[i][posR[i] + ahead];
      const F2 b = Pair(slotL, slotR);
      const F2 out = b - acc;
      const F2 fed = b * Both(0.5f) + acc;
      slotL = Left(fed);
      slotR = Right(fed);
      acc = out;
    }
    o = o * dry + acc * wet;
  }

  // Four frames, each line at its position plus ahead .. ahead + 3, none of
  // them wrapping. A line is read at least 26 frames after it was written, so
  // the four frames' values of a line are loaded and stored together, one
  // vector per channel, frame j in lane j; the sums run in that layout too,
  // while the damping and the low-pass go frame by frame as before.
  void Four(int ahead, F2* o) {
    F2 in[4];
    for (int j = 0; j < 4; ++j) in[j] = o[j] + Both(0.7f) * Swap(o[j]);
    F2 accL = Both(0.0f), accR = Both(0.0f);
    for (int i = 0; i < 9; ++i) {
      float* l = &lineL[i][posL[i] + ahead];
      float* r = &lineR[i][posR[i] + ahead];
      const F2 yL = _mm_loadu_ps(l), yR = _mm_loadu_ps(r);
      const F2 y01 = _mm_unpacklo_ps(yL, yR), y23 = _mm_unpackhi_ps(yL, yR);  // L0 R0 L1 R1, L2 R2 L3 R3
      F2 d = damp[i];
      d = d * d1 + y01 * d2;
      const F2 f0 = d * F + in[0];
      d = d * d1 + High(y01) * d2;
      const F2 f1 = d * F + in[1];
      d = d * d1 + y23 * d2;
      const F2 f2 = d * F + in[2];
      d = d * d1 + High(y23) * d2;
      const F2 f3 = d * F + in[3];
      damp[i] = d;
      StoreFour(f0, f1, f2, f3, l, r);
      accL = accL + yL;
      accR = accR + yR;
    }
    {
      const F2 a01 = _mm_unpacklo_ps(accL, accR), a23 = _mm_unpackhi_ps(accL, accR);
      lowpass = lowpass * kd + a01 * kdc;
      const F2 l0 = lowpass;
      lowpass = lowpass * kd + High(a01) * kdc;
      const F2 l1 = lowpass;
      lowpass = lowpass * kd + a23 * kdc;
      const F2 l2 = lowpass;
      lowpass = lowpass * kd + High(a23) * kdc;
      const F2 l3 = lowpass;
      const F2 a = _mm_movelh_ps(l0, l1), b = _mm_movelh_ps(l2, l3);
      accL = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
      accR = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    }
    for (int i = 9; i < 13; ++i) {
      float* l = &lineL[i][posL[i] + ahead];
      float* r = &lineR[i][posR[i] + ahead];
      const F2 bL = _mm_loadu_ps(l), bR = _mm_loadu_ps(r);
      _mm_storeu_ps(l, bL * Both(0.5f) + accL);
      _mm_storeu_ps(r, bR * Both(0.5f) + accR);
      accL = bL - accL;
      accR = bR - accR;
    }
    const F2 a01 = _mm_unpacklo_ps(accL, accR), a23 = _mm_unpackhi_ps(accL, accR);
    o[0] = o[0] * dry + a01 * wet;
    o[1] = o[1] * dry + High(a01) * wet;
    o[2] = o[2] * dry + a23 * wet;
    o[3] = o[3] * dry + High(a23) * wet;
  }

  // Four frames' (left, right) pairs stored as four left and four right values.
  static void StoreFour(F2 f0, F2 f1, F2 f2, F2 f3, float* l, float* r) {
    const F2 a = _mm_movelh_ps(f0, f1), b = _mm_movelh_ps(f2, f3);  // L0 R0 L1 R1, L2 R2 L3 R3
    _mm_storeu_ps(l, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    _mm_storeu_ps(r, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
  }
};


// Between two wraps of any line every position just steps on by one: such runs
// go without a position test, four frames at a time.
void Reverb(ReverbState& st, const Coefficients& c, const Parameters& params, F2* o, int count) {
  bool on[kChunk];
  for (int n = 0; n < count; ++n) on[n] = params.Get(Param::reverb) != 0;
  ReverbRun run{st.line[0], st.line[1], st.pos[0], st.pos[1], st.damp, st.lowpass,
                Both(c.d1), Both(c.d2), Both(c.F), Both(c.kd), Both(1.0f - c.kd), Both(c.dryLevel), Both(c.wetLevel)};
  const std::array<int, 13>& lenL = c.lineLenL;
  const std::array<int, 13>& lenR = c.lineLenR;
  int n = 0;
  while (n < count) {
    if (!on[n]) {
      ++n;
      continue;
    }
    int end = n;
    while (end < count && on[end]) ++end;
    while (n < end) {
      // the frames before the first wrap
      int steps = end - n;
      for (int i = 0; i < 13; ++i) {
        steps = std::min(steps, run.posL[i] >= lenL[i] ? 0 : lenL[i] - run.posL[i]);
        steps = std::min(steps, run.posR[i] >= lenR[i] ? 0 : lenR[i] - run.posR[i]);
      }
      if (steps == 0) {
        for (int i = 0; i < 13; ++i) {
          run.posL[i] = Advance(run.posL[i], lenL[i]);
          run.posR[i] = Advance(run.posR[i], lenR[i]);
        }
        run.Frame(0, o[n]);
        ++n;
        continue;
      }
      int k = 0;
      for (; k + 4 <= steps; k += 4) run.Four(1 + k, o + n + k);
      for (; k < steps; ++k) run.Frame(1 + k, o[n + k]);
      for (int i = 0; i < 13; ++i) {
        run.posL[i] += steps;
        run.posR[i] += steps;
      }
      n += steps;
    }
  }
  st.pos[0] = run.posL;
  st.pos[1] = run.posR;
  st.damp = run.damp;
  st.lowpass = run.lowpass;
}

// The bass section's input part beside the main path: y K of the frames with
// the bass on, the main path's mixed signal of every frame.
void InputPass(DspState& st, const Coefficients& c, const Parameters& params, const F2* in, int count, const bool* bassOn,
               float& dither, F2* bass, F2* out) {
  BassFront front{st.bass.f, c};
  MainPath main{st.main.f, st.main.ring.data(), c};
  for (int n = 0; n < count; ++n) {
    if (bassOn[n]) bass[n] = front.Frame(in[n], params.On(Param::soft));
    dither = -dither;
    out[n] = main.Frame(in[n], dither, params);
  }
  st.bass.f = front.b;
  st.main.f = main.s;
}

// The bass section's branches and limiter beside the dynamics stage: the float
// outputs.
void OutputPass(DspState& st, const Coefficients& c, const Parameters& params, int count, const bool* bassOn, F2* bass,
                F2* out) {
  BassBranches branches{st.bass.f, c};
  BassLimiter limiter{st.bass.f, st.bass.ring.data(), Both(c.O)};
  DynamicsPath dyn{st.dyn.f, st.dyn, c};
  for (int n = 0; n < count; ++n) {
    F2 bo = F2{};
    if (bassOn[n])
      bo = limiter.Frame(branches.Frame(bass[n]));
    else
      branches.Refresh();
    out[n] = dyn.Frame(out[n], bo, params.On(Param::loudness));
  }
  branches.Store();
  limiter.Store();
  st.dyn.f = dyn.s;
}

}  // namespace

void Stages(DspState& st, const Coefficients& c, const Parameters& params, const F2* in, int count, float& dither,
            F2* out) {
  bool bassOn[kChunk];
  for (int n = 0; n < count; ++n) bassOn[n] = params.Get(Param::bassout) >= 1;
  F2 bass[kChunk];  // y K, then the bass output
  InputPass(st, c, params, in, count, bassOn, dither, bass, out);
  Reverb(st.reverb, c, params, out, count);
  OutputPass(st, c, params, count, bassOn, bass, out);
}

}  // namespace brindle::sse
