// A stream fed by a STREAMPROC and played by its device. The update thread asks the
// procedure for the free part of the stream's buffer (whole frames; all of it on the
// first call after play), runs the stream's DSP/FX chain on what it wrote and mixes the
// buffered frames, resampled from the stream's rate attribute to the device rate and
// scaled by the volume attribute.
#pragma once

#include <atomic>
#include <mutex>
#include <vector>

#include "channel.h"
#include "device.h"

namespace tav::audio {

class UserStream : public Channel, public MixSource {
 public:
  enum class State { Stopped, Playing, Paused };

  // `buffer_ms` is the buffer length at the stream's rate (BASS_CONFIG_BUFFER when created).
  // `config` (may be null: 16-bit DSP) tells the chain whether procedures get floats.
  UserStream(unsigned rate, unsigned channels, uint32_t flags, STREAMPROC* proc, void* user, unsigned buffer_ms,
             uint32_t device_number, const LibraryConfig* config = nullptr);
  bool is_decoding() const override { return false; }
  uint32_t device_number() const { return device_number_; }

  // BASS_ChannelPlay: restart drops what was buffered.
  void play(bool restart);
  // Both return once no procedure call for this stream is running (none follows), except
  // when called from inside one, which ends when it returns. stop() also drops what was
  // buffered.
  void pause();
  void stop();
  uint32_t activity();  // BASS_ACTIVE_*
  // BASS_ERROR_* of the fault that stopped the stream on the update thread; BASS_OK when
  // none has since it last started.
  int fault();

  // Bytes handed to the procedure for filling so far (tests of the real-time pacing).
  uint64_t requested_bytes() const { return requested_bytes_; }

  void refill() override;
  size_t mix_into(float* acc, size_t frames, unsigned device_rate, unsigned device_channels) override;
  bool playing() override;
  void stop_after_fault(int error) override;

 private:
  void flush();  // under state_mutex_
  // Returns once no procedure call for this stream runs, unless this thread is in one.
  void wait_for_fill();
  void push(const uint8_t* data, size_t frames);
  // Runs the chain over `frames` frames of fill_buffer_, in place.
  void run_chain(size_t frames);
  float sample(size_t frame_index, unsigned channel) const;

  STREAMPROC* proc_;
  void* user_;
  uint32_t device_number_;
  const LibraryConfig* config_;
  unsigned sample_bytes_;
  std::timed_mutex proc_mutex_;  // held while the procedure runs
  std::mutex state_mutex_;       // guards what follows
  State state_ = State::Stopped;
  int fault_ = 0;                // BASS_OK
  bool ending_ = false;          // the procedure returned the end flag
  uint64_t generation_ = 0;      // bumped by a restart: drops a fill that was running
  std::vector<int16_t> ring_;
  size_t capacity_frames_;
  size_t read_frame_ = 0;
  size_t filled_frames_ = 0;
  double phase_ = 0;
  float last_volume_ = -1;
  std::vector<uint8_t> fill_buffer_;
  std::atomic<uint64_t> requested_bytes_{0};
};

}  // namespace tav::audio
