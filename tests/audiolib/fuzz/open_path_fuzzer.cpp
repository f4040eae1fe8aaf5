// libFuzzer target: any bytes through the whole open path, as a file stream and as a
// tracker module: detection, decoding to the end, and seeks. What opens must read exactly
// its prescanned length and seek within it; what is refused carries a code.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <vector>

#include "bass.h"
#include "decoder.h"
#include "module_decoder.h"

namespace {

// `exact`: opened with a prescan, so the length reported before decoding must be what
// decoding delivers.
const char* check(const std::unique_ptr<tav::audio::Decoder>& d, int error, bool exact) {
  using tav::audio::Decoder;
  if (!d) return error == BASS_OK ? "refused without an error code" : nullptr;
  const auto& f = d->format();
  if (f.channels == 0 || f.channels > tav::audio::kMaxChannels || f.rate == 0) return "format out of range";
  const uint64_t length = d->length_frames();
  std::vector<float> block(size_t{1024} * f.channels);
  uint64_t total = 0;
  // bounded: a module may render minutes from a few bytes
  for (int i = 0; i < 4096; ++i) {
    const size_t got = d->read(block.data(), 1024);
    if (got > 1024) return "read more than asked";
    total += got;
    if (got < 1024) {
      if (exact && length != Decoder::kUnknownLength && total != length) return "frames read differ from the length";
      break;
    }
  }
  if (length != Decoder::kUnknownLength) {
    if (d->seek(d->length_frames() + 1)) return "seek past the end accepted";
    d->seek(d->length_frames() / 2);
  }
  d->seek(0);
  d->read(block.data(), 1024);
  return nullptr;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav::audio;
  const bool prescan = size > 0 && (data[size - 1] & 1);
  int error = BASS_OK;
  auto stream = open_decoder(memory_source(data, size), DecoderOptions{prescan}, error);
  if (const char* broken = check(stream, error, prescan)) {
    std::fprintf(stderr, "stream: %s\n", broken);
    std::abort();
  }
  auto source = memory_source(data, size);
  ModuleOptions options;
  options.prescan = true;
  error = BASS_OK;
  auto module = open_module(*source, options, error);
  if (const char* broken = check(module, error, true)) {
    std::fprintf(stderr, "module: %s\n", broken);
    std::abort();
  }
  return 0;
}
