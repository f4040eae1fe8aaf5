#include "reverse_reader.h"

#include <algorithm>
#include <cstring>

namespace tav::bfxs {

ReverseReader::ReverseReader(SeekableSource& source, unsigned channels, size_t block_frames)
    : source_(source),
      channels_(channels),
      block_frames_(std::max<size_t>(block_frames, 1)),
      block_(block_frames_ * channels) {}

void ReverseReader::set_backwards(bool backwards) {
  if (backwards == backwards_) return;
  backwards_ = backwards;
  block_frames_held_ = 0;
  source_at_position_ = false;
}

bool ReverseReader::set_position(uint64_t frame) {
  if (frame > source_.length()) return false;
  if (!backwards_) {
    // forwards the source moves now, so a source that refuses leaves everything as it was
    if (!source_.seek(frame)) return false;
    position_ = source_.position();  // where it landed
    source_at_position_ = true;
  } else {
    position_ = frame;  // backwards the next block is read from before it, when it is needed
    source_at_position_ = false;
  }
  block_frames_held_ = 0;
  return true;
}

size_t ReverseReader::read(float* out, size_t frames) {
  return backwards_ ? read_backwards(out, frames) : read_forwards(out, frames);
}

size_t ReverseReader::read_forwards(float* out, size_t frames) {
  if (!source_at_position_) {
    if (!source_.seek(position_)) return 0;
    source_at_position_ = true;
  }
  size_t done = 0;
  while (done < frames) {
    const size_t n = source_.pull(out + done * channels_, frames - done);
    if (n == 0) break;
    done += n;
  }
  position_ += done;
  return done;
}

// The block ends at the current position; a source that delivers less than
// asked moves the position back to where its data ends.
bool ReverseReader::load_block_before_position() {
  if (position_ == 0) return false;
  block_start_ = position_ > block_frames_ ? position_ - block_frames_ : 0;
  const size_t want = static_cast<size_t>(position_ - block_start_);
  if (!source_.seek(block_start_)) return false;
  size_t got = 0;
  while (got < want) {
    const size_t n = source_.pull(block_.data() + got * channels_, want - got);
    if (n == 0) break;
    got += n;
  }
  source_at_position_ = false;
  block_frames_held_ = got;
  position_ = block_start_ + got;
  return got > 0;
}

size_t ReverseReader::read_backwards(float* out, size_t frames) {
  size_t done = 0;
  while (done < frames) {
    if (block_frames_held_ == 0 || position_ <= block_start_) {
      if (!load_block_before_position()) break;
    }
    // frames [block_start_, position_) of the block are still to go, last first
    while (done < frames && position_ > block_start_) {
      const size_t index = static_cast<size_t>(position_ - 1 - block_start_);
      std::memcpy(out + done * channels_, block_.data() + index * channels_, channels_ * sizeof(float));
      --position_;
      ++done;
    }
  }
  return done;
}

}  // namespace tav::bfxs
