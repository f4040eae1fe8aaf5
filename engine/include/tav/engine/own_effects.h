// The player's own DSP procedures (rotation, cross echo, flanger) over 32-bit
// float samples, and the 15-band peaking equaliser on DecodeStream.
#pragma once

#include <array>
#include <cstdint>
#include <functional>

#include "bass.h"

namespace tav::engine {

// One frame of the own effects' rings.
struct TStereoSample {
  float left;
  float right;
};
inline constexpr int kEchoRingFrames = 1200;
inline constexpr int kFlangerRingFrames = 350;

// State of the own DSP procedures. The audio thread's; the effects window
// resets a procedure's part (ResetRotate, ResetEcho, ResetFlanger) before it
// sets the procedure, so the two never run at once.
struct TEffectState {
  float RotateAngle = 0.0f;  // radians
  std::array<TStereoSample, kEchoRingFrames> EchoRing{};
  int32_t EchoPos = 0;  // 0..1199
  std::array<TStereoSample, kFlangerRingFrames> FlangerRing{};
  int32_t FlangerPos = 0;     // 0..349
  float FlangerDelay = 0.0f;  // frames
  float FlangerStep = 0.0f;   // frames per frame
};
extern TEffectState EffectState;

// x - y * trunc(x / y): the remainder with the sign of x.
float FloatMod(float x, float y);

// Audio library DSP procedures: `length` bytes of interleaved float frames of
// the channel's stream, processed in place. They act on the front pair
// (channels 0 and 1) and leave further channels alone; on a mono stream the
// rotation is a level swing and the echo and flanger run on the one channel.
// A trailing part frame is left alone.
void BASSCALLBACK RotateDSPProc(HDSP handle, DWORD channel, void* buffer, DWORD length, void* user);
void BASSCALLBACK EchoDSPProc(HDSP handle, DWORD channel, void* buffer, DWORD length, void* user);
void BASSCALLBACK FlangerDSPProc(HDSP handle, DWORD channel, void* buffer, DWORD length, void* user);

// Resets of the procedures' state, done before a procedure is set.
void ResetRotate();
void ResetEcho();
void ResetFlanger();

// Priorities the procedures are set with: rotation first, then echo, flanger.
inline constexpr int kRotatePriority = 2;
inline constexpr int kEchoPriority = 1;
inline constexpr int kFlangerPriority = 0;

inline constexpr int kEqBands = 15;
inline constexpr std::array<float, kEqBands> kEqCentres = {
    40, 63, 100, 160, 250, 400, 630, 1000, 1600, 2500, 4000, 6300, 10000, 14000, 16000};

// Position (0..30) of the equaliser slider of a band; the effects window sets
// this. Unset, every band reads 15 (flat).
extern std::function<int(int band)> EqSliderPosition;

// Adds the equaliser to DecodeStream (EqFx) and applies the gains.
void CreateEq();
// Sets every band's gain to its slider position - 15 dB.
void ApplyEqGains();

}  // namespace tav::engine
