#include "player/core/track_change.h"

namespace tav::player {

namespace {

// Selects the entry playIndex now names; Play when it is inside the list.
TrackStep SelectPlaying(TPlayListModel& list, int32_t playIndex) {
  list.Select(playIndex);
  return list.InRange(playIndex) ? TrackStep::Play : TrackStep::Stop;
}

}  // namespace

bool IsTrackEnd(bool singleLoop, bool hasStream, double position, double length) {
  return !singleLoop && hasStream && position == length;
}

TrackStep EndOfTrackStep(TPlayListModel& list, bool listLoop, int32_t& playIndex) {
  if (list.Empty()) return TrackStep::Stop;
  if (list.Selected() < list.LastIndex()) {
    playIndex += 1;
    return SelectPlaying(list, playIndex);
  }
  if (!listLoop) return TrackStep::Stop;
  playIndex = 0;
  return SelectPlaying(list, playIndex);
}

TrackStep NextTrackStep(TPlayListModel& list, int32_t& playIndex) {
  if (list.Empty()) return TrackStep::Stay;
  if (list.Selected() < list.LastIndex())
    playIndex += 1;
  else
    playIndex = 0;
  return SelectPlaying(list, playIndex);
}

TrackStep PreviousTrackStep(TPlayListModel& list, int32_t& playIndex) {
  if (list.Empty()) return TrackStep::Stay;
  if (list.Selected() >= 1)
    playIndex -= 1;
  else
    playIndex = list.LastIndex();
  return SelectPlaying(list, playIndex);
}

}  // namespace tav::player
