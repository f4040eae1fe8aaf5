// Speed and accuracy of the time stretcher beside two established stretchers,
// SoundTouch (WSOLA) and Rubber Band (phase vocoder, both of its engines), all
// fed the same stereo 44.1 kHz 16-bit input in blocks of 1152 frames, as a
// Winamp DSP host feeds the plug-in.
//
// Speed: frames of input per second (and the multiple of real time) at stretch
// 0.5, 1.0 and 2.0 with pitch 0 and +-1 semitone.
// Accuracy: a 1 kHz sine of amplitude 10000 at half speed; the counters give the
// frequency error (zero crossings over the steady part, in percent) and the
// amplitude ripple (peak-to-peak of the level fitted over 64-sample windows,
// and over 10 ms windows, relative to its mean, in percent).
#include <benchmark/benchmark.h>

#include <rubberband/RubberBandStretcher.h>
#include <soundtouch/SoundTouch.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <random>
#include <vector>

#include "signal_helpers.h"
#include "stretch_module.h"

namespace {

constexpr int kRate = 44100;
constexpr int kBlock = 1152;

// One stereo stream through a stretcher; the output's left channel is kept when asked.
class Stretcher {
 public:
  virtual ~Stretcher() = default;
  // An offline stretcher sees the whole input once before processing it.
  virtual void study(const int16_t* frames, int n) {}
  // Interleaved stereo in; appends the left output channel to *left when given.
  virtual void process(const int16_t* frames, int n, std::vector<double>* left) = 0;
};

class Ours : public Stretcher {
 public:
  Ours(double stretch, double semitones, bool mono)
      : module_([] { return uint32_t(0); }, [] {}) {
    module_.stretch = float(stretch);
    module_.pitch = float(semitones);
    module_.mono = mono ? 1 : 0;
    block_.resize(size_t(kBlock) * 2 * 2);
  }
  void process(const int16_t* frames, int n, std::vector<double>* left) override {
    std::copy(frames, frames + 2 * n, block_.begin());
    const int out = module_.modifySamples(block_.data(), n, 16, 2, kRate);
    if (left)
      for (int i = 0; i < out; ++i) left->push_back(block_[size_t(2 * i)]);
  }

 private:
  lentaro::StretchModule module_;
  std::vector<int16_t> block_;
};

class SoundTouchStretcher : public Stretcher {
 public:
  SoundTouchStretcher(double stretch, double semitones) {
    st_.setSampleRate(kRate);
    st_.setChannels(2);
    st_.setTempo(1.0 / stretch);
    st_.setPitchSemiTones(semitones);
    in_.resize(size_t(kBlock) * 2);
    out_.resize(size_t(kBlock) * 2 * 4);
  }
  void process(const int16_t* frames, int n, std::vector<double>* left) override {
    for (int i = 0; i < 2 * n; ++i) in_[size_t(i)] = float(frames[i]) * (1.0f / 32768.0f);
    st_.putSamples(in_.data(), uint32_t(n));
    while (const unsigned got = st_.receiveSamples(out_.data(), uint32_t(out_.size() / 2))) {
      if (left)
        for (unsigned i = 0; i < got; ++i) left->push_back(double(out_[2 * i]) * 32768.0);
    }
  }

