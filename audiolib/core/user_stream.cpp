#include "user_stream.h"

#include <algorithm>
#include <cstring>

#include "library_config.h"
#include "sample_convert.h"
#include "wait_hook.h"

namespace tav::audio {

namespace {
// The stream whose procedure this thread is running (the update thread, inside refill()).
thread_local const UserStream* t_filling = nullptr;

class FillingScope {
 public:
  explicit FillingScope(const UserStream* stream) : previous_(t_filling) { t_filling = stream; }
  ~FillingScope() { t_filling = previous_; }
  FillingScope(const FillingScope&) = delete;
  FillingScope& operator=(const FillingScope&) = delete;

 private:
  const UserStream* previous_;
};
}  // namespace

UserStream::UserStream(unsigned rate, unsigned channels, uint32_t flags, STREAMPROC* proc, void* user,
                       unsigned buffer_ms, uint32_t device_number, const LibraryConfig* config)
    : Channel(rate, channels, flags, BASS_CTYPE_STREAM),
      proc_(proc),
      user_(user),
      device_number_(device_number),
      config_(config),
      sample_bytes_((flags & BASS_SAMPLE_FLOAT) ? 4 : (flags & BASS_SAMPLE_8BITS) ? 1 : 2),
      capacity_frames_(std::max<size_t>(1, static_cast<size_t>(uint64_t{rate} * buffer_ms / 1000))) {
  ring_.resize(capacity_frames_ * channels);
  // The update thread fills and runs the chain in these: they are never allocated there.
  fill_buffer_.reserve(capacity_frames_ * channels * sample_bytes_);
  work_.reserve(capacity_frames_ * channels);
  chain.reserve(capacity_frames_ * channels);
}

void UserStream::flush() {
  ++generation_;  // a fill running now is dropped
  read_frame_ = 0;
  filled_frames_ = 0;
  phase_ = 0;
  ending_ = false;
}

void UserStream::play(bool restart) {
  std::lock_guard lock(state_mutex_);
  if (restart) flush();
  state_ = State::Playing;
  fault_ = BASS_OK;
}

void UserStream::wait_for_fill() {
  if (t_filling == this) return;  // the procedure itself: its call ends when it returns
  lock_while_serving(proc_mutex_);
  proc_mutex_.unlock();
}

void UserStream::pause() {
  {
    std::lock_guard lock(state_mutex_);
    if (state_ == State::Playing) state_ = State::Paused;
  }
  wait_for_fill();  // a running procedure call ends first; what it wrote stays buffered
}

void UserStream::stop() {
  {
    std::lock_guard lock(state_mutex_);
    state_ = State::Stopped;
    flush();  // a later play starts with what the procedure writes then
  }
  wait_for_fill();
}

void UserStream::stop_after_fault(int error) {
  std::lock_guard lock(state_mutex_);
  state_ = State::Stopped;
  flush();
  fault_ = error;
}

int UserStream::fault() {
  std::lock_guard lock(state_mutex_);
  return fault_;
}

uint32_t UserStream::activity() {
  std::lock_guard lock(state_mutex_);
  switch (state_) {
    case State::Playing: return BASS_ACTIVE_PLAYING;
    case State::Paused: return BASS_ACTIVE_PAUSED;
    default: return BASS_ACTIVE_STOPPED;
  }
}

void UserStream::push(const uint8_t* data, size_t frames) {
  size_t write = (read_frame_ + filled_frames_) % capacity_frames_;
  for (size_t f = 0; f < frames; ++f) {
    int16_t* dst = &ring_[write * channels_];
    const uint8_t* src = data + f * channels_ * sample_bytes_;
    for (unsigned c = 0; c < channels_; ++c) {
      if (sample_bytes_ == 2) {
        int16_t v;
        std::memcpy(&v, src + c * 2, 2);
        dst[c] = v;
      } else if (sample_bytes_ == 1) {
        dst[c] = static_cast<int16_t>((src[c] - 128) * 256);
      } else {
        float v;
        std::memcpy(&v, src + c * 4, 4);
        dst[c] = float_to_int16(v);
      }
    }
    write = (write + 1) % capacity_frames_;
  }
  filled_frames_ += frames;
}

void UserStream::refill() {
  std::lock_guard proc_lock(proc_mutex_);
  FillingScope filling(this);
  size_t free_frames = 0;
  uint64_t generation = 0;
  {
    std::lock_guard lock(state_mutex_);
    if (state_ != State::Playing || ending_) return;
    free_frames = capacity_frames_ - filled_frames_;
    generation = generation_;
  }
  if (free_frames == 0) return;
  const size_t frame_size = size_t{channels_} * sample_bytes_;
  const size_t bytes = free_frames * frame_size;
  fill_buffer_.resize(bytes);
  requested_bytes_ += bytes;
  const DWORD result = proc_(handle, fill_buffer_.data(), static_cast<DWORD>(bytes), user_);
  const bool end = (result & BASS_STREAMPROC_END) != 0;
  const size_t written = result == static_cast<DWORD>(-1) ? 0 : std::min<size_t>(result & ~BASS_STREAMPROC_END, bytes);
  run_chain(written / frame_size);
  std::lock_guard lock(state_mutex_);
  if (generation != generation_ || state_ == State::Stopped) return;
  push(fill_buffer_.data(), written / frame_size);
  if (end || result == static_cast<DWORD>(-1)) ending_ = true;
}

void UserStream::run_chain(size_t frames) {
  ChannelGuard guard(*this);  // API calls change the chain meanwhile
  if (chain.empty() || frames == 0) return;
  const size_t samples = frames * channels_;
  work_.resize(samples);
  uint8_t* data = fill_buffer_.data();
  for (size_t i = 0; i < samples; ++i) {
    if (sample_bytes_ == 2) {
      int16_t v;
      std::memcpy(&v, data + 2 * i, 2);
      work_[i] = static_cast<float>(v) * (1.0f / kInt16Scale);
    } else if (sample_bytes_ == 1) {
      work_[i] = static_cast<float>(data[i] - 128) * (1.0f / 128.0f);
    } else {
      std::memcpy(&work_[i], data + 4 * i, 4);
    }
  }
  chain.run(work_.data(), frames, channels_, handle, config_ && config_->float_dsp);
  for (size_t i = 0; i < samples; ++i) {
    if (sample_bytes_ == 2) {
      const int16_t v = float_to_int16(work_[i]);
      std::memcpy(data + 2 * i, &v, 2);
    } else if (sample_bytes_ == 1) {
      data[i] = static_cast<uint8_t>((float_to_int16(work_[i]) >> 8) + 128);
    } else {
      std::memcpy(data + 4 * i, &work_[i], 4);
    }
  }
}

bool UserStream::playing() {
  std::lock_guard lock(state_mutex_);
  return state_ == State::Playing;
}

float UserStream::sample(size_t frame_index, unsigned channel) const {
  return static_cast<float>(ring_[((read_frame_ + frame_index) % capacity_frames_) * channels_ + channel]);
}

size_t UserStream::mix_into(float* acc, size_t frames, unsigned device_rate, unsigned device_channels) {
  const int64_t now = steady_clock_us();
  float volume, freq;
  {
    std::lock_guard attributes(lock);  // the lock the API writes them under
    volume = volume_.value_at(now);
    freq = freq_.value_at(now);
  }
  std::lock_guard state(state_mutex_);
  if (state_ != State::Playing) return 0;
  const double step = static_cast<double>(freq) / device_rate;
  const float from = last_volume_ < 0 ? volume : last_volume_;
  last_volume_ = volume;

  // Stream channels onto device channels: mono to all, the rest in turn (extras at half level).
  size_t done = 0;
  for (; done < frames; ++done) {
    if (filled_frames_ == 0) break;
    const bool need_next = phase_ != 0;
    if (need_next && filled_frames_ < 2 && !ending_) break;  // wait for more data
    const float v = (from == volume ? volume : from + (volume - from) * static_cast<float>(done) / frames) *
                    (1.0f / kInt16Scale);
    float* out = acc + done * device_channels;
    for (unsigned c = 0; c < channels_; ++c) {
      float s = sample(0, c);
      if (need_next) {
        const float b = filled_frames_ >= 2 ? sample(1, c) : s;
        s += (b - s) * static_cast<float>(phase_);
      }
      s *= v;
      if (channels_ == 1) {
        for (unsigned d = 0; d < device_channels; ++d) out[d] += s;
      } else {
        out[c % device_channels] += c < device_channels ? s : 0.5f * s;
      }
    }
    phase_ += step;
    while (phase_ >= 1.0 && filled_frames_ > 0) {
      phase_ -= 1.0;
      read_frame_ = (read_frame_ + 1) % capacity_frames_;
      --filled_frames_;
    }
  }
  if (ending_ && filled_frames_ == 0) {
    state_ = State::Stopped;
    flush();
  }
  return done;
}

}  // namespace tav::audio
