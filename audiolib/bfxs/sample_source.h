// Where the stages take their samples from: interleaved 32-bit floats.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tav::bfxs {

class PullSource {
 public:
  virtual ~PullSource() = default;
  // Writes up to `frames` frames; fewer only near the end, 0 only at the end.
  virtual size_t pull(float* out, size_t frames) = 0;
  // True while pull() gives nothing because the source waits for data (not its end).
  virtual bool stalled() const { return false; }
};

class SeekableSource : public PullSource {
 public:
  // Length in frames.
  virtual uint64_t length() const = 0;
  // Moves the read position to `frame` (0..length); false when refused.
  virtual bool seek(uint64_t frame) = 0;
  // The read position (after a seek: where the source landed).
  virtual uint64_t position() const = 0;
};

}  // namespace tav::bfxs
