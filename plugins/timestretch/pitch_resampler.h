// Polyphase FIR interpolator that moves a sample stream's pitch by up to a
// semitone: 300 phases of 14 taps from a Kaiser-window design, nearest lower
// phase, no interpolation between phases.
#pragma once

#include <array>

namespace lentaro {

class PitchResampler {
 public:
  static constexpr int kPhases = 300;
  static constexpr int kTaps = 14;
  static constexpr int kDelay = kTaps / 2;  // input samples of delay (the filter's centre)
  static constexpr int kRowLength = 16;     // the taps padded for the four-lane inner product

  PitchResampler();

  // Step between outputs in 1/300 of an input sample for a pitch offset in semitones.
  static float stepForPitch(float semitones);

  // step := 300 * 2^(p / 12); position := 0. History and current input are kept.
  void setPitch(float semitones);
  void setInput(float sample) { recent_[head_] = recent_[head_ + kTaps] = sample; }
  // Next output for the current input; more is false (and the result 0) once the
  // current input is consumed, which pushes it into the history.
  float nextOutput(bool& more);

  float step() const { return step_; }
  float coefficient(int index) const { return rows_[index % kPhases][index / kPhases]; }
  // Row phase of the table, kTaps values padded with zeros to kRowLength.
  const float* row(int phase) const { return rows_[phase].data(); }

 private:
  float position_ = 0.0f;
  float step_ = 0.0f;
  // The current input and the history as a window of kTaps values from head_:
  // [head_] the current input, [head_ + t] the input t samples back. Every value is
  // kept twice, kTaps apart, so that the window never wraps; the window's padding
  // beyond kTaps values reads zeros or history, which meet zero taps.
  int head_ = 0;
  std::array<float, kTaps - 1 + kRowLength> recent_{};
  std::array<std::array<float, kRowLength>, kPhases> rows_{};
};

}  // namespace lentaro
