#include "player/core/effects_controller.h"

namespace tav::player {

// --- switches and sliders --------------------------------------------------------

void TEffectsController::EqualiserClick() {
  if (view_.Checked(EffectSwitch::Equaliser))
    audio_.CreateEq();
  else
    audio_.RemoveEq();
}

void TEffectsController::EqBandChanged() { audio_.ApplyEqGains(); }

EffectSwitch TEffectsController::SwitchOf(OwnEffect which) {
  switch (which) {
    case OwnEffect::Rotate:
      return EffectSwitch::Rotate;
    case OwnEffect::Echo:
      return EffectSwitch::Echo;
    case OwnEffect::Flanger:
      return EffectSwitch::Flanger;
  }
  return EffectSwitch::Rotate;
}

void TEffectsController::OwnEffectClick(OwnEffect which) {
  if (view_.Checked(SwitchOf(which)))
    audio_.SetOwnEffect(which);
  else
    audio_.RemoveOwnEffect(which);
}

void TEffectsController::SwitchLibraryEffect(bool on, LibraryEffect which, uint32_t& handle) {
  if (on) {
    handle = audio_.SetLibraryEffect(which);
  } else {
    audio_.RemoveLibraryEffect(handle);
    handle = 0;
  }
}

void TEffectsController::ReverbClick() {
  SwitchLibraryEffect(view_.Checked(EffectSwitch::Reverb), LibraryEffect::Reverb, reverbFx_);
}

void TEffectsController::Dx8EchoClick() {
  SwitchLibraryEffect(view_.Checked(EffectSwitch::Dx8Echo), LibraryEffect::Dx8Echo, echoFx_);
}

void TEffectsController::TempoChanged() {
  const int n = view_.SliderValue(EffectSlider::Tempo) - kSpeedCentre;
  audio_.SetTempo(float(n));
  view_.SetText(EffectText::Tempo, SignedPercentText(n));
}

void TEffectsController::PitchChanged() {
  const int n = view_.SliderValue(EffectSlider::Pitch) - kPitchCentre;
  audio_.SetPitch(float(n));
  view_.SetText(EffectText::Pitch, SignedPercentText(n));
}

void TEffectsController::PhaserClick() {
  const bool on = view_.Checked(EffectSwitch::Phaser);
  SwitchLibraryEffect(on, LibraryEffect::Phaser, phaserFx_);
  if (!on) return;
  // Each slider's handler once: the whole record goes out six times.
  for (int p = 0; p < kPhaserSliderCount; ++p) PhaserChanged();
}

void TEffectsController::PhaserChanged() {
  const auto values = view_.PhaserValues();
  audio_.SetPhaserFields(phaserFx_, PhaserFieldsFromSliders(values));
  view_.SetPhaserTexts(values);
}

void TEffectsController::ReapplyEffects() {
  OwnEffectClick(OwnEffect::Rotate);
  OwnEffectClick(OwnEffect::Echo);
  OwnEffectClick(OwnEffect::Flanger);
  EqualiserClick();
  ReverbClick();
  Dx8EchoClick();
  TempoChanged();
  PitchChanged();
  PhaserClick();
}

// --- Winamp DSP page ---------------------------------------------------------------

std::optional<std::string> TEffectsController::DescribeLibrary(const std::string& path) {
  audio_.LoadDsp(path, false);
  if (audio_.DspFaulted()) return std::nullopt;  // freed again by the host
  std::string description = audio_.DspDescription();
  audio_.UnloadDsp();
  return description;
}

void TEffectsController::LibrarySelected() {
  // The host holds one library: while a module runs, the list is not read
  // and the module box keeps the running library's modules.
  if (dspRunning_) return;
  std::vector<std::string> modules;
  const int row = view_.SelectedLibrary();
  const std::string path = row >= 0 ? view_.LibraryPath(row) : std::string();
  if (!path.empty()) {
    audio_.LoadDsp(path, false);
    const int32_t count = audio_.DspModuleCount();
    for (int32_t i = 0; i < count; ++i) modules.push_back(audio_.DspModuleDescription(i));
    audio_.UnloadDsp();
  }
  view_.SetModules(modules);
}

void TEffectsController::StartClick() {
  if (view_.ModuleCount() == 0 || dspRunning_) return;
  const int row = view_.SelectedLibrary();
  const int module = view_.SelectedModule();
  const std::string path = row >= 0 ? view_.LibraryPath(row) : std::string();
  if (path.empty() || module < 0) return;
  // The library was there when it was listed; it may have gone (or changed)
  // since. Starting it then would look like success and do nothing.
  if (!audio_.LoadDsp(path, true) || module >= audio_.DspModuleCount()) {
    audio_.UnloadDsp();
    view_.Warn(kDspCannotLoadText + path);
    return;
  }
  audio_.SetDspModuleIndex(module);
  audio_.InitDspModule(module);
  view_.SetDspPageIdle(false);
  audio_.SetDspActive(view_.Checked(EffectSwitch::DspOn));
  dspRunning_ = true;
}

void TEffectsController::ConfigureClick() {
  if (view_.ModuleCount() == 0 || !dspRunning_) return;
  const int module = view_.SelectedModule();
  if (module < 0) return;
  audio_.SetDspModuleIndex(module);
  audio_.ConfigDspModule(module);
}

void TEffectsController::DspOnClick() {
  if (dspRunning_) audio_.SetDspActive(view_.Checked(EffectSwitch::DspOn));
}

void TEffectsController::StopClick() {
  if (!dspRunning_) return;
  audio_.SetDspActive(false);
  // The module box may have been emptied meanwhile: the running module is
  // then the one stopped.
  const int selected = view_.SelectedModule();
  if (selected >= 0) audio_.SetDspModuleIndex(selected);
  audio_.QuitDspModule(audio_.DspModuleIndex());
  audio_.UnloadDsp();
  view_.SetDspPageIdle(true);
  dspRunning_ = false;
}

intptr_t TEffectsController::QueryAnswer(intptr_t query, uintptr_t wParam) {
  return WinampQueryAnswer(query, wParam, audio_.HostFacts());
}

}  // namespace tav::player
