// A decoder turns a file's bytes into interleaved float frames (1.0 = full scale).
// New formats slot in by implementing Decoder and adding a probe to open_decoder().
#pragma once

#include <cstdint>
#include <memory>

#include "byte_source.h"

namespace tav::audio {

struct StreamFormat {
  unsigned rate = 0;
  unsigned channels = 0;
  unsigned original_bits = 0;  // BASS_CHANNELINFO.origres; 0 when not meaningful
  uint32_t ctype = 0;          // BASS_CTYPE_*
};

class Decoder {
 public:
  static constexpr uint64_t kUnknownLength = ~uint64_t{0};

  virtual ~Decoder() = default;
  const StreamFormat& format() const { return format_; }
  virtual uint64_t length_frames() const = 0;
  // Fills up to `frames` frames; returns fewer only at the end (0 = at the end or failed).
  virtual size_t read(float* out, size_t frames) = 0;
  // Moves to `frame` (0..length); false and no change when refused.
  virtual bool seek(uint64_t frame) = 0;
  // The file's bytes per one second of sound (a network stream's prebuffer counts in time
  // with it); 0 when not known.
  virtual unsigned bytes_per_second() const { return 0; }

 protected:
  StreamFormat format_;
};

struct DecoderOptions {
  bool prescan = false;  // exact length and seeking where the format needs a scan for it
};

// Recognises the format and opens a decoder. On failure returns null and sets `error`
// to a BASS_ERROR_* code.
std::unique_ptr<Decoder> open_decoder(std::unique_ptr<ByteSource> source, const DecoderOptions& options, int& error);

// The individual formats; each returns null when the bytes are not its format (error
// BASS_ERROR_FILEFORM) or are damaged (the code that says why).
std::unique_ptr<Decoder> open_wav(std::unique_ptr<ByteSource>& source, int& error);
std::unique_ptr<Decoder> open_aiff(std::unique_ptr<ByteSource>& source, int& error);
std::unique_ptr<Decoder> open_ogg(std::unique_ptr<ByteSource>& source, int& error);
std::unique_ptr<Decoder> open_mp3(std::unique_ptr<ByteSource>& source, const DecoderOptions& options, int& error);

// Limits every reader enforces on header values.
inline constexpr unsigned kMaxChannels = 32;
inline constexpr unsigned kMinFileRate = 1000;
inline constexpr unsigned kMaxFileRate = 384000;

}  // namespace tav::audio
