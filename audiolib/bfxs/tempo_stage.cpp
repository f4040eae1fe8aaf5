#include "tempo_stage.h"

#include <algorithm>
#include <cmath>

#include <SoundTouch.h>

namespace tav::bfxs {

namespace {
constexpr size_t kPullFrames = 2048;
}

TempoStage::TempoStage(PullSource& source, unsigned sample_rate, unsigned channels)
    : source_(source),
      channels_(channels),
      st_(std::make_unique<soundtouch::SoundTouch>()),
      in_buf_(kPullFrames * channels) {
  st_->setSampleRate(sample_rate);
  st_->setChannels(channels);
  st_->setTempoChange(0.0);
  st_->setPitchSemiTones(0.0);
}

TempoStage::~TempoStage() = default;

bool TempoStage::set_tempo_percent(float percent) {
  if (!std::isfinite(percent) || percent < kMinTempoPercent || percent > kMaxTempoPercent) return false;
  tempo_percent_ = percent;
  st_->setTempoChange(percent);
  return true;
}

bool TempoStage::set_pitch_semitones(float semitones) {
  if (!std::isfinite(semitones) || semitones < kMinPitchSemitones || semitones > kMaxPitchSemitones)
    return false;
  pitch_semitones_ = semitones;
  st_->setPitchSemiTones(static_cast<double>(semitones));
  return true;
}

size_t TempoStage::read(float* out, size_t frames) {
  size_t done = 0;
  while (done < frames) {
    const unsigned got = st_->receiveSamples(out + done * channels_, static_cast<unsigned>(frames - done));
    if (got > 0) {
      done += got;
      frames_out_src_ += got * (1.0 + tempo_percent_ / 100.0);
      continue;
    }
    if (source_ended_) break;
    const size_t n = source_.pull(in_buf_.data(), kPullFrames);
    if (n == 0 && source_.stalled()) break;  // more will come: not the end
    if (n == 0) {
      source_ended_ = true;
      st_->flush();  // hands out what is still inside
      continue;
    }
    st_->putSamples(in_buf_.data(), static_cast<unsigned>(n));
    frames_in_ += static_cast<double>(n);
  }
  if (done == 0 && source_ended_) ended_ = true;
  return done;
}

void TempoStage::flush() {
  st_->clear();
  source_ended_ = ended_ = false;
  frames_in_ = frames_out_src_ = 0.0;
}

uint64_t TempoStage::pending_source_frames() const {
  if (ended_ || (source_ended_ && st_->numSamples() == 0)) return 0;
  const double pending = frames_in_ - frames_out_src_;
  return pending > 0.0 ? static_cast<uint64_t>(pending) : 0;
}

}  // namespace tav::bfxs
