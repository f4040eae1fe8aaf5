// The processor's stages as SSE2 kernels: the operations of stages_plain.cpp in
// the same order and with the same roundings, arranged for speed. A run of
// frames goes through four passes: the bass section's input part beside the
// main path's first part; the bass section's branches beside the rest of the
// main path; the reverb; the bass section's limiter beside the dynamics stage.
// Each pass puts work with long chains from frame to frame beside independent
// work, so that the processor overlaps the two, and keeps its loop short
// enough for several frames to be in flight at once. The passes are kept out
// of line: inlined into one function they come out slower.
#include "stages.h"

#include <algorithm>
#include <cstring>

#include <emmintrin.h>

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

// The kernels' constant vectors, kept in memory. The compiler rebuilds a vector
// constant whose value it knows from its float with two instructions (SSE2 has
// no broadcast) wherever registers run short, which is in every loop here;
// read from memory it is one operand of the instruction that uses it. Each
// pass holds a copy and lets its address escape, so that the compiler cannot
// fold the values back in.
struct Literals {
  F2 absMask = _mm_castsi128_ps(_mm_set1_epi32(0x7FFFFFFF));
  F2 zero = Both(0.0f), half = Both(0.5f), guard = Both(kGuard), minusOne = Both(-1.0f), one = Both(1.0f);
  F2 l0_7 = Both(0.7f), l0_75 = Both(0.75f), l0_8 = Both(0.8f), l0_9 = Both(0.9f), l10 = Both(10.0f);
  F2 l0_3 = Both(0.3f), l0_1 = Both(0.1f), l0_95 = Both(0.95f), l0_05 = Both(0.05f);
  F2 agcRise = Both(1.0000015f), agcFall = Both(0.9994f);

  Literals() { asm volatile("" : : "r"(this) : "memory"); }
  Literals(const Literals&) = delete;
  // either |lane 0| or |lane 1| > limit
  int AbsAbove(F2 v, F2 limit) const { return _mm_movemask_ps(_mm_cmpgt_ps(_mm_and_ps(v, absMask), limit)) & 3; }
  F2 Abs(F2 v) const { return _mm_and_ps(v, absMask); }
};

// The bass section's input filters, AGC, drive and clipping: each frame's y K.
// The gains are scalars kept in every lane (each lane rounds as the scalar
// would), so that they multiply the channels' vectors without a shuffle; their
// tests read lane 0.
struct BassFront {
  BassFilters b;
  const Coefficients& c;
  const Literals& L;
  const F2 G = Both(c.G), D = Both(c.D), S = Both(c.S), K = Both(c.K);
  const F2 k1 = Both(c.k1), k2 = Both(c.k2), k3 = Both(c.k3), k3b = Both(c.k3b);
  const F2 fb1 = Both(c.fb1), fb2 = Both(c.fb2), fb3 = Both(c.fb3);
  const F2 Cb = Both(c.Cb), riseA = Both(1.000004f), fallA = Both(0.999f), riseS = Both(1.0003f),
           fallS = Both(0.998f), hardS = Both(1.2f);
  F2 gA = Both(b.gA), gS = Both(b.gS);

