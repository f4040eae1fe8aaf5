// The host side of Winamp DSP plug-ins: one library at a time, its module
// table, the module calls, and the block pass of the sample path.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <string>

#include "tav/engine/globals.h"
#include "tav/library_loader.h"
#include "tav/winamp_dsp.h"

namespace tav::engine {

// The loader the host opens libraries with (never null): the Win32 loader in
// the Windows build, elsewhere one that loads nothing. A test installs its
// own; passing null restores the default.
tav::TLibraryLoader& DspLibraryLoader();
void SetDspLibraryLoader(tav::TLibraryLoader* loader);

inline constexpr int32_t kDspModuleTableSize = 32768;

// The host's state. Written by the GUI thread (loading, starting, stopping);
// the audio thread reads the module table through DspPassBlock while
// DspActive is set, and counts its calls in DspCallsInFlight.
struct TDspHostState {
  void* DspLibHandle = nullptr;
  void* DspGetHeaderProc = nullptr;
  winampDSPHeader* DspLibHeader = nullptr;
  std::array<winampDSPModule*, kDspModuleTableSize> DspModuleTable{};
  int32_t DspLibModuleCount = 0;
  std::atomic<bool> DspLibLoaded{false};
  // The last LoadDSP met a fault inside the library (its header or a module
  // lies in no memory, or getModule faulted): it was freed again.
  bool DspLibFaulted = false;
  std::atomic<int32_t> DspLastResult{0};
  // Sample-path calls (DspPassBlock) between their start and their end.
  // Stopping a module waits for it to reach 0 before Quit and freeing the
  // library.
  std::atomic<int32_t> DspCallsInFlight{0};
  // How long stopping waits for a running call, in milliseconds. When the
  // call has not ended by then the library is forgotten but left loaded.
  int32_t DspStopWaitMs = 5000;
  // A module of the loaded library has been started (Init called) and not quit.
  bool DspStarted = false;
  // The last stop could not see a running call end: the library is left mapped.
  bool DspAbandoned = false;
};
extern TDspHostState DspHostState;

// Loads the library and lists its modules. An earlier library is stopped (if
// started) or freed first. A library that faults while it is listed is freed
// and leaves the host unloaded, with DspLibFaulted set.
void LoadDSP(const std::string& path, HWND parent);
std::string GetDSPDescription();
std::string GetDSPModuleDescription(int32_t index);
int32_t GetDSPModuleCount();
void InitDSPModule(int32_t index);
void ConfigDSPModule(int32_t index);
// Clears DspActive and waits for a running call before the module's Quit.
void QuitDSPModule(int32_t index);
// Frees the library (after waiting for a running call).
void UnloadDSP();
// The stop command as a whole: DspActive off, wait, Quit, free.
void StopDSP();

// Calls the module's ModifySamples when a library is loaded and the index is
// valid; otherwise passes the block (returns numsamples). Unguarded: the
// caller guards it (DspPassBlock does).
int32_t DSPModifySamples(int32_t index, int16_t* samples, int32_t numsamples, int32_t bps, int32_t nch,
                         int32_t srate);

// A module's frame count limited to 0..roomFrames.
int32_t ClampModuleFrames(int32_t frames, int32_t roomFrames);

// The sample path's DSP pass over one block: when DspActive, calls module
// DspModuleIndex under the foreign-call guard and returns its frame count
// limited to roomFrames. A fault or exception clears DspActive and returns
// `frames` (the block stands as it is). Without DspActive returns `frames`.
// While a WAV render holds the plug-ins (RenderRunning) playback's calls
// pass the block as it is; the render's own calls go through.
int32_t DspPassBlock(int16_t* samples, int32_t frames, int32_t nch, int32_t srate, int32_t roomFrames,
                     TPassCaller caller = TPassCaller::Playback);

}  // namespace tav::engine
