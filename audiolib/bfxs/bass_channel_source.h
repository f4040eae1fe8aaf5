// A bass.dll decoding channel read as a source of float frames.
#pragma once

#include <cstdint>
#include <vector>

#include "bass.h"
#include "sample_source.h"

namespace tav::bfxs {

class BassChannelSource : public SeekableSource {
 public:
  static constexpr uint64_t kUnknownLength = UINT64_MAX;

  BassChannelSource(DWORD channel, unsigned channels);

  size_t pull(float* out, size_t frames) override;
  // The channel's own answer to the last read: 0 (waits for data) rather than the end.
  bool stalled() const override { return stalled_; }
  // Length in frames, kUnknownLength when the channel does not know it.
  uint64_t length() const override;
  bool seek(uint64_t frame) override;
  uint64_t position() const override;

  // At the end, start again from the beginning (from the end when the
  // channel itself plays backwards) instead of ending.
  void set_wrap(bool wrap) { wrap_ = wrap; }
  bool plays_backwards() const;

  DWORD channel() const { return channel_; }
  unsigned bytes_per_frame() const { return bytes_per_frame_; }

 private:
  size_t pull_once(float* out, size_t frames);
  bool wrap_to_start();

  DWORD channel_;
  unsigned channels_;
  unsigned bytes_per_frame_;
  bool wrap_ = false;
  bool stalled_ = false;
  std::vector<int16_t> pcm_;
};

}  // namespace tav::bfxs