  F2 Frame(F2 in, bool soft) {
    ResonantLowPass(b.a1, b.a2, Drive(in), k1, k1, fb1);
    return Rest(b.a2, soft);
  }
  // The first resonance's input.
  F2 Drive(F2 in) const { return (in * L.half + L.guard) * G * gA; }
  // From the first resonance's output a2 on.
  F2 Rest(F2 a2, bool soft) {
    ResonantLowPass(b.b1, b.b2, a2, k2, k2, fb2);
    ResonantLowPass(b.c1, b.c2, a2 - b.b2, k3, k3b, fb3);
    if (!L.AbsAbove(b.c2, L.l0_7))
      gA = gA[0] >= c.Cb ? Cb : gA * riseA;
    else
      gA = gA[0] >= 0.5f ? gA * fallA : L.half;

    F2 y = b.c2 * D * gS;
    y = y + (y - Swap(y)) * S;  // left + m, right - m
    if (soft) {
      // nothing above 0.8 is above 0.9 either: one test while the drive is moderate
      if (!L.AbsAbove(y, L.l0_8)) {
        gS = gS[0] >= 1.0f ? L.one : gS * riseS;
      } else {
        if (L.AbsAbove(y, L.l0_9)) gS = gS * fallS;
        gS = gS * fallS;
      }
    } else {
      gS = hardS;
      y = _mm_min_ps(_mm_max_ps(y, L.minusOne), L.one);
    }
    return y * K;
  }
  BassFilters Filters() {
    b.gA = gA[0], b.gS = gS[0];
    return b;
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
// which no later step can turn into a different value.
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
    s5 = s5 + (LowHigh(s2 - s4 - w, s3) - s5) * kE - HighOnly(s6);
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

// A delay ring's position as a pointer to the slot the frame writes; the step
// on from it holds the value written as many frames ago as the ring has slots
// less one.
struct RingCursor {
  F2* first;
  F2* last;
  F2* at;
  RingCursor(F2* ring, int size, int pos) : first(ring), last(ring + size - 1), at(ring + pos) {}
  F2 Delay(F2 v) {
    *at = v;
    at = at >= last ? first : at + 1;
    return *at;
  }
  int Position() const { return int(at - first); }
};

// The bass section's ring and limiter: z in, the bass output out.
// Its gains, like the input part's, in every lane.
struct BassLimiter {
  BassFilters& f;
  RingCursor ring;
  const F2 O;
  const Literals& L;
  const F2 riseL = Both(1.0001f), fallL = Both(0.97f), easeL = Both(0.9999f), smooth = Both(0.005f);
  F2 gL = Both(f.gL), s1 = Both(f.s1), s2 = Both(f.s2), s3 = Both(f.s3);

  F2 Frame(F2 z) {
    const F2 zd = ring.Delay(z);
    const F2 l = z * gL;
    // nothing within 0.7 is above the higher limits: one test for most frames
    if (!L.AbsAbove(l, L.l0_7)) {
      gL = gL[0] >= 1.0f ? L.one : gL * riseL;
    } else {
      if (L.AbsAbove(l, L.l0_9)) gL = gL * fallL;
      if (L.AbsAbove(l, L.l0_8)) gL = gL * fallL;
      if (L.AbsAbove(l, L.l0_75)) gL = gL * fallL;
      gL = gL * easeL;
    }
    s1 = s1 + (gL - s1) * smooth;
    s2 = s2 + (s1 - s2) * smooth;
    s3 = s3 + (s2 - s3) * smooth;
    return zd * s3 * O;
  }
  void Store() { f.gL = gL[0], f.s1 = s1[0], f.s2 = s2[0], f.s3 = s3[0], f.p = ring.Position(); }
};

// The main path up to the highs split and the gain update.
struct MainPath {
  MainFilters s;
  const Coefficients& c;
  const Literals& L;
  const F2 kg1 = Both(c.kg1), kg2 = Both(c.kg2), kh = Both(c.kh), kq = Both(c.kq), T = Both(c.T), C = Both(c.C);

  // From the input to the highs split and the gain update: w, and hi.
  F2 Head(F2 in, float dither, const Parameters& params, F2& hi) {
    const F2 m = Gated(in, dither, params);
    ResonantLowPass(s.p1, s.p2, m, kh, kh, L.l0_3);
    return Rest(m, s.p2, params, hi);
  }
  // The input with its gain and the gate: the high-pass resonance's input.
  F2 Gated(F2 in, float dither, const Parameters& params) {
    F2 m = (in + dither) * s.g;
    if (params.Get(Param::dnl) >= 1) {
      s.l1 = s.l1 + (m - s.l1) * kg1;
      const F2 h1 = m - s.l1;
      s.l2 = s.l2 + (h1 - s.l2) * kg2;
      const F2 h2 = h1 - s.l2;
      const I4 open = L.Abs(h2) * T > L.l10;
      const F2 up = s.t + L.l0_3, down = s.t - L.l0_1;
      // min(0, up) is up where up < 0 or no number, else 0 (up + 0.3 is never -0);
      // max(down, -1) is down where down > -1, else -1
      const F2 opened = _mm_min_ps(L.zero, up);
      if ((_mm_movemask_ps((__m128)open) & 3) == 3)  // mostly, while there is sound
        s.t = opened;
      else
        s.t = Select(open, opened, _mm_max_ps(down, L.minusOne));
      s.ts = L.l0_95 * s.ts + L.l0_05 * s.t;
      m = m + h1 * s.ts;
    }
    return m;
  }
  // From the resonance's input m and output p2 on.
  F2 Rest(F2 m, F2 p2, const Parameters& params, F2& hi) {
    const F2 w = m - p2;
    s.q = s.q + (w - s.q) * kq;
    hi = w - s.q;

    // The gain for the next frame. Mostly both channels are within 0.8: a
    // branch then keeps that frame from waiting for this one's whole path.
    const I4 atCeiling = s.g >= C;
    const F2 rising = (_mm_movemask_ps((__m128)atCeiling) & 3) == 3 ? C : Select(atCeiling, C, s.g * L.agcRise);
    const I4 quiet = L.Abs(hi) <= L.l0_8;
    if ((_mm_movemask_ps((__m128)quiet) & 3) == 3)
      s.g = rising;
    else
      s.g = Select(quiet, rising, s.g * L.agcFall);
    if (!params.On(Param::stereoagc)) s.g = _mm_min_ps(s.g, Swap(s.g));  // the smaller gain in both lanes
    return w;
  }
};

// The main path from the surround feed to the mix: the mixed signal. Its four
// one-pole steps go two at a time, each pair in one vector, the first in lanes
// 0 and 1 and the second in lanes 2 and 3:
//   sf toward hi with ks, feed := hi - sf     e1 toward w with kt1, tb := w - e1
//   su toward s with ku                       e2 toward tb with kt2, tb := tb - e2
struct MainTail {
  MainFilters s;
  std::array<float, 2>* ring;
  const Coefficients& c;
  const Literals& L;
  F2 feedTreble = LowHigh(s.sf, Twice(s.e1));  // sf, e1
  F2 surroundTreble = LowHigh(s.su, Twice(s.e2));  // su, e2
  const F2 k1 = Lanes(c.ks, c.ks, c.kt1, c.kt1), k2 = Lanes(c.ku, c.ku, c.kt2, c.kt2);
  const F2 levels = Lanes(c.P, c.P, c.Tl, c.Tl), Wf = Both(c.Wf);

  F2 Frame(F2 w, F2 hi, const Parameters& params) {
    // W in the left lane and -W in the right one
    const F2 d = (w - Swap(w)) * Wf;
    s.W = params.On(Param::widefilt) ? (s.W + d) * L.half : d;
    w = w + s.W;

    const F2 x1 = _mm_movelh_ps(hi, w);
    feedTreble = feedTreble + (x1 - feedTreble) * k1;
    const F2 feedTb = x1 - feedTreble;  // feed, tb

    F2 x2 = feedTb;
    if (params.Get(Param::prologic) >= 1) {
      s.i = s.i > c.len ? 0 : s.i + 1;
      const int j = s.i + c.len;
      _mm_storel_pi(reinterpret_cast<__m64*>(ring[s.i].data()), feedTb);
      _mm_storel_pi(reinterpret_cast<__m64*>(ring[j].data()), feedTb);
      const float leftA = ring[j - c.tapA][0];
      const float sL = ring[j - c.tapB][0] - leftA;
      const float sR = leftA - ring[j - c.tapB][1];
      x2 = LowHigh(Pair(sL, sR), feedTb);
      surroundTreble = surroundTreble + (x2 - surroundTreble) * k2;
    } else {
      surroundTreble = HighOnly(surroundTreble + (x2 - surroundTreble) * k2);  // su := 0
    }
    // tb * Tl + w + su * P, the sums in that order
    const F2 terms = LowHigh(surroundTreble, x2 - surroundTreble) * levels;  // su P, tb Tl
    return (High(terms) + w) + terms;
  }
  MainFilters Filters() {
    s.sf = feedTreble, s.e1 = High(feedTreble);
    s.su = surroundTreble, s.e2 = High(surroundTreble);
    return s;
  }
};

// Loudness, compressor, the bass added, final limiter: the float outputs. The
// gains in every lane, as in the bass section.
struct DynamicsPath {
  DynamicsFilters s;
  DynamicsState& st;
  const Coefficients& c;
  const Literals& L;
  const F2 kl1 = Both(c.kl1), kl2 = Both(c.kl2), Lc = Both(c.Lc), Md = Both(c.Md), Og = Both(c.Og),
           theta = Both(c.theta);
  const F2 Rf = Both(c.Rf), Rr = Both(c.Rr), fallF = Both(0.997f), riseF = Both(1.0002f), floorF = Both(0.25f),
           l0_97 = Both(0.97f), l0_03 = Both(0.03f);
  F2 gc = Both(s.gc), gs = Both(s.gs), gf = Both(s.gf), f1 = Both(s.f1), ga = Both(s.ga);
  RingCursor ring1{st.ring1.data(), int(st.ring1.size()), s.p1}, ring2{st.ring2.data(), int(st.ring2.size()), s.p2},
      ringF{st.ringF.data(), int(st.ringF.size()), s.p3};

  F2 Frame(F2 o, F2 bo, bool loudness) {
    if (loudness) {
      s.a1 = s.a1 + (o - s.a1) * kl1;
      s.a2 = s.a2 + (o - s.a2) * kl2;
      o = L.l0_8 * o - L.l0_1 * s.a2 + s.a1;
    }
    if (L.AbsAbove(o * gc * Lc, L.l0_9))
      gc = gc * Rf;
    else
      gc = gc[0] >= 1.0f ? L.one : gc * Rr;
    gs = L.l0_95 * gs + L.l0_05 * gc;

    const F2 mv = ring2.Delay(ring1.Delay(o) * gs * Md) + bo;

    // the latest outputs and this frame's limited value tested at once: bits 0
    // and 1 the outputs, bits 2 and 3 the value
    const int above = _mm_movemask_ps(_mm_cmpgt_ps(L.Abs(_mm_movelh_ps(s.out, mv * ga * Og)), theta));
    if (above == 0) {
      gf = gf[0] >= 1.0f ? L.one : gf * riseF;
    } else {
      if (above & 3) gf = gf * fallF;
      if (above & 12)
        gf = gf * fallF;
      else
        gf = gf[0] >= 1.0f ? L.one : gf * riseF;
    }
    if (gf[0] < 0.25f) gf = floorF;
    f1 = l0_97 * f1 + l0_03 * gf;
    ga = l0_97 * f1 + l0_03 * gf;

    s.out = ringF.Delay(mv) * Og * ga;
    return s.out;
  }
  DynamicsFilters Filters() {
    s.gc = gc[0], s.gs = gs[0], s.gf = gf[0], s.f1 = f1[0], s.ga = ga[0];
    s.p1 = ring1.Position(), s.p2 = ring2.Position(), s.p3 = ringF.Position();
    return s;
  }
};

// The reverb's lines and running values while a stretch of frames runs.
struct ReverbRun {
  const Literals& L;
  std::array<ReverbLine, 13>& lineL;
  std::array<ReverbLine, 13>& lineR;
  // The damping of combs 2 k and 2 k + 1 in pair k (left, right, left,
  // right), and comb 8's damping with the low-pass (left, right, left, right).
  std::array<F2, 4> combPairs;
  F2 lastComb;
  F2 d1, d2, F, kd, kdc, dry, wet;
  F2 lastKeep = LowHigh(d1, kd), lastTake = LowHigh(d2, kdc);  // comb 8 and the low-pass: state k, input k
  // The positions and lengths, lines 0 to 12 and three that never wrap, four
  // lines to a vector.
  alignas(16) std::array<int, 16> posL{}, posR{}, lenL{}, lenR{};

  ReverbRun(const Literals& literals, ReverbState& st, const Coefficients& c)
      : L(literals), lineL(st.line[0]), lineR(st.line[1]), d1(Both(c.d1)), d2(Both(c.d2)), F(Both(c.F)),
        kd(Both(c.kd)), kdc(Both(1.0f - c.kd)), dry(Both(c.dryLevel)), wet(Both(c.wetLevel)) {
    for (int k = 0; k < 4; ++k) combPairs[k] = LowHigh(st.damp[2 * k], Twice(st.damp[2 * k + 1]));
    lastComb = LowHigh(st.damp[8], Twice(st.lowpass));
  }
  void Store(ReverbState& st) const {
    for (int k = 0; k < 4; ++k) st.damp[2 * k] = combPairs[k], st.damp[2 * k + 1] = High(combPairs[k]);
    st.damp[8] = lastComb;
    st.lowpass = High(lastComb);
  }

  // One frame, each line at its position plus `ahead`.
  void Frame(int ahead, F2& o) {
    const F2 in = o + L.l0_7 * Swap(o);  // left + 0.7 right, right + 0.7 left
    F2 acc = Both(0.0f);
    for (int i = 0; i < 9; ++i) {
      float& slotL = lineL[i][posL[i] + ahead];
      float& slotR = lineR[i][posR[i] + ahead];
      const F2 y = Pair(slotL, slotR);
      F2& pair = i < 8 ? combPairs[i / 2] : lastComb;
      const bool second = i % 2 == 1;
      F2 damp = second ? High(pair) : pair;
      damp = damp * d1 + y * d2;
      pair = second ? _mm_movelh_ps(pair, damp) : LowHigh(damp, pair);
      const F2 fed = damp * F + in;
      slotL = Left(fed);
      slotR = Right(fed);
      acc = acc + y;
    }
    const F2 lowpass = High(lastComb) * kd + acc * kdc;
    lastComb = _mm_movelh_ps(lastComb, lowpass);
    acc = lowpass;
    for (int i = 9; i < 13; ++i) {
      float& slotL = lineL[i][posL[i] + ahead];
      float& slotR = lineR[i][posR[i] + ahead];
      const F2 b = Pair(slotL, slotR);
      const F2 out = b - acc;
      const F2 fed = b * L.half + acc;
      slotL = Left(fed);
      slotR = Right(fed);
      acc = out;
    }
    o = o * dry + acc * wet;
  }

  // Four frames, each line at its position plus ahead .. ahead + 3, none of
  // them wrapping. A line is read at least 26 frames after it was written, so
  // the four frames' values of a line are loaded and stored together, one
  // vector per channel, frame j in lane j; the sums and the products y d2 run
  // in that layout too, while the damping and the low-pass go frame by frame
  // as before.
  __attribute__((always_inline)) void Four(int ahead, F2* o) {
    // two frames to a vector for the input and the output: frames 0 and 1, 2 and 3
    const F2 o01 = _mm_movelh_ps(o[0], o[1]), o23 = _mm_movelh_ps(o[2], o[3]);
    const F2 in01 = o01 + L.l0_7 * _mm_shuffle_ps(o01, o01, _MM_SHUFFLE(2, 3, 0, 1)),
             in23 = o23 + L.l0_7 * _mm_shuffle_ps(o23, o23, _MM_SHUFFLE(2, 3, 0, 1));
    const F2 in[4] = {Twice(in01), _mm_movehl_ps(in01, in01), Twice(in23), _mm_movehl_ps(in23, in23)};  // both halves
    F2 accL = Both(0.0f), accR = Both(0.0f);
    // Combs two at a time: frame j of comb i and comb i + 1 as (left i, right
    // i, left i + 1, right i + 1).
    for (int k = 0; k < 4; ++k) {
      const int i = 2 * k;
      float* l0 = &lineL[i][posL[i] + ahead];
      float* r0 = &lineR[i][posR[i] + ahead];
      float* l1 = &lineL[i + 1][posL[i + 1] + ahead];
      float* r1 = &lineR[i + 1][posR[i + 1] + ahead];
      F2 yL0 = _mm_loadu_ps(l0), yR0 = _mm_loadu_ps(r0), yL1 = _mm_loadu_ps(l1), yR1 = _mm_loadu_ps(r1);
      accL = accL + yL0;
      accR = accR + yR0;
      accL = accL + yL1;
      accR = accR + yR1;
      yL0 = yL0 * d2, yR0 = yR0 * d2, yL1 = yL1 * d2, yR1 = yR1 * d2;
      const F2 a01 = _mm_unpacklo_ps(yL0, yR0), a23 = _mm_unpackhi_ps(yL0, yR0);  // comb i: L0 R0 L1 R1, L2 R2 L3 R3
      const F2 b01 = _mm_unpacklo_ps(yL1, yR1), b23 = _mm_unpackhi_ps(yL1, yR1);  // comb i + 1
      F2 d = combPairs[k];
      d = d * d1 + _mm_movelh_ps(a01, b01);
      F2 f0 = d * F + in[0];
      d = d * d1 + _mm_movehl_ps(b01, a01);
      F2 f1 = d * F + in[1];
      d = d * d1 + _mm_movelh_ps(a23, b23);
      F2 f2 = d * F + in[2];
      d = d * d1 + _mm_movehl_ps(b23, a23);
      F2 f3 = d * F + in[3];
      combPairs[k] = d;
      _MM_TRANSPOSE4_PS(f0, f1, f2, f3);  // now the four frames of left i, right i, left i + 1, right i + 1
      _mm_storeu_ps(l0, f0);
      _mm_storeu_ps(r0, f1);
      _mm_storeu_ps(l1, f2);
      _mm_storeu_ps(r1, f3);
    }
    {
      // comb 8 in lanes 0 and 1 beside the low-pass of the sum in lanes 2 and 3
      float* l = &lineL[8][posL[8] + ahead];
      float* r = &lineR[8][posR[8] + ahead];
      const F2 yL = _mm_loadu_ps(l), yR = _mm_loadu_ps(r);
      accL = accL + yL;
      accR = accR + yR;
      const F2 y01 = _mm_unpacklo_ps(yL, yR), y23 = _mm_unpackhi_ps(yL, yR);  // L0 R0 L1 R1, L2 R2 L3 R3
      const F2 a01 = _mm_unpacklo_ps(accL, accR), a23 = _mm_unpackhi_ps(accL, accR);
      F2 v = lastComb;
      v = v * lastKeep + _mm_movelh_ps(y01, a01) * lastTake;
      const F2 v0 = v, f0 = v * F + in[0];
      v = v * lastKeep + _mm_movehl_ps(a01, y01) * lastTake;
      const F2 v1 = v, f1 = v * F + in[1];
      v = v * lastKeep + _mm_movelh_ps(y23, a23) * lastTake;
      const F2 v2 = v, f2 = v * F + in[2];
      v = v * lastKeep + _mm_movehl_ps(a23, y23) * lastTake;
      const F2 f3 = v * F + in[3];
      lastComb = v;
      StoreFour(f0, f1, f2, f3, l, r);
      const F2 a = _mm_movehl_ps(v1, v0), b = _mm_movehl_ps(v, v2);  // the low-pass of frames 0, 1 and 2, 3
      accL = _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0));
      accR = _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1));
    }
    for (int i = 9; i < 13; ++i) {
      float* l = &lineL[i][posL[i] + ahead];
      float* r = &lineR[i][posR[i] + ahead];
      const F2 bL = _mm_loadu_ps(l), bR = _mm_loadu_ps(r);
      _mm_storeu_ps(l, bL * L.half + accL);
      _mm_storeu_ps(r, bR * L.half + accR);
      accL = bL - accL;
      accR = bR - accR;
    }
    const F2 out01 = o01 * dry + _mm_unpacklo_ps(accL, accR) * wet;
    const F2 out23 = o23 * dry + _mm_unpackhi_ps(accL, accR) * wet;
    o[0] = out01, o[1] = High(out01), o[2] = out23, o[3] = High(out23);
  }

  // Four frames' (left, right) pairs stored as four left and four right values.
  static void StoreFour(F2 f0, F2 f1, F2 f2, F2 f3, float* l, float* r) {
    const F2 a = _mm_movelh_ps(f0, f1), b = _mm_movelh_ps(f2, f3);  // L0 R0 L1 R1, L2 R2 L3 R3
    _mm_storeu_ps(l, _mm_shuffle_ps(a, b, _MM_SHUFFLE(2, 0, 2, 0)));
    _mm_storeu_ps(r, _mm_shuffle_ps(a, b, _MM_SHUFFLE(3, 1, 3, 1)));
  }

  // Lays the stretch of `frames` frames from each line's next position out as
  // one straight run of values. A line that wraps within it runs on past its
  // end into the room after it: the `frames` values there (kept for a longer
  // line later) trade places with the line's first values, which the stretch
  // reads there, and Unfold puts both back. A stretch is at most half a line's
  // period, so it reaches neither the first values in their own place nor
  // the values traded.
  void Fold(int frames) {
    const __m128i ones = _mm_set1_epi32(-1), count = _mm_set1_epi32(frames);
    int wraps = 0;
    for (int v = 0; v < 4; ++v) {
      wraps |= Fold(posL, lenL, v, ones, count) << (4 * v);
      wraps |= Fold(posR, lenR, v, ones, count) << (4 * v + 16);
    }
    Trade(wraps, frames);
  }
  // After the stretch: each position `frames` on, the lines as they were laid.
  void Unfold(int frames) {
    const __m128i one = _mm_set1_epi32(1), count = _mm_set1_epi32(frames);
    int wraps = 0;
    for (int v = 0; v < 4; ++v) {
      wraps |= Unfold(posL, lenL, v, one, count) << (4 * v);
      wraps |= Unfold(posR, lenR, v, one, count) << (4 * v + 16);
    }
    Trade(wraps, frames);
  }

 private:
  // Lines 4 v to 4 v + 3 of one channel: which of them wrap.
  static int Fold(std::array<int, 16>& pos, const std::array<int, 16>& len, int v, __m128i ones, __m128i count) {
    __m128i p = Load(pos, v);
    const __m128i n = Load(len, v);
    p = _mm_or_si128(p, _mm_xor_si128(_mm_cmpgt_epi32(n, p), ones));  // at or past the end: -1, next 0
    Store(pos, v, p);
    return Wraps(_mm_sub_epi32(_mm_add_epi32(p, count), n));
  }
  static int Unfold(std::array<int, 16>& pos, const std::array<int, 16>& len, int v, __m128i one, __m128i count) {
    const __m128i n = Load(len, v);
    const __m128i p = _mm_add_epi32(Load(pos, v), count);
    const __m128i past = _mm_sub_epi32(p, n);
    const __m128i wrapped = _mm_cmpgt_epi32(past, _mm_setzero_si128());
    Store(pos, v, _mm_sub_epi32(p, _mm_and_si128(wrapped, _mm_add_epi32(n, one))));
    return Wraps(past);
  }
  // lanes with frames past the end
  static int Wraps(__m128i past) {
    return _mm_movemask_ps(_mm_castsi128_ps(_mm_cmpgt_epi32(past, _mm_setzero_si128())));
  }
  // Each line that wraps (bit i of `wraps` line i on the left, bit 16 + i on
  // the right) trades its first `frames` values with those after its end.
  void Trade(int wraps, int frames) {
    for (; wraps; wraps &= wraps - 1) {
      const int bit = __builtin_ctz(unsigned(wraps)), i = bit & 15;
      ReverbLine& line = (bit < 16 ? lineL : lineR)[size_t(i)];
      const int end = (bit < 16 ? lenL : lenR)[size_t(i)] + 1;
      std::swap_ranges(line.begin(), line.begin() + frames, line.begin() + end);
    }
  }
  static __m128i Load(const std::array<int, 16>& a, int v) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(a.data() + 4 * v));
  }
  static void Store(std::array<int, 16>& a, int v, __m128i x) {
    _mm_store_si128(reinterpret_cast<__m128i*>(a.data() + 4 * v), x);
  }
};

