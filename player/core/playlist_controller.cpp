#include "player/core/playlist_controller.h"

namespace tav::player {

TPlayListController::TPlayListController(TPlayListModel& list, IPlayListView& view, IPlayListStore& store,
                                         IPlayListAudio& audio, IStreamOpened& main, ISettingsStore* settings,
                                         int32_t& playIndex)
    : list_(list), view_(view), store_(store), audio_(audio), main_(main), settings_(settings), playIndex_(playIndex) {}

void TPlayListController::FormCreate() {
  WindowPlace place = kListDesignPlace;
  bool visible = false;
  if (settings_) {
    place.Left = settings_->ReadInteger(kListSection, "Left", kListDesignPlace.Left);
    place.Top = settings_->ReadInteger(kListSection, "Top", kListDesignPlace.Top);
    visible = settings_->ReadBool(kListSection, "Visible", false);
  }
  // Place and visibility come first: a list that cannot be read does not
  // keep the window from coming back where the user left it.
  view_.SetPlace(place);
  if (visible) view_.ShowWindow();
  view_.PrepareList();
  try {
    list_.Load(store_.Read());
  } catch (...) {
    // The user's list is still where it was kept: the empty list shown now
    // must not replace it at the end.
    readFailed_ = true;
    list_.Clear();
    throw;
  }
  list_.SettleAfterAdd(playIndex_);
}

void TPlayListController::FormDestroy() {
  try {
    if (settings_) {
      const WindowPlace place = view_.Place();
      settings_->WriteInteger(kListSection, "Left", place.Left);
      settings_->WriteInteger(kListSection, "Top", place.Top);
    }
  } catch (...) {
  }
  if (readFailed_) return;
  try {
    SavePlayList();
  } catch (...) {
  }
}

void TPlayListController::SavePlayList() {
  store_.Write(list_.Paths());
  // Saved on request: what is kept is now this list, so the end saves again.
  readFailed_ = false;
}

void TPlayListController::WriteVisible(bool visible) {
  try {
    if (settings_) settings_->WriteBool(kListSection, "Visible", visible);
  } catch (...) {
  }
}

void TPlayListController::FilesDropped(const std::vector<std::string>& files) {
  for (const auto& f : files) list_.Add(f);
  list_.SettleAfterDrop(playIndex_);
}

void TPlayListController::FilesAdded(const std::vector<std::string>& files) {
  for (const auto& f : files) list_.Add(f);
  list_.SettleAfterAdd(playIndex_);
}

void TPlayListController::DeleteSelectedClick() {
  if (list_.Empty()) return;
  const int deleted = list_.DeleteSelected();
  list_.SettleAfterDelete(deleted, playIndex_);
}

void TPlayListController::PlayEntry(int i) {
  if (!list_.InRange(i)) return;
  const std::string path = list_.Path(i);
  if (!audio_.OpenFile(path)) {
    main_.NotOpened(path);
    return;
  }
  main_.SendPlays(path);
  playIndex_ = i;
}

}  // namespace tav::player
