// A file read from the network as it arrives. The platform's client (WinINet in bass.dll)
// is a NetReader. A download thread per stream fills a bounded ring buffer; the stream
// keeps the bytes that have arrived ahead of the reader and some behind it, drops older
// ones, and so holds the same memory however long it plays.
//
// Until the decoder is open, reads wait for the bytes they need (the format probes run on
// the caller's thread, within the network timeout). From then on reads take only what has
// arrived and never wait: a stream whose buffer runs low reports itself stalled, and goes
// on once the prebuffer has filled again or the transfer has ended; it starts so, too. The
// prebuffer counts the stream's time once the decoder knows its bytes per second. A seek inside the
// buffer is served from it; a seek outside it opens the address again from that byte (a
// range request over http, a restart offset over ftp), and fails when the server cannot.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "byte_source.h"

namespace tav::audio {

class NetReader {
 public:
  static constexpr uint64_t kUnknownLength = ~uint64_t{0};
  virtual ~NetReader() = default;  // closes the connection
  // Blocks until at least one byte arrives; 0 at the end of the transfer (or when the
  // connection is lost or aborted).
  virtual size_t read(void* dst, size_t n) = 0;
  // The length the server announced for what this transfer sends, or kUnknownLength.
  virtual uint64_t content_length() const = 0;
  // From another thread: makes a waiting read return 0 soon.
  virtual void abort() {}
};

// Opens `url` (http, https or ftp) from byte `offset`; null with a BASS_ERROR_* code when
// the address is refused, the host cannot be reached within `timeout_ms`, the server
// answers with an error status, or (BASS_ERROR_NOTAVAIL) it cannot start at `offset`.
// Provided by the platform layer.
std::unique_ptr<NetReader> open_net_reader(const std::string& url, uint64_t offset, unsigned timeout_ms, int& error);

struct NetBufferOptions {
  size_t capacity = 256 * 1024;  // bytes held
  size_t prebuffer = 192 * 1024;  // bytes ahead of the reader before a stalled stream goes on
  unsigned prebuffer_ms = 0;      // the same in the stream's time, once its bytes per second are known
  unsigned timeout_ms = 5000;     // the longest a read waits while the decoder is opened
};

class NetworkSource : public ByteSource {
 public:
  // Called on the download thread with each block as it arrives, and once with
  // (nullptr, 0) at the end.
  using Progress = std::function<void(const void* data, size_t size)>;
  // Opens the same address again from a byte offset (null with a BASS_ERROR_* code).
  using Reconnect = std::function<std::unique_ptr<NetReader>(uint64_t offset, int& error)>;

  NetworkSource(std::unique_ptr<NetReader> reader, Reconnect reconnect, NetBufferOptions options,
                Progress progress = {});
  // Ends the download thread promptly, even while the server sends nothing.
  ~NetworkSource() override;

  size_t read(void* dst, size_t n) override;
  bool seek(uint64_t pos) override;
  uint64_t tell() const override { return pos_; }
  // The announced length, or a length no transfer reaches when the server gave none.
  uint64_t size() const override;
  bool seekable() const override { return false; }
  void opened(unsigned bytes_per_second) override;
  bool stalled() override;
  bool complete() const override;

  // The bytes of the stream that the buffer holds now.
  size_t held_bytes() const;
  // The error code of the last seek that failed.
  int seek_error() const override { return seek_error_; }
  // Bytes ahead of the reader before a stalled stream goes on.
  size_t prebuffer() const { return options_.prebuffer; }
  // What a decoder may take in one step; less ahead of the reader counts as running dry.
  static constexpr size_t kMinAhead = 16 * 1024;

 private:
  struct Transfer;
  void start(std::shared_ptr<Transfer> transfer);
  void stop();

  std::shared_ptr<Transfer> transfer_;
  Reconnect reconnect_;
  NetBufferOptions options_;
  Progress progress_;
  uint64_t pos_ = 0;
  uint64_t total_ = NetReader::kUnknownLength;
  bool live_ = false;
  bool stalled_ = false;
  int seek_error_ = 0;
};

}  // namespace tav::audio