// The reverb in stretches laid out straight (Fold), four frames at a time
// without a position test, and the frames left over one by one.
__attribute__((noinline)) void Reverb(ReverbState& st, const Coefficients& c, const Parameters& params, F2* o,
                                      int count) {
  bool on[kChunk];
  int frames = 0;
  for (int n = 0; n < count; ++n) frames += on[n] = params.Get(Param::reverb) != 0;
  const Literals L;
  ReverbRun run(L, st, c);
  // the lines past 12 never wrap and are never read
  run.lenL.fill(kReverbLine);
  run.lenR.fill(kReverbLine);
  std::copy(st.pos[0].begin(), st.pos[0].end(), run.posL.begin());
  std::copy(st.pos[1].begin(), st.pos[1].end(), run.posR.begin());
  std::copy(c.lineLenL.begin(), c.lineLenL.end(), run.lenL.begin());
  std::copy(c.lineLenR.begin(), c.lineLenR.end(), run.lenR.begin());
  // A stretch is at most half the shortest period of a line, and kStretch
  // frames, which keeps the values traded few.
  constexpr int kStretch = 32;
  static_assert(kStretch <= kReverbLineMirror);
  int longest = kStretch;
  for (int i = 0; i < 13; ++i) longest = std::min({longest, (c.lineLenL[i] + 1) / 2, (c.lineLenR[i] + 1) / 2});
  longest = std::max(longest, 1);
  int n = 0;
  while (n < count) {
    if (!on[n]) {
      ++n;
      continue;
    }
    int end = n;
    if (frames == count)
      end = count;
    else
      while (end < count && on[end]) ++end;
    while (n < end) {
      const int stretch = std::min(end - n, longest);
      run.Fold(stretch);
      int k = 0;
      for (; k + 4 <= stretch; k += 4) run.Four(1 + k, o + n + k);
      for (; k < stretch; ++k) run.Frame(1 + k, o[n + k]);
      run.Unfold(stretch);
      n += stretch;
    }
  }
  std::copy(run.posL.begin(), run.posL.begin() + 13, st.pos[0].begin());
  std::copy(run.posR.begin(), run.posR.begin() + 13, st.pos[1].begin());
  run.Store(st);
}

