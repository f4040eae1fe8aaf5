#include "channel.h"

#include <algorithm>
#include <cstring>

#include "error.h"
#include "library_config.h"
#include "sample_convert.h"

namespace tav::audio {

namespace {
thread_local bool t_in_stage_read = false;
constexpr float kMinFreq = 100.0f;
constexpr float kMaxFreq = 100000.0f;
// One step of a network stream's decoding, in frames: what fits well inside the 16 kB a
// network source keeps ahead of its reader before it counts as stalled, even as PCM.
size_t network_step_frames(unsigned channels) { return std::clamp<size_t>(16384 / (8 * channels), 64, 1152); }
}  // namespace

StageReadScope::StageReadScope() : previous_(t_in_stage_read) { t_in_stage_read = true; }
StageReadScope::~StageReadScope() { t_in_stage_read = previous_; }
bool StageReadScope::active() { return t_in_stage_read; }

Channel::Channel(unsigned rate, unsigned channels, uint32_t flags, uint32_t ctype)
    : freq_(static_cast<float>(rate)), rate_(rate), channels_(channels), flags_(flags), ctype_(ctype) {}

uint32_t Channel::get_data(void* buffer, uint32_t bytes, const LibraryConfig& config) {
  if (!is_decoding()) return fail(BASS_ERROR_NOTAVAIL, static_cast<uint32_t>(-1));
  if (!buffer) return fail(BASS_ERROR_ILLPARAM, static_cast<uint32_t>(-1));
  const size_t frames = bytes / frame_bytes();
  if (frames == 0) return fail(BASS_ERROR_ILLPARAM, static_cast<uint32_t>(-1));
  // float output is produced straight into the caller's buffer; 16-bit goes through work_
  const bool direct = (flags_ & BASS_SAMPLE_FLOAT) && reinterpret_cast<uintptr_t>(buffer) % alignof(float) == 0;
  float* samples = static_cast<float*>(buffer);
  if (!direct) {
    work_.resize(frames * channels_);
    samples = work_.data();
  }
  waiting_ = false;
  const size_t got = produce(samples, frames);
  if (got == 0 && waiting_) {  // nothing has arrived: not the end
    set_error(BASS_OK);
    return 0;
  }
  if (got == 0) return fail(BASS_ERROR_ENDED, static_cast<uint32_t>(-1));
  chain.run(samples, got, channels_, handle, config.float_dsp);
  if (!(flags_ & BASS_SAMPLE_FLOAT))
    float_to_int16(samples, static_cast<int16_t*>(buffer), got * channels_);
  else if (!direct)
    std::memcpy(buffer, samples, got * channels_ * sizeof(float));
  set_error(BASS_OK);
  return static_cast<uint32_t>(got * frame_bytes());
}

bool Channel::set_position_bytes(uint64_t) { return fail(BASS_ERROR_NOTFILE, false); }

uint32_t Channel::change_flags(uint32_t flags, uint32_t mask) {
  constexpr uint32_t kChangeable = BASS_SAMPLE_LOOP | BASS_STREAM_AUTOFREE;
  mask &= kChangeable;
  const uint32_t updated = (flags_ & ~mask) | (flags & mask);
  if (updated != flags_) {
    flags_ = updated;
    on_flags_changed();
  }
  return flags_;
}

bool Channel::set_attribute(uint32_t attrib, float value) {
  switch (attrib) {
    case BASS_ATTRIB_VOL:
      volume_.set(std::max(0.0f, value));
      return true;
    case BASS_ATTRIB_FREQ:
      freq_.set(value == 0 ? static_cast<float>(rate_) : std::clamp(value, kMinFreq, kMaxFreq));
      return true;
    default:
      return set_extra_attribute(attrib, value);
  }
}

bool Channel::get_attribute(uint32_t attrib, float& value) {
  switch (attrib) {
    case BASS_ATTRIB_VOL: value = volume_.value_at(steady_clock_us()); return true;
    case BASS_ATTRIB_FREQ: value = freq_.value_at(steady_clock_us()); return true;
    default: return get_extra_attribute(attrib, value);
  }
}

bool Channel::slide_attribute(uint32_t attrib, float target, uint32_t ms) {
  const int64_t now = steady_clock_us();
  switch (attrib) {
    case BASS_ATTRIB_VOL:
      volume_.slide(std::max(0.0f, target), ms, now);
      return true;
    case BASS_ATTRIB_FREQ:
      freq_.slide(target == 0 ? static_cast<float>(rate_) : std::clamp(target, kMinFreq, kMaxFreq), ms, now);
      return true;
    default:
      return fail(BASS_ERROR_ILLTYPE, false);
  }
}

bool Channel::is_sliding(uint32_t attrib) {
  const int64_t now = steady_clock_us();
  if (attrib == BASS_ATTRIB_VOL) return volume_.sliding_at(now);
  if (attrib == BASS_ATTRIB_FREQ) return freq_.sliding_at(now);
  return false;
}

bool Channel::set_extra_attribute(uint32_t, float) { return fail(BASS_ERROR_ILLTYPE, false); }
bool Channel::get_extra_attribute(uint32_t, float&) { return fail(BASS_ERROR_ILLTYPE, false); }

FileStream::FileStream(std::unique_ptr<Decoder> decoder, uint32_t flags, ByteSource* source)
    : Channel(decoder->format().rate, decoder->format().channels, flags, decoder->format().ctype),
      decoder_(std::move(decoder)),
      source_(source) {
  original_bits = decoder_->format().original_bits;
}

uint64_t FileStream::length_bytes() {
  const uint64_t frames = decoder_->length_frames();
  return frames == Decoder::kUnknownLength ? kNoValue : frames * frame_bytes();
}

bool FileStream::set_position_bytes(uint64_t pos) {
  const uint64_t length = length_bytes();
  if (length != kNoValue && pos > length) return fail(BASS_ERROR_POSITION, false);
  const uint64_t frame = pos / frame_bytes();
  if (!decoder_->seek(frame)) return fail(BASS_ERROR_POSITION, false);
  position_ = frame;
  ended_ = false;
  chain.reset_effects();
  return true;
}

bool FileStream::stalled() {
  if (!source_) return false;
  // a stream that stopped for data says so until a read gets on again
  return waiting_ || source_->stalled();
}

size_t FileStream::produce(float* out, size_t frames) {
  if (StageReadScope::active()) source_of_stage_ = true;
  const bool loop = (flags_ & BASS_SAMPLE_LOOP) && !source_of_stage_;
  size_t done = 0;
  waiting_ = false;
  while (done < frames) {
    // a network stream decodes in small steps while enough has arrived for each
    if (source_ && source_->stalled()) {
      waiting_ = true;
      break;
    }
    const size_t want = source_ ? std::min(frames - done, network_step_frames(channels_)) : frames - done;
    const size_t got = decoder_->read(out + done * channels_, want);
    done += got;
    position_ += got;
    if (got == want) continue;
    // short of a transfer that goes on: the decoder waits for more, it has not ended
    if (source_ && !source_->complete()) {
      waiting_ = true;
      break;
    }
    if (!loop || (got == 0 && position_ == 0) || !decoder_->seek(0)) break;  // end (an empty loop never spins)
    position_ = 0;
  }
  return done;
}

}  // namespace tav::audio

#include "wait_hook.h"

namespace tav::audio {

ChannelGuard::ChannelGuard(Channel& channel) : channel_(channel) { lock_while_serving(channel_.lock); }
ChannelGuard::~ChannelGuard() { channel_.lock.unlock(); }

SeekGuard::SeekGuard(Channel& channel) : channel_(channel) {
  ++channel_.seeks;
  lock_while_serving(channel_.lock);
}
SeekGuard::~SeekGuard() {
  channel_.lock.unlock();
  --channel_.seeks;
}

ReadGuard::ReadGuard(Channel& channel) : channel_(channel) {
  for (;;) {
    if ((locked_ = channel_.lock.try_lock())) return;
    if (channel_.seeks.load() > 0) return;
    if ((locked_ = channel_.lock.try_lock_for(std::chrono::milliseconds(2)))) return;
    run_wait_hook();
  }
}
ReadGuard::~ReadGuard() {
  if (locked_) channel_.lock.unlock();
}

}  // namespace tav::audio
