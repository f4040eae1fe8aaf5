// Writes 16-bit PCM WAV files; the header is kept valid after every write.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace tav::audio {

class WavWriter {
 public:
  WavWriter(const std::string& path, unsigned rate, unsigned channels);
  ~WavWriter();
  WavWriter(const WavWriter&) = delete;
  WavWriter& operator=(const WavWriter&) = delete;

  bool ok() const { return file_ != nullptr; }
  unsigned channels() const { return channels_; }
  void write(const int16_t* frames, size_t count);

 private:
  void write_header();
  std::FILE* file_ = nullptr;
  unsigned rate_;
  unsigned channels_;
  uint64_t data_bytes_ = 0;
};

}  // namespace tav::audio
