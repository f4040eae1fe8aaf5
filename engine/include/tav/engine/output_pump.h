// The output stream's fill procedure (the block pump) with the VST bridge, the
// Winamp DSP pass and the level tap, and the level queries of the meters.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

#include "bass.h"
#include "tav/engine/float_planes.h"
#include "tav/engine/globals.h"

namespace tav::engine {

inline constexpr int32_t kPumpBufferBytes = 65504;  // room of CarryBuf and WorkBuf
inline constexpr DWORD kPumpBlockBytes = 4608;      // block pulled from DecodeStream

// The fill procedure's state. The audio thread's alone, but for two: PeakL
// and PeakR are read by the GUI's timers (a torn or stale read only shows on
// a meter), and VstBuffers is used by the GUI thread during a WAV render,
// which never runs while the output plays.
struct TPumpState {
  // Bytes produced but not yet taken by the output stream, and how many.
  alignas(16) uint8_t CarryBuf[kPumpBufferBytes]{};
  int32_t CarryLen = 0;
  // Block buffer of the fill procedure.
  alignas(16) uint8_t WorkBuf[kPumpBufferBytes]{};
  // Byte count of the last block pulled (after the DSP pass).
  int32_t LastBlockBytes = 0;
  // Float planes of the VST pass and of the level tap.
  TAVDArrayOfSingleDynArray VstBuffers;
  TAVDArrayOfSingleDynArray LevelBuffers;
  // Decaying peaks of the left and right channel, 0..1.
  std::atomic<float> PeakL{0.0f};
  std::atomic<float> PeakR{0.0f};
};
extern TPumpState PumpState;

// Stream procedure of OutStream: fills `buffer` with `length` bytes pulled in
// 4608-byte blocks from DecodeStream. Returns the bytes written; at the end of
// the decoder they are or'ed with BASS_STREAMPROC_END (the flag alone when
// nothing was written).
DWORD BASSCALLBACK OutputStreamProc(HSTREAM handle, void* buffer, DWORD length, void* user);

// Empties the carry-over (a new stream, or a seek of a playing one). Call only
// while the fill procedure cannot run.
void ResetPump();

// Runs VstPassItem over one block of 16-bit samples in place, telling it the
// block's size and `sampleRate` (0: the stream's, ChannelInfo's). Callers
// hold a TVstPassCall around their reading of VstActive and this call.
void ProcessVstBlock(int32_t channels, int16_t* samples, int32_t bytes, uint32_t sampleRate = 0);

// One block of the VST pass as counted in PassState.VstCallsInFlight: the
// count is raised when this is made, before any flag that lets the block into
// the plug-in is read, and lowered when it ends. A caller with a flag of its
// own (a render that keeps the live fill off the plug-in) reads it while
// holding one:
//   { TVstPassCall call; if (!myFlag && VstActive) ProcessVstBlock(...); }
class TVstPassCall {
 public:
  TVstPassCall();
  ~TVstPassCall();
  TVstPassCall(const TVstPassCall&) = delete;
  TVstPassCall& operator=(const TVstPassCall&) = delete;
};

// The VST pass over one block, counted: runs ProcessVstBlock when VstActive
// is set, and for playback's fill only while no WAV render holds the
// plug-ins (RenderRunning). True when it ran.
bool VstPassBlock(int32_t channels, int16_t* samples, int32_t bytes, TPassCaller caller = TPassCaller::Playback,
                  uint32_t sampleRate = 0);

// How long a window waits for a block inside the plug-in before it gives up.
inline constexpr int32_t kVstPassWaitMs = 5000;

// Waits, bounded, until no counted block is inside the VST plug-in (GUI
// thread). Whatever lets blocks in (VstActive) must be cleared first. True
// when none is; false when one was still inside after `timeoutMs`.
bool WaitForVstPassIdle(int32_t timeoutMs = kVstPassWaitMs);

// Measures one block's peaks through LevelBuffers; the block is written back
// rescaled by 32767/32768.
void ProcessLevelTap(int32_t channels, int16_t* samples, int32_t bytes);

// Updates PeakL and PeakR from planes 0 and 1, every second frame.
void TrackPeaks(const TAVDArrayOfSingleDynArray& planes, int32_t frames);

// Level in pixels: log10(peak) x scale x 3 + offset, 0 for a peak of 1e-5 or less.
int32_t GetVuLevel(std::string_view side, int32_t offset, int32_t scale);

// Peak in whole dB, "%.2d"; "00" for a peak of 1e-5 or less.
std::string GetVuDbText(std::string_view side);

// Float to 16-bit as the bridge and tap do it: clamp to -1..1, x 32767,
// nearest integer with ties to even.
int16_t FloatToSample(float value);

}  // namespace tav::engine
