// Which play-list entry comes next: at the end of a track by the loop modes,
// and for the next and previous buttons. The comparisons use the list's
// selection, the step uses the index of the entry playing; the two agree while
// the user has not selected another entry.
#pragma once

#include <cstdint>

#include "player/core/playlist_model.h"

namespace tav::player {

enum class TrackStep {
  Stay,  // nothing to do
  Stop,  // stop and rewind
  Play,  // open and play the selected entry
};

// True when the position timer must act: single-track loop off, a stream, and
// the position equal to the length exactly (the two doubles compared as they
// are, so a position that never lands on the length ends nothing).
bool IsTrackEnd(bool singleLoop, bool hasStream, double position, double length);

// At the end of a track. An empty list, or the last entry without list loop,
// stops; with list loop the last entry goes on to entry 0. A step that would
// leave the list (the playing index and the selection disagree) stops.
TrackStep EndOfTrackStep(TPlayListModel& list, bool listLoop, int32_t& playIndex);

// "下一曲" and "上一曲": wrap around at the ends of the list. Stay for an
// empty list; Stop for a step that would leave the list.
TrackStep NextTrackStep(TPlayListModel& list, int32_t& playIndex);
TrackStep PreviousTrackStep(TPlayListModel& list, int32_t& playIndex);

}  // namespace tav::player
