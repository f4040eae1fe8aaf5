#include "bass_channel_source.h"

#include <algorithm>
#include <new>

#include "bass_fx.h"

namespace tav::bfxs {

namespace {
constexpr size_t kMaxPullFrames = 4096;
constexpr QWORD kNoValue = ~QWORD{0};
}  // namespace

BassChannelSource::BassChannelSource(DWORD channel, unsigned channels)
    : channel_(channel), channels_(channels), bytes_per_frame_(2 * channels), pcm_(kMaxPullFrames * channels) {}

size_t BassChannelSource::pull_once(float* out, size_t frames) {
  size_t done = 0;
  while (done < frames) {
    const size_t want = std::min(frames - done, kMaxPullFrames);
    const DWORD got = BASS_ChannelGetData(channel_, pcm_.data(), static_cast<DWORD>(want * bytes_per_frame_));
    // a source that could not allocate has not ended: the stage's callback fails instead
    if (got == DWORD(-1) && BASS_ErrorGetCode() == BASS_ERROR_MEM) throw std::bad_alloc();
    if (got == 0 || got == DWORD(-1)) break;
    const size_t samples = got / 2;
    float* dst = out + done * channels_;
    for (size_t i = 0; i < samples; ++i) dst[i] = static_cast<float>(pcm_[i]) * (1.0f / 32768.0f);
    done += got / bytes_per_frame_;
  }
  return done;
}

bool BassChannelSource::stalled() const { return BASS_ChannelIsActive(channel_) == BASS_ACTIVE_STALLED; }

size_t BassChannelSource::pull(float* out, size_t frames) {
  size_t done = pull_once(out, frames);
  if (done < frames && wrap_ && wrap_to_start())
    done += pull_once(out + done * channels_, frames - done);
  return done;
}

bool BassChannelSource::plays_backwards() const {
  float dir = 0;
  return BASS_ChannelGetAttribute(channel_, BASS_ATTRIB_REVERSE_DIR, &dir) && dir < 0;
}

bool BassChannelSource::wrap_to_start() {
  QWORD target = 0;
  if (plays_backwards()) {
    target = BASS_ChannelGetLength(channel_, BASS_POS_BYTE);
    if (target == kNoValue || target == 0) return false;
  }
  return BASS_ChannelSetPosition(channel_, target, BASS_POS_BYTE) != FALSE;
}

uint64_t BassChannelSource::length() const {
  const QWORD bytes = BASS_ChannelGetLength(channel_, BASS_POS_BYTE);
  return bytes == kNoValue ? kUnknownLength : bytes / bytes_per_frame_;
}

uint64_t BassChannelSource::position() const {
  const QWORD bytes = BASS_ChannelGetPosition(channel_, BASS_POS_BYTE);
  return bytes == kNoValue ? 0 : bytes / bytes_per_frame_;
}

bool BassChannelSource::seek(uint64_t frame) {
  // a stream that cannot seek can still be "moved" to where it already is
  if (frame == position()) return true;
  return BASS_ChannelSetPosition(channel_, frame * bytes_per_frame_, BASS_POS_BYTE) != FALSE;
}

}  // namespace tav::bfxs
