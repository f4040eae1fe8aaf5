#include "tav/engine/dsp_host.h"

#include <chrono>
#include <thread>

#include "tav/engine/foreign_call.h"
#include "tav/engine/globals.h"
#include "tav/engine/sent_messages.h"

namespace tav::engine {

TDspLibraryLoader* DefaultDspLibraryLoader();  // dsp_loader_win32.cpp, or none

TDspHostState DspHostState;

namespace {

TDspLibraryLoader* Loader = DefaultDspLibraryLoader();

winampDSPModule* ModuleAt(int32_t index) {
  if (!DspHostState.DspLibLoaded.load() || index < 0 || index >= DspHostState.DspLibModuleCount) return nullptr;
  return DspHostState.DspModuleTable[index];
}

// Waits, bounded, until no sample-path call is inside the module. DspActive
// must already be clear, so no new call enters. A module may be waiting for
// this (the window) thread to answer a message it sent to its parent: such
// messages are delivered while waiting.
bool WaitForCallsToEnd() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(DspHostState.DspStopWaitMs);
  while (DspHostState.DspCallsInFlight.load() != 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    DeliverSentMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void ForgetLibrary() {
  DspHostState.DspLibHandle = nullptr;
  DspHostState.DspGetHeaderProc = nullptr;
  DspHostState.DspLibHeader = nullptr;
  DspHostState.DspLibLoaded.store(false);
  DspHostState.DspLibModuleCount = 0;
  DspHostState.DspStarted = false;
}

}  // namespace

void SetDspLibraryLoader(TDspLibraryLoader* loader) { Loader = loader; }
TDspLibraryLoader* GetDspLibraryLoader() { return Loader; }

void LoadDSP(const std::string& path, HWND parent) {
  if (DspHostState.DspLibHandle != nullptr) {
    if (DspHostState.DspStarted)
      StopDSP();
    else
      UnloadDSP();
  }
  DspHostState.DspLibModuleCount = 0;
  DspHostState.DspLibLoaded.store(false);
  if (Loader == nullptr) return;

  DspHostState.DspLibHandle = Loader->Load(path);
  if (DspHostState.DspLibHandle == nullptr) return;
  DspHostState.DspGetHeaderProc = Loader->Entry(DspHostState.DspLibHandle, "winampDSPGetHeader2");
  if (DspHostState.DspGetHeaderProc == nullptr) {
    Loader->Free(DspHostState.DspLibHandle);
    ForgetLibrary();
    return;
  }
  auto getHeader = reinterpret_cast<winampDSPGetHeaderType>(DspHostState.DspGetHeaderProc);
  winampDSPHeader* header = nullptr;
  if (CallForeign([&] { header = getHeader(); }) != TForeignCallResult::Ok) header = nullptr;
  DspHostState.DspLibHeader = header;

  if (header != nullptr && header->getModule != nullptr) {
    for (int32_t i = 0; i < kDspModuleTableSize; ++i) {
      winampDSPModule* module = nullptr;
      if (CallForeign([&] { module = header->getModule(i); }) != TForeignCallResult::Ok || module == nullptr) break;
      DspHostState.DspModuleTable[i] = module;
      module->hwndParent = parent;
      module->hDllInstance = static_cast<HINSTANCE>(DspHostState.DspLibHandle);
      ++DspHostState.DspLibModuleCount;
    }
  }
  DspHostState.DspLibLoaded.store(true);
  DspHostState.DspLastResult.store(0);
}

std::string GetDSPDescription() {
  if (!DspHostState.DspLibLoaded.load() || DspHostState.DspLibHeader == nullptr ||
      DspHostState.DspLibHeader->description == nullptr)
    return {};
  return DspHostState.DspLibHeader->description;
}

std::string GetDSPModuleDescription(int32_t index) {
  winampDSPModule* module = ModuleAt(index);
  if (module == nullptr || module->description == nullptr) return {};
  return module->description;
}

int32_t GetDSPModuleCount() { return DspHostState.DspLibLoaded.load() ? DspHostState.DspLibModuleCount : 0; }

void InitDSPModule(int32_t index) {
  winampDSPModule* module = ModuleAt(index);
  if (module == nullptr || module->Init == nullptr) return;
  DspHostState.DspStarted = true;
  CallForeign([&] { module->Init(module); });  // its result is not acted upon
}

void ConfigDSPModule(int32_t index) {
  winampDSPModule* module = ModuleAt(index);
  if (module == nullptr || module->Config == nullptr) return;
  CallForeign([&] { module->Config(module); });
}

void QuitDSPModule(int32_t index) {
  PassState.DspActive.store(false);
  winampDSPModule* module = ModuleAt(index);
  if (module == nullptr) return;
  if (!WaitForCallsToEnd()) {
    // A call is still inside the module: neither quit it nor free it under it.
    DspHostState.DspAbandoned = true;
    ForgetLibrary();
    return;
  }
  if (module->Quit != nullptr) CallForeign([&] { module->Quit(module); });
  DspHostState.DspStarted = false;
  DspHostState.DspLibLoaded.store(false);
}

void UnloadDSP() {
  PassState.DspActive.store(false);
  if (DspHostState.DspLibHandle != nullptr && !DspHostState.DspAbandoned) {
    if (WaitForCallsToEnd()) {
      if (Loader != nullptr) Loader->Free(DspHostState.DspLibHandle);
    }
  }
  DspHostState.DspAbandoned = false;
  ForgetLibrary();
}

void StopDSP() {
  PassState.DspActive.store(false);
  QuitDSPModule(PassState.DspModuleIndex.load());
  UnloadDSP();
}

int32_t DSPModifySamples(int32_t index, int16_t* samples, int32_t numsamples, int32_t bps, int32_t nch,
                         int32_t srate) {
  winampDSPModule* module = ModuleAt(index);
  int32_t result = numsamples;
  if (module != nullptr && module->ModifySamples != nullptr)
    result = module->ModifySamples(module, samples, numsamples, bps, nch, srate);
  DspHostState.DspLastResult.store(result);
  return result;
}

int32_t ClampModuleFrames(int32_t frames, int32_t roomFrames) {
  if (frames < 0) return 0;
  return frames > roomFrames ? roomFrames : frames;
}

int32_t DspPassBlock(int16_t* samples, int32_t frames, int32_t nch, int32_t srate, int32_t roomFrames) {
  // Counted before the flag is read: a stop that clears the flag and then sees
  // no call in flight knows that none will enter the module.
  DspHostState.DspCallsInFlight.fetch_add(1);
  int32_t result = frames;
  if (PassState.DspActive.load()) {
    int32_t got = frames;
    const TForeignCallResult r =
        CallForeign([&] { got = DSPModifySamples(PassState.DspModuleIndex.load(), samples, frames, 16, nch, srate); });
    if (r == TForeignCallResult::Ok)
      result = ClampModuleFrames(got, roomFrames);
    else
      PassState.DspActive.store(false);
  }
  DspHostState.DspCallsInFlight.fetch_sub(1);
  return result;
}

}  // namespace tav::engine
