#include "null_output.h"

#include <cstdlib>

namespace tav::audio {

NullOutput::NullOutput(unsigned rate, unsigned channels)
    : rate_(rate), channels_(channels), start_(std::chrono::steady_clock::now()) {
  if (const char* path = std::getenv(kCaptureVariable); path && *path) {
    auto writer = std::make_unique<WavWriter>(path, rate, channels);
    if (writer->ok()) capture_ = std::move(writer);
  }
}

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
  if (capture_ && audible) capture_->write(frames, audible);
}

}  // namespace tav::audio
