#include "player/core/wav_segment.h"

#include <cmath>
#include <limits>

#include "tav/engine/format_time.h"

namespace tav::player {

namespace {
constexpr uint32_t kActivePlaying = 1;  // BASS_ACTIVE_PLAYING
}

std::string SegmentTimeText(double seconds) {
  const double ms = std::trunc(seconds * 1000.0);
  int32_t whole = 0;
  if (ms > 0) whole = ms >= std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max()
                                                                : static_cast<int32_t>(ms);
  return engine::FormatTime(kSegmentTimePattern, whole);
}

std::string SegmentLengthText(double seconds) { return kSegmentLengthPrefix + SegmentTimeText(seconds); }

std::string SetSegmentStart(TSegment& segment, bool hasStream, int64_t position) {
  if (!hasStream || position < 0) return kOpenAFileFirst;
  if (position > segment.end) return kStartAfterEnd;
  segment.start = position;
  return {};
}

std::string SetSegmentEnd(TSegment& segment, bool hasStream, int64_t position) {
  if (!hasStream || position < 0) return kOpenAFileFirst;
  if (position < segment.start) return kEndBeforeStart;
  segment.end = position;
  return {};
}

std::string SaveRefusal(uint32_t outActivity) { return outActivity == kActivePlaying ? kStopBeforeSave : ""; }

}  // namespace tav::player
