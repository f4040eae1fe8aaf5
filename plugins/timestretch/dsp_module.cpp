// dsp_lentaro's face towards a Winamp DSP host: the header and module records,
// the export and the four entry points.
#include <windows.h>
#include <mmsystem.h>

#include "control_dialog.h"
#include "plugin_state.h"
#include "settings_file.h"
#include "stretch_module.h"
#include "tav/winamp_dsp.h"

namespace lentaro {
namespace {

// "速度与音调控制" in the Chinese ANSI code page (936)
char kDescription[] = "\xCB\xD9\xB6\xC8\xD3\xEB\xD2\xF4\xB5\xF7\xBF\xD8\xD6\xC6";

// IPC_GETOUTPUTTIME: asked at every re-initialisation; the answer is not used.
constexpr LPARAM kReinitQuery = 105;

PluginWindows windows;

StretchModule module(
    [] { return uint32_t(timeGetTime()); },
    [] {
      // never wait for the host's window thread from the audio thread
      if (windows.host) SendNotifyMessageW(windows.host, WM_USER, 0, kReinitQuery);
    });

void Config(winampDSPModule* mod);
int Init(winampDSPModule* mod);
int ModifySamples(winampDSPModule* mod, short int* samples, int numsamples, int bps, int nch, int srate);
void Quit(winampDSPModule* mod);
winampDSPModule* getModule(int index);

winampDSPModule moduleRecord = {kDescription, nullptr, nullptr, Config, Init, ModifySamples, Quit, nullptr};
winampDSPHeader header = {WINAMP_DSP_HEADER_VERSION, kDescription, getModule};

winampDSPModule* getModule(int index) { return index == 0 ? &moduleRecord : nullptr; }

void Config(winampDSPModule* mod) { openHelpDialog(mod->hDllInstance, mod->hwndParent); }

int Init(winampDSPModule* mod) {
  windows.instance = mod->hDllInstance;
  windows.host = mod->hwndParent;
  const std::wstring path = iniPath(windows.instance);
  loadSettings(path, module);
  if (!module.initEngines()) {
    MessageBoxW(windows.host, L"Can't init", L"Error", MB_ICONWARNING);
    return -1;
  }
  module.quitting = 0;
  HWND dlg = createControlDialog(windows.instance, windows.host);
  if (!dlg) {
    MessageBoxW(windows.host, L"Unable to create a window", L"Error :", MB_ICONERROR);
    return -1;
  }
  ShowWindow(dlg, SW_SHOW);
  loadWindowPos(path, dlg, windows.posX, windows.posY);
  return 0;
}

int ModifySamples(winampDSPModule*, short int* samples, int numsamples, int bps, int nch, int srate) {
  return module.modifySamples(samples, numsamples, bps, nch, srate);
}

void Quit(winampDSPModule* mod) {
  if (mod != &moduleRecord) return;
  module.quitting = 1;
  const std::wstring path = iniPath(windows.instance);
  saveSettings(path, module);
  if (windows.control) saveWindowPos(path, windows.posX, windows.posY);
  // Help and About go too: a dialog must not outlive the library's code.
  destroyDialogs();
}

}  // namespace

StretchModule& stretchModule() { return module; }
PluginWindows& pluginWindows() { return windows; }

}  // namespace lentaro

extern "C" winampDSPHeader* winampDSPGetHeader2() { return &lentaro::header; }
