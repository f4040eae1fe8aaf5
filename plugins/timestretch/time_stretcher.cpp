#include "time_stretcher.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "sample_codec.h"
#include "sse_kernels.h"

namespace lentaro {
namespace {

constexpr double kPi = 3.14159265358979323846;

int positiveMod(int64_t value, int length) {
  const int64_t m = value % length;
  return int(m < 0 ? m + length : m);
}

// Modified Bessel function of order 0, series with at most 25 terms.
double besselI0(double x) {
  double sum = 1.0, a = 1.0;
  for (int k = 1; k <= 25; ++k) {
    a *= (x / 2.0) / k;
    sum += a * a;
    if (sum * 1e-8 > a * a) break;
  }
  return sum;
}

bool validFrameSize(int n) { return n >= 16 && n <= TimeStretcher::kMaxFrame && (n & (n - 1)) == 0; }

float clampOr(float v, float lo, float hi, float fallback) {
  if (!std::isfinite(v)) return fallback;
  return std::clamp(v, lo, hi);
}

}  // namespace

TimeStretcher::TimeStretcher() { sse::prepareFft(); }

void TimeStretcher::setFrameParams(float overlap, int frameSize) {
  if (frameSize % 2 != 0) frameSize += 1;
  if (std::isfinite(overlap) && overlap >= 1.0f) overlap_ = overlap;
  if (validFrameSize(frameSize)) frameParam_ = frameSize;
}

int TimeStretcher::setup(float stretch, float pitch, int srate, int bps) {
  if (busy_.exchange(true)) return 0;
  bytesPerSample_ = bps == 8 ? 1 : 2;
  rate_ = float(std::max(srate, 1));
  stretch = clampOr(stretch, kMinStretch, kMaxStretch, 1.0f);
  pitch = clampOr(pitch, kMinPitch, kMaxPitch, 0.0f);

  // The resampler divides the duration by step / 300 = 2^(p/12); the vocoder
  // stretches by as much more, so the output/input ratio stays the stretch.
  setPitch(pitch);
  pitchActive_ = pitch != 0.0f;
  float t = pitchActive_ ? stretch * (step() / float(kPhases)) : stretch;

  n_ = frameParam_;
  n2_ = n_ / 2;
  const int m = 2 * n_ - 1;
  inRingLen_ = 4 * m;
  outRingLen_ = 4 * m;
  hopIn_ = t > 1.0f ? int(2.0f * n_ / (t * overlap_)) : int(2.0f * n_ / overlap_);
  hopIn_ = std::max(hopIn_, 1);
  hopOut_ = std::max(int(float(hopIn_) * t), 1);
  t_ = float(hopOut_) / float(hopIn_);
  mLen_ = (m - 1) / 2;
  lLen_ = mLen_;

  // Analysis window: Kaiser times a sinc with zeros at multiples of N, summing to 2.
  float* w = analysisWindow_.data() + mLen_;
  const double i0Beta = besselI0(kKaiserBeta);
  double sum = 0.0;
  for (int i = 0; i <= mLen_; ++i) {
    const double r = double(i) / mLen_;
    double v = i == mLen_ ? 0.0 : besselI0(kKaiserBeta * std::sqrt(1.0 - r * r)) / i0Beta;
    if (i > 0) v *= n_ * std::sin(kPi * i / n_) / (kPi * i);
    w[i] = w[-i] = float(v);
    sum += i == 0 ? v : 2.0 * v;
  }
  for (int i = 0; i <= mLen_; ++i) w[i] = w[-i] = float(w[i] * 2.0 / sum);

  // Synthesis window: Hamming times a sinc with zeros at multiples of the output hop.
  float* h = synthesisWindow_.data() + lLen_;
  h[0] = float(sum / 2.0);
  for (int i = 1; i <= lLen_; ++i) {
    const double hamming = 0.54 + 0.46 * std::cos(i * kPi / lLen_);
    const double sinc = hopOut_ * std::sin(kPi * i / hopOut_) / (kPi * i);
    h[i] = h[-i] = float(hamming * sinc * sum / 2.0);
  }

  nextIn_ = nextOut_ = 0;
  inTime_ = -int64_t(hopIn_) * (mLen_ / hopIn_);
  outTime_ = int64_t(hopOut_) * (inTime_ / hopIn_);
  dueIn_ = mLen_ % hopIn_ + 1;
  dueOut_ = 0;
  inRing_.fill(0.0f);
  outRing_.fill(0.0f);
  spectrum_.fill(0.0f);
  previousPhase_.fill(0.0f);
  outputPhase_.fill(0.0f);
  busy_.store(false);
  return 1;
}

void TimeStretcher::readSamples(const uint8_t* in, int count) {
  for (int i = 0; i < count; ++i) {
    float v;
    if (bytesPerSample_ == 2) {
      int16_t s;
      std::memcpy(&s, in + 2 * i, 2);
      v = float(s);
    } else {
      v = sampleFrom8(in[i]);
    }
    inRing_[nextIn_] = v;
    if (++nextIn_ == inRingLen_) nextIn_ = 0;
  }
}

void TimeStretcher::analyseAndResynthesise() {
  // Fold the window of 2N - 1 input samples onto N points so that input time nI
  // lands on index nI mod N (the phases refer to absolute time).
  float* bins = spectrum_.data();
  std::fill(bins, bins + n_ + 2, 0.0f);
  const float* w = analysisWindow_.data();
  int remaining = 2 * mLen_ + 1;
  int j = positiveMod(inTime_ - mLen_, inRingLen_);
  int k = positiveMod(inTime_ - mLen_, n_);
  int wi = 0;
  while (remaining > 0) {
    const int chunk = std::min({remaining, inRingLen_ - j, n_ - k});
    sse::multiplyAdd(bins + k, w + wi, inRing_.data() + j, chunk);
    remaining -= chunk;
    wi += chunk;
    j += chunk;
    k += chunk;
    if (j == inRingLen_) j = 0;
    if (k == n_) k = 0;
  }

  sse::realForward(bins, n2_, fftScratch_);
  // Each bin's phase advance over the analysis hop, scaled to the synthesis hop.
  sse::phaseVocoderBins(bins, n2_ + 1, previousPhase_.data(), outputPhase_.data(),
                        float(hopOut_) / float(hopIn_));
  sse::realInverse(bins, n2_, fftScratch_);
}

void TimeStretcher::overlapAdd() {
  // Output time nO + i for i = -Llen..Llen; contributions before time 0 belong to
  // no output sample and are dropped.
  const float* bins = spectrum_.data();
  int64_t start = outTime_ - lLen_;
  int wi = 0;
  int remaining = 2 * lLen_ + 1;
  if (start < 0) {
    const int skip = int(std::min<int64_t>(-start, remaining));
    wi += skip;
    remaining -= skip;
    start += skip;
  }
  int j = positiveMod(start, outRingLen_);
  int k = positiveMod(start, n_);
  const float* h = synthesisWindow_.data();
  while (remaining > 0) {
    const int chunk = std::min({remaining, outRingLen_ - j, n_ - k});
    sse::multiplyAdd(outRing_.data() + j, bins + k, h + wi, chunk);
    remaining -= chunk;
    wi += chunk;
    j += chunk;
    k += chunk;
    if (j == outRingLen_) j = 0;
    if (k == n_) k = 0;
  }
}

void TimeStretcher::writeSamples(const float* v, int count, uint8_t* out, int outCapacity, int& written) {
  const int room = (outCapacity - written) / bytesPerSample_;
  if (count > room) count = std::max(room, 0);  // what does not fit is dropped
  uint8_t* dst = out + written;
  if (bytesPerSample_ == 2) {
    for (int i = 0; i < count; ++i) {
      const int16_t s16 = sampleTo16(v[i]);
      std::memcpy(dst + 2 * i, &s16, 2);
    }
  } else {
    for (int i = 0; i < count; ++i) dst[i] = sampleTo8(v[i]);
  }
  written += count * bytesPerSample_;
}

void TimeStretcher::shiftOut(uint8_t* out, int outCapacity, int& written) {
  for (int left = dueOut_; left > 0;) {
    const int piece = std::min({left, kShiftPiece, outRingLen_ - nextOut_});
    float* ring = outRing_.data() + nextOut_;
    if (pitchActive_) {
      const int made = PitchResampler::process(ring, piece, resampled_.data());
      writeSamples(resampled_.data(), made, out, outCapacity, written);
    } else {
      writeSamples(ring, piece, out, outCapacity, written);
    }
    std::fill(ring, ring + piece, 0.0f);
    nextOut_ += piece;
    if (nextOut_ == outRingLen_) nextOut_ = 0;
    left -= piece;
  }
}

int TimeStretcher::process(uint8_t* out, int outCapacity, const uint8_t* in, int inLen, int* carried,
                           uint8_t* carryDest) {
  if (busy_.exchange(true)) return -1;
  const sse::DenormalsOff denormalsOff;
  int written = 0;
  int pos = 0;
  *carried = 0;
  while (pos < inLen) {
    const int need = bytesPerSample_ * dueIn_;
    if (inLen - pos < need) {
      *carried = inLen - pos;
      std::memmove(carryDest, in + pos, size_t(inLen - pos));
      break;
    }
    readSamples(in + pos, dueIn_);
    pos += need;
    analyseAndResynthesise();
    overlapAdd();
    shiftOut(out, outCapacity, written);

    outTime_ += hopOut_;
    if (outTime_ > lLen_ + hopOut_) dueOut_ = hopOut_;
    else if (outTime_ > lLen_) dueOut_ = int(outTime_ - lLen_);
    else dueOut_ = 0;
    inTime_ += hopIn_;
    dueIn_ = hopIn_;
  }
  busy_.store(false);
  return written;
}

}  // namespace lentaro
