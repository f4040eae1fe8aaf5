#include "wav_writer.h"

#include <cstring>

namespace tav::audio {

namespace {
void put_le(uint8_t* p, uint32_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<uint8_t>(v >> (8 * i));
}
}  // namespace

WavWriter::WavWriter(const std::string& path, unsigned rate, unsigned channels)
    : rate_(rate), channels_(channels) {
  file_ = std::fopen(path.c_str(), "wb");
  if (file_) write_header();
}

WavWriter::~WavWriter() {
  if (file_) std::fclose(file_);
}

void WavWriter::write_header() {
  uint8_t h[44];
  const uint32_t data = data_bytes_ > 0xFFFFFFD3u ? 0xFFFFFFD3u : static_cast<uint32_t>(data_bytes_);
  std::memcpy(h, "RIFF", 4);
  put_le(h + 4, data + 36, 4);
  std::memcpy(h + 8, "WAVEfmt ", 8);
  put_le(h + 16, 16, 4);
  put_le(h + 20, 1, 2);
  put_le(h + 22, channels_, 2);
  put_le(h + 24, rate_, 4);
  put_le(h + 28, rate_ * channels_ * 2, 4);
  put_le(h + 32, channels_ * 2, 2);
  put_le(h + 34, 16, 2);
  std::memcpy(h + 36, "data", 4);
  put_le(h + 40, data, 4);
  std::fseek(file_, 0, SEEK_SET);
  std::fwrite(h, 1, sizeof h, file_);
  std::fseek(file_, 0, SEEK_END);
}

void WavWriter::write(const int16_t* frames, size_t count) {
  if (!file_ || count == 0) return;
  const size_t samples = count * channels_;
  // WAV data is little-endian; every build target is little-endian.
  std::fwrite(frames, sizeof(int16_t), samples, file_);
  data_bytes_ += samples * sizeof(int16_t);
  write_header();
  std::fflush(file_);
}

}  // namespace tav::audio
