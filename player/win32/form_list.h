// The play-list window: the numbered file names of the play list, its popup
// menu, the add dialog and dropped files; "PlayList.m3u" beside the program
// is read when the window is created and written when it is destroyed. Its
// behaviour is TPlayListController's; this class lays out the controls,
// routes their events and does what it is told.
#pragma once

#include <filesystem>

#include "player/core/playlist_controller.h"
#include "player/core/playlist_model.h"
#include "player/core/settings_store.h"
#include "player/core/window_links.h"
#include "toolkit/win32/dialogs.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/menus.h"
#include "toolkit/win32/stdctrls.h"

namespace tav::player {

class TFormList : public TForm, private IPlayListView, private IPlayListAudio {
 public:
  // list: the play list shown here (walked by the main window too);
  // settings: the settings file's store (none: nothing is read or written);
  // main: told when an entry plays; playIndex: the index of the entry
  // playing, shared with the main window.
  TFormList(TPlayListModel& list, ISettingsStore* settings, IStreamOpened& main, int32_t& playIndex);
  ~TFormList() override;

  TPlayListModel& Model() { return list_; }
  TPlayListController& Controller() { return controller_; }
  std::filesystem::path PlayListFile() const { return store_.File(); }
  // "立即保存当前播放列表状态". Throws when the file cannot be written.
  void SavePlayList() { controller_.SavePlayList(); }
  // Plays entry i (double click, "播放选中的文件").
  void PlayEntry(int i) { controller_.PlayEntry(i); }

  TListBox* ListBox1;
  TButton *btninc, *btndec;
  TPopupMenu PopupMenu1;
  TMenuItem *muAddFile, *mumPlays, *mudels, *mudeladd, *mumsave;

 private:
  // IPlayListView
  void SetPlace(WindowPlace place) override;
  WindowPlace Place() override;
  void ShowWindow() override;
  void PrepareList() override;
  // IPlayListAudio
  bool OpenFile(const std::string& path) override;

  bool MyDrags(TMessage& message);
  void muAddFileClick();
  // What the list box shows for entry i.
  std::wstring ShownName(int i) const;

  TPlayListModel& list_;
  TPlayListFileStore store_;
  TPlayListController controller_;
  TOpenDialog dgAddF;
};

}  // namespace tav::player
