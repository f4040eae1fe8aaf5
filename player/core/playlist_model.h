// The play list: full paths with their numbered display names, the selected
// entry, and the rules by which adding and deleting move the selection and the
// index of the entry playing. The play-list window shows it; the main window
// walks it.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tav::player {

class TPlayListModel {
 public:
  int Count() const { return int(paths_.size()); }
  bool Empty() const { return paths_.empty(); }
  int LastIndex() const { return Count() - 1; }
  bool InRange(int i) const { return i >= 0 && i < Count(); }
  const std::string& Path(int i) const { return paths_.at(size_t(i)); }
  const std::string& Name(int i) const { return names_.at(size_t(i)); }
  const std::vector<std::string>& Paths() const { return paths_; }

  // The selected entry, -1 for none. Selecting an index outside the list
  // selects nothing.
  int Selected() const { return selected_; }
  void Select(int i);

  // Appends a path; its number is the count of entries before it plus one.
  // Entries are never renumbered.
  void Add(const std::string& path);
  // Deletes the selected entry, if any; answers its index, or -1.
  int DeleteSelected();
  void Clear();
  // Replaces the whole list, numbering it afresh.
  void Load(const std::vector<std::string>& paths);

  // The selection rules after files came in. playIndex is the index of the
  // entry playing, shared with the main window.
  // After a drop: one entry -> it is selected and playing index 0; otherwise
  // entry playIndex is selected; an index beyond the list becomes 0.
  void SettleAfterDrop(int32_t& playIndex);
  // After the add dialog or loading the file: one entry -> index 0, selected.
  void SettleAfterAdd(int32_t& playIndex);
  // After entry `deleted` went (-1: none did): an entry before the one
  // playing moves playIndex down with it, so it still names the entry
  // playing; then as after a drop.
  void SettleAfterDelete(int deleted, int32_t& playIndex);
  // The main window appended a file it opened: it is the one playing.
  void AddPlaying(const std::string& path, int32_t& playIndex);

  // What the window mirrors.
  std::function<void(int index)> OnAdded;
  std::function<void(int index)> OnDeleted;
  std::function<void()> OnCleared;
  std::function<void(int index)> OnSelected;

 private:
  std::vector<std::string> paths_;
  std::vector<std::string> names_;
  int selected_ = -1;
};

}  // namespace tav::player
