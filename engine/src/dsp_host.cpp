#include "tav/engine/dsp_host.h"

#include <chrono>
#include <thread>

#include "tav/engine/foreign_call.h"
#include "tav/engine/globals.h"
#include "tav/engine/sent_messages.h"

namespace tav::engine {

TDspLibraryLoader* DefaultDspLibraryLoader();  // dsp_loader_win32.cpp, or none

void* DspLibHandle = nullptr;
void* DspGetHeaderProc = nullptr;
winampDSPHeader* DspLibHeader = nullptr;
std::array<winampDSPModule*, kDspModuleTableSize> DspModuleTable{};
int32_t DspLibModuleCount = 0;
std::atomic<bool> DspLibLoaded{false};
std::atomic<int32_t> DspLastResult{0};
std::atomic<int32_t> DspCallsInFlight{0};
int32_t DspStopWaitMs = 5000;

namespace {

TDspLibraryLoader* Loader = DefaultDspLibraryLoader();
// A module of the loaded library has been started (Init called) and not quit.
bool DspStarted = false;
// The last stop could not see a running call end: the library is left mapped.
bool DspAbandoned = false;

winampDSPModule* ModuleAt(int32_t index) {
  if (!DspLibLoaded.load() || index < 0 || index >= DspLibModuleCount) return nullptr;
  return DspModuleTable[index];
}

// Waits, bounded, until no sample-path call is inside the module. DspActive
// must already be clear, so no new call enters. A module may be waiting for
// this (the window) thread to answer a message it sent to its parent: such
// messages are delivered while waiting.
bool WaitForCallsToEnd() {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(DspStopWaitMs);
  while (DspCallsInFlight.load() != 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    DeliverSentMessages();
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

void ForgetLibrary() {
  DspLibHandle = nullptr;
  DspGetHeaderProc = nullptr;
  DspLibHeader = nullptr;
  DspLibLoaded.store(false);
  DspLibModuleCount = 0;
  DspStarted = false;
}

}  // namespace

void SetDspLibraryLoader(TDspLibraryLoader* loader) { Loader = loader; }
TDspLibraryLoader* GetDspLibraryLoader() { return Loader; }

void LoadDSP(const std::string& path, HWND parent) {
  if (DspLibHandle != nullptr) {
    if (DspStarted) StopDSP();
    else UnloadDSP();
  }
  DspLibModuleCount = 0;
  DspLibLoaded.store(false);
  if (Loader == nullptr) return;

  DspLibHandle = Loader->Load(path);
  if (DspLibHandle == nullptr) return;
  DspGetHeaderProc = Loader->Entry(DspLibHandle, "winampDSPGetHeader2");
  if (DspGetHeaderProc == nullptr) {
    Loader->Free(DspLibHandle);
    ForgetLibrary();
    return;
  }
  auto getHeader = reinterpret_cast<winampDSPGetHeaderType>(DspGetHeaderProc);
  winampDSPHeader* header = nullptr;
  if (CallForeign([&] { header = getHeader(); }) != TForeignCallResult::Ok) header = nullptr;
  DspLibHeader = header;

  if (header != nullptr && header->getModule != nullptr) {
    for (int32_t i = 0; i < kDspModuleTableSize; ++i) {
      winampDSPModule* module = nullptr;
      if (CallForeign([&] { module = header->getModule(i); }) != TForeignCallResult::Ok || module == nullptr) break;
      DspModuleTable[i] = module;
      module->hwndParent = parent;
      module->hDllInstance = static_cast<HINSTANCE>(DspLibHandle);
      ++DspLibModuleCount;
    }
  }
  DspLibLoaded.store(true);
  DspLastResult.store(0);
}

std::string GetDSPDescription() {
  if (!DspLibLoaded.load() || DspLibHeader == nullptr || DspLibHeader->description == nullptr) return {};
  return DspLibHeader->description;
}

std::string GetDSPModuleDescription(int32_t index) {
  winampDSPModule* module = ModuleAt(index);
  if (module == nullptr || module->description == nullptr) return {};
  return module->description;
}

int32_t GetDSPModuleCount() { return DspLibLoaded.load() ? DspLibModuleCount : 0; }

void InitDSPModule(int32_t index) {
  winampDSPModule* module = ModuleAt(index);
  if (module == nullptr || module->Init == nullptr) return;
  DspStarted = true;
  CallForeign([&] { module->Init(module); });  // its result is not acted upon
}

void ConfigDSPModule(int32_t index) {
  winampDSPModule* module = ModuleAt(index);
  if (module == nullptr || module->Config == nullptr) return;
  CallForeign([&] { module->Config(module); });
}

void QuitDSPModule(int32_t index) {
  DspActive.store(false);
  winampDSPModule* module = ModuleAt(index);
  if (module == nullptr) return;
  if (!WaitForCallsToEnd()) {
    // A call is still inside the module: neither quit it nor free it under it.
    DspAbandoned = true;
    ForgetLibrary();
    return;
  }
  if (module->Quit != nullptr) CallForeign([&] { module->Quit(module); });
  DspStarted = false;
  DspLibLoaded.store(false);
}

void UnloadDSP() {
  DspActive.store(false);
  if (DspLibHandle != nullptr && !DspAbandoned) {
    if (WaitForCallsToEnd()) {
      if (Loader != nullptr) Loader->Free(DspLibHandle);
    }
  }
  DspAbandoned = false;
  ForgetLibrary();
}

void StopDSP() {
  DspActive.store(false);
  QuitDSPModule(DspModuleIndex.load());
  UnloadDSP();
}

int32_t DSPModifySamples(int32_t index, int16_t* samples, int32_t numsamples, int32_t bps, int32_t nch,
                         int32_t srate) {
  winampDSPModule* module = ModuleAt(index);
  int32_t result = numsamples;
  if (module != nullptr && module->ModifySamples != nullptr)
    result = module->ModifySamples(module, samples, numsamples, bps, nch, srate);
  DspLastResult.store(result);
  return result;
}

int32_t ClampModuleFrames(int32_t frames, int32_t roomFrames) {
  if (frames < 0) return 0;
  return frames > roomFrames ? roomFrames : frames;
}

int32_t DspPassBlock(int16_t* samples, int32_t frames, int32_t nch, int32_t srate, int32_t roomFrames) {
  // Counted before the flag is read: a stop that clears the flag and then sees
  // no call in flight knows that none will enter the module.
  DspCallsInFlight.fetch_add(1);
  int32_t result = frames;
  if (DspActive.load()) {
    int32_t got = frames;
    const TForeignCallResult r =
        CallForeign([&] { got = DSPModifySamples(DspModuleIndex.load(), samples, frames, 16, nch, srate); });
    if (r == TForeignCallResult::Ok)
      result = ClampModuleFrames(got, roomFrames);
    else
      DspActive.store(false);
  }
  DspCallsInFlight.fetch_sub(1);
  return result;
}

}  // namespace tav::engine
