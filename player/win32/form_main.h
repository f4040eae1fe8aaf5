// The main window: title, transport buttons, speed, volume and position
// sliders, time display and level meters, the popup menu, the open and save
// dialogs and the three timers. Its behaviour is TMainController's; this class
// lays out the controls, routes their events and shows what it is told.
#pragma once

#include <array>
#include <memory>

#include "controls/win32/slider.h"
#include "player/core/main_controller.h"
#include "player/core/playlist_model.h"
#include "player/core/window_links.h"
#include "player/win32/engine_audio.h"
#include "player/win32/ini_settings.h"
#include "player/win32/painters.h"
#include "toolkit/win32/dialogs.h"
#include "toolkit/win32/extctrls.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/inifiles.h"
#include "toolkit/win32/menus.h"
#include "toolkit/win32/stdctrls.h"

namespace tav::vst {
class TVstHost;
}

namespace tav::player {

class TFormMain : public TForm, private IMainView {
 public:
  // list: the play list the main window walks (shown by the play-list
  // window); links: the other windows; playIndex: the index of the entry
  // playing, shared with the play list.
  TFormMain(TPlayListModel& list, IMainLinks& links, int32_t& playIndex);
  ~TFormMain() override;

  // After a successful OpenStream: a local file's 8-bit path, or an address.
  void SendPlays(const std::string& path) { controller_.SendPlays(path); }
  void SendPlaysAddress() { controller_.SendPlaysAddress(); }
  // After a failed OpenStream: the window shows no media and names the file.
  void NotOpened(const std::string& path) { controller_.NotOpened(path); }
  void NotOpenedAddress(const std::string& address) { controller_.NotOpenedAddress(address); }
  void SendbtnPlayClick() { controller_.SendPlayState(); }

  TMainController& Controller() { return controller_; }
  TIniFile* SettingsFile() { return iniFile_.get(); }
  // A settings store over the settings file, for the other windows (none
  // when the file could not be set up).
  ISettingsStore* Settings() { return settings_.get(); }

  // Frames the two meters, and texts the time display, have put on the
  // screen (the timers repaint only what changed).
  int MeterTransfers() const;
  int TimeTransfers() const;

  // Components the tests and the other windows reach.
  TPanel* TitFrame;
  TLabel* lblTitle;
  TButton *btnPlay, *btnStopPlay, *btnEx, *btnNext, *btnFrmEq, *BtnMenu, *btnList, *btnReSpeed;
  TSlider *sldSetSpeed, *sldSetVolume, *SldPos;
  TLabel *lblfreq, *lblchans, *lblspeed, *lblMaxTime, *lblSeconds, *lblvul, *lblvur;
  std::array<TLabel*, 7> Tm;
  TPaintBox *PaTime, *Pavul, *pavur;
  TPopupMenu PopupMenu1;
  TMenuItem *muopens, *mushurl, *muPLay, *muPause, *muStop, *MuFR, *muCVol, *Muxvol, *muclVol, *muloopplay,
      *muListLoop, *murespeed, *mushPlist, *musheffect, *mushfrmvst, *mushmisc, *musettop, *muAbout, *muClosem,
      *muSavew, *muexits;
  TTimer tmrPos, tmrtitle, tmrdB;

 private:
  // IMainView
  void SetText(MainText which, const std::string& utf8) override;
  void SetTitleFromPath(const std::string& path) override;
  int SliderValue(MainSlider which) override;
  int SliderMax(MainSlider which) override;
  int SliderMin(MainSlider which) override;
  void SetSliderValue(MainSlider which, int value) override;
  void SetPositionMax(int value) override;
  bool Checked(MainCheck which) override;
  void SetChecked(MainCheck which, bool on) override;
  void SetTimeScale(const std::array<std::string, 7>& texts) override;
  void DrawTimeDisplay(const std::string& text) override;
  void DrawMeters(int left, int right, bool outputIdle) override;
  void RestartTitle() override;
  void Warn(const std::string& text) override;
  void WarnNaming(const std::string& text, const std::string& name) override;
  void ReapplyEffects() override;

  void CreateControls();
  void CreateMenu();
  void FormCreate();
  void FormClose();
  void FormDestroy();
  void FormKeyDown(WORD& key);
  bool MyDrags(TMessage& message);
  void tmrtitleTimer();
  void muopensClick();
  void muSavewClick();
  void musettopClick();
  TSlider* SliderOf(MainSlider which);

  IMainLinks& links_;
  TEngineAudio audio_;
  TMainController controller_;
  std::unique_ptr<TIniFile> iniFile_;
  std::unique_ptr<TIniSettings> settings_;  // an ISettingsStore
  std::unique_ptr<tav::vst::TVstHost> vstHost_;
  std::unique_ptr<TGetVuParam> vuLeft_, vuRight_;
  std::unique_ptr<TBufferText> timeDisplay_;
  std::wstring timeText_;
  bool titleScrolling_ = false;
  TOpenDialog OpenDialog1;
  TSaveDialog dgSaveWave;
};

// The folder of the program, with a trailing backslash.
std::wstring ProgramFolder();

}  // namespace tav::player
