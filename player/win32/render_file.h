// The render's target: the WAV file through the toolkit's file stream, whose
// errors (create, write) reach the render's outcome as their messages.
#pragma once

#include <memory>
#include <string>

#include "player/core/wav_render.h"
#include "toolkit/win32/streams.h"

namespace tav::player {

class TFileRenderSink final : public IRenderSink {
 public:
  explicit TFileRenderSink(std::wstring fileName) : fileName_(std::move(fileName)) {}
  void Create() override { stream_ = std::make_unique<TFileStream>(fileName_, fmCreate); }
  void Write(const uint8_t* data, uint32_t bytes) override { stream_->WriteBuffer(data, bytes); }
  void WriteAt(uint64_t offset, const uint8_t* data, uint32_t bytes) override {
    stream_->SetPosition(static_cast<int64_t>(offset));
    stream_->WriteBuffer(data, bytes);
  }
  uint64_t Size() override { return static_cast<uint64_t>(stream_->Size()); }
  void Close() override { stream_.reset(); }

 private:
  std::wstring fileName_;
  std::unique_ptr<TFileStream> stream_;
};

}  // namespace tav::player
