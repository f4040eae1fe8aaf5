#include "pcm_decoder.h"

#include <algorithm>
#include <cstring>

namespace tav::audio {

namespace {

constexpr size_t kReadChunkFrames = 4096;

uint64_t load(const uint8_t* p, unsigned bytes, bool big_endian) {
  uint64_t v = 0;
  if (big_endian)
    for (unsigned i = 0; i < bytes; ++i) v = (v << 8) | p[i];
  else
    for (unsigned i = bytes; i-- > 0;) v = (v << 8) | p[i];
  return v;
}

int64_t sign_extend(uint64_t v, unsigned bits) {
  const uint64_t m = uint64_t{1} << (bits - 1);
  return static_cast<int64_t>((v ^ m) - m);
}

}  // namespace

unsigned pcm_sample_bytes(PcmEncoding encoding) {
  switch (encoding) {
    case PcmEncoding::U8:
    case PcmEncoding::S8: return 1;
    case PcmEncoding::S16: return 2;
    case PcmEncoding::S24: return 3;
    case PcmEncoding::S32:
    case PcmEncoding::F32: return 4;
    case PcmEncoding::F64: return 8;
  }
  return 0;
}

void decode_pcm(const uint8_t* in, float* out, size_t samples, PcmEncoding encoding, bool big_endian) {
  const unsigned bytes = pcm_sample_bytes(encoding);
  for (size_t i = 0; i < samples; ++i, in += bytes) {
    const uint64_t v = load(in, bytes, big_endian);
    switch (encoding) {
      case PcmEncoding::U8: out[i] = (static_cast<float>(v) - 128.0f) * (1.0f / 128.0f); break;
      case PcmEncoding::S8: out[i] = static_cast<float>(sign_extend(v, 8)) * (1.0f / 128.0f); break;
      case PcmEncoding::S16: out[i] = static_cast<float>(sign_extend(v, 16)) * (1.0f / 32768.0f); break;
      case PcmEncoding::S24: out[i] = static_cast<float>(sign_extend(v, 24)) * (1.0f / 8388608.0f); break;
      case PcmEncoding::S32:
        out[i] = static_cast<float>(static_cast<double>(sign_extend(v, 32)) * (1.0 / 2147483648.0));
        break;
      case PcmEncoding::F32: {
        const uint32_t w = static_cast<uint32_t>(v);
        float f;
        std::memcpy(&f, &w, 4);
        out[i] = f;
        break;
      }
      case PcmEncoding::F64: {
        double d;
        std::memcpy(&d, &v, 8);
        out[i] = static_cast<float>(d);
        break;
      }
    }
  }
}

PcmDecoder::PcmDecoder(std::unique_ptr<ByteSource> source, const StreamFormat& format, const PcmLayout& layout)
    : source_(std::move(source)), layout_(layout), frame_bytes_(pcm_sample_bytes(layout.encoding) * format.channels) {
  format_ = format;
  source_->seek(layout_.data_offset);
}

size_t PcmDecoder::read(float* out, size_t frames) {
  size_t done = 0;
  frames = static_cast<size_t>(std::min<uint64_t>(frames, layout_.frames - position_));
  while (done < frames) {
    const size_t n = std::min(frames - done, kReadChunkFrames);
    raw_.resize(n * frame_bytes_);
    const size_t got = source_->read(raw_.data(), raw_.size()) / frame_bytes_;
    decode_pcm(raw_.data(), out + done * format_.channels, got * format_.channels, layout_.encoding, layout_.big_endian);
    done += got;
    position_ += got;
    if (got < n) {  // the file ended before its header said: resynchronise and report the end
      layout_.frames = position_;
      source_->seek(layout_.data_offset + position_ * frame_bytes_);
      break;
    }
  }
  return done;
}

bool PcmDecoder::seek(uint64_t frame) {
  if (frame > layout_.frames) return false;
  if (!source_->seek(layout_.data_offset + frame * frame_bytes_)) return false;
  position_ = frame;
  return true;
}

}  // namespace tav::audio
