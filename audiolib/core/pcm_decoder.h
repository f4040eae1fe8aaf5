// Uncompressed sample data at a known place in a file (the body of WAV and AIFF files).
#pragma once

#include <vector>

#include "decoder.h"

namespace tav::audio {

enum class PcmEncoding { U8, S8, S16, S24, S32, F32, F64 };

struct PcmLayout {
  PcmEncoding encoding = PcmEncoding::S16;
  bool big_endian = false;
  uint64_t data_offset = 0;  // byte offset of frame 0 in the source
  uint64_t frames = 0;
};

unsigned pcm_sample_bytes(PcmEncoding encoding);

class PcmDecoder : public Decoder {
 public:
  PcmDecoder(std::unique_ptr<ByteSource> source, const StreamFormat& format, const PcmLayout& layout);
  uint64_t length_frames() const override { return layout_.frames; }
  size_t read(float* out, size_t frames) override;
  bool seek(uint64_t frame) override;
  unsigned bytes_per_second() const override { return format_.rate * frame_bytes_; }

 private:
  std::unique_ptr<ByteSource> source_;
  PcmLayout layout_;
  unsigned frame_bytes_;
  uint64_t position_ = 0;
  std::vector<uint8_t> raw_;
};

// Converts `samples` packed samples to floats.
void decode_pcm(const uint8_t* in, float* out, size_t samples, PcmEncoding encoding, bool big_endian);

}  // namespace tav::audio
