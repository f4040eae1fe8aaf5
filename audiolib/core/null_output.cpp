#include "null_output.h"

#include <cstdlib>

namespace tav::audio {

CaptureWriter::CaptureWriter(std::unique_ptr<WavWriter> writer)
    : writer_(std::move(writer)), channels_(writer_->channels()), thread_([this] { run(); }) {}

CaptureWriter::~CaptureWriter() {
  {
    std::lock_guard lock(mutex_);
    closing_ = true;
  }
  cv_.notify_all();
  thread_.join();
}

void CaptureWriter::queue(const int16_t* frames, size_t count) {
  {
    std::lock_guard lock(mutex_);
    pending_.insert(pending_.end(), frames, frames + count * channels_);
  }
  cv_.notify_all();
}

void CaptureWriter::run() {
  std::vector<int16_t> block;
  for (;;) {
    {
      std::unique_lock lock(mutex_);
      cv_.wait(lock, [&] { return closing_ || !pending_.empty(); });
      if (pending_.empty()) return;  // closing, and everything is written
      block.swap(pending_);
    }
    writer_->write(block.data(), block.size() / channels_);
    block.clear();
  }
}

NullOutput::NullOutput(unsigned rate, unsigned channels)
    : rate_(rate), channels_(channels), start_(std::chrono::steady_clock::now()) {
  if (const char* path = std::getenv(kCaptureVariable); path && *path) {
    auto writer = std::make_unique<WavWriter>(path, rate, channels);
    if (writer->ok()) capture_ = std::make_unique<CaptureWriter>(std::move(writer));
  }
}

NullOutput::~NullOutput() = default;

uint64_t NullOutput::clock_frames() const {
  const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now() - start_).count();
  return static_cast<uint64_t>(ns) * rate_ / 1000000000ull;
}

size_t NullOutput::writable_frames(unsigned ahead_ms) {
  uint64_t played = clock_frames() - lost_;
  if (played > written_) {  // the queue ran dry: the clock does not run ahead of the sound
    lost_ += played - written_;
    played = written_;
  }
  const uint64_t queued = written_ - played;
  const uint64_t target = static_cast<uint64_t>(rate_) * ahead_ms / 1000;
  return queued >= target ? 0 : static_cast<size_t>(target - queued);
}

void NullOutput::write(const int16_t* frames, size_t count, size_t audible) {
  written_ += count;
  if (capture_ && audible) capture_->queue(frames, audible);
}

}  // namespace tav::audio
