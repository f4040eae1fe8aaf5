// Ogg Vorbis through vorbisfile: exact length and sample-exact seeking.
#define OV_EXCLUDE_STATIC_CALLBACKS
#include <vorbis/vorbisfile.h>

#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "bass.h"
#include "c_boundary.h"
#include "decoder.h"

namespace tav::audio {

namespace {

// vorbisfile is C: a failure of the source ends its call with an error, raised again here.
size_t read_cb(void* dst, size_t size, size_t count, void* handle) {
  return guarded(note_callback_failure, size_t{0}, [&]() -> size_t {
    if (size == 0) return 0;
    return static_cast<ByteSource*>(handle)->read(dst, size * count) / size;
  });
}

int seek_cb(void* handle, ogg_int64_t offset, int whence) {
  return guarded(note_callback_failure, -1, [&] {
    auto* s = static_cast<ByteSource*>(handle);
    int64_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<int64_t>(s->tell());
    else if (whence == SEEK_END) base = static_cast<int64_t>(s->size());
    const int64_t target = base + offset;
    return target >= 0 && s->seek(static_cast<uint64_t>(target)) ? 0 : -1;
  });
}

long tell_cb(void* handle) {
  return guarded(note_callback_failure, -1L,
                 [&] { return static_cast<long>(static_cast<ByteSource*>(handle)->tell()); });
}

// Two planes into interleaved frames, four frames at a time where SSE2 is there.
void interleave_stereo(const float* left, const float* right, float* out, size_t frames) {
  size_t i = 0;
#if defined(__SSE2__)
  for (; i + 4 <= frames; i += 4) {
    const __m128 l = _mm_loadu_ps(left + i);
    const __m128 r = _mm_loadu_ps(right + i);
    _mm_storeu_ps(out + 2 * i, _mm_unpacklo_ps(l, r));
    _mm_storeu_ps(out + 2 * i + 4, _mm_unpackhi_ps(l, r));
  }
#endif
  for (; i < frames; ++i) {
    out[2 * i] = left[i];
    out[2 * i + 1] = right[i];
  }
}

class OggDecoder : public Decoder {
 public:
  OggDecoder(std::unique_ptr<ByteSource> source, OggVorbis_File* vf, const StreamFormat& format)
      : source_(std::move(source)), vf_(vf) {
    format_ = format;
    const ogg_int64_t total = ov_pcm_total(vf_, -1);
    length_ = total < 0 ? kUnknownLength : static_cast<uint64_t>(total);
  }
  ~OggDecoder() override {
    ov_clear(vf_);
    delete vf_;
  }

  uint64_t length_frames() const override { return length_; }

  size_t read(float* out, size_t frames) override {
    size_t done = 0;
    const unsigned chans = format_.channels;
    while (done < frames) {
      float** planes = nullptr;
      int section = 0;
      const long want = static_cast<long>(frames - done > 4096 ? 4096 : frames - done);
      const long got = ov_read_float(vf_, &planes, want, &section);
      raise_callback_failure();
      if (got == OV_HOLE) continue;  // a gap in the data: vorbisfile goes on after it
      if (got <= 0) break;
      const vorbis_info* info = ov_info(vf_, section);
      const unsigned have = info ? static_cast<unsigned>(info->channels) : chans;
      float* dst = out + done * chans;
      if (chans == 2 && have >= 2) {
        interleave_stereo(planes[0], planes[1], dst, static_cast<size_t>(got));
        done += static_cast<size_t>(got);
        continue;
      }
      for (unsigned c = 0; c < chans; ++c) {  // one channel at a time: a plain strided copy
        float* d = dst + c;
        if (c < have) {
          const float* src = planes[c];
          for (long i = 0; i < got; ++i) d[i * chans] = src[i];
        } else {
          for (long i = 0; i < got; ++i) d[i * chans] = 0.0f;
        }
      }
      done += static_cast<size_t>(got);
    }
    return done;
  }

  bool seek(uint64_t frame) override {
    if (length_ != kUnknownLength && frame > length_) return false;
    const bool moved = ov_pcm_seek(vf_, static_cast<ogg_int64_t>(frame)) == 0;
    raise_callback_failure();
    return moved;
  }

 private:
  std::unique_ptr<ByteSource> source_;
  OggVorbis_File* vf_;
  uint64_t length_;
};

}  // namespace

std::unique_ptr<Decoder> open_ogg(std::unique_ptr<ByteSource>& source, int& error) {
  error = BASS_ERROR_FILEFORM;
  char magic[4];
  source->seek(0);
  if (!source->read_exact(magic, 4) || std::memcmp(magic, "OggS", 4) != 0) return nullptr;
  source->seek(0);
  auto* vf = new OggVorbis_File;
  const ov_callbacks callbacks{read_cb, source->seekable() ? seek_cb : nullptr, nullptr, tell_cb};
  clear_callback_failure();
  if (ov_open_callbacks(source.get(), vf, nullptr, 0, callbacks) != 0) {
    delete vf;
    raise_callback_failure();
    error = BASS_ERROR_CODEC;  // Ogg, but not Vorbis (or a damaged header)
    return nullptr;
  }
  const vorbis_info* info = ov_info(vf, -1);
  if (!info || info->channels < 1 || info->channels > static_cast<int>(kMaxChannels) || info->rate < static_cast<long>(kMinFileRate) ||
      info->rate > static_cast<long>(kMaxFileRate)) {
    ov_clear(vf);
    delete vf;
    error = BASS_ERROR_FORMAT;
    return nullptr;
  }
  StreamFormat format;
  format.rate = static_cast<unsigned>(info->rate);
  format.channels = static_cast<unsigned>(info->channels);
  format.ctype = BASS_CTYPE_STREAM_OGG;
  error = BASS_OK;
  return std::make_unique<OggDecoder>(std::move(source), vf, format);
}

}  // namespace tav::audio
