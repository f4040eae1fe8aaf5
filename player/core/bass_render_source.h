// The render's source: a decoding stream of its own over the file, made by
// the audio library (not from memory, the whole file, decode only).
#pragma once

#include <cstdint>
#include <string>

#include "player/core/wav_render.h"

namespace tav::player {

class TBassRenderSource final : public IRenderSource {
 public:
  // An 8-bit path in the system code page, as the engine keeps file names.
  explicit TBassRenderSource(std::string file) : file_(std::move(file)) {}
  ~TBassRenderSource() override { Close(); }
  bool Open(int64_t start, TWavFormat& format) override;
  int32_t Read(uint8_t* buffer, int32_t bytes) override;
  void Close() override;

 private:
  std::string file_;
  uint32_t stream_ = 0;
};

}  // namespace tav::player
