// The ring a device plays on its own clock, simulated: the device's cursor runs on while
// the update thread writes ahead of it; an update that comes late must leave a gap of
// silence, never the ring's previous lap.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <vector>

#include "play_ring.h"

namespace tav::audio {
namespace {

constexpr uint32_t kFrame = 4;

struct SimulatedDevice {
  explicit SimulatedDevice(uint32_t frames) : ring(frames * 2, 0) {}
  std::vector<int16_t> ring;  // stereo frames
  uint32_t play = 0;          // bytes
  std::vector<int16_t> heard;  // left channel of every frame played

  uint32_t bytes() const { return static_cast<uint32_t>(ring.size() * 2); }
  uint32_t write_cursor() const { return (play + 10 * kFrame) % bytes(); }  // the part being mixed now
  void run(uint32_t frames) {
    for (uint32_t i = 0; i < frames; ++i) {
      heard.push_back(ring[play / 2]);
      play = (play + kFrame) % bytes();
    }
  }
  // What DirectSound's Lock gives for a region: one or two pieces.
  void write(PlayRing& ring_state, const std::vector<int16_t>& data) {
    const PlayRing::Write w = ring_state.plan(static_cast<uint32_t>(data.size() * 2));
    const uint32_t total = w.data_bytes + w.silence_bytes;
    auto* base = reinterpret_cast<uint8_t*>(ring.data());
    const uint32_t n1 = std::min(total, bytes() - w.offset);
    PlayRing::fill(w, data.data(), base + w.offset, n1, n1 < total ? base : nullptr, total - n1);
    ring_state.wrote(w.data_bytes);
  }
};

TEST(PlayRing, ALateUpdateIsHeardAsSilenceNotAsThePreviousLap) {
  SimulatedDevice device(1000);
  PlayRing ring(device.bytes(), kFrame);
  int16_t next = 1;
  auto update = [&] {
    const size_t frames = ring.writable_frames(device.play, device.write_cursor(), 300 * kFrame);
    std::vector<int16_t> data;
    for (size_t i = 0; i < frames; ++i, ++next) data.insert(data.end(), {next, next});
    device.write(ring, data);
  };
  for (int round = 0; round < 40; ++round) {  // four laps of the ring
    update();
    device.run(100);
  }
  const int16_t last_written = static_cast<int16_t>(next - 1);
  device.heard.clear();
  device.run(700);  // the update thread comes late: 400 frames past what was queued
  const auto end = std::find(device.heard.begin(), device.heard.end(), last_written);
  ASSERT_NE(end, device.heard.end()) << "what was queued plays first";
  EXPECT_TRUE(std::all_of(end + 1, device.heard.end(), [](int16_t v) { return v == 0; }))
      << "after the queued sound the ring replayed an earlier lap";

  // the next update goes on at the device's write cursor, at once
  update();
  device.heard.clear();
  device.run(20);
  EXPECT_EQ(device.heard[10], last_written + 1) << "the first new frame follows the part being mixed";
}

}  // namespace
}  // namespace tav::audio