// The bass section's input part beside the main path's first part: y K of the
// frames with the bass on; w and hi of every frame.
__attribute__((noinline)) void InputPass(DspState& st, const Coefficients& c, const Parameters& params,
                                         const F2* in, int count, const bool* bassOn, float& dither, F2* bass,
                                         F2* w, F2* hi) {
  const Literals L;
  BassFront front{st.bass.f, c, L};
  MainPath main{st.main.f, c, L};
  float d = dither;  // a local copy, which the stores to the arrays cannot alias
  int bassFrames = 0;
  for (int n = 0; n < count; ++n) bassFrames += bassOn[n];
  if (bassFrames == count) {
    // The bass section's first resonance and the main path's high-pass
    // resonance have the same steps: one in lanes 0 and 1, the other in lanes
    // 2 and 3 of the same vectors.
    F2 a = LowHigh(front.b.a1, Twice(main.s.p1)), b = LowHigh(front.b.a2, Twice(main.s.p2));
    const F2 k = Lanes(c.k1, c.k1, main.kh[0], main.kh[0]), fb = Lanes(c.fb1, c.fb1, 0.3f, 0.3f);
    for (int n = 0; n < count; ++n) {
      const F2 drive = front.Drive(in[n]);
      d = -d;
      const F2 m = main.Gated(in[n], d, params);
      ResonantLowPass(a, b, _mm_movelh_ps(drive, m), k, k, fb);
      bass[n] = front.Rest(b, params.On(Param::soft));
      w[n] = main.Rest(m, High(b), params, hi[n]);
    }
    front.b.a1 = a, front.b.a2 = b;
    main.s.p1 = High(a), main.s.p2 = High(b);
  } else {
    for (int n = 0; n < count; ++n) {
      if (bassOn[n]) bass[n] = front.Frame(in[n], params.On(Param::soft));
      d = -d;
      w[n] = main.Head(in[n], d, params, hi[n]);
    }
  }
  dither = d;
  st.bass.f = front.Filters();
  st.main.f = main.s;
}

