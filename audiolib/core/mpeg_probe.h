// Recognising MPEG audio (layers I to III) by its frame headers before any decoder sees
// the bytes. MPEG audio has no file signature, and an 11-bit frame sync turns up by chance
// in any large file (tracker modules' 8-bit samples, executables, images), so a file is
// taken only on positive evidence at its very start: after ID3v2 tags and a short run of
// zero padding there must be a Xing, Info or VBRI frame, or several consecutive frame
// headers that agree and chain by their frame lengths.
#pragma once

#include <cstdint>
#include <optional>

#include "byte_source.h"

namespace tav::audio {

struct MpegFrameHeader {
  unsigned version = 0;  // 1 (MPEG-1), 2 (MPEG-2) or 25 (MPEG-2.5)
  unsigned layer = 0;    // 1..3
  unsigned rate = 0;
  unsigned channels = 0;  // 1 or 2
  unsigned frame_bytes = 0;
  unsigned side_info_bytes = 0;  // layer III only

  // Frames of one stream agree on these.
  bool same_stream(const MpegFrameHeader& o) const {
    return version == o.version && layer == o.layer && rate == o.rate && channels == o.channels;
  }
};

// The header in the 4 bytes given, or nothing when they are not a valid one (free-format
// bitrates, reserved fields and bad indices are refused).
std::optional<MpegFrameHeader> parse_mpeg_header(const uint8_t* b);

struct MpegStart {
  uint64_t offset = 0;  // the first frame
  MpegFrameHeader header;
};

inline constexpr unsigned kMpegChainFrames = 4;        // consecutive agreeing headers that prove a stream
inline constexpr uint64_t kMpegMaxPadding = 64 * 1024;  // zero bytes allowed before the first frame

// The first frame when the source starts as an MPEG audio stream; nothing otherwise. Reads
// from the start and leaves the position anywhere.
std::optional<MpegStart> probe_mpeg_audio(ByteSource& source);

// The offset where the stream stops being one format: the first chained frame whose rate,
// channel count, version or layer differ from the first frame's. The source's size when
// every frame agrees or when the chain breaks (junk and trailing tags are the decoder's
// business). Reads the whole file header by header.
uint64_t mpeg_uniform_end(ByteSource& source, const MpegStart& start);

}  // namespace tav::audio
