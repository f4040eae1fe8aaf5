// Reads a seekable source forwards or backwards; backwards it takes blocks of
// a fixed length and hands their frames out last to first. The direction can
// change at any time and play continues from the current position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "sample_source.h"

namespace tav::bfxs {

class ReverseReader {
 public:
  ReverseReader(SeekableSource& source, unsigned channels, size_t block_frames);

  // Writes up to `frames` frames; 0 at the end (the source's end forwards, 0 backwards).
  size_t read(float* out, size_t frames);

  void set_backwards(bool backwards);
  bool backwards() const { return backwards_; }

  // Current position in source frames: the next frame handed out forwards, or
  // one past it backwards.
  uint64_t position() const { return position_; }
  bool set_position(uint64_t frame);
  uint64_t length() const { return source_.length(); }

 private:
  size_t read_forwards(float* out, size_t frames);
  size_t read_backwards(float* out, size_t frames);
  bool load_block_before_position();

  SeekableSource& source_;
  unsigned channels_;
  size_t block_frames_;
  bool backwards_ = false;
  uint64_t position_ = 0;
  bool source_at_position_ = true;  // the source's read position is position_
  std::vector<float> block_;
  uint64_t block_start_ = 0;   // source frame of block_[0]
  size_t block_frames_held_ = 0;
};

}  // namespace tav::bfxs
