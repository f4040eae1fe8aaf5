#include "player/win32/engine_effects.h"

#include "bass.h"
#include "tav/engine/dsp_host.h"
#include "tav/engine/globals.h"
#include "tav/engine/own_effects.h"

namespace tav::player {

namespace eng = tav::engine;

namespace {

struct OwnProcedure {
  void (*reset)();
  DSPPROC* proc;
  int priority;
  HDSP* handle;
};

OwnProcedure ProcedureOf(OwnEffect which) {
  switch (which) {
    case OwnEffect::Rotate:
      return {&eng::ResetRotate, &eng::RotateDSPProc, eng::kRotatePriority, &eng::StreamState.RotateDsp};
    case OwnEffect::Echo:
      return {&eng::ResetEcho, &eng::EchoDSPProc, eng::kEchoPriority, &eng::StreamState.EchoDsp};
    case OwnEffect::Flanger:
      return {&eng::ResetFlanger, &eng::FlangerDSPProc, eng::kFlangerPriority, &eng::StreamState.FlangerDsp};
  }
  return {&eng::ResetRotate, &eng::RotateDSPProc, eng::kRotatePriority, &eng::StreamState.RotateDsp};
}

}  // namespace

void TEngineEffects::CreateEq() { eng::CreateEq(); }

void TEngineEffects::RemoveEq() {
  BASS_ChannelRemoveFX(eng::StreamState.DecodeStream, eng::StreamState.EqFx);
  eng::StreamState.EqFx = 0;
}

void TEngineEffects::ApplyEqGains() { eng::ApplyEqGains(); }

void TEngineEffects::SetOwnEffect(OwnEffect which) {
  const OwnProcedure p = ProcedureOf(which);
  p.reset();
  *p.handle = BASS_ChannelSetDSP(eng::StreamState.DecodeStream, p.proc, nullptr, p.priority);
}

void TEngineEffects::RemoveOwnEffect(OwnEffect which) {
  BASS_ChannelRemoveDSP(eng::StreamState.DecodeStream, *ProcedureOf(which).handle);
}

uint32_t TEngineEffects::SetLibraryEffect(LibraryEffect which) {
  switch (which) {
    case LibraryEffect::Reverb:
      return BASS_ChannelSetFX(eng::StreamState.DecodeStream, BASS_FX_DX8_REVERB, 0);
    case LibraryEffect::Dx8Echo:
      return BASS_ChannelSetFX(eng::StreamState.DecodeStream, BASS_FX_DX8_ECHO, 0);
    case LibraryEffect::Phaser:
      return BASS_ChannelSetFX(eng::StreamState.DecodeStream, BASS_FX_BFX_PHASER, 1);
  }
  return 0;
}

void TEngineEffects::RemoveLibraryEffect(uint32_t handle) { BASS_ChannelRemoveFX(eng::StreamState.DecodeStream, handle); }

void TEngineEffects::SetPhaserFields(uint32_t handle, const TPhaserFields& f) {
  BASS_FXGetParameters(handle, &phaserParams_);
  phaserParams_.fDryMix = f.DryMix;
  phaserParams_.fWetMix = f.WetMix;
  phaserParams_.fFeedback = f.Feedback;
  phaserParams_.fRate = f.Rate;
  phaserParams_.fRange = f.Range;
  phaserParams_.fFreq = f.Freq;
  BASS_FXSetParameters(handle, &phaserParams_);
}

void TEngineEffects::SetTempo(float percent) {
  BASS_ChannelSetAttribute(eng::StreamState.DecodeStream, BASS_ATTRIB_TEMPO, percent);
}

void TEngineEffects::SetPitch(float semitones) {
  BASS_ChannelSetAttribute(eng::StreamState.DecodeStream, BASS_ATTRIB_TEMPO_PITCH, semitones);
}

bool TEngineEffects::LoadDsp(const std::string& path, bool asParent) {
  eng::LoadDSP(path, asParent ? window_.Handle() : nullptr);
  return eng::DspHostState.DspLibLoaded.load();
}

bool TEngineEffects::DspFaulted() { return eng::DspHostState.DspLibFaulted; }
std::string TEngineEffects::DspDescription() { return eng::GetDSPDescription(); }
int32_t TEngineEffects::DspModuleCount() { return eng::GetDSPModuleCount(); }
std::string TEngineEffects::DspModuleDescription(int32_t index) { return eng::GetDSPModuleDescription(index); }
void TEngineEffects::InitDspModule(int32_t index) { eng::InitDSPModule(index); }
void TEngineEffects::ConfigDspModule(int32_t index) { eng::ConfigDSPModule(index); }
void TEngineEffects::QuitDspModule(int32_t index) { eng::QuitDSPModule(index); }
void TEngineEffects::UnloadDsp() { eng::UnloadDSP(); }
void TEngineEffects::SetDspActive(bool on) { eng::PassState.DspActive = on; }
void TEngineEffects::SetDspModuleIndex(int32_t index) { eng::PassState.DspModuleIndex = index; }
int32_t TEngineEffects::DspModuleIndex() { return eng::PassState.DspModuleIndex.load(); }

TWinampHostFacts TEngineEffects::HostFacts() {
  TWinampHostFacts facts;
  facts.HasStream = eng::StreamState.DecodeStream != 0;
  facts.StreamRate = eng::StreamState.ChannelInfo.freq;
  facts.PathAddress = reinterpret_cast<intptr_t>(eng::StreamState.CurrentPath.c_str());
  facts.TitleAddress = reinterpret_cast<intptr_t>(eng::StreamState.CurrentTitle.c_str());
  return facts;
}

}  // namespace tav::player
