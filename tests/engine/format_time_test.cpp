#include "tav/engine/format_time.h"

#include <gtest/gtest.h>

namespace {

using tav::engine::FormatTime;

struct TimeCase {
  const char* pattern;
  int32_t ms;
  const char* text;
};

constexpr int32_t kSample = 3723456;  // 1 h 2 min 3.456 s

TEST(FormatTime, EveryPatternAndEdges) {
  const TimeCase cases[] = {
      {"ddd.dd", kSample, "3723.4"},
      {"hh:mm:ss.ddd", kSample, "01:02:03.456"},
      {"h:mm:ss.d", kSample, "1:02:03.4"},
      {"hh:mm:ss.dd", kSample, "01:02:03.45"},
      {"mm:ss.d", kSample, "02:03.4"},
      {"mm:ss.dd", kSample, "2:03.45"},
      {"mm:ss.ddd", kSample, "2:03.456"},
      {"h:mm:ss", kSample, "1:02:03"},
      {"h:mm:ss", 0, "0:00:00"},
      {"h:mm:ss.d", 59999, "0:00:59.9"},  // truncated, never rounded up
      {"ddd.dd", 5000, "0005.0"},
      {"mm:ss.ddd", 3600000 + 59 * 60000 + 59999, "59:59.999"},  // minutes wrap, hours dropped
      {"hh:mm:ss.ddd", 100 * 3600000 + 7, "100:00:00.007"},
      {"H:MM:SS", kSample, "Nothing"},
      {"", kSample, "Nothing"},
  };
  for (const auto& c : cases) EXPECT_EQ(FormatTime(c.pattern, c.ms), c.text) << c.pattern << " " << c.ms;
}

TEST(FormatTime, NegativeGivesSignedPieces) {
  // The carry loops do not run; each piece keeps its sign.
  EXPECT_EQ(FormatTime("h:mm:ss", -61000), "0:00:-61");
}

}  // namespace
