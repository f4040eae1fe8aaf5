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

  // setInput and nextOutput for each of count input samples in turn, with the
  // inner products as four-lane kernels: the outputs go to out, which must hold
  // maxOutputs(count) values; returns their count.
  int process(const float* in, int count, float* out);
  static constexpr int maxOutputs(int count) { return 2 * count + 2; }  // at most 300 / 283.2 per input

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
  // The same rows with the taps reversed and the padding in front, for inputs in
  // time order: the inner product of row phase with in[m - 15 .. m].
  std::array<std::array<float, kRowLength>, kPhases> reversedRows_{};
  // The 15 inputs before the block (history, padding first), then a block.
  static constexpr int kBlock = 512;
  std::array<float, kRowLength - 1 + kBlock> linear_{};
};

}  // namespace lentaro
