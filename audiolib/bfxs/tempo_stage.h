// Tempo and pitch, changed independently, over a pulled source (SoundTouch).
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "sample_source.h"

namespace soundtouch {
class SoundTouch;
}

namespace tav::bfxs {

class TempoStage {
 public:
  static constexpr float kMinTempoPercent = -95.0f, kMaxTempoPercent = 5000.0f;
  static constexpr float kMinPitchSemitones = -60.0f, kMaxPitchSemitones = 60.0f;

  TempoStage(PullSource& source, unsigned sample_rate, unsigned channels);
  ~TempoStage();
  TempoStage(const TempoStage&) = delete;
  TempoStage& operator=(const TempoStage&) = delete;

  // Writes up to `frames` frames; 0 only when the source has ended and
  // everything held inside has been handed out.
  size_t read(float* out, size_t frames);

  bool set_tempo_percent(float percent);
  bool set_pitch_semitones(float semitones);
  float tempo_percent() const { return tempo_percent_; }
  float pitch_semitones() const { return pitch_semitones_; }

  // Drops everything held inside (after the source was moved).
  void flush();
  // Source frames taken in but not yet handed out (in source time).
  uint64_t pending_source_frames() const;
  bool ended() const { return ended_; }

 private:
  PullSource& source_;
  unsigned channels_;
  std::unique_ptr<soundtouch::SoundTouch> st_;
  std::vector<float> in_buf_;
  float tempo_percent_ = 0.0f;
  float pitch_semitones_ = 0.0f;
  bool source_ended_ = false;
  bool ended_ = false;
  double frames_in_ = 0.0;        // source frames put in since the last flush
  double frames_out_src_ = 0.0;   // handed-out frames, converted to source time
};

}  // namespace tav::bfxs
