// The effects window ("效果管理器"): the equaliser, the Winamp DSP plug-in
// page, the own and DirectX 8 effects with tempo and pitch, and the phaser.
// Every control acts at once on the decoding stream; the main window calls
// the switch handlers again (ReapplyEffects) for every new stream. While a
// plug-in module runs this window is its parent and answers its WM_USER
// queries. Its behaviour is TEffectsController's; this class lays out the
// controls, keeps its settings section, routes the events and shows what it
// is told.
#pragma once

#include <array>
#include <string>

#include "controls/win32/slider.h"
#include "player/core/effect_settings.h"
#include "player/core/effects_controller.h"
#include "player/core/settings_store.h"
#include "player/core/window_links.h"
#include "player/win32/engine_effects.h"
#include "toolkit/win32/comctrls.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/menus.h"
#include "toolkit/win32/stdctrls.h"

namespace tav::player {

class TFormEffect : public TForm, private IEffectsView {
 public:
  // settings: the settings file's store (none: nothing is read or written);
  // links: the other windows.
  TFormEffect(ISettingsStore* settings, IEffectsLinks& links);
  ~TFormEffect() override;

  TPageControl* PageControl1;
  std::array<TTabSheet*, kEffectPageCount> Pages;

  // Equaliser page.
  std::array<TSlider*, kEqSliderCount> sldEq;
  std::array<TLabel*, kEqSliderCount> lblEq;
  TCheckBox* CheckBox2;
  TButton* Button5;

  // Winamp DSP plug-in page.
  TLabel *Label2, *Label1;
  TEdit* Edit1;
  TButton *Button1, *Button2, *Button3, *Button4;
  TListView* ListView1;
  TListBox* ListBox1;
  TComboBox* ComboBox1;
  TCheckBox* CheckBox1;
  TPopupMenu PopupMenu1;
  TMenuItem* clr;

  // Other effects page.
  TGroupBox *GroupEffects, *GroupTempo;
  TCheckBox *chHx, *ckhy, *ckGjHy, *ckFlanges, *ckrotate;
  TLabel *lblHx, *lblhy, *lblGjHy, *lblFlanges, *lblrotate, *lblSpeedCaption, *lblPitchCaption;
  TSlider *sldspeed, *sldPitch;
  TLabel *lblspeed, *lblpitch;
  TButton *Button6, *Button7, *Button8;

  // Phaser page.
  std::array<TSlider*, kPhaserSliderCount> slPh;
  std::array<TLabel*, kPhaserSliderCount> lblPhCaption;
  std::array<TLabel*, kPhaserSliderCount> lblPh;
  TCheckBox* chkPhs;
  TButton* btnRePhs;

  TEffectsController& Controller() { return controller_; }

  // Handlers; those the main window calls to re-apply take no sender.
  void CheckBox2Click(TObject* sender);
  void sldEq0Change(TObject* sender);
  void Button5Click(TObject* sender);
  void ckrotateClick(TObject* sender);
  void ckhyClick(TObject* sender);
  void ckFlangesClick(TObject* sender);
  void chHxClick(TObject* sender);
  void ckGjHyClick(TObject* sender);
  void sldspeedChange(TObject* sender);
  void sldPitchChange(TObject* sender);
  void Button6Click(TObject* sender);
  void Button7Click(TObject* sender);
  void chkPhsClick(TObject* sender);
  void slPh1Change(TObject* sender);
  void btnRePhsClick(TObject* sender);
  void Button8Click(TObject* sender);
  void Button1Click(TObject* sender);
  void ListView1Change(TObject* sender);
  void Button3Click(TObject* sender);
  void Button2Click(TObject* sender);
  void CheckBox1Click(TObject* sender);
  void Button4Click(TObject* sender);
  void clrClick(TObject* sender);

  // Every switch handler, in the order a new stream takes them.
  void ReapplyEffects();
  // Appends the "dsp_*.dll" libraries of a folder to the list.
  void ScanDspFolder(const std::wstring& folder);
  // The platform's folder browser; empty when cancelled.
  std::wstring BrowseForFolder(const std::wstring& title);

 private:
  void CreateEqualiserPage(TTabSheet* page);
  void CreateDspPage(TTabSheet* page);
  void CreateOtherPage(TTabSheet* page);
  void CreatePhaserPage(TTabSheet* page);
  void FormCreate();
  void FormDestroy();
  void WriteVisible(bool visible);
  bool DWindProc(TMessage& message);
  TEffectSettings CurrentSettings() const;

  // IEffectsView
  bool Checked(EffectSwitch which) override;
  int SliderValue(EffectSlider which) override;
  void SetText(EffectText which, const std::string& utf8) override;
  std::array<int, kPhaserSliderCount> PhaserValues() override;
  void SetPhaserTexts(const std::array<int, kPhaserSliderCount>& values) override;
  int SelectedLibrary() override;
  std::string LibraryPath(int row) override;
  void SetModules(const std::vector<std::string>& descriptions) override;
  int ModuleCount() override;
  int SelectedModule() override;
  void SetDspPageIdle(bool idle) override;
  void Warn(const std::string& text) override;

  ISettingsStore* settings_;
  IEffectsLinks& links_;
  TEngineEffects audio_{*this};
  TEffectsController controller_{audio_, *this};
};

}  // namespace tav::player
