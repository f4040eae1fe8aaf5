// WAV files: RIFF "WAVE" with a "fmt " chunk (PCM, IEEE float or the extensible
// form of either) and a "data" chunk.
#include <cstring>

#include "bass.h"
#include "pcm_decoder.h"

namespace tav::audio {

namespace {

constexpr uint16_t kTagPcm = 1;
constexpr uint16_t kTagFloat = 3;
constexpr uint16_t kTagExtensible = 0xFFFE;
constexpr uint32_t kUnknownDataSize = 0xFFFFFFFFu;  // written by streaming writers: data runs to the end

uint16_t le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t le32(const uint8_t* p) { return p[0] | (p[1] << 8) | (p[2] << 16) | (static_cast<uint32_t>(p[3]) << 24); }

}  // namespace

std::unique_ptr<Decoder> open_wav(std::unique_ptr<ByteSource>& source, int& error) {
  uint8_t head[12];
  source->seek(0);
  if (!source->read_exact(head, 12) || std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) {
    error = BASS_ERROR_FILEFORM;
    return nullptr;
  }
  error = BASS_ERROR_FILEFORM;  // a WAV file from here on: any failure is a damaged one
  const uint64_t file_size = source->size();
  bool have_fmt = false;
  uint16_t tag = 0, channels = 0, block_align = 0, bits = 0;
  uint32_t rate = 0;
  uint64_t pos = 12;
  while (pos + 8 <= file_size) {
    uint8_t ch[8];
    if (!source->seek(pos) || !source->read_exact(ch, 8)) return nullptr;
    const uint32_t size = le32(ch + 4);
    const uint64_t body = pos + 8;
    if (std::memcmp(ch, "fmt ", 4) == 0) {
      if (size < 16 || body + size > file_size) return nullptr;
      uint8_t f[40] = {};
      const size_t n = size < sizeof f ? size : sizeof f;
      if (!source->read_exact(f, n)) return nullptr;
      tag = le16(f);
      channels = le16(f + 2);
      rate = le32(f + 4);
      block_align = le16(f + 12);
      bits = le16(f + 14);
      if (tag == kTagExtensible) {
        if (n < 40) return nullptr;
        tag = le16(f + 24);  // the sub-format GUID starts with the format tag
      }
      have_fmt = true;
    } else if (std::memcmp(ch, "data", 4) == 0) {
      if (!have_fmt) return nullptr;
      if (channels == 0 || channels > kMaxChannels || rate < kMinFileRate || rate > kMaxFileRate || block_align == 0 ||
          block_align % channels != 0) {
        error = BASS_ERROR_FORMAT;
        return nullptr;
      }
      const unsigned sample_bytes = block_align / channels;
      PcmLayout layout;
      if (tag == kTagPcm && sample_bytes >= 1 && sample_bytes <= 4 && bits >= 1 && bits <= sample_bytes * 8) {
        static constexpr PcmEncoding kInt[] = {PcmEncoding::U8, PcmEncoding::S16, PcmEncoding::S24, PcmEncoding::S32};
        layout.encoding = kInt[sample_bytes - 1];
      } else if (tag == kTagFloat && sample_bytes == 4) {
        layout.encoding = PcmEncoding::F32;
      } else if (tag == kTagFloat && sample_bytes == 8) {
        layout.encoding = PcmEncoding::F64;
      } else {
        error = BASS_ERROR_FORMAT;
        return nullptr;
      }
      const uint64_t available = file_size - body;
      uint64_t data_bytes = size;
      if (size == kUnknownDataSize)
        data_bytes = available;
      else if (data_bytes > available)
        return nullptr;  // the header claims more sound than the file holds
      layout.data_offset = body;
      layout.frames = data_bytes / block_align;
      if (layout.frames == 0) {
        error = BASS_ERROR_EMPTY;
        return nullptr;
      }
      StreamFormat format;
      format.rate = rate;
      format.channels = channels;
      format.original_bits = tag == kTagFloat ? 32 : bits;
      format.ctype = BASS_CTYPE_STREAM_WAV;
      error = BASS_OK;
      return std::make_unique<PcmDecoder>(std::move(source), format, layout);
    }
    pos = body + size + (size & 1);
  }
  return nullptr;
}

}  // namespace tav::audio
