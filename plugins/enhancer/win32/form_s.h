// The enhancer's window: a borderless, skinned 275 x 116 header (preset list,
// five bitmap buttons, the oscilloscope) with three panels that fold out below
// it one at a time. It docks to the host's window and follows it, is dragged
// by its background, and its tray icon shows and hides it. It lives inside
// the plug-in library under the host's message loop: `Init` makes it, `Quit`
// closes and frees it.
#pragma once

#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <windows.h>

#include "controls/win32/slider.h"
#include "enhancer_module.h"
#include "presets.h"
#include "toolkit/win32/dialogs.h"
#include "toolkit/win32/extctrls.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/menus.h"
#include "toolkit/win32/stdctrls.h"
#include "win32/bit_button.h"
#include "win32/tray_icon.h"
#include "window/placement.h"
#include "window/scope.h"

namespace brindle::win32 {

using TSlider = tav::enhancer::TSlider;

// One parameter slider with its label (the value text is the slider's hint).
struct ParamSlider {
  Param param;
  TSlider* slider = nullptr;
  tav::TLabel* label = nullptr;
  tav::TLabel* hintStrip = nullptr;  // the panel's strip that shows the texts
};

// One parameter check box with the label beside it.
struct ParamCheckBox {
  Param param;
  tav::TCheckBox* box = nullptr;
  tav::TLabel* label = nullptr;
};

class TForm_s : public tav::TForm {
 public:
  explicit TForm_s(Module& module);
  ~TForm_s() override;

  // --- the frame ---
  tav::TImage* Image2;
  tav::TComboBox* presetbox;
  tav::TPanel *Panel_osc, *Panel_bass, *Panel_music, *Panel_cfg;
  tav::TPaintBox* osc;
  TBitButton *BitButton1, *BitButton6, *BitButton2, *BitButton3, *BitButton4, *BitButton5;
  std::unique_ptr<TCoolTrayIcon> CoolTrayIcon1;
  tav::TPopupMenu PopupMenu1, PopupMenu2;
  tav::TMenuItem *Generalreset1, *Changeicon1, *Defaulticon1, *Getbackthewindow1;
  // A test puts dialogs of its own in place.
  std::unique_ptr<tav::TOpenDialog> OpenPictureDialog1;
  std::unique_ptr<tav::TSaveDialog> SaveDialog1;
  tav::TTimer Timer_show, timermove, Timer_osc, Timer1, Timer2, Timer3;

  // --- the parameter controls ---
  std::vector<ParamSlider> sliders;       // the 26 parameter sliders
  std::vector<ParamCheckBox> checkBoxes;  // the five parameter check boxes
  tav::TLabel *Label_hint, *Label_hint2;
  TSlider* Slider_t;
  tav::TLabel *Label17, *Label_osc, *Label23, *Label24, *Label27, *Label_clip;
  tav::TEdit* Edit1;
  tav::TCheckBox* CheckBox1;
  TSlider* SliderOf(Param p) const;
  tav::TCheckBox* CheckBoxOf(Param p) const;

  // --- the scope ---
  tav::TBitmap ScopeBuffer, ScopeGrid;
  window::ScopeLayout ScopeLayout;
  int32_t ScopeReadIndex = 0, ScopeLastBlockStart = 0;

  // --- window state ---
  bool HostDocked = false;
  bool Dragging = false;
  window::Point GrabPoint;
  window::Rect HostRect;
  window::Point DockOffset;
  bool SettingsPending = false;
  window::Panel OpenPanel = window::Panel::none;

  // --- handlers ---
  void FormCreate();
  void FormShow();
  void FormHide();
  void FormCloseQuery(bool& canClose);
  void FormClose();
  void FormDestroy();
  void Timer_showTimer();
  void timermoveTimer();
  void Image1MouseDown(int x, int y);
  void oscMouseDown(int x, int y);
  void Image1MouseMove(int x, int y);
  void Image1MouseUp();
  void BitButton1Click() { TogglePanel(window::Panel::bass); }
  void BitButton6Click() { TogglePanel(window::Panel::music); }
  void BitButton2Click() { TogglePanel(window::Panel::settings); }
  void CoolTrayIcon1Click();
  void CoolTrayIcon1BalloonHintClick();
  void Generalreset1Click();
  void Changeicon1Click();
  void Defaulticon1Click();
  void Getbackthewindow1Click();
  void Slider_tChange();
  void Timer_oscTimer();
  void Timer1Timer();
  void Edit1Exit();
  void Timer2Timer() { CheckBox1Click(); }
  void Timer3Timer();
  void CheckBox1Click();
  void presetboxDropDown();
  void presetboxSelect();
  void Button1Click();  // save a preset
  void Button2Click();  // delete the preset
  void Button3Click();  // About

  // The window's rectangle on the screen.
  window::Rect WindowRect() const;
  window::Point Position() const;
  Module& module() { return module_; }

 private:
  void BuildFrame();
  TBitButton* MakeButton(tav::TWinControl* parent, int left, int top, int width, int height, const wchar_t* picture,
                         const wchar_t* hint, std::function<void()> click, bool doubleClickToo);
  void BuildControls();
  void BuildBassPanel();
  void BuildMusicPanel();
  void BuildSettingsPanel();
  tav::TLabel* MakeLabel(tav::TWinControl* parent, int left, int top, const wchar_t* caption,
                         const wchar_t* hint = nullptr);
  void AddSlider(tav::TPanel* panel, Param p, int top, const wchar_t* caption, const wchar_t* hint,
                 tav::TLabel* strip);
  void AddCheckBox(tav::TPanel* panel, Param p, int left, int top, const wchar_t* hint, const wchar_t* caption,
                   const wchar_t* labelHint, bool labelToggles);
  void SliderChange(const ParamSlider& s);
  void ClearHints();
  // The stored settings onto the controls (their handlers store them back
  // into the parameters and refresh the value texts).
  void ShowSettings();
  // The parameters onto the controls, after a preset or a reset.
  void ShowParameters();
  void LoadIconFile();
  // Writes the preset the save dialog chose, lists and loads it; a name too
  // long for a preset is refused with a message.
  void SaveChosenPreset(const std::string& file);
  void TogglePanel(window::Panel p);
  void PlaceAfterHost(window::Point target, bool activate);
  window::Rect ReadHostRect();
  void BuildScopeBitmaps();
  void ActivateHost();
  // A dialog or message box of the window, while the host's windows are
  // disabled as under the About window.
  bool RunModal(const std::function<bool()>& call);
  SettingsStore& Settings() { return module_.Settings(); }
  PresetDisk& Disk();

  Module& module_;
  std::unique_ptr<PresetDisk> disk_;
  window::Raster gridRaster_, frameRaster_;
  // The window's own icon, kept from its creation, and the icon of the
  // latest start-up run.
  tav::TIcon ownIcon_, iconbuf_;
};

// Makes the window for `Init`: the form, its create handler run.
class FormWindowFactory : public WindowFactory {
 public:
  std::unique_ptr<EnhancerWindow> Create(Module& module) override;
  // The last window made (until it is freed), for tests in this process.
  static TForm_s* Current();
};

}  // namespace brindle::win32
