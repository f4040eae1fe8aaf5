// Attribute slides: linear in time, readable mid-way, replaced by a new slide or a set,
// ending exactly on the target.
#include <gtest/gtest.h>

#include "attribute_value.h"

namespace tav::audio {
namespace {

TEST(AttributeSlide, LinearInTimeAndExactlyOnTargetAtTheEnd) {
  struct Point {
    int64_t t_us;
    float value;
  };
  AttributeValue v(0.8f);
  v.slide(0.0f, 650, 1'000'000);
  for (const Point& p : {Point{1'000'000, 0.8f}, Point{1'325'000, 0.4f}, Point{1'487'500, 0.2f},
                         Point{1'649'999, 0.8f * (1 / 650000.0f)}, Point{1'650'000, 0.0f}, Point{9'000'000, 0.0f}}) {
    EXPECT_NEAR(v.value_at(p.t_us), p.value, 1e-6f) << p.t_us;
  }
  EXPECT_EQ(v.value_at(1'650'000) * 100, 0.0f);  // exactly, as the player compares it
  EXPECT_TRUE(v.sliding_at(1'649'999));
  EXPECT_FALSE(v.sliding_at(1'650'000));

  // a slide upwards ends exactly on a target that is not representable as a step sum
  v.slide(0.37f, 250, 2'000'000);
  EXPECT_EQ(v.value_at(2'250'000), 0.37f);
}

TEST(AttributeSlide, NewSlideStartsFromTheMidValueAndSetCancels) {
  AttributeValue v(1.0f);
  v.slide(0.0f, 1000, 0);
  v.slide(1.0f, 500, 500'000);  // from 0.5 back up to 1 over 500 ms
  EXPECT_NEAR(v.value_at(750'000), 0.75f, 1e-6f);
  EXPECT_EQ(v.value_at(1'000'000), 1.0f);
  v.slide(0.0f, 1000, 2'000'000);
  v.set(0.3f);
  EXPECT_FALSE(v.sliding_at(2'100'000));
  EXPECT_EQ(v.value_at(2'500'000), 0.3f);
  v.slide(0.9f, 0, 3'000'000);  // no time: the target at once
  EXPECT_EQ(v.value_at(3'000'000), 0.9f);
}

}  // namespace
}  // namespace tav::audio
