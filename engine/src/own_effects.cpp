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

// Channel count of the stream a procedure runs on; 2 when it cannot be told.
DWORD StreamChannels(DWORD channel) {
  BASS_CHANNELINFO info{};
  return BASS_ChannelGetInfo(channel, &info) && info.chans > 0 ? info.chans : 2;
}

// Number of whole frames of `channels` floats in a buffer of `length` bytes.
DWORD WholeFrames(DWORD length, DWORD channels) { return (length / sizeof(float)) / channels; }
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

// The procedures work on the stream's front pair (channels 0 and 1) and
// leave further channels as they are. A mono stream gets on its one channel
// what the pair would give for the same sound on both sides: the rotation
// as a level swing, the echo and the flanger on that channel alone.

void BASSCALLBACK RotateDSPProc(HDSP, DWORD channel, void* buffer, DWORD length, void*) {
  float* s = static_cast<float*>(buffer);
  const DWORD chans = StreamChannels(channel);
  const DWORD frames = WholeFrames(length, chans);
  float& angle = EffectState.RotateAngle;
  for (DWORD f = 0; f < frames; ++f) {
    float* frame = s + f * chans;
    if (chans == 1) {
      frame[0] *= (std::fabs(std::sin(angle)) + std::fabs(std::cos(angle))) / 2.0f;
    } else {
      frame[0] *= std::fabs(std::sin(angle));
      frame[1] *= std::fabs(std::cos(angle));
    }
    angle = FloatMod(angle + kRotateStep, kPi);
  }
}

void BASSCALLBACK EchoDSPProc(HDSP, DWORD channel, void* buffer, DWORD length, void*) {
  float* s = static_cast<float*>(buffer);
  const DWORD chans = StreamChannels(channel);
  const DWORD frames = WholeFrames(length, chans);
  TEffectState& e = EffectState;
  for (DWORD f = 0; f < frames; ++f) {
    float* frame = s + f * chans;
    TStereoSample& ring = e.EchoRing[e.EchoPos];
    if (chans == 1) {
      frame[0] = ring.left / 2.0f + frame[0];
      ring.left = frame[0];
    } else {
      const float newLeft = ring.right / 2.0f + frame[0];
      const float newRight = ring.left / 2.0f + frame[1];
      frame[0] = newLeft;
      ring.left = newLeft;
      frame[1] = newRight;
      ring.right = newRight;
    }
    if (++e.EchoPos >= kEchoRingFrames) e.EchoPos = 0;
  }
}

void BASSCALLBACK FlangerDSPProc(HDSP, DWORD channel, void* buffer, DWORD length, void*) {
  float* s = static_cast<float*>(buffer);
  const DWORD chans = StreamChannels(channel);
  const DWORD frames = WholeFrames(length, chans);
  TEffectState& e = EffectState;
  for (DWORD f = 0; f < frames; ++f) {
    float* frame = s + f * chans;
    const float reach = static_cast<float>(e.FlangerPos) + e.FlangerDelay;
    int64_t p0 = static_cast<int64_t>(reach) % kFlangerRingFrames;
    if (p0 < 0) p0 += kFlangerRingFrames;
    const int64_t p1 = (p0 + 1) % kFlangerRingFrames;
    const float frac = FloatMod(e.FlangerDelay, 1.0f);

    const float left = frame[0];
    frame[0] = (1.0f - frac) * e.FlangerRing[p0].left + frac * e.FlangerRing[p1].left + left;
    if (chans == 1) {
      e.FlangerRing[e.FlangerPos] = TStereoSample{left, 0.0f};
    } else {
      const float right = frame[1];
      frame[1] = (1.0f - frac) * e.FlangerRing[p0].right + frac * e.FlangerRing[p1].right + right;
      e.FlangerRing[e.FlangerPos] = TStereoSample{left, right};
    }

    if (++e.FlangerPos >= kFlangerRingFrames) e.FlangerPos = 0;
    e.FlangerDelay += e.FlangerStep;
    if (e.FlangerDelay < 0.0f || e.FlangerDelay > static_cast<float>(kFlangerRingFrames)) e.FlangerStep = -e.FlangerStep;
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
