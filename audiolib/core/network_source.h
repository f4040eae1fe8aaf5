// A file read from the network as it arrives. The platform's client (WinINet in bass.dll)
// is a NetReader; NetworkSource keeps what has arrived, so the format probes can read the
// start again, and blocks a reader until more bytes arrive or the transfer ends.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "byte_source.h"

namespace tav::audio {

class NetReader {
 public:
  static constexpr uint64_t kUnknownLength = ~uint64_t{0};
  virtual ~NetReader() = default;  // closes the connection
  // Blocks until at least one byte arrives; 0 at the end of the transfer (or when the
  // connection is lost).
  virtual size_t read(void* dst, size_t n) = 0;
  // The length the server announced, or kUnknownLength.
  virtual uint64_t content_length() const = 0;
};

// Opens `url` (http, https or ftp) from byte `offset`; null with a BASS_ERROR_* code when
// the address is refused, the host cannot be reached within the connect timeout, or the
// server answers with an error status. Provided by the platform layer.
std::unique_ptr<NetReader> open_net_reader(const std::string& url, uint64_t offset, int& error);

class NetworkSource : public ByteSource {
 public:
  // Called with each block as it arrives, and once with (nullptr, 0) at the end.
  using Progress = std::function<void(const void* data, size_t size)>;

  explicit NetworkSource(std::unique_ptr<NetReader> reader, Progress progress = {});
  ~NetworkSource() override;

  size_t read(void* dst, size_t n) override;
  // Only to bytes that have arrived.
  bool seek(uint64_t pos) override;
  uint64_t tell() const override { return pos_; }
  // The announced length, or a length no transfer reaches when the server gave none.
  uint64_t size() const override;
  bool seekable() const override { return false; }

  static constexpr uint64_t kOpenEndedSize = uint64_t{1} << 62;

 private:
  // Reads more from the network; false at the end.
  bool fetch();

  std::unique_ptr<NetReader> reader_;
  Progress progress_;
  std::vector<uint8_t> data_;  // everything that has arrived
  uint64_t pos_ = 0;
  bool ended_ = false;
};

}  // namespace tav::audio
