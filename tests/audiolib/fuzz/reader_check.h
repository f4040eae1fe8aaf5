// What every opened or refused file must satisfy, for the fuzzers of the PCM readers and
// the replay of their corpus: a refusal carries a library error code; an opened file has a
// sane format, reads exactly its length and seeks within it.
#pragma once

#include <memory>
#include <vector>

#include "bass.h"
#include "decoder.h"

namespace tav::audio::fuzz {

// The rule a result breaks, or null when it keeps them all.
inline const char* check_reader_result(const std::unique_ptr<Decoder>& decoder, int error) {
  if (!decoder) return error == BASS_OK ? "refused without an error code" : nullptr;
  const StreamFormat& f = decoder->format();
  if (f.channels == 0 || f.channels > kMaxChannels || f.rate < kMinFileRate || f.rate > kMaxFileRate)
    return "format out of range";
  const uint64_t length = decoder->length_frames();
  if (length == 0 || length == Decoder::kUnknownLength) return "no length";

  std::vector<float> block(size_t{1024} * f.channels);
  uint64_t total = 0;
  for (;;) {
    const size_t got = decoder->read(block.data(), 1024);
    if (got > 1024) return "read more than asked";
    total += got;
    if (got < 1024) break;
    if (total > length) return "read past the length";
  }
  // A file shorter than its header says ends early, and its length then says so.
  if (total != decoder->length_frames()) return "frames read differ from the length";
  if (decoder->read(block.data(), 1) != 0) return "read after the end";

  const uint64_t end = decoder->length_frames();
  if (decoder->seek(end + 1)) return "seek past the end accepted";
  if (!decoder->seek(end / 2) || decoder->read(block.data(), 1) != 1) return "seek inside refused";
  if (!decoder->seek(0)) return "seek to 0 refused";
  return nullptr;
}

}  // namespace tav::audio::fuzz
