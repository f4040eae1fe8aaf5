// The enhancer's sound processor: a block of interleaved signed 16-bit PCM in
// place, frame by frame, through the bass section, the main path, the reverb,
// the loudness contour, the compressor and the final limiter. Every output
// frame lags its input by 201 frames; the block keeps its length.
//
// The state is float32 throughout. The two channels travel together as the
// lanes of one SSE vector (F2). The stages themselves are in stages.h: the
// SSE2 kernels the processor runs, and the plain code they are held to.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "float_math.h"
#include "parameters.h"

namespace brindle {

inline constexpr int kLatencyFrames = 201;
inline constexpr int kMinFrames = 101, kMaxFrames = 65534;
inline constexpr int kMinRate = 5001, kMaxRate = 98999;
inline constexpr int kClipLimit = 32764;
inline constexpr int kScopeRingValues = 1000000;

// Per-block values of every stage, from the parameters and the rate ratio r.
struct Coefficients {
  float r = 0;
  // bass section
  float G = 0, Cb = 0, S = 0, D = 0, L = 0, K = 0, O = 0;
  float k1 = 0, k2 = 0, k3 = 0, k3b = 0, k4 = 0, k5 = 0, k6 = 0, k7 = 0, k8 = 0, k9 = 0, k10 = 0, k11 = 0,
        k12 = 0, k13 = 0, k14 = 0;
  float mA = 0, mB = 0, fb1 = 0, fb2 = 0, fb3 = 0, fb4 = 0;
  // main path
  float C = 0, T = 0, kg1 = 0, kg2 = 0, kh = 0, kq = 0, ks = 0, ku = 0, P = 0, Wf = 0, kt1 = 0, kt2 = 0, Tl = 0;
  int len = 0, tapA = 0, tapB = 0;
  // reverb
  std::array<int, 13> lineLenL{}, lineLenR{};
  float F = 0, d1 = 0, d2 = 0, kd = 0, dryLevel = 0, wetLevel = 0;
  // loudness, compressor, final limiter
  float kl1 = 0, kl2 = 0, Lc = 0, Rf = 0, Rr = 0, Md = 0, Og = 0, theta = 0;
};

// Computes the coefficients for a sample rate from a parameter snapshot. The
// two coefficients that would make a stage diverge at the lowest accepted
// rates are bounded (the main high-pass and the surround smoothing).
Coefficients ComputeCoefficients(const std::array<int32_t, kParamCount>& params, int sampleRate);

// The filter states and gains of each stage are kept apart from its rings, so
// that a block can hold them in registers.
struct BassFilters {
  F2 a1{}, a2{}, b1{}, b2{}, c1{}, c2{};
  std::array<F2, 6> u{}, t{};
  F2 o1{}, o2{}, w{};
  float gA = 0, gS = 0, gL = 0, s1 = 0, s2 = 0, s3 = 0;
  int p = 0;
};

struct BassState {
  BassFilters f;
  std::array<F2, 181> ring{};
};

inline constexpr int kSurroundRing = 6740;  // 2 trunc(1500 r) + 2 at the highest accepted rate, and a margin

struct MainFilters {
  F2 g{};
  F2 l1{}, l2{}, t{}, ts{};
  F2 p1{}, p2{}, q{}, sf{}, su{}, e1{}, e2{};
  F2 W{};  // the widening value, and its negation in the right lane
  int i = 0;
};

struct MainState {
  MainFilters f;
  std::array<std::array<float, 2>, kSurroundRing> ring{};  // left and right of each position side by side
};

inline constexpr int kReverbLine = 7001;
inline constexpr int kReverbClearedValues = 5001;
// Room after each line's last position for the values of a stretch of frames
// that wraps it, so that the stretch runs through the line without a wrap.
inline constexpr int kReverbLineMirror = 128;
using ReverbLine = std::array<float, kReverbLine + kReverbLineMirror>;

struct ReverbState {
  std::array<std::array<ReverbLine, 13>, 2> line{};  // left, right
  std::array<std::array<int, 13>, 2> pos{};
  std::array<F2, 9> damp{};
  F2 lowpass{};
};

struct DynamicsFilters {
  F2 a1{}, a2{};
  F2 out{};  // the latest frame's float outputs
  float gc = 0, gs = 0, gf = 0, f1 = 0, ga = 0;
  int p1 = 0, p2 = 0, p3 = 0;
};

struct DynamicsState {
  DynamicsFilters f;
  std::array<F2, 141> ring1{};
  std::array<F2, 41> ring2{};
  std::array<F2, 22> ringF{};
};

struct DspState {
  Coefficients k;
  std::array<int32_t, kParamCount> kParams{};  // what k was computed from
  int kRate = 0;
  float dither = 0;
  int restarts = 0;  // times a value that is no number reached the output and every stage restarted
  BassState bass;
  MainState main;
  ReverbState reverb;
  DynamicsState dyn;
};

// What `Init` resets: the gains of every stage, the start of every reverb line
// and the reverb positions.
void ResetGains(DspState& s);
void ResetReverb(DspState& s);
// Every filter state, ring and gain as at first start: the way out of a
// non-finite value.
void ResetAll(DspState& s);

// A float output as the 16-bit sample written: o x 32769 truncated toward
// zero, clamped to +-32764 (each clamp counted in `clips`); no number gives 0.
int32_t OutputSample(float o, int& clips);

// The scope and clip values the window reads. Written by the playback thread.
struct ScopeValues {
  std::array<int16_t, kScopeRingValues> ScopeRing{};
  std::atomic<int32_t> ScopeWriteIndex{0};
  std::atomic<int32_t> ScopeBlockStart{0};
  std::atomic<int32_t> ScopeFrameCredit{0};
  std::atomic<int32_t> BlockSampleRate{0};
  std::atomic<int32_t> ClipCount{0};
  std::atomic<float> ClipPercent{0};
  std::atomic<float> ClipHeld{0};
};

// The hand-shake between the host's user-interface thread and its playback
// thread. A block raises InFlight before it tests Bypass and lowers it when it
// is done with the block; the user-interface thread sets Bypass and then waits
// for InFlight to fall, so no block can slip between the two.
struct Handshake {
  std::atomic<bool> Bypass{false};
  std::atomic<bool> BlockDone{true};
  std::atomic<bool> InFlight{false};
  // Tests only: runs inside a block's in-flight time, after its Bypass test.
  std::function<void()> holdHook;
};

// Which set of stage code a processor runs: the SSE2 kernels, or the plain
// code they are tested against.
enum class Kernels { sse, plain };

struct Processor {
  DspState state;
  ScopeValues scope;
  Kernels kernels = Kernels::sse;
};

// The enhancer's ModifySamples: returns the frame count it was given.
int ProcessBlock(Processor& proc, const Parameters& params, const WindowSettings& window, Handshake& hs,
                 int16_t* samples, int frames, int bitsPerSample, int channels, int sampleRate);

}  // namespace brindle
