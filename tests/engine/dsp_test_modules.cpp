// dsp_engine_test.dll: a Winamp DSP library with one module for each way a
// plug-in can behave towards the host (see dsp_test_modules.h).
#include "dsp_test_modules.h"

#include <windows.h>

#include "tav/winamp_dsp.h"

namespace {

TTestDspReport* Report = nullptr;
TTestDspReport Unattached;  // used until the test attaches its own

TTestDspReport& R() { return Report ? *Report : Unattached; }

#ifdef TAV_DSP_TEST_SECOND_LIBRARY
char kLibraryName[] = "Tavolen engine test modules, second library";
#else
char kLibraryName[] = "Tavolen engine test modules";
#endif
char kNames[kTestModuleCount][16] = {"Keep", "Halve", "Bad count", "Fault", "Sleep", "Ask host"};

int Index(winampDSPModule* m);

void WINAMP_DSP_CALL Config(winampDSPModule*) { R().configCalls++; }

int WINAMP_DSP_CALL Init(winampDSPModule* m) {
  R().initCalls++;
  R().parentSeen = m->hwndParent;
  R().instanceSeen = m->hDllInstance;
  if (Index(m) == 5 && m->hwndParent)
    R().reinitAnswer = static_cast<int>(SendMessageW(m->hwndParent, WM_USER, 0, kQueryReinit));
  return 0;
}

void WINAMP_DSP_CALL Quit(winampDSPModule*) {
  if (R().inside.load() != 0) R().quitWhileInside++;
  R().quitCalls++;
}

int WINAMP_DSP_CALL Modify(winampDSPModule* m, short* samples, int frames, int bps, int nch, int srate) {
  TTestDspReport& r = R();
  const int now = ++r.inside;
  for (int most = r.mostInside.load(); now > most && !r.mostInside.compare_exchange_weak(most, now);) {
  }
  r.modifyCalls++;
  r.lastFrames = frames;
  r.lastBps = bps;
  r.lastChannels = nch;
  r.lastRate = srate;
  int result = frames;
  switch (Index(m)) {
    case 1:
      for (int i = 0; i < frames * nch; ++i) samples[i] = static_cast<short>(samples[i] >> 1);
      break;
    case 2:
      if (r.modifyCalls.load() % 2 == 1) {
        result = kBadCountNegative;
      } else {
        result = kBadCountTooLarge;
        r.tooLargeAnswers++;
      }
      break;
    case 3:
      *static_cast<volatile int*>(nullptr) = frames;
      break;
    case 4:
      Sleep(static_cast<DWORD>(r.sleepMs.load()));
      break;
    case 5:
      if (r.sleepMs.load() > 0) Sleep(static_cast<DWORD>(r.sleepMs.load()));
      if (m->hwndParent) {
        r.sending = 1;
        r.rateAnswer = static_cast<int>(SendMessageW(m->hwndParent, WM_USER, 0, kQuerySampleRate));
        r.sending = 0;
        r.rateQueries++;
      }
      break;
    default:
      break;
  }
  r.inside--;
  return result;
}

winampDSPModule Modules[kTestModuleCount];

int Index(winampDSPModule* m) { return static_cast<int>(m - Modules); }

winampDSPModule* WINAMP_DSP_CALL GetModule(int index) {
  if (index < 0 || index >= kTestModuleCount) return nullptr;
  winampDSPModule& m = Modules[index];
  m.description = kNames[index];
  m.Config = &Config;
  m.Init = &Init;
  m.ModifySamples = &Modify;
  m.Quit = &Quit;
  return &m;
}

winampDSPHeader Header = {WINAMP_DSP_HEADER_VERSION, kLibraryName, &GetModule};

}  // namespace

extern "C" __declspec(dllexport) winampDSPHeader* WINAMP_DSP_CALL winampDSPGetHeader2() { return &Header; }

extern "C" __declspec(dllexport) void TestDspAttach(TTestDspReport* report) { Report = report; }
