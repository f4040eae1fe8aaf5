// The play-list window's behaviour apart from its controls: its place and
// visibility from section "FormList", the list read from its file at the
// start and written back at the end, dropped and added files, deleting the
// selected entry and playing an entry. The window hands in what it shows,
// the engine and the main window through interfaces.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "player/core/playlist_file.h"
#include "player/core/playlist_model.h"
#include "player/core/settings_store.h"
#include "player/core/window_links.h"

namespace tav::player {

inline constexpr const char* kListSection = "FormList";
inline constexpr WindowPlace kListDesignPlace{192, 107};

// The engine as the play list uses it.
class IPlayListAudio {
 public:
  virtual ~IPlayListAudio() = default;
  // OpenStream for a local file; true when the chain exists afterwards.
  virtual bool OpenFile(const std::string& path) = 0;
};

// What the play-list window does for its controller.
class IPlayListView {
 public:
  virtual ~IPlayListView() = default;
  virtual void SetPlace(WindowPlace place) = 0;
  virtual WindowPlace Place() = 0;
  virtual void ShowWindow() = 0;
  // The list scrolls sideways and the window takes dropped files.
  virtual void PrepareList() = 0;
};

class TPlayListController {
 public:
  // settings: the settings file's store (none: nothing is read or written).
  TPlayListController(TPlayListModel& list, IPlayListView& view, IPlayListStore& store, IPlayListAudio& audio,
                      IStreamOpened& main, ISettingsStore* settings, int32_t& playIndex);

  // Creation: place and visibility first, then the list from its store (a
  // single entry is selected and playing index 0). A store that cannot be
  // read leaves the list empty and is not replaced at the end; its error is
  // passed on to the caller.
  void FormCreate();
  // Destruction: the place written, then the list saved; each failure is
  // swallowed on its own.
  void FormDestroy();
  // "立即保存当前播放列表状态". Throws when the list cannot be written.
  void SavePlayList();
  // "Visible": the window was shown (its visibility) or closed (false).
  void WriteVisible(bool visible);

  void FilesDropped(const std::vector<std::string>& files);
  // The add dialog's files, in its order.
  void FilesAdded(const std::vector<std::string>& files);
  // "删除选中" and "-".
  void DeleteSelectedClick();
  // Opens and plays entry i (double click, "播放选中的文件").
  void PlayEntry(int i);

  // The store could not be read at the start and has not been saved since.
  bool ReadFailed() const { return readFailed_; }

 private:
  TPlayListModel& list_;
  IPlayListView& view_;
  IPlayListStore& store_;
  IPlayListAudio& audio_;
  IStreamOpened& main_;
  ISettingsStore* settings_;
  int32_t& playIndex_;
  bool readFailed_ = false;
};

}  // namespace tav::player
