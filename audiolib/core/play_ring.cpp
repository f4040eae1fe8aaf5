#include "play_ring.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace tav::audio {

void PlayRing::reset() {
  last_play_ = 0;
  write_pos_ = 0;
  played_ = 0;
  written_ = 0;
}

size_t PlayRing::writable_frames(uint32_t play, uint32_t write, uint64_t target_bytes) {
  played_ += (play + ring_bytes_ - last_play_) % ring_bytes_;
  last_play_ = play;
  if (played_ > written_) {  // ran dry: continue at the write cursor
    written_ = played_;
    write_pos_ = write;
  }
  const uint64_t queued = written_ - played_;
  const uint64_t room = ring_bytes_ - (write + ring_bytes_ - play) % ring_bytes_ - frame_bytes_;
  const uint64_t target = std::min(target_bytes / frame_bytes_ * frame_bytes_, room);
  return queued >= target ? 0 : static_cast<size_t>((target - queued) / frame_bytes_);
}

PlayRing::Write PlayRing::plan(uint32_t data_bytes) const {
  const uint32_t end = (write_pos_ + data_bytes) % ring_bytes_;
  return Write{write_pos_, data_bytes, (last_play_ + ring_bytes_ - end) % ring_bytes_};
}

void PlayRing::wrote(uint32_t data_bytes) {
  write_pos_ = (write_pos_ + data_bytes) % ring_bytes_;
  written_ += data_bytes;
}

void PlayRing::fill(const Write& w, const void* data, void* p1, uint32_t n1, void* p2, uint32_t n2) {
  const auto* src = static_cast<const uint8_t*>(data);
  uint32_t left = w.data_bytes;
  for (auto [p, n] : {std::pair{static_cast<uint8_t*>(p1), n1}, std::pair{static_cast<uint8_t*>(p2), n2}}) {
    if (!p) continue;
    const uint32_t copy = std::min(left, n);
    std::memcpy(p, src, copy);
    std::memset(p + copy, 0, n - copy);
    src += copy;
    left -= copy;
  }
}

}  // namespace tav::audio