// The bass section's branches beside the rest of the main path: z of the
// frames with the bass on, in place of y K; the mixed signal in place of w.
__attribute__((noinline)) void MiddlePass(DspState& st, const Coefficients& c, const Parameters& params,
                                          int count, const bool* bassOn, F2* bass, F2* io, const F2* hi) {
  const Literals L;
  BassBranches branches{st.bass.f, c};
  MainTail main{st.main.f, st.main.ring.data(), c, L};
  for (int n = 0; n < count; ++n) {
    if (bassOn[n])
      bass[n] = branches.Frame(bass[n]);
    else
      branches.Refresh();
    io[n] = main.Frame(io[n], hi[n], params);
  }
  branches.Store();
  st.main.f = main.Filters();
}

// The bass section's limiter beside the dynamics stage: the float outputs.
__attribute__((noinline)) void OutputPass(DspState& st, const Coefficients& c, const Parameters& params,
                                          int count, const bool* bassOn, const F2* bass, F2* out) {
  const Literals L;
  BassLimiter limiter{st.bass.f, {st.bass.ring.data(), int(st.bass.ring.size()), st.bass.f.p}, Both(c.O), L};
  DynamicsPath dyn{st.dyn.f, st.dyn, c, L};
  for (int n = 0; n < count; ++n) {
    const F2 bo = bassOn[n] ? limiter.Frame(bass[n]) : F2{};
    out[n] = dyn.Frame(out[n], bo, params.On(Param::loudness));
  }
  limiter.Store();
  st.dyn.f = dyn.Filters();
}

}  // namespace

