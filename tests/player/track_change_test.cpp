// Which entry follows at the end of a track and on next and previous.
#include "player/core/track_change.h"

#include <gtest/gtest.h>

namespace tav::player {
namespace {

TEST(TrackEnd, OnlyAnExactEqualityEndsATrack) {
  EXPECT_TRUE(IsTrackEnd(false, true, 10.0, 10.0));
  EXPECT_FALSE(IsTrackEnd(false, true, 10.0000001, 10.0));  // past the length: not the end
  EXPECT_FALSE(IsTrackEnd(true, true, 10.0, 10.0));         // single-track loop
  EXPECT_FALSE(IsTrackEnd(false, false, 0.0, 0.0));         // no stream
}

struct Case {
  const char* what;
  int count;
  int selected;
  int playIndex;
  bool listLoop;
  TrackStep step;
  int newIndex;
  int newSelected;
};

TPlayListModel ListOf(int count, int selected) {
  TPlayListModel list;
  for (int i = 0; i < count; ++i) list.Add("C:\\" + std::to_string(i) + ".mp3");
  list.Select(selected);
  return list;
}

TEST(TrackEnd, DecisionTable) {
  const Case cases[] = {
      {"empty list stops", 0, -1, 0, false, TrackStep::Stop, 0, -1},
      {"empty list with loop stops", 0, -1, 3, true, TrackStep::Stop, 3, -1},
      {"middle goes on", 3, 0, 0, false, TrackStep::Play, 1, 1},
      {"second to last goes on", 3, 1, 1, false, TrackStep::Play, 2, 2},
      {"last stops", 3, 2, 2, false, TrackStep::Stop, 2, 2},
      {"last loops to the first", 3, 2, 2, true, TrackStep::Play, 0, 0},
      {"middle with loop goes on", 3, 1, 1, true, TrackStep::Play, 2, 2},
      {"nothing selected counts as before the first", 3, -1, 0, false, TrackStep::Play, 1, 1},
      {"index past the list stops", 3, 0, 2, false, TrackStep::Stop, 3, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    auto list = ListOf(c.count, c.selected);
    int32_t index = c.playIndex;
    EXPECT_EQ(EndOfTrackStep(list, c.listLoop, index), c.step);
    EXPECT_EQ(index, c.newIndex);
    EXPECT_EQ(list.Selected(), c.newSelected);
  }
}

TEST(TrackButtons, NextAndPreviousWrapAround) {
  auto list = ListOf(3, 2);
  int32_t index = 2;
  EXPECT_EQ(NextTrackStep(list, index), TrackStep::Play);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(NextTrackStep(list, index), TrackStep::Play);
  EXPECT_EQ(index, 1);
  EXPECT_EQ(PreviousTrackStep(list, index), TrackStep::Play);
  EXPECT_EQ(index, 0);
  EXPECT_EQ(PreviousTrackStep(list, index), TrackStep::Play);
  EXPECT_EQ(index, 2);
  EXPECT_EQ(list.Selected(), 2);
}

TEST(TrackButtons, EmptyListStaysAndAStrayIndexStops) {
  TPlayListModel empty;
  int32_t index = 0;
  EXPECT_EQ(NextTrackStep(empty, index), TrackStep::Stay);
  EXPECT_EQ(PreviousTrackStep(empty, index), TrackStep::Stay);
  auto list = ListOf(3, 2);  // the user selected the last entry while the first plays
  index = 0;
  EXPECT_EQ(PreviousTrackStep(list, index), TrackStep::Stop);
  EXPECT_EQ(index, -1);
}

}  // namespace
}  // namespace tav::player
