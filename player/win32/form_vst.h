// The VST window ("VST 音效插件宿主"): one VST 2 effect plug-in in item 0 of
// the player's VST host, its editor inside the window, its programs, the
// "启用" switch, fxp import and export. Its behaviour is
// TVstWindowController's; this class makes the menu, dialogs and timer,
// routes the events, drives the host's item and shows what it is told.
#pragma once

#include <memory>
#include <string>

#include "player/core/settings_store.h"
#include "player/core/vst_window.h"
#include "toolkit/win32/dialogs.h"
#include "toolkit/win32/extctrls.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/menus.h"

namespace tav::player {

class TVstItemSlot;
class TEnginePassFlags;

class TForm4 : public TForm, private IVstWindowView {
 public:
  // settings: the settings file's store (none: nothing is read or written).
  explicit TForm4(ISettingsStore* settings);
  ~TForm4() override;

  TMainMenu MainMenu1;
  TMenuItem *VSTTop, *VSTLoad, *VSTUn, *not0, *muLoadfxp, *muSavefxp, *not1, *VSTEna, *VstProg;
  TOpenDialog VSTDialog, Openfxp;
  TSaveDialog Savefxp;
  TTimer Timer1;

  TVstWindowController& Controller() { return *controller_; }

  // Loads the plug-in DLL at path (UTF-8); raises the host's text on failure.
  void LoadFVst(const std::string& path);
  void VSTLoadClick(TObject* sender);
  void VSTUnClick(TObject* sender);
  void muLoadfxpClick(TObject* sender);
  void muSavefxpClick(TObject* sender);
  void VSTEnaClick(TObject* sender);
  void N_Click(TObject* sender);
  void Timer1Timer(TObject* sender);
  // A stream of another rate may start: the plug-in is told its rate.
  void StreamStarting();

 private:
  void FormCreate();
  void FormDestroy();

  // IVstWindowView
  void SetCaption(const std::string& utf8) override;
  void SetClientSize(int width, int height) override;
  void ClearPrograms() override;
  void AddProgram(const std::string& utf8) override;
  int ProgramItemCount() override;
  void SetProgramChecked(int index, bool checked) override;
  bool EnabledChecked() override;
  void SetEnabledChecked(bool checked) override;
  void SetIdleTimer(bool on) override;
  bool FileExists(const std::string& path) override;
  void EnsureFolder(const std::string& path) override;
  void ShowError(const std::string& utf8) override;

  ISettingsStore* settings_;
  std::unique_ptr<TVstItemSlot> slot_;
  std::unique_ptr<TEnginePassFlags> flags_;
  std::unique_ptr<TVstWindowController> controller_;
};

}  // namespace tav::player