void Stages(DspState& st, const Coefficients& c, const Parameters& params, const F2* in, int count, float& dither,
            F2* out) {
  bool bassOn[kChunk];
  for (int n = 0; n < count; ++n) bassOn[n] = params.Get(Param::bassout) >= 1;
  F2 bass[kChunk];  // y K, then z
  F2 hi[kChunk];
  InputPass(st, c, params, in, count, bassOn, dither, bass, out, hi);
  MiddlePass(st, c, params, count, bassOn, bass, out, hi);
  Reverb(st.reverb, c, params, out, count);
  OutputPass(st, c, params, count, bassOn, bass, out);
}

namespace {

// Two frames' (left, right) floats, four lanes, as the samples written:
// v x 32769 truncated toward zero, +-32764 where it reaches them (each counted),
// 0 where it is no number.
inline __m128i Samples(__m128 v, int& clips) {
  static constexpr int kBits[16] = {0, 1, 1, 2, 1, 2, 2, 3, 1, 2, 2, 3, 2, 3, 3, 4};
  v = _mm_mul_ps(v, _mm_set1_ps(32769.0f));
  const __m128 top = _mm_cmpge_ps(v, _mm_set1_ps(float(kClipLimit)));
  const __m128 bottom = _mm_cmple_ps(v, _mm_set1_ps(-float(kClipLimit)));
  clips += kBits[_mm_movemask_ps(_mm_or_ps(top, bottom))];
  __m128i i = _mm_and_si128(_mm_cvttps_epi32(v), _mm_castps_si128(_mm_cmpord_ps(v, v)));
  i = _mm_or_si128(_mm_andnot_si128(_mm_castps_si128(top), i),
                   _mm_and_si128(_mm_castps_si128(top), _mm_set1_epi32(kClipLimit)));
  i = _mm_or_si128(_mm_andnot_si128(_mm_castps_si128(bottom), i),
                   _mm_and_si128(_mm_castps_si128(bottom), _mm_set1_epi32(-kClipLimit)));
  return i;
}

// Lanes that are an infinity or no number.
inline __m128 NotFinite(__m128 v) {
  const __m128 d = _mm_sub_ps(v, v);
  return _mm_cmpunord_ps(d, d);
}

}  // namespace

