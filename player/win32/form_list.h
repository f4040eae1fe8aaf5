// The play-list window: the numbered file names of the play list, its popup
// menu, the add dialog and dropped files; "PlayList.m3u" beside the program
// is read when the window is created and written when it is destroyed.
#pragma once

#include <filesystem>

#include "player/core/playlist_model.h"
#include "player/core/settings_store.h"
#include "toolkit/win32/dialogs.h"
#include "toolkit/win32/forms.h"
#include "toolkit/win32/menus.h"
#include "toolkit/win32/stdctrls.h"

namespace tav::player {

class TFormList : public TForm {
 public:
  TFormList(TPlayListModel& list, ISettingsStore* settings);
  ~TFormList() override;

  TPlayListModel& Model() { return list_; }
  std::filesystem::path PlayListFile() const;
  // "立即保存当前播放列表状态". Throws when the file cannot be written.
  void SavePlayList();

  TListBox* ListBox1;
  TButton *btninc, *btndec;
  TPopupMenu PopupMenu1;
  TMenuItem *muAddFile, *mumPlays, *mudels, *mudeladd, *mumsave;

  // Plays entry i (double click, "播放选中的文件").
  void PlayEntry(int i);

 private:
  void FormCreate();
  void FormDestroy();
  bool MyDrags(TMessage& message);
  void muAddFileClick();
  void mudelsClick();
  void WriteVisible(bool visible);

  TPlayListModel& list_;
  ISettingsStore* settings_;
  TOpenDialog dgAddF;
};

}  // namespace tav::player
