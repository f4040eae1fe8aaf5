// The configuration window: output device, buffer length, compatibility
// buffering and the four seek keys. Its behaviour is TConfigController's;
// this class lays out the controls, routes their events and shows what it
// is told. Its creation applies the stored settings, so it matters even when
// it is never opened.
#pragma once

#include "controls/win32/slider.h"
#include "player/core/config_controller.h"
#include "player/core/settings_store.h"
#include "player/win32/config_engine.h"
#include "player/win32/key_capture_edit.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/stdctrls.h"

namespace tav::player {

class TFormConfig : public TForm, private IConfigView {
 public:
  // settings: the settings file's store (none: defaults are read, nothing is written).
  explicit TFormConfig(ISettingsStore* settings);
  ~TFormConfig() override;

  TConfigController& Controller() { return controller_; }

  TGroupBox *GroupBox1, *GroupBox2, *GroupBox3, *GroupBox4;
  TLabel *Label1, *Label2, *Label3, *Label4, *Label5, *Label6, *Label7, *Label8, *Label9, *Label10;
  TLabel *lblmin, *lblmax, *lblvalues;
  TComboBox* comDevBox;
  TButton *Button1, *btnjian, *btnjia, *btnRese, *btnOK, *btnClose;
  TSlider* sldBuffer;
  TCheckBox* chkBuffers;
  TKeyCaptureEdit *edL50, *edR50, *edL5, *edR5;

 private:
  // IConfigView
  void SetDeviceNames(const std::vector<std::string>& names) override;
  void SelectDevice(int32_t row) override;
  int32_t SelectedDevice() override;
  int32_t BufferMax() override;
  void SetBufferMax(int32_t ms) override;
  int32_t BufferValue() override;
  void SetBufferValue(int32_t ms) override;
  bool CompatChecked() override;
  void SetCompatChecked(bool on) override;
  void SetText(ConfigText which, const std::string& utf8) override;
  void ShowOwnedMessage(const std::string& text, const std::string& caption) override;
  void ShowMessage(const std::string& text) override;

  void CreateControls();
  ISettingsStore& Settings();

  ISettingsStore* settings_;
  TConfigEngine engine_;
  TConfigController controller_{engine_, *this};
};

}  // namespace tav::player
