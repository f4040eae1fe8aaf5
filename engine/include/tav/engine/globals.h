// The engine's shared state: one set of process-wide variables read and
// written by the windows (GUI thread) and by the audio library's update thread
// (the output fill procedure and the own DSP procedures). Everything starts
// zeroed, empty or false unless noted.
//
// Threads: "GUI" is the window thread, "audio" the audio library's update
// thread. The flags that switch a pass on the audio thread are atomics of the
// same size as the plain values; writers and readers use relaxed order unless
// a routine documents more. A window that switches a pass off clears its flag
// before it releases what the pass uses.
//
// Text: file names and addresses are 8-bit code-page strings, as the audio
// library takes them. OpenFilter is UTF-8.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "bass.h"
#include "tav/engine/float_planes.h"

namespace tav {
class TIniFile;  // the toolkit's INI-file object
}
namespace tav::vst {
class TVstHost;  // the VST host object
}

namespace tav::engine {

class TVstPassItem;

// Scale constants (read only): 16-bit to float and back, one pair for the
// VST bridge and one for the level tap.
inline constexpr float kVstToFloat = 3.0517578125e-05f;  // 1/32768
inline constexpr float kVstToInt = 32767.0f;
inline constexpr float kLevelToFloat = 3.0517578125e-05f;
inline constexpr float kLevelToInt = 32767.0f;

inline constexpr int32_t kPumpBufferBytes = 65504;  // room of CarryBuf and WorkBuf
inline constexpr DWORD kPumpBlockBytes = 4608;      // block pulled from DecodeStream

// One frame of the own effects' rings.
struct TStereoSample {
  float left;
  float right;
};
inline constexpr int kEchoRingFrames = 1200;
inline constexpr int kFlangerRingFrames = 350;

// The VST editor's rectangle, in the editor record's field order.
struct TVstEditorRect {
  int16_t top;
  int16_t left;
  int16_t bottom;
  int16_t right;
};

// --- streams -----------------------------------------------------------------
// Full path of the last local file opened (an address leaves it). GUI.
extern std::string CurrentFile;
// Last stage of the decoding chain, the tempo stream: effects, DSP procedures,
// position, length and the loop flag act on it. 0 = none. Written by GUI
// (OpenStream, close media) while the output is stopped; read by audio.
extern HSTREAM DecodeStream;
// The output stream that plays (play, pause, stop, volume, speed). 0 = none.
extern HSTREAM OutStream;
// Channel information of DecodeStream, as the library filled it.
extern BASS_CHANNELINFO ChannelInfo;
// Channel count of the sample path: the stream's channel count, at least 2.
extern int8_t ProcChannels;
// Configuration switch: open the next stream without a reverse stage.
extern bool CompatBuffer;
// The current stream was opened without the reverse stage (copy of CompatBuffer).
extern bool CompatActive;
// File name of the current stream, or "URL Files".
extern std::string CurrentTitle;
// Full path of the current stream, or "URL Files".
extern std::string CurrentPath;
// Index of the play-list entry being played.
extern int32_t PlayIndex;
// Byte range of the stream that the WAV render writes.
extern int64_t RenderStart;
extern int64_t RenderEnd;

// --- passes on the sample path ------------------------------------------------
// The VST pass runs (-1) or not (0). Written by the VST window, and by the
// pass itself after a plug-in exception.
extern std::atomic<int32_t> VstActive;
// The VST plug-in is not bypassed (-1) or is (0).
extern std::atomic<int32_t> VstEnabled;
// The VST window holds a plug-in (-1) or not (0).
extern std::atomic<int32_t> VstLoaded;
// The player's VST host object; created and freed by the main window.
extern tav::vst::TVstHost* VstHost;
// Item 0 of VstHost as the VST pass drives it; none while no plug-in is held.
// Changed only while VstActive is clear and no block runs.
extern std::atomic<TVstPassItem*> VstPassItem;
// Copy of the plug-in editor's rectangle.
extern TVstEditorRect VstEditorRect;
// Number of programs of the loaded VST plug-in.
extern int32_t VstProgramCount;
// The started Winamp DSP module processes samples. Cleared by the audio thread
// after a fault inside the module.
extern std::atomic<bool> DspActive;
// Index of the started module in the DSP host's module table.
extern std::atomic<int32_t> DspModuleIndex;

// --- own effects and equaliser -----------------------------------------------
extern HDSP RotateDsp;
extern HDSP EchoDsp;
extern HDSP FlangerDsp;
extern HFX EqFx;
// State of the own DSP procedures: audio; reset by the effects window before
// it sets the procedure.
extern float RotateAngle;  // radians
extern std::array<TStereoSample, kEchoRingFrames> EchoRing;
extern int32_t EchoPos;  // 0..1199
extern std::array<TStereoSample, kFlangerRingFrames> FlangerRing;
extern int32_t FlangerPos;   // 0..349
extern float FlangerDelay;   // frames
extern float FlangerStep;    // frames per frame

// --- fill procedure (audio thread only) ---------------------------------------
// Bytes produced but not yet taken by the output stream, and how many.
alignas(16) extern uint8_t CarryBuf[kPumpBufferBytes];
extern int32_t CarryLen;
// Block buffer of the fill procedure.
alignas(16) extern uint8_t WorkBuf[kPumpBufferBytes];
// Byte count of the last block pulled (after the DSP pass).
extern int32_t LastBlockBytes;
// Working variables of one call: the place in the library's buffer, the bytes
// still wanted, the bytes taken from the carry-over, the block's byte count
// before the DSP pass.
extern uint8_t* PumpOut;
extern int32_t PumpWanted;
extern int32_t PumpCarryTaken;
extern int32_t PumpRawBytes;

// Float planes of the VST pass (audio; GUI during a WAV render) and of the
// level tap (audio).
extern TAVDArrayOfSingleDynArray VstBuffers;
extern TAVDArrayOfSingleDynArray LevelBuffers;
// Decaying peaks of the left and right channel, 0..1. Written by audio, read
// by the GUI's timers.
extern std::atomic<float> PeakL;
extern std::atomic<float> PeakR;

// --- settings and keys --------------------------------------------------------
// Filter text of every open-file dialog (LoadBassPlugins).
extern std::string OpenFilter;
// The settings file "Tavolen.ini" beside the program; created and freed by the
// main window.
extern tav::TIniFile* IniFile;
// Virtual-key codes that step the position by -5 s, -0.5 s, +5 s and +0.5 s.
extern uint32_t SeekKeyLeft50;
extern uint32_t SeekKeyLeft5;
extern uint32_t SeekKeyRight50;
extern uint32_t SeekKeyRight5;

// Releases the state's strings and float planes (end of the program).
void ReleaseEngineState();

}  // namespace tav::engine
