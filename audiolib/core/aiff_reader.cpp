// AIFF and AIFF-C files: FORM "AIFF"/"AIFC" with a "COMM" and an "SSND" chunk.
// AIFF-C is read when uncompressed: "NONE", "twos" (big-endian), "sowt"
// (little-endian), "fl32"/"FL32" and "fl64"/"FL64".
#include <cmath>
#include <cstring>

#include "bass.h"
#include "pcm_decoder.h"

namespace tav::audio {

namespace {

uint16_t be16(const uint8_t* p) { return static_cast<uint16_t>((p[0] << 8) | p[1]); }
uint32_t be32(const uint8_t* p) { return (static_cast<uint32_t>(p[0]) << 24) | (p[1] << 16) | (p[2] << 8) | p[3]; }

// The 80-bit extended float of the COMM chunk; -1 when it is not a sane positive number.
double extended_to_double(const uint8_t* p) {
  const int exponent = ((p[0] & 0x7F) << 8) | p[1];
  uint64_t mantissa = 0;
  for (int i = 0; i < 8; ++i) mantissa = (mantissa << 8) | p[2 + i];
  if ((p[0] & 0x80) || exponent == 0x7FFF || mantissa == 0) return -1;
  const int shift = exponent - 16383 - 63;
  if (shift > 0 || shift < -80) return -1;  // far outside any sample rate
  return std::ldexp(static_cast<double>(mantissa), shift);
}

}  // namespace

std::unique_ptr<Decoder> open_aiff(std::unique_ptr<ByteSource>& source, int& error) {
  uint8_t head[12];
  source->seek(0);
  error = BASS_ERROR_FILEFORM;
  if (!source->read_exact(head, 12) || std::memcmp(head, "FORM", 4) != 0) return nullptr;
  const bool aifc = std::memcmp(head + 8, "AIFC", 4) == 0;
  if (!aifc && std::memcmp(head + 8, "AIFF", 4) != 0) return nullptr;

  const uint64_t file_size = source->size();
  bool have_comm = false;
  uint16_t channels = 0, bits = 0;
  uint32_t frames = 0;
  double rate = 0;
  PcmLayout layout;
  layout.big_endian = true;
  bool is_float = false;
  unsigned float_bytes = 0;
  uint64_t ssnd_body = 0, ssnd_size = 0;
  uint64_t pos = 12;
  while (pos + 8 <= file_size) {
    uint8_t ch[8];
    if (!source->seek(pos) || !source->read_exact(ch, 8)) return nullptr;
    const uint32_t size = be32(ch + 4);
    const uint64_t body = pos + 8;
    if (body + size > file_size) return nullptr;
    if (std::memcmp(ch, "COMM", 4) == 0) {
      uint8_t c[22] = {};
      if (size < 18 || (aifc && size < 22)) return nullptr;
      if (!source->read_exact(c, aifc ? 22 : 18)) return nullptr;
      channels = be16(c);
      frames = be32(c + 2);
      bits = be16(c + 6);
      rate = extended_to_double(c + 8);
      if (aifc) {
        const char* kind = reinterpret_cast<const char*>(c + 18);
        if (std::memcmp(kind, "sowt", 4) == 0) {
          layout.big_endian = false;
        } else if (std::memcmp(kind, "fl32", 4) == 0 || std::memcmp(kind, "FL32", 4) == 0) {
          is_float = true, float_bytes = 4;
        } else if (std::memcmp(kind, "fl64", 4) == 0 || std::memcmp(kind, "FL64", 4) == 0) {
          is_float = true, float_bytes = 8;
        } else if (std::memcmp(kind, "NONE", 4) != 0 && std::memcmp(kind, "twos", 4) != 0) {
          error = BASS_ERROR_CODEC;
          return nullptr;
        }
      }
      have_comm = true;
    } else if (std::memcmp(ch, "SSND", 4) == 0) {
      if (size < 8) return nullptr;
      ssnd_body = body;
      ssnd_size = size;
    }
    pos = body + size + (size & 1);
  }
  if (!have_comm || ssnd_size == 0) return nullptr;
  if (channels == 0 || channels > kMaxChannels || !(rate >= kMinFileRate && rate <= kMaxFileRate) ||
      (!is_float && (bits == 0 || bits > 32))) {
    error = BASS_ERROR_FORMAT;
    return nullptr;
  }
  uint8_t s[8];
  if (!source->seek(ssnd_body) || !source->read_exact(s, 8)) return nullptr;
  const uint32_t offset = be32(s);
  if (is_float) {
    layout.encoding = float_bytes == 4 ? PcmEncoding::F32 : PcmEncoding::F64;
  } else {
    static constexpr PcmEncoding kInt[] = {PcmEncoding::S8, PcmEncoding::S16, PcmEncoding::S24, PcmEncoding::S32};
    layout.encoding = kInt[(bits + 7) / 8 - 1];
  }
  const uint64_t frame_bytes = uint64_t{pcm_sample_bytes(layout.encoding)} * channels;
  if (uint64_t{offset} + 8 > ssnd_size) return nullptr;
  const uint64_t available = (ssnd_size - 8 - offset) / frame_bytes;
  if (frames > available) return nullptr;  // the header claims more sound than the chunk holds
  if (frames == 0) {
    error = BASS_ERROR_EMPTY;
    return nullptr;
  }
  layout.data_offset = ssnd_body + 8 + offset;
  layout.frames = frames;
  StreamFormat format;
  format.rate = static_cast<unsigned>(std::lround(rate));
  format.channels = channels;
  format.original_bits = is_float ? float_bytes * 8 : bits;
  format.ctype = BASS_CTYPE_STREAM_AIFF;
  error = BASS_OK;
  return std::make_unique<PcmDecoder>(std::move(source), format, layout);
}

}  // namespace tav::audio
