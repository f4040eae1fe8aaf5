// dsp_brindle's face towards a Winamp DSP host: the header and module records,
// the export and the four entry points, over the portable module.
#include <windows.h>

#include "enhancer_module.h"
#include "tav/winamp_dsp.h"
#include "win32/form_s.h"
#include "win32_platform.h"

namespace brindle {
namespace {

char kModuleDescription[] = "Brindle Enhancer 031";

Win32Platform platform;
win32::FormWindowFactory windowFactory;
Module module(platform, windowFactory);

void Config(winampDSPModule*) { module.Config(); }
int Init(winampDSPModule* mod) { return module.Init(mod ? mod->hwndParent : nullptr); }
int ModifySamples(winampDSPModule*, short int* samples, int numsamples, int bps, int nch, int srate) {
  return module.ModifySamples(samples, numsamples, bps, nch, srate);
}
void Quit(winampDSPModule*) { module.Quit(); }
winampDSPModule* getModule(int index);

winampDSPModule moduleRecord = {kModuleDescription, nullptr, nullptr, Config, Init, ModifySamples, Quit, nullptr};
winampDSPHeader header = {WINAMP_DSP_HEADER_VERSION, kModuleDescription, getModule};

// Refills the entry points on every call, but leaves the parent window and the
// instance handle as the host wrote them.
winampDSPModule* getModule(int index) {
  if (index != 0) return nullptr;
  moduleRecord.description = kModuleDescription;
  moduleRecord.Config = Config;
  moduleRecord.Init = Init;
  moduleRecord.ModifySamples = ModifySamples;
  moduleRecord.Quit = Quit;
  return &moduleRecord;
}

}  // namespace
}  // namespace brindle

extern "C" winampDSPHeader* winampDSPGetHeader2() {
  using namespace brindle;
  header.version = WINAMP_DSP_HEADER_VERSION;
  header.description = kModuleDescription;
  header.getModule = getModule;
  return &header;
}
