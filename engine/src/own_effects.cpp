#include "tav/engine/own_effects.h"

#include <cmath>
#include <cstdint>

#include "bass_fx.h"
#include "tav/engine/globals.h"

namespace tav::engine {

namespace {
constexpr float kPi = 3.1415927f;
constexpr float kRotateStart = 0.78539813f;  // pi / 4
constexpr float kRotateStep = 0.00003f;
constexpr float kFlangerStartDelay = 175.0f;
constexpr float kFlangerStartStep = 0.002f;

// Number of whole frames (float pairs) in a buffer of `length` bytes.
DWORD WholeFrames(DWORD length) { return (length / sizeof(float)) / 2; }
}  // namespace

TEffectState EffectState;

std::function<int(int band)> EqSliderPosition;

float FloatMod(float x, float y) { return x - y * std::trunc(x / y); }

void ResetRotate() { EffectState.RotateAngle = kRotateStart; }

void ResetEcho() {
  EffectState.EchoRing.fill(TStereoSample{0.0f, 0.0f});
  EffectState.EchoPos = 0;
}

void ResetFlanger() {
  EffectState.FlangerRing.fill(TStereoSample{0.0f, 0.0f});
  EffectState.FlangerPos = 0;
  EffectState.FlangerDelay = kFlangerStartDelay;
  EffectState.FlangerStep = kFlangerStartStep;
}

void BASSCALLBACK RotateDSPProc(HDSP, DWORD, void* buffer, DWORD length, void*) {
  float* s = static_cast<float*>(buffer);
  const DWORD frames = WholeFrames(length);
  for (DWORD f = 0; f < frames; ++f) {
    s[2 * f] *= std::fabs(std::sin(EffectState.RotateAngle));
    s[2 * f + 1] *= std::fabs(std::cos(EffectState.RotateAngle));
    EffectState.RotateAngle = FloatMod(EffectState.RotateAngle + kRotateStep, kPi);
  }
}

void BASSCALLBACK EchoDSPProc(HDSP, DWORD, void* buffer, DWORD length, void*) {
  float* s = static_cast<float*>(buffer);
  const DWORD frames = WholeFrames(length);
  for (DWORD f = 0; f < frames; ++f) {
    TStereoSample& ring = EffectState.EchoRing[EffectState.EchoPos];
    const float newLeft = ring.right / 2.0f + s[2 * f];
    const float newRight = ring.left / 2.0f + s[2 * f + 1];
    s[2 * f] = newLeft;
    ring.left = newLeft;
    s[2 * f + 1] = newRight;
    ring.right = newRight;
    if (++EffectState.EchoPos >= kEchoRingFrames) EffectState.EchoPos = 0;
  }
}

void BASSCALLBACK FlangerDSPProc(HDSP, DWORD, void* buffer, DWORD length, void*) {
  float* s = static_cast<float*>(buffer);
  const DWORD frames = WholeFrames(length);
  for (DWORD f = 0; f < frames; ++f) {
    const float reach = static_cast<float>(EffectState.FlangerPos) + EffectState.FlangerDelay;
    int64_t p0 = static_cast<int64_t>(reach) % kFlangerRingFrames;
    if (p0 < 0) p0 += kFlangerRingFrames;
    const int64_t p1 = (p0 + 1) % kFlangerRingFrames;
    const float frac = FloatMod(EffectState.FlangerDelay, 1.0f);

    const float left = s[2 * f];
    const float right = s[2 * f + 1];
    s[2 * f] = (1.0f - frac) * EffectState.FlangerRing[p0].left + frac * EffectState.FlangerRing[p1].left + left;
    s[2 * f + 1] = (1.0f - frac) * EffectState.FlangerRing[p0].right + frac * EffectState.FlangerRing[p1].right + right;
    EffectState.FlangerRing[EffectState.FlangerPos] = TStereoSample{left, right};

    if (++EffectState.FlangerPos >= kFlangerRingFrames) EffectState.FlangerPos = 0;
    EffectState.FlangerDelay += EffectState.FlangerStep;
    if (EffectState.FlangerDelay < 0.0f || EffectState.FlangerDelay > static_cast<float>(kFlangerRingFrames))
      EffectState.FlangerStep = -EffectState.FlangerStep;
  }
}

void CreateEq() {
  StreamState.EqFx = BASS_ChannelSetFX(StreamState.DecodeStream, BASS_FX_BFX_PEAKEQ, 0);
  BASS_BFX_PEAKEQ band{};
  band.fBandwidth = 2.5f;
  band.fQ = 0.0f;
  band.fGain = 0.0f;
  band.lChannel = BASS_BFX_CHANALL;
  for (int b = 0; b < kEqBands; ++b) {
    band.lBand = b;
    band.fCenter = kEqCentres[b];
    BASS_FXSetParameters(StreamState.EqFx, &band);
  }
  ApplyEqGains();
}

void ApplyEqGains() {
  for (int b = 0; b < kEqBands; ++b) {
    BASS_BFX_PEAKEQ band{};
    band.lBand = b;
    // A band the effect does not report is left alone: the record would still
    // hold another band's values.
    if (!BASS_FXGetParameters(StreamState.EqFx, &band)) continue;
    const int position = EqSliderPosition ? EqSliderPosition(b) : 15;
    band.lBand = b;
    band.fGain = static_cast<float>(position - 15);
    BASS_FXSetParameters(StreamState.EqFx, &band);
  }
}

}  // namespace tav::engine
