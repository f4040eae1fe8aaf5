#include <gtest/gtest.h>

#include "reverse_reader.h"
#include "signals.h"

using namespace tav::bfxs;
using namespace tav::bfxs::test;

namespace {
// stereo ramp: left = frame number, right = -frame number
std::vector<float> ramp(size_t frames) {
  std::vector<float> v(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    v[2 * i] = float(i);
    v[2 * i + 1] = -float(i);
  }
  return v;
}

std::vector<float> read_all(ReverseReader& r, size_t chunk) {
  std::vector<float> out, buf(chunk * 2);
  while (size_t n = r.read(buf.data(), chunk)) out.insert(out.end(), buf.begin(), buf.begin() + n * 2);
  return out;
}
}  // namespace

TEST(ReverseReader, BackwardsFromTheEndIsTheExactReverse) {
  // block sizes that divide the length and that do not; a source that gives less than asked
  struct Case { size_t block, chunk, source_chunk; } cases[] = {{1000, 1152, SIZE_MAX}, {777, 333, 100}, {20000, 1, 7}};
  for (const auto& c : cases) {
    const size_t frames = 10000;
    VectorSource src(ramp(frames), 2, c.source_chunk);
    ReverseReader r(src, 2, c.block);
    r.set_backwards(true);
    ASSERT_TRUE(r.set_position(frames));
    auto out = read_all(r, c.chunk);
    ASSERT_EQ(frames * 2, out.size());
    for (size_t i = 0; i < frames; ++i) {
      ASSERT_EQ(float(frames - 1 - i), out[2 * i]) << i;
      ASSERT_EQ(-float(frames - 1 - i), out[2 * i + 1]) << i;
    }
    EXPECT_EQ(0u, r.position());
    EXPECT_EQ(0u, r.read(out.data(), 10));  // backwards play ends at 0
  }
}

TEST(ReverseReader, SwitchingDirectionContinuesFromTheCurrentPosition) {
  VectorSource src(ramp(10000), 2);
  ReverseReader r(src, 2, 1000);
  std::vector<float> buf(2 * 4000);
  ASSERT_EQ(2500u, r.read(buf.data(), 2500));
  EXPECT_EQ(2500u, r.position());

  r.set_backwards(true);
  ASSERT_EQ(1000u, r.read(buf.data(), 1000));
  EXPECT_EQ(2499.0f, buf[0]);
  EXPECT_EQ(1500.0f, buf[2 * 999]);
  EXPECT_EQ(1500u, r.position());

  r.set_backwards(false);
  ASSERT_EQ(10u, r.read(buf.data(), 10));
  EXPECT_EQ(1500.0f, buf[0]);
  EXPECT_EQ(1510u, r.position());

  r.set_backwards(true);
  ASSERT_EQ(1510u, r.read(buf.data(), 4000));  // ends at 0
  EXPECT_EQ(1509.0f, buf[0]);
  EXPECT_EQ(0.0f, buf[2 * 1509]);

  r.set_backwards(false);
  auto rest = read_all(r, 4096);
  ASSERT_EQ(20000u, rest.size());  // forwards to the end again
  EXPECT_EQ(9999.0f, rest[2 * 9999]);
}

TEST(ReverseReader, PositionsOutsideTheSourceAreRefused) {
  VectorSource src(ramp(100), 2);
  ReverseReader r(src, 2, 10);
  EXPECT_FALSE(r.set_position(101));
  EXPECT_EQ(0u, r.position());
  ASSERT_TRUE(r.set_position(50));
  r.set_backwards(true);
  std::vector<float> buf(2);
  ASSERT_EQ(1u, r.read(buf.data(), 1));
  EXPECT_EQ(49.0f, buf[0]);
}