 private:
  soundtouch::SoundTouch st_;
  std::vector<float> in_, out_;
};

class RubberBandStretcher : public Stretcher {
 public:
  using Engine = ::RubberBand::RubberBandStretcher;
  RubberBandStretcher(double stretch, double semitones, Engine::Options options)
      : rb_(kRate, 2, options, stretch, std::exp2(semitones / 12.0)) {
    rb_.setMaxProcessSize(kBlock);
    for (auto& c : in_) c.resize(kBlock);
    for (auto& c : out_) c.resize(size_t(kBlock) * 8);
  }
  void study(const int16_t* frames, int n) override {
    for (int pos = 0; pos < n; pos += kBlock) {
      const int len = std::min(kBlock, n - pos);
      rb_.study(split(frames + 2 * pos, len), size_t(len), pos + len >= n);
    }
  }
  void process(const int16_t* frames, int n, std::vector<double>* left) override {
    rb_.process(split(frames, n), size_t(n), false);
    float* outPtrs[2] = {out_[0].data(), out_[1].data()};
    for (int avail; (avail = rb_.available()) > 0;) {
      const size_t got = rb_.retrieve(outPtrs, std::min(size_t(avail), out_[0].size()));
      if (left)
        for (size_t i = 0; i < got; ++i) left->push_back(double(out_[0][i]) * 32768.0);
    }
  }

 private:
  const float* const* split(const int16_t* frames, int n) {
    for (int i = 0; i < n; ++i) {
      in_[0][size_t(i)] = float(frames[2 * i]) * (1.0f / 32768.0f);
      in_[1][size_t(i)] = float(frames[2 * i + 1]) * (1.0f / 32768.0f);
    }
    ptrs_[0] = in_[0].data();
    ptrs_[1] = in_[1].data();
    return ptrs_;
  }

