// MPEG audio through mpg123: float output, gapless, and with prescan an exact
// length and sample-exact seeking from mpg123's frame index.
#include <algorithm>
#include <cstring>
#include <mutex>
#include <vector>

#include <mpg123.h>

#include "bass.h"
#include "c_boundary.h"
#include "decoder.h"
#include "mpeg_probe.h"

namespace tav::audio {

namespace {

constexpr long kResyncLimit = 64 * 1024;  // bytes mpg123 may skip looking for the first frame

ssize_t read_cb(void* handle, void* buf, size_t n) {
  return guarded(note_callback_failure, ssize_t{-1},
                 [&] { return static_cast<ssize_t>(static_cast<ByteSource*>(handle)->read(buf, n)); });
}

off_t seek_cb(void* handle, off_t offset, int whence) {
  return guarded(note_callback_failure, off_t{-1}, [&]() -> off_t {
    auto* s = static_cast<ByteSource*>(handle);
    int64_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<int64_t>(s->tell());
    else if (whence == SEEK_END) base = static_cast<int64_t>(s->size());
    const int64_t target = base + offset;
    if (target < 0 || !s->seek(static_cast<uint64_t>(target))) return -1;
    return static_cast<off_t>(target);
  });
}

class Mp3Decoder : public Decoder {
 public:
  Mp3Decoder(mpg123_handle* mh, std::unique_ptr<ByteSource> source, const StreamFormat& format, bool exact)
      : mh_(mh), source_(std::move(source)), exact_(exact) {
    format_ = format;
    const off_t len = mpg123_length(mh_);
    length_ = len <= 0 ? kUnknownLength : static_cast<uint64_t>(len);  // 0: a stream mpg123 cannot measure
  }
  ~Mp3Decoder() override {
    mpg123_close(mh_);
    mpg123_delete(mh_);
  }

  uint64_t length_frames() const override { return length_; }

  // With a prescan the stream is exactly its scanned length: a damaged file whose frames
  // decode to fewer samples than the scan counted is padded with silence, one that gives
  // more is cut, so the position reaches the length exactly at the end.
  size_t read(float* out, size_t frames) override {
    const bool fixed = exact_ && length_ != kUnknownLength;
    if (fixed) frames = static_cast<size_t>(std::min<uint64_t>(frames, length_ > position_ ? length_ - position_ : 0));
    size_t done = 0;
    const size_t frame_bytes = sizeof(float) * format_.channels;
    while (done < frames && !ended_) {
      size_t got = 0;
      const int rc = mpg123_read(mh_, reinterpret_cast<unsigned char*>(out + done * format_.channels),
                                 (frames - done) * frame_bytes, &got);
      raise_callback_failure();
      done += got / frame_bytes;
      position_ += got / frame_bytes;
      if (rc == MPG123_NEW_FORMAT && !same_format()) ended_ = true;  // joined files: this stream ends here
      if (rc == MPG123_DONE || (rc != MPG123_OK && rc != MPG123_NEW_FORMAT) || (rc == MPG123_OK && got == 0))
        ended_ = true;
    }
    if (fixed && done < frames) {
      std::fill(out + done * format_.channels, out + frames * format_.channels, 0.0f);
      position_ += frames - done;
      done = frames;
    } else if (ended_ && exact_) {
      length_ = position_;  // no scanned length: the decoded count is the truth at the end
    }
    return done;
  }

  bool seek(uint64_t frame) override {
    if (length_ != kUnknownLength && frame > length_) return false;
    const off_t at = mpg123_seek(mh_, static_cast<off_t>(frame), SEEK_SET);
    raise_callback_failure();
    if (at < 0 && exact_ && length_ != kUnknownLength) {  // into the padding of a damaged file
      position_ = frame;
      ended_ = true;
      return true;
    }
    if (at < 0) return false;
    position_ = static_cast<uint64_t>(at);
    ended_ = false;
    return true;
  }

 private:
  bool same_format() {
    long rate = 0;
    int channels = 0, encoding = 0;
    return mpg123_getformat(mh_, &rate, &channels, &encoding) == MPG123_OK && rate == static_cast<long>(format_.rate) &&
           channels == static_cast<int>(format_.channels) && encoding == MPG123_ENC_FLOAT_32;
  }

  mpg123_handle* mh_;
  std::unique_ptr<ByteSource> source_;
  bool exact_;
  uint64_t length_;
  uint64_t position_ = 0;
  bool ended_ = false;
};

}  // namespace

std::unique_ptr<Decoder> open_mp3(std::unique_ptr<ByteSource>& source, const DecoderOptions& options, int& error) {
  static std::once_flag init_once;
  std::call_once(init_once, [] { mpg123_init(); });
  clear_callback_failure();
  error = BASS_ERROR_FILEFORM;
  const auto start = probe_mpeg_audio(*source);
  if (!start) return nullptr;
  // With a prescan the stream ends where the format first changes (files joined from
  // different encodings), so its length is what decoding delivers.
  if (options.prescan && source->seekable()) {
    const uint64_t end = mpeg_uniform_end(*source, *start);
    if (end < source->size()) source = window_source(std::move(source), end);
  }
  source->seek(0);
  int rc = 0;
  mpg123_handle* mh = mpg123_new(nullptr, &rc);
  if (!mh) {
    error = BASS_ERROR_MEM;
    return nullptr;
  }
  mpg123_param(mh, MPG123_FLAGS, MPG123_QUIET | MPG123_GAPLESS | MPG123_FORCE_FLOAT, 0);
  mpg123_param(mh, MPG123_RESYNC_LIMIT, kResyncLimit, 0);
  if (!source->seekable()) mpg123_param(mh, MPG123_ADD_FLAGS, MPG123_SEEKBUFFER, 0);  // peeks ahead instead
  mpg123_format_none(mh);
  const long* rates = nullptr;
  size_t rate_count = 0;
  mpg123_rates(&rates, &rate_count);
  for (size_t i = 0; i < rate_count; ++i) mpg123_format(mh, rates[i], MPG123_MONO | MPG123_STEREO, MPG123_ENC_FLOAT_32);

  long rate = 0;
  int channels = 0, encoding = 0;
  // A source read as it arrives refuses the seek to its end, so mpg123 treats it as a stream.
  if (mpg123_replace_reader_handle(mh, read_cb, seek_cb, nullptr) != MPG123_OK ||
      mpg123_open_handle(mh, source.get()) != MPG123_OK) {
    mpg123_delete(mh);
    raise_callback_failure();
    return nullptr;
  }
  if (mpg123_getformat(mh, &rate, &channels, &encoding) != MPG123_OK || channels < 1 || channels > 2 ||
      encoding != MPG123_ENC_FLOAT_32) {
    mpg123_close(mh);
    mpg123_delete(mh);
    raise_callback_failure();
    return nullptr;
  }
  // Every rate and channel count stays allowed: mpg123 then sizes its output for whatever a
  // later frame holds and reports the change, where the stream ends.
  if (options.prescan && mpg123_scan(mh) != MPG123_OK) {
    mpg123_close(mh);
    mpg123_delete(mh);
    raise_callback_failure();
    return nullptr;
  }
  StreamFormat format;
  format.rate = static_cast<unsigned>(rate);
  format.channels = static_cast<unsigned>(channels);
  format.ctype = BASS_CTYPE_STREAM_MP3;
  error = BASS_OK;
  return std::make_unique<Mp3Decoder>(mh, std::move(source), format, options.prescan);
}

}  // namespace tav::audio
