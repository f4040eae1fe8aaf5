#include "processor.h"

#include <algorithm>
#include <cstring>

#include "settings.h"
#include "stages.h"

namespace brindle {
namespace {

using P = Param;

constexpr float kIn = 1.0f / 32767.0f;
constexpr float kOut = 32769.0f;

// The main high-pass stops converging at kh = 1.4105 (hipass 0 below 5,211 Hz):
// kept just below it.
constexpr float kMaxHighPass = 1.4f;

inline float Scaled(int32_t v) { return float(v) / 100.0f; }

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


constexpr std::array<int, 13> kReverbBase = {981, 1116, 1188, 1277, 1356, 1422, 1491, 1557, 1617, 556, 441, 341, 225};
constexpr std::array<int, 9> kReverbRightOffset = {11, -11, 11, -11, 11, -11, 11, -11, 11};


// The chunk's input samples as floats, scaled 1/32767.
void ReadInput(const int16_t* left, const int16_t* right, int step, int count, F2* in) {
  const F2 scale = Both(kIn);
  for (int n = 0; n < count; ++n, left += step, right += step)
    in[n] = _mm_cvtepi32_ps(_mm_setr_epi32(*left, *right, 0, 0)) * scale;
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
    F2 in[kChunk], o[kChunk];

    for (int first = 0; first < frames; first += kChunk) {
      const int count = std::min(kChunk, frames - first);
      int16_t* left = samples + first * channels;
      int16_t* right = left + (channels == 2 ? 1 : 0);
      if (proc.kernels == Kernels::sse && channels == 2)
        sse::StereoInput(left, count, in);
      else
        ReadInput(left, right, channels, count, in);
      (proc.kernels == Kernels::plain ? plain::Stages : sse::Stages)(st, k, params, in, count, st.dither, o);

      bool finite = true;
      if (proc.kernels == Kernels::sse && channels == 2)
        clips += sse::StereoOutput(o, count, left, params.On(P::inverted), ring, scopeIndex, finite);
      else
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