int StereoOutput(const F2* o, int count, int16_t* samples, bool inverted, int16_t* ring, int32_t& scopeIndex,
                 bool& finite) {
  const __m128i flip = inverted ? _mm_setr_epi32(-1, 0, -1, 0) : _mm_setzero_si128();  // (i ^ flip) - flip
  int clips = 0;
  __m128 bad = _mm_setzero_ps();
  for (int n = 0; n < count; n += 4) {
    F2 group[4];
    const int frames = std::min(4, count - n);
    if (frames == 4) {
      std::memcpy(group, o + n, sizeof group);
    } else {
      for (int j = 0; j < 4; ++j) group[j] = j < frames ? o[n + j] : F2{};
    }
    const __m128 a = _mm_movelh_ps(group[0], group[1]), b = _mm_movelh_ps(group[2], group[3]);
    bad = _mm_or_ps(bad, _mm_or_ps(NotFinite(a), NotFinite(b)));
    __m128i ia = Samples(a, clips), ib = Samples(b, clips);
    ia = _mm_sub_epi32(_mm_xor_si128(ia, flip), flip);
    ib = _mm_sub_epi32(_mm_xor_si128(ib, flip), flip);
    const __m128i written = _mm_packs_epi32(ia, ib);  // L0 R0 L1 R1 L2 R2 L3 R3, all within +-32764
    const __m128i scope = _mm_sub_epi16(_mm_setzero_si128(), written);
    if (frames == 4) {
      _mm_storeu_si128(reinterpret_cast<__m128i*>(samples + 2 * n), written);
    } else {
      int16_t values[8];
      _mm_storeu_si128(reinterpret_cast<__m128i*>(values), written);
      std::memcpy(samples + 2 * n, values, sizeof(int16_t) * 2 * size_t(frames));
    }
    if (scopeIndex + 2 * frames < kScopeRingValues) {
      if (frames == 4) {
        _mm_storeu_si128(reinterpret_cast<__m128i*>(ring + scopeIndex), scope);
      } else {
        int16_t values[8];
        _mm_storeu_si128(reinterpret_cast<__m128i*>(values), scope);
        std::memcpy(ring + scopeIndex, values, sizeof(int16_t) * 2 * size_t(frames));
      }
      scopeIndex += 2 * frames;
    } else {
      int16_t values[8];
      _mm_storeu_si128(reinterpret_cast<__m128i*>(values), scope);
      for (int j = 0; j < 2 * frames; ++j) {
        ring[scopeIndex] = values[j];
        if (++scopeIndex >= kScopeRingValues) scopeIndex = 0;
      }
    }
  }
  if (_mm_movemask_ps(bad)) finite = false;
  return clips;
}

void StereoInput(const int16_t* samples, int count, F2* in) {
  const F2 scale = Both(1.0f / 32767.0f);
  int n = 0;
  for (; n + 4 <= count; n += 4) {
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(samples + 2 * n));  // L0 R0 .. L3 R3
    // sign-extended to 32 bits: each 16-bit value into the high half, then shifted down
    const F2 a = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpacklo_epi16(v, v), 16)) * scale;  // L0 R0 L1 R1
    const F2 b = _mm_cvtepi32_ps(_mm_srai_epi32(_mm_unpackhi_epi16(v, v), 16)) * scale;  // L2 R2 L3 R3
    in[n] = a;
    in[n + 1] = High(a);
    in[n + 2] = b;
    in[n + 3] = High(b);
  }
  for (; n < count; ++n) in[n] = _mm_cvtepi32_ps(_mm_setr_epi32(samples[2 * n], samples[2 * n + 1], 0, 0)) * scale;
}

}  // namespace brindle::sse
