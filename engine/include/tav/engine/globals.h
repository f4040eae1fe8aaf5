// The engine's shared state: what the windows (GUI thread) and the audio
// library's update thread (the output fill procedure and the own DSP
// procedures) both see, in one object per writer. State that one file uses
// lives in that file: the pump's in output_pump.h, the own effects' in
// own_effects.h, the Winamp DSP host's in dsp_host.h. Everything starts
// zeroed, empty or false unless noted.
//
// Threads: "GUI" is the window thread, "audio" the audio library's update
// thread. Each object's comment says who writes and who reads it.
//
// Text: file names and addresses are 8-bit code-page strings, as the audio
// library takes them. OpenFilter is UTF-8.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>

#include "bass.h"

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

// The streams and what the windows know of them. Written by the GUI thread
// alone (OpenStream, "close media", the windows). The audio thread reads
// DecodeStream, ChannelInfo and ProcChannels while the output plays; they
// change only once the output stream is freed, so a running fill never sees
// them change.
struct TStreamState {
  // Full path of the last local file opened (an address leaves it).
  std::string CurrentFile;
  // Last stage of the decoding chain, the tempo stream: effects, DSP
  // procedures, position, length and the loop flag act on it. 0 = none.
  HSTREAM DecodeStream = 0;
  // The output stream that plays (play, pause, stop, volume, speed). 0 = none.
  HSTREAM OutStream = 0;
  // Channel information of DecodeStream, as the library filled it.
  BASS_CHANNELINFO ChannelInfo{};
  // Channel count of the sample path: the stream's channel count, at least 2.
  int8_t ProcChannels = 0;
  // Configuration switch: open the next stream without a reverse stage.
  bool CompatBuffer = false;
  // The current stream was opened without the reverse stage (copy of CompatBuffer).
  bool CompatActive = false;
  // File name of the current stream, or "URL Files".
  std::string CurrentTitle;
  // Full path of the current stream, or "URL Files".
  std::string CurrentPath;
  // Index of the play-list entry being played.
  int32_t PlayIndex = 0;
  // Byte range of the stream that the WAV render writes.
  int64_t RenderStart = 0;
  int64_t RenderEnd = 0;
  // The own DSP procedures and the equaliser set on DecodeStream (0 = not set).
  HDSP RotateDsp = 0;
  HDSP EchoDsp = 0;
  HDSP FlangerDsp = 0;
  HFX EqFx = 0;
};
extern TStreamState StreamState;

// The plug-in passes on the sample path. The flags are written whole by the
// GUI thread and cleared by the audio thread after a fault inside the
// plug-in; both sides use relaxed order. A window that switches a pass off
// clears its flag before it releases what the pass uses. VstHost is the GUI
// thread's alone.
struct TPassState {
  // The VST pass runs (-1) or not (0).
  std::atomic<int32_t> VstActive{0};
  // The VST plug-in is not bypassed (-1) or is (0).
  std::atomic<int32_t> VstEnabled{0};
  // The player's VST host object; created and freed by the main window.
  tav::vst::TVstHost* VstHost = nullptr;
  // Item 0 of VstHost as the VST pass drives it; none while no plug-in is
  // held. Changed only while VstActive is clear and no block runs.
  std::atomic<TVstPassItem*> VstPassItem{nullptr};
  // Blocks of the VST pass between their start and their end (TVstPassCall,
  // output_pump.h): raised before VstActive is read, so a window that clears
  // the flag and then sees 0 here knows that no block is inside the plug-in
  // and none will enter it.
  std::atomic<int32_t> VstCallsInFlight{0};
  // The started Winamp DSP module processes samples.
  std::atomic<bool> DspActive{false};
  // Index of the started module in the DSP host's module table.
  std::atomic<int32_t> DspModuleIndex{0};
  // A WAV render (GUI thread) drives the plug-ins: playback's fill passes its
  // blocks by them. The fill counts its call in before it reads this flag
  // (DspCallsInFlight, and the VST pass's own count), so the render, which
  // sets it and then waits for those counts to reach 0, never shares a
  // plug-in with it.
  std::atomic<bool> RenderRunning{false};
  // GUI thread: the rate of a stream that started while a render held the
  // plug-ins; the render hands the VST plug-in back at this rate (0: none).
  float VstRateAfterRender = 0.0f;
};

// Who runs a plug-in pass: playback's fill, or the WAV render.
enum class TPassCaller { Playback, Render };
extern TPassState PassState;

// What the add-ons and the configuration give the windows. GUI thread only:
// written at start-up (LoadBassPlugins) and by the configuration window.
struct TPlayerSettings {
  // Filter text of every open-file dialog.
  std::string OpenFilter;
  // Virtual-key codes that step the position by -5 s, -0.5 s, +5 s and +0.5 s.
  uint32_t SeekKeyLeft50 = 0;
  uint32_t SeekKeyLeft5 = 0;
  uint32_t SeekKeyRight50 = 0;
  uint32_t SeekKeyRight5 = 0;
};
extern TPlayerSettings PlayerSettings;

// Builds `object` afresh in place, as at program start (for state objects
// that hold atomics and so cannot be assigned).
template <class T>
void Renew(T& object) {
  std::destroy_at(&object);
  std::construct_at(&object);
}

// The whole engine state as at program start: the DSP host's library is
// freed and every state object, the pump's, the own effects' and the DSP
// host's included, is built afresh. Only while nothing plays (tests).
void RenewEngineState();

// Releases the state's strings and float planes (end of the program).
void ReleaseEngineState();

}  // namespace tav::engine