  Engine rb_;
  std::vector<float> in_[2], out_[2];
  const float* ptrs_[2] = {};
};

// Ours in stereo and in its default Mono mode (one channel processed, written to
// both); Rubber Band in its real-time (streaming) mode with either engine, and
// for the accuracy figures also offline with the finer engine.
enum Kind { kOurs, kSoundTouch, kRubberBandFaster, kRubberBandFiner, kRubberBandFinerOffline, kOursMono };

std::unique_ptr<Stretcher> make(Kind kind, double stretch, double semitones) {
  using Engine = RubberBandStretcher::Engine;
  switch (kind) {
    case kOurs: return std::make_unique<Ours>(stretch, semitones, false);
    case kOursMono: return std::make_unique<Ours>(stretch, semitones, true);
    case kSoundTouch: return std::make_unique<SoundTouchStretcher>(stretch, semitones);
    case kRubberBandFaster:
      return std::make_unique<RubberBandStretcher>(stretch, semitones, Engine::OptionProcessRealTime);
    case kRubberBandFiner:
      return std::make_unique<RubberBandStretcher>(
          stretch, semitones, Engine::OptionProcessRealTime | Engine::OptionEngineFiner);
    case kRubberBandFinerOffline:
      return std::make_unique<RubberBandStretcher>(
          stretch, semitones, Engine::OptionProcessOffline | Engine::OptionEngineFiner);
  }
  return nullptr;
}

// 10 s of stereo material with tones, a moving chord and noise in both channels.
const std::vector<int16_t>& musicLikeInput() {
  static const std::vector<int16_t> input = [] {
    const size_t frames = size_t(kRate) * 10;
    std::vector<int16_t> v(frames * 2);
    std::mt19937 rng(7);
    std::normal_distribution<double> noise(0.0, 600.0);
    for (size_t i = 0; i < frames; ++i) {
      const double t = double(i) / kRate;
      const double chord = 3000 * std::sin(2 * lentaro::test::kPi * (220 + 20 * std::sin(t)) * t) +
                           2000 * std::sin(2 * lentaro::test::kPi * 330 * t) +
                           1500 * std::sin(2 * lentaro::test::kPi * 1250 * t);
      v[2 * i] = int16_t(std::clamp(chord + noise(rng), -32768.0, 32767.0));
      v[2 * i + 1] = int16_t(std::clamp(0.8 * chord + noise(rng), -32768.0, 32767.0));
    }
    return v;
  }();
  return input;
}

void BM_Stretch(benchmark::State& state) {
  const Kind kind = Kind(state.range(0));
  const double stretch = double(state.range(1)) / 100.0;
  const double semitones = double(state.range(2));
  const std::vector<int16_t>& in = musicLikeInput();
  const int frames = int(in.size() / 2);
  for (auto _ : state) {
    auto s = make(kind, stretch, semitones);
    for (int pos = 0; pos + kBlock <= frames; pos += kBlock) s->process(in.data() + 2 * pos, kBlock, nullptr);
    benchmark::ClobberMemory();
  }
  const double processed = double(state.iterations()) * (frames / kBlock * kBlock);
  state.counters["frames/s"] = benchmark::Counter(processed, benchmark::Counter::kIsRate);
  state.counters["x_realtime"] = benchmark::Counter(processed / kRate, benchmark::Counter::kIsRate);
}

void stretchArgs(benchmark::internal::Benchmark* b) {
  b->ArgNames({"kind", "stretch%", "semitones"});
  for (int kind : {kOurs, kOursMono, kSoundTouch, kRubberBandFaster, kRubberBandFiner})
    for (int stretch : {50, 100, 200})
      for (int semitones : {-1, 0, 1}) b->Args({kind, stretch, semitones});
  b->Unit(benchmark::kMillisecond);
}
BENCHMARK(BM_Stretch)->Apply(stretchArgs);

// Lowest, highest and mean level of a sine of known frequency fitted over
// windows of len samples, half overlapping.
struct Envelope {
  double lo = 1e30, hi = 0, mean = 0;
};
Envelope envelope(const std::vector<double>& x, size_t from, size_t to, size_t len, double freq) {
  Envelope e;
  int windows = 0;
  for (size_t at = from; at + len < to; at += len / 2, ++windows) {
    const double a = lentaro::test::fittedAmplitude(x, at, len, freq);
    e.lo = std::min(e.lo, a);
    e.hi = std::max(e.hi, a);
    e.mean += a;
  }
  e.mean /= std::max(windows, 1);
  return e;
}

// A 1 kHz sine at half speed: frequency error and amplitude ripple (over 64-sample
// and 10 ms windows).
void BM_SineAtHalfSpeed(benchmark::State& state) {
  const Kind kind = Kind(state.range(0));
  const int seconds = 8;
  std::vector<int16_t> in(size_t(kRate) * seconds * 2);
  for (size_t i = 0; i < in.size() / 2; ++i)
    in[2 * i] = in[2 * i + 1] = int16_t(std::lround(10000 * std::sin(2 * lentaro::test::kPi * 1000 * i / kRate)));
  std::vector<double> out;
  for (auto _ : state) {
    out.clear();
    auto s = make(kind, 2.0, 0.0);
    s->study(in.data(), int(in.size() / 2));
    for (size_t pos = 0; pos + kBlock <= in.size() / 2; pos += kBlock)
      s->process(in.data() + 2 * pos, kBlock, &out);
  }
  // the steady part: past the first two seconds of output (every latency) and short of the last
  const size_t from = size_t(kRate) * 2, to = out.size() - size_t(kRate) / 2;
  if (out.size() < size_t(kRate) * 4) {
    state.SkipWithError("too little output");
    return;
  }
  const double freq = tav::test::ZeroCrossingFrequency(out, 1, from, to) * kRate;
  const Envelope fine = envelope(out, from, to, 64, freq / kRate);
  const Envelope coarse = envelope(out, from, to, 441, freq / kRate);
  state.counters["freq_err_%"] = std::abs(freq / 1000.0 - 1.0) * 100.0;
  state.counters["ripple_%"] = (fine.hi - fine.lo) / fine.mean * 100.0;
  state.counters["ripple10ms_%"] = (coarse.hi - coarse.lo) / coarse.mean * 100.0;
  state.counters["level_err_%"] = (fine.mean / 10000.0 - 1.0) * 100.0;
  state.counters["out/in"] = double(out.size()) / double(in.size() / 2);
}
BENCHMARK(BM_SineAtHalfSpeed)
    ->ArgName("kind")
    ->DenseRange(kOurs, kRubberBandFinerOffline)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond);

}  // namespace
