#include "player/core/playlist_model.h"

#include "player/core/display_texts.h"

namespace tav::player {

void TPlayListModel::Select(int i) {
  selected_ = InRange(i) ? i : -1;
  if (OnSelected) OnSelected(selected_);
}

void TPlayListModel::Add(const std::string& path) {
  const int number = Count() + 1;
  paths_.push_back(path);
  names_.push_back(PlayListDisplayName(number, path));
  if (OnAdded) OnAdded(LastIndex());
}

int TPlayListModel::DeleteSelected() {
  if (!InRange(selected_)) return -1;
  const int i = selected_;
  paths_.erase(paths_.begin() + i);
  names_.erase(names_.begin() + i);
  selected_ = -1;
  if (OnDeleted) OnDeleted(i);
  return i;
}

void TPlayListModel::Clear() {
  paths_.clear();
  names_.clear();
  selected_ = -1;
  if (OnCleared) OnCleared();
}

void TPlayListModel::Load(const std::vector<std::string>& paths) {
  Clear();
  for (const auto& p : paths) Add(p);
}

void TPlayListModel::SettleAfterDrop(int32_t& playIndex) {
  if (Count() == 1) {
    playIndex = 0;
    Select(0);
  } else {
    Select(playIndex);
  }
  if (playIndex > LastIndex()) {
    playIndex = 0;
    Select(0);
  }
}

void TPlayListModel::SettleAfterDelete(int deleted, int32_t& playIndex) {
  if (deleted >= 0 && deleted < playIndex) --playIndex;
  SettleAfterDrop(playIndex);
}

void TPlayListModel::SettleAfterAdd(int32_t& playIndex) {
  if (Count() == 1) {
    playIndex = 0;
    Select(0);
  }
}

void TPlayListModel::AddPlaying(const std::string& path, int32_t& playIndex) {
  Add(path);
  playIndex = LastIndex();
  Select(playIndex);
}

}  // namespace tav::player
