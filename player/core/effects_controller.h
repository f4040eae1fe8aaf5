// The effects window's behaviour apart from its controls: the switches,
// sliders and their texts acting on the decoding stream, their re-application
// for every new stream, and the Winamp DSP page (listing libraries, the
// module box, and the start, configure, switch and stop of one module with
// the answers to the plug-ins' queries). The window hands in what it shows
// and what the engine does through two interfaces.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "player/core/effect_settings.h"

namespace tav::player {

enum class OwnEffect { Rotate, Echo, Flanger };
// The library's effects the window sets on the decoding stream: the DirectX 8
// reverb and echo (priority 0) and the phaser (priority 1).
enum class LibraryEffect { Reverb, Dx8Echo, Phaser };

// The engine and the audio library as the effects window uses them. Every
// call on the decoding stream may be refused (no stream yet, a stale handle):
// refusals are quiet.
class IEffectsAudio {
 public:
  virtual ~IEffectsAudio() = default;
  // The 15-band equaliser with the band gains of the window's sliders, or
  // its removal; the gains again after a band moved.
  virtual void CreateEq() = 0;
  virtual void RemoveEq() = 0;
  virtual void ApplyEqGains() = 0;
  // One of the own procedures set with its state fresh, or removed.
  virtual void SetOwnEffect(OwnEffect which) = 0;
  virtual void RemoveOwnEffect(OwnEffect which) = 0;
  // A library effect with its defaults: its handle, 0 when refused.
  virtual uint32_t SetLibraryEffect(LibraryEffect which) = 0;
  virtual void RemoveLibraryEffect(uint32_t handle) = 0;
  // The phaser's record: read back from the effect, the six fields set, sent.
  virtual void SetPhaserFields(uint32_t handle, const TPhaserFields& fields) = 0;
  virtual void SetTempo(float percent) = 0;
  virtual void SetPitch(float semitones) = 0;

  // The DSP host (one library at a time). Load: true when the library
  // loaded with its entry; asParent makes the window its modules' parent.
  virtual bool LoadDsp(const std::string& path, bool asParent) = 0;
  // The last LoadDsp met a fault inside the library, which was freed again.
  virtual bool DspFaulted() { return false; }
  virtual std::string DspDescription() = 0;
  virtual int32_t DspModuleCount() = 0;
  virtual std::string DspModuleDescription(int32_t index) = 0;
  virtual void InitDspModule(int32_t index) = 0;
  virtual void ConfigDspModule(int32_t index) = 0;
  // Waits (bounded) for a block in progress before the module's Quit.
  virtual void QuitDspModule(int32_t index) = 0;
  virtual void UnloadDsp() = 0;
  // The engine's "processing on" flag and the index of the module in use.
  virtual void SetDspActive(bool on) = 0;
  virtual void SetDspModuleIndex(int32_t index) = 0;
  virtual int32_t DspModuleIndex() = 0;
  // What the plug-ins' queries are answered from.
  virtual TWinampHostFacts HostFacts() = 0;
};

enum class EffectSwitch { Equaliser, Rotate, Echo, Flanger, Reverb, Dx8Echo, Phaser, DspOn };
enum class EffectSlider { Tempo, Pitch };
enum class EffectText { Tempo, Pitch };

// What the effects window shows.
class IEffectsView {
 public:
  virtual ~IEffectsView() = default;
  virtual bool Checked(EffectSwitch which) = 0;
  virtual int SliderValue(EffectSlider which) = 0;
  virtual void SetText(EffectText which, const std::string& utf8) = 0;
  virtual std::array<int, kPhaserSliderCount> PhaserValues() = 0;
  virtual void SetPhaserTexts(const std::array<int, kPhaserSliderCount>& values) = 0;
  // The DSP page: the selected library row (-1: none) and its library's
  // 8-bit path ("" past the list).
  virtual int SelectedLibrary() = 0;
  virtual std::string LibraryPath(int row) = 0;
  // The module box: filled (the first one selected when there is one),
  // its size and its selection (-1: none).
  virtual void SetModules(const std::vector<std::string>& descriptions) = 0;
  virtual int ModuleCount() = 0;
  virtual int SelectedModule() = 0;
  // The library list, module box and "目录" take input (idle) or not.
  virtual void SetDspPageIdle(bool idle) = 0;
  // A warning box owned by the window.
  virtual void Warn(const std::string& text) = 0;
};

// "启动插件" on a library that cannot be loaded any more.
inline constexpr char kDspCannotLoadText[] = "无法载入这个插件,它可能已被删除、移动或损坏:\r\n";

class TEffectsController {
 public:
  TEffectsController(IEffectsAudio& audio, IEffectsView& view) : audio_(audio), view_(view) {}

  // --- switches and sliders; those marked re-apply on a new stream ---
  void EqualiserClick();  // re-apply
  void EqBandChanged();
  void OwnEffectClick(OwnEffect which);  // re-apply
  void ReverbClick();     // re-apply
  void Dx8EchoClick();    // re-apply
  void TempoChanged();    // re-apply
  void PitchChanged();    // re-apply
  void PhaserClick();     // re-apply
  void PhaserChanged();
  // Every re-applying handler in the order a new stream takes them:
  // rotation, echo, flanger, equaliser, reverb, DirectX 8 echo, tempo,
  // pitch, phaser.
  void ReapplyEffects();

  // --- Winamp DSP page ---
  // The description a library gives when it is listed ("" when it gives
  // none); none at all for a library that faults, which the list leaves out.
  std::optional<std::string> DescribeLibrary(const std::string& path);
  void LibrarySelected();  // fills the module box (not while a module runs)
  void StartClick();       // "启动插件"
  void ConfigureClick();   // "配置插件"
  void DspOnClick();       // "开关"
  void StopClick();        // "关闭插件"
  // The answer to a plug-in's WM_USER query.
  intptr_t QueryAnswer(intptr_t query, uintptr_t wParam);

  // Effect handles the window keeps (0 = none).
  uint32_t ReverbFx() const { return reverbFx_; }
  uint32_t EchoFx() const { return echoFx_; }
  uint32_t PhaserFx() const { return phaserFx_; }
  // A module has been started and not stopped.
  bool DspRunning() const { return dspRunning_; }

 private:
  static EffectSwitch SwitchOf(OwnEffect which);
  void SwitchLibraryEffect(bool on, LibraryEffect which, uint32_t& handle);

  IEffectsAudio& audio_;
  IEffectsView& view_;
  uint32_t reverbFx_ = 0, echoFx_ = 0, phaserFx_ = 0;
  bool dspRunning_ = false;
};

}  // namespace tav::player
