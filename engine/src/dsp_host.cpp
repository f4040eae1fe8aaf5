#include "tav/engine/dsp_host.h"

#include <cstring>

#include "engine_platform.h"
#include "tav/engine/foreign_call.h"
#include "tav/engine/globals.h"
#include "tav/engine/sent_messages.h"

namespace tav::engine {

TDspHostState DspHostState;

namespace {

tav::TLibraryLoader* InstalledLoader = nullptr;
// Where a text's length is put when it is only read to see that it can be.
volatile size_t TextLength = 0;

winampDSPModule* ModuleAt(int32_t index) {
  if (!DspHostState.DspLibLoaded.load() || index < 0 || index >= DspHostState.DspLibModuleCount) return nullptr;
  return DspHostState.DspModuleTable[index];
}

// Waits, bounded, until no sample-path call is inside the module. DspActive
// must already be clear, so no new call enters.
bool WaitForModuleCalls() { return WaitForCallsToEnd(DspHostState.DspCallsInFlight, DspHostState.DspStopWaitMs); }

void ForgetLibrary() {
  DspHostState.DspLibHandle = nullptr;
  DspHostState.DspGetHeaderProc = nullptr;
  DspHostState.DspLibHeader = nullptr;
  DspHostState.DspLibLoaded.store(false);
  DspHostState.DspLibModuleCount = 0;
  DspHostState.DspStarted = false;
}

}  // namespace

tav::TLibraryLoader& DspLibraryLoader() {
  return InstalledLoader != nullptr ? *InstalledLoader : DefaultDspLibraryLoader();
}
void SetDspLibraryLoader(tav::TLibraryLoader* loader) { InstalledLoader = loader; }

void LoadDSP(const std::string& path, HWND parent) {
  if (DspHostState.DspLibHandle != nullptr) {
    if (DspHostState.DspStarted)
      StopDSP();
    else
      UnloadDSP();
  }
  DspHostState.DspLibModuleCount = 0;
  DspHostState.DspLibLoaded.store(false);
  DspHostState.DspLibFaulted = false;
  tav::TLibraryLoader& loader = DspLibraryLoader();

  std::string error;
  DspHostState.DspLibHandle = loader.Load(path, error);
  if (DspHostState.DspLibHandle == nullptr) return;
  DspHostState.DspGetHeaderProc = loader.FindEntry(DspHostState.DspLibHandle, "winampDSPGetHeader2");
  if (DspHostState.DspGetHeaderProc == nullptr) {
    loader.Free(DspHostState.DspLibHandle);
    ForgetLibrary();
    return;
  }

  // The header, the modules and their texts are the library's memory: every
  // read and write of them is guarded, and a library that faults is refused
  // whole. The texts are read once here so that a broken one shows now.
  auto getHeader = reinterpret_cast<winampDSPGetHeaderType>(DspHostState.DspGetHeaderProc);
  const auto instance = static_cast<HINSTANCE>(DspHostState.DspLibHandle);
  const TForeignCallResult r = CallForeign([&] {
    winampDSPHeader* header = getHeader();
    DspHostState.DspLibHeader = header;
    if (header == nullptr) return;
    if (header->description != nullptr) TextLength = std::strlen(header->description);
    const auto getModule = header->getModule;
    if (getModule == nullptr) return;
    for (int32_t i = 0; i < kDspModuleTableSize; ++i) {
      winampDSPModule* module = getModule(i);
      if (module == nullptr) break;
      if (module->description != nullptr) TextLength = std::strlen(module->description);
      module->hwndParent = parent;
      module->hDllInstance = instance;
      DspHostState.DspModuleTable[i] = module;
      ++DspHostState.DspLibModuleCount;
    }
  });
  if (r != TForeignCallResult::Ok) {
    DspHostState.DspLibFaulted = true;
    loader.Free(DspHostState.DspLibHandle);
    ForgetLibrary();
    return;
  }
  DspHostState.DspLibLoaded.store(true);
  DspHostState.DspLastResult.store(0);
}

namespace {

// A copy of a string of the library's, or empty when it faults.
std::string CopyForeignText(const char* const* field) {
  std::string text;
  if (CallForeign([&] {
        if (const char* s = *field) text = s;
      }) != TForeignCallResult::Ok)
    text.clear();
  return text;
}

}  // namespace

std::string GetDSPDescription() {
  if (!DspHostState.DspLibLoaded.load() || DspHostState.DspLibHeader == nullptr) return {};
  return CopyForeignText(&DspHostState.DspLibHeader->description);
}

std::string GetDSPModuleDescription(int32_t index) {
  winampDSPModule* module = ModuleAt(index);
  if (module == nullptr) return {};
  return CopyForeignText(&module->description);
}

int32_t GetDSPModuleCount() { return DspHostState.DspLibLoaded.load() ? DspHostState.DspLibModuleCount : 0; }

void InitDSPModule(int32_t index) {
  winampDSPModule* module = ModuleAt(index);
  if (module == nullptr) return;
  CallForeign([&] {
    const auto init = module->Init;
    if (init == nullptr) return;
    DspHostState.DspStarted = true;
    init(module);  // its result is not acted upon
  });
}

void ConfigDSPModule(int32_t index) {
  winampDSPModule* module = ModuleAt(index);
  if (module == nullptr) return;
  CallForeign([&] {
    if (const auto config = module->Config) config(module);
  });
}

void QuitDSPModule(int32_t index) {
  PassState.DspActive.store(false);
  winampDSPModule* module = ModuleAt(index);
  if (module == nullptr) return;
  if (!WaitForModuleCalls()) {
    // A call is still inside the module: neither quit it nor free it under it.
    DspHostState.DspAbandoned = true;
    ForgetLibrary();
    return;
  }
  CallForeign([&] {
    if (const auto quit = module->Quit) quit(module);
  });
  DspHostState.DspStarted = false;
  DspHostState.DspLibLoaded.store(false);
}

void UnloadDSP() {
  PassState.DspActive.store(false);
  if (DspHostState.DspLibHandle != nullptr && !DspHostState.DspAbandoned) {
    if (WaitForModuleCalls()) {
      DspLibraryLoader().Free(DspHostState.DspLibHandle);
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

int32_t DspPassBlock(int16_t* samples, int32_t frames, int32_t nch, int32_t srate, int32_t roomFrames,
                     TPassCaller caller) {
  // Counted before the flags are read: a stop (or a render) that sets its
  // flag and then sees no call in flight knows that none will enter the module.
  DspHostState.DspCallsInFlight.fetch_add(1);
  int32_t result = frames;
  if (PassState.DspActive.load() && (caller == TPassCaller::Render || !PassState.RenderRunning.load())) {
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
