#include "tav/engine/globals.h"

#include "tav/engine/dsp_host.h"
#include "tav/engine/output_pump.h"
#include "tav/engine/own_effects.h"

namespace tav::engine {

TStreamState StreamState;
TPassState PassState;
TPlayerSettings PlayerSettings;

void RenewEngineState() {
  UnloadDSP();
  Renew(StreamState);
  Renew(PassState);
  Renew(PlayerSettings);
  Renew(PumpState);
  Renew(EffectState);
  Renew(DspHostState);
}

void ReleaseEngineState() {
  PumpState.LevelBuffers.Clear();
  PumpState.VstBuffers.Clear();
  StreamState.CurrentPath.clear();
  StreamState.CurrentPath.shrink_to_fit();
  StreamState.CurrentTitle.clear();
  StreamState.CurrentTitle.shrink_to_fit();
  StreamState.CurrentFile.clear();
  StreamState.CurrentFile.shrink_to_fit();
  PlayerSettings.OpenFilter.clear();
  PlayerSettings.OpenFilter.shrink_to_fit();
}

}  // namespace tav::engine
