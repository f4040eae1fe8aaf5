// The bookkeeping of a looping ring that an output device plays on its own clock
// (DirectSound's secondary buffer): how much may be written now, where it goes, and
// which part of the ring is silenced with each write. Everything the ring holds beyond
// what was queued is silence, so an update that comes late is heard as a short gap, not
// as the ring's previous lap played again.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tav::audio {

class PlayRing {
 public:
  PlayRing(uint32_t ring_bytes, uint32_t frame_bytes) : ring_bytes_(ring_bytes), frame_bytes_(frame_bytes) {}

  // A fresh ring of silence playing from its start.
  void reset();

  // Frames that may be written now so that about `target_bytes` are queued; `play` and
  // `write` are the device's cursors. A ring that ran dry goes on at the write cursor.
  size_t writable_frames(uint32_t play, uint32_t write, uint64_t target_bytes);

  // Where a write of `data_bytes` goes: the data from `offset` on, then `silence_bytes`
  // of zeros (up to the play cursor last seen), both wrapping at the ring's end.
  struct Write {
    uint32_t offset;
    uint32_t data_bytes;
    uint32_t silence_bytes;
  };
  Write plan(uint32_t data_bytes) const;
  // The data of a planned write is in the ring.
  void wrote(uint32_t data_bytes);

  // Copies `data` and then zeros into a locked region given as up to two pieces.
  static void fill(const Write& w, const void* data, void* p1, uint32_t n1, void* p2, uint32_t n2);

 private:
  uint32_t ring_bytes_;
  uint32_t frame_bytes_;
  uint32_t last_play_ = 0;
  uint32_t write_pos_ = 0;
  uint64_t played_ = 0;
  uint64_t written_ = 0;
};

}  // namespace tav::audio
