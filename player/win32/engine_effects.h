// The effects window's view of the engine and the audio library: the
// effects on the decoding stream, tempo and pitch, and the Winamp DSP host.
#pragma once

#include "bass_fx.h"
#include "player/core/effects_controller.h"
#include "toolkit/win32/controls.h"

namespace tav::player {

class TEngineEffects : public IEffectsAudio {
 public:
  // window: the parent of the started modules and owner of their queries.
  explicit TEngineEffects(TWinControl& window) : window_(window) {}

  void CreateEq() override;
  void RemoveEq() override;
  void ApplyEqGains() override;
  void SetOwnEffect(OwnEffect which) override;
  void RemoveOwnEffect(OwnEffect which) override;
  uint32_t SetLibraryEffect(LibraryEffect which) override;
  void RemoveLibraryEffect(uint32_t handle) override;
  void SetPhaserFields(uint32_t handle, const TPhaserFields& fields) override;
  void SetTempo(float percent) override;
  void SetPitch(float semitones) override;
  bool LoadDsp(const std::string& path, bool asParent) override;
  bool DspFaulted() override;
  std::string DspDescription() override;
  int32_t DspModuleCount() override;
  std::string DspModuleDescription(int32_t index) override;
  void InitDspModule(int32_t index) override;
  void ConfigDspModule(int32_t index) override;
  void QuitDspModule(int32_t index) override;
  void UnloadDsp() override;
  void SetDspActive(bool on) override;
  void SetDspModuleIndex(int32_t index) override;
  int32_t DspModuleIndex() override;
  TWinampHostFacts HostFacts() override;

  // The phaser record last sent.
  const BASS_BFX_PHASER& PhaserParams() const { return phaserParams_; }

 private:
  TWinControl& window_;
  BASS_BFX_PHASER phaserParams_{};
};

}  // namespace tav::player
