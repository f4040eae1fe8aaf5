// Phase-vocoder time stretcher for one channel of 8- or 16-bit PCM: changes the
// duration by a stretch factor without changing the pitch, and optionally moves
// the pitch by up to a semitone through the resampler it derives from.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>

#include "pitch_resampler.h"
#include "sse_kernels.h"

namespace lentaro {

class TimeStretcher : public PitchResampler {
 public:
  static constexpr int kMaxFrame = 2048;
  // Hops per analysis window: 8 keeps a steady sine's amplitude flat at the hop
  // rate (4 leaves a ripple of several dB).
  static constexpr float kOverlap = 8.0f;
  static constexpr float kMinStretch = 0.5f, kMaxStretch = 2.0f;
  static constexpr float kMinPitch = -1.0f, kMaxPitch = 1.0f;

  TimeStretcher();

  // Takes effect at the next setup. The frame size must be a power of two from 16
  // to 2048 and the overlap at least 1; other values are ignored.
  void setFrameParams(float overlap, int frameSize);

  // Starts a new stream: derives the hops and windows and clears all state.
  // Stretch is clamped to 0.5..2.0 and pitch (semitones) to -1..1. Returns 1, or 0
  // while process runs.
  int setup(float stretch, float pitch, int srate, int bps);

  // Runs every hop the input allows. Samples are written to out, at most
  // outCapacity bytes (anything beyond is dropped). The bytes that do not make a
  // whole hop are copied to carryDest (which may overlap the input) and counted in
  // *carried; the caller puts them in front of the next block. Returns the bytes
  // written, or -1 while another call runs.
  int process(uint8_t* out, int outCapacity, const uint8_t* in, int inLen, int* carried,
              uint8_t* carryDest);

  int frameSize() const { return n_; }
  int analysisHop() const { return hopIn_; }        // D, input samples per hop
  int synthesisHop() const { return hopOut_; }      // I, vocoder samples per hop
  float vocoderStretch() const { return t_; }       // I / D
  int bytesPerSample() const { return bytesPerSample_; }

 private:
  void readSamples(const uint8_t* in, int count);
  void analyseAndResynthesise();
  void overlapAdd();
  void shiftOut(uint8_t* out, int outCapacity, int& written);
  void writeSamples(const float* v, int count, uint8_t* out, int outCapacity, int& written);

  // parameters
  float overlap_ = kOverlap;
  int frameParam_ = kMaxFrame;
  static constexpr float kKaiserBeta = 6.8f;

  // derived by setup
  float rate_ = 44100.0f;
  int n_ = kMaxFrame, n2_ = kMaxFrame / 2;
  int mLen_ = kMaxFrame - 1, lLen_ = kMaxFrame - 1;  // window half lengths
  int inRingLen_ = 4 * (2 * kMaxFrame - 1), outRingLen_ = 4 * (2 * kMaxFrame - 1);
  int hopIn_ = 1, hopOut_ = 1;
  float t_ = 1.0f;
  int bytesPerSample_ = 2;
  bool pitchActive_ = false;

  // running state
  int64_t inTime_ = 0, outTime_ = 0;  // nI, nO
  int dueIn_ = 0;                      // Dd
  int dueOut_ = 0;                     // IOi
  int nextIn_ = 0, nextOut_ = 0;
  std::atomic<bool> busy_{false};

  // windows, addressed from their first point (offset -half length)
  std::array<float, 2 * kMaxFrame> analysisWindow_{};
  std::array<float, 2 * kMaxFrame> synthesisWindow_{};
  std::array<float, 4 * (2 * kMaxFrame)> inRing_{};
  std::array<float, 4 * (2 * kMaxFrame)> outRing_{};
  std::array<float, kMaxFrame + 2> spectrum_{};
  std::array<float, kMaxFrame / 2 + 1> previousPhase_{};
  std::array<float, kMaxFrame / 2 + 1> outputPhase_{};
  sse::FftScratch fftScratch_{};
  // the output ring goes through the resampler in pieces of at most this many samples
  static constexpr int kShiftPiece = 512;
  std::array<float, PitchResampler::maxOutputs(kShiftPiece)> resampled_{};
};

}  // namespace lentaro
