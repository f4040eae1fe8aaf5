#include "mpeg_probe.h"

#include <cstring>

namespace tav::audio {

namespace {

// kbit/s by [version is MPEG-1][layer - 1][index - 1]
constexpr unsigned kBitrates[2][3][14] = {
    {{32, 48, 56, 64, 80, 96, 112, 128, 144, 160, 176, 192, 224, 256},
     {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160},
     {8, 16, 24, 32, 40, 48, 56, 64, 80, 96, 112, 128, 144, 160}},
    {{32, 64, 96, 128, 160, 192, 224, 256, 288, 320, 352, 384, 416, 448},
     {32, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 384},
     {32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320}},
};
constexpr unsigned kRates[3] = {44100, 48000, 32000};

constexpr size_t kId3HeaderBytes = 10;

// Bytes of an ID3v2 tag starting at b (header, body and footer); 0 when b is none.
uint64_t id3v2_bytes(const uint8_t* b) {
  if (std::memcmp(b, "ID3", 3) != 0 || b[3] == 0xFF || b[4] == 0xFF) return 0;
  uint64_t body = 0;
  for (int i = 6; i < 10; ++i) {
    if (b[i] & 0x80) return 0;
    body = (body << 7) | b[i];
  }
  return kId3HeaderBytes + body + ((b[5] & 0x10) ? kId3HeaderBytes : 0);
}

bool read_at(ByteSource& s, uint64_t at, void* dst, size_t n) { return s.seek(at) && s.read_exact(dst, n); }

// Whether the frame at `at` carries a Xing/Info or VBRI header (written by encoders into a
// silent first frame).
bool has_vbr_tag(ByteSource& s, uint64_t at, const MpegFrameHeader& h) {
  if (h.layer != 3) return false;
  char tag[4];
  const uint64_t xing = at + 4 + h.side_info_bytes;
  if (xing + 4 <= at + h.frame_bytes && read_at(s, xing, tag, 4) &&
      (std::memcmp(tag, "Xing", 4) == 0 || std::memcmp(tag, "Info", 4) == 0))
    return true;
  return 4 + 32 + 4 <= h.frame_bytes && read_at(s, at + 4 + 32, tag, 4) && std::memcmp(tag, "VBRI", 4) == 0;
}

}  // namespace

std::optional<MpegFrameHeader> parse_mpeg_header(const uint8_t* b) {
  if (b[0] != 0xFF || (b[1] & 0xE0) != 0xE0) return std::nullopt;
  const unsigned version_bits = (b[1] >> 3) & 3, layer_bits = (b[1] >> 1) & 3;
  const unsigned bitrate_index = b[2] >> 4, rate_index = (b[2] >> 2) & 3;
  if (version_bits == 1 || layer_bits == 0 || bitrate_index == 0 || bitrate_index == 15 || rate_index == 3 ||
      (b[3] & 3) == 2)
    return std::nullopt;
  MpegFrameHeader h;
  h.version = version_bits == 3 ? 1 : version_bits == 2 ? 2 : 25;
  h.layer = 4 - layer_bits;
  const bool mpeg1 = h.version == 1;
  h.rate = kRates[rate_index] >> (mpeg1 ? 0 : h.version == 2 ? 1 : 2);
  h.channels = (b[3] >> 6) == 3 ? 1 : 2;
  const unsigned bitrate = kBitrates[mpeg1][h.layer - 1][bitrate_index - 1] * 1000;
  const unsigned padding = (b[2] >> 1) & 1;
  if (h.layer == 1) h.frame_bytes = (12 * bitrate / h.rate + padding) * 4;
  else if (h.layer == 3 && !mpeg1) h.frame_bytes = 72 * bitrate / h.rate + padding;
  else h.frame_bytes = 144 * bitrate / h.rate + padding;
  if (h.layer == 3) h.side_info_bytes = mpeg1 ? (h.channels == 1 ? 17 : 32) : (h.channels == 1 ? 9 : 17);
  if (h.frame_bytes < 4 + h.side_info_bytes) return std::nullopt;
  return h;
}

std::optional<MpegStart> probe_mpeg_audio(ByteSource& source) {
  const uint64_t size = source.size();
  uint64_t at = 0;
  uint8_t head[kId3HeaderBytes];
  // ID3v2 tags (some files carry more than one)
  while (read_at(source, at, head, sizeof head)) {
    const uint64_t tag = id3v2_bytes(head);
    if (tag == 0) break;
    at += tag;
  }
  // a short run of zero padding
  const uint64_t padding_end = at + kMpegMaxPadding;
  uint8_t b[4];
  for (;;) {
    if (!read_at(source, at, b, 1)) return std::nullopt;
    if (b[0] != 0) break;
    if (++at > padding_end) return std::nullopt;
  }
  if (!read_at(source, at, b, 4)) return std::nullopt;
  const auto first = parse_mpeg_header(b);
  if (!first) return std::nullopt;
  const MpegStart start{at, *first};
  if (has_vbr_tag(source, at, *first)) return start;
  // or consecutive frames that agree; a short file whose frames chain exactly to its end
  // (or to a trailing tag) counts when it holds at least two
  uint64_t next = at + first->frame_bytes;
  for (unsigned frames = 1; frames < kMpegChainFrames; ++frames) {
    if (next == size || (frames >= 2 && read_at(source, next, b, 3) && std::memcmp(b, "TAG", 3) == 0))
      return frames >= 2 ? std::optional(start) : std::nullopt;
    if (!read_at(source, next, b, 4)) return std::nullopt;
    const auto h = parse_mpeg_header(b);
    if (!h || !h->same_stream(*first)) return std::nullopt;
    next += h->frame_bytes;
  }
  return start;
}

uint64_t mpeg_uniform_end(ByteSource& source, const MpegStart& start) {
  const uint64_t size = source.size();
  uint64_t at = start.offset;
  uint8_t b[4];
  while (read_at(source, at, b, 4)) {
    const auto h = parse_mpeg_header(b);
    if (!h) break;
    if (!h->same_stream(start.header)) return at;
    at += h->frame_bytes;
  }
  return size;
}

}  // namespace tav::audio
