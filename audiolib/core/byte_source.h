// Where a decoder reads its file bytes from: a file (or a window of one) or a memory block.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>

namespace tav::audio {

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Reads up to n bytes; fewer only at the end.
  virtual size_t read(void* dst, size_t n) = 0;
  // Seeks within 0..size(); false and no change beyond it.
  virtual bool seek(uint64_t pos) = 0;
  virtual uint64_t tell() const = 0;
  virtual uint64_t size() const = 0;
  // False for a source read as it arrives (a network stream): seeks then reach only the
  // bytes already received, and decoders must not look for the end.
  virtual bool seekable() const { return true; }

  // Told once the decoder is open, with the stream's bytes per second where the decoder
  // knows them (0 when not): a network stream's reads stop waiting then.
  virtual void opened(unsigned bytes_per_second) { (void)bytes_per_second; }
  // True while too little has arrived to decode on (a network stream that ran dry).
  virtual bool stalled() { return false; }
  // False while a transfer still brings more bytes: a short read then means only that
  // they have not arrived yet, not the end.
  virtual bool complete() const { return true; }
  // The error code of the last seek that failed (0 when the source has none to tell).
  virtual int seek_error() const { return 0; }

  // What size() reports for a source whose length is not known.
  static constexpr uint64_t kOpenEndedSize = uint64_t{1} << 62;

  // Reads exactly n bytes or fails.
  bool read_exact(void* dst, size_t n) { return read(dst, n) == n; }
};

// Opens `path` (8-bit, the platform's code page); `length` 0 = to the end of the file.
// Null when the file cannot be opened or the window lies outside it.
std::unique_ptr<ByteSource> open_file_source(const std::string& path, uint64_t offset, uint64_t length);
// The first `size` bytes of `inner`, as a source of that size.
std::unique_ptr<ByteSource> window_source(std::unique_ptr<ByteSource> inner, uint64_t size);
// The block must stay valid while the source is used.
std::unique_ptr<ByteSource> memory_source(const void* data, uint64_t size);
// What a file-opening call of the C interface names: a memory block (`in_memory`, from
// `offset`, `length` bytes) or a file path. Null with a BASS_ERROR_* code in `error`.
std::unique_ptr<ByteSource> call_source(bool in_memory, const void* file, uint64_t offset, uint64_t length, int& error);

}  // namespace tav::audio
