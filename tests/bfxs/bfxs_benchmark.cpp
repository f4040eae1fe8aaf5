// What the stages cost: the tempo stage against SoundTouch driven directly with
// the same blocks, on its own and through the exported functions over the
// audio library; the player's 15-band equaliser per second of stereo audio.
#include <benchmark/benchmark.h>

#include <SoundTouch.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "bass_fx.h"
#include "pcm_stream.h"
#include "peaking_eq.h"
#include "signals.h"
#include "tempo_stage.h"

using namespace tav::bfxs;
using namespace tav::bfxs::test;

namespace {

constexpr unsigned kRate = 44100, kChans = 2;
constexpr size_t kSeconds = 10, kFrames = kRate * kSeconds;
constexpr size_t kPullFrames = 2048;         // what the stage takes from its source at a time
constexpr size_t kOutFrames = 4608 / 4;      // what the player's pump asks for

const std::vector<float>& music() {
  static const std::vector<float> v = [] {
    auto a = sine(220, kRate, kFrames, kChans, 0.3);
    const auto b = sine(1375, kRate, kFrames, kChans, 0.1);
    const auto n = noise(kFrames * kChans, 0.05);
    for (size_t i = 0; i < a.size(); ++i) a[i] += b[i] + n[i];
    return a;
  }();
  return v;
}

void report_audio_seconds(benchmark::State& state) {
  state.counters["audio_s_per_s"] = benchmark::Counter(double(kSeconds), benchmark::Counter::kIsIterationInvariantRate);
}

void BM_TempoStage(benchmark::State& state) {
  VectorSource src(music(), kChans);
  TempoStage stage(src, kRate, kChans);
  stage.set_tempo_percent(float(state.range(0)));
  std::vector<float> out(kOutFrames * kChans);
  for (auto _ : state) {
    src.seek(0);
    stage.flush();
    while (stage.read(out.data(), kOutFrames)) benchmark::DoNotOptimize(out.data());
  }
  report_audio_seconds(state);
}

// SoundTouch driven by hand as the stage drives it: output blocks while it has
// them, else a block of input from `feed` (frames put, 0 at the end), else one flush.
template <typename Feed, typename Take>
void pump_soundtouch(soundtouch::SoundTouch& st, std::vector<float>& out, Feed feed, Take take) {
  st.clear();
  bool flushed = false;
  for (;;) {
    if (const unsigned got = st.receiveSamples(out.data(), kOutFrames)) {
      take(got);
      continue;
    }
    if (flushed) break;
    if (feed(st) == 0) {
      st.flush();
      flushed = true;
    }
  }
}

std::unique_ptr<soundtouch::SoundTouch> make_soundtouch(double tempo_percent) {
  auto st = std::make_unique<soundtouch::SoundTouch>();
  st->setSampleRate(kRate);
  st->setChannels(kChans);
  st->setTempoChange(tempo_percent);
  return st;
}

void BM_SoundTouchDirect(benchmark::State& state) {
  const auto& in = music();
  auto st = make_soundtouch(double(state.range(0)));
  std::vector<float> out(kOutFrames * kChans);
  for (auto _ : state) {
    size_t pos = 0;
    pump_soundtouch(
        *st, out,
        [&](soundtouch::SoundTouch& s) {
          const size_t n = std::min(kPullFrames, kFrames - pos);
          s.putSamples(in.data() + pos * kChans, unsigned(n));
          pos += n;
          return n;
        },
        [&](unsigned) { benchmark::DoNotOptimize(out.data()); });
  }
  report_audio_seconds(state);
}

std::vector<int16_t> music_pcm() {
  const auto& f = music();
  std::vector<int16_t> v(f.size());
  for (size_t i = 0; i < f.size(); ++i) v[i] = int16_t(f[i] * 32767.0f);
  return v;
}

constexpr DWORD kDecoderFlags = BASS_STREAM_DECODE | BASS_STREAM_PRESCAN;

// The player's way: BASS_ChannelGetData on the tempo stage over a WAV decoder.
void BM_TempoStreamExported(benchmark::State& state) {
  const DWORD dec = make_pcm_stream(kRate, kChans, music_pcm(), kDecoderFlags);
  const HSTREAM stage = BASS_FX_TempoCreate(dec, BASS_STREAM_DECODE | BASS_FX_FREESOURCE);
  BASS_ChannelSetAttribute(stage, BASS_ATTRIB_TEMPO, float(state.range(0)));
  std::vector<int16_t> out(kOutFrames * kChans);
  for (auto _ : state) {
    BASS_ChannelSetPosition(stage, 0, BASS_POS_BYTE);
    for (;;) {
      const DWORD got = BASS_ChannelGetData(stage, out.data(), DWORD(out.size() * 2));
      if (got == 0 || got == DWORD(-1)) break;
      benchmark::DoNotOptimize(out.data());
    }
  }
  report_audio_seconds(state);
  BASS_StreamFree(stage);
}

// The same decoder read directly, its samples through SoundTouch by hand.
void BM_DecoderAndSoundTouchDirect(benchmark::State& state) {
  const DWORD dec = make_pcm_stream(kRate, kChans, music_pcm(), kDecoderFlags);
  auto st = make_soundtouch(double(state.range(0)));
  std::vector<int16_t> pcm(kPullFrames * kChans), out16(kOutFrames * kChans);
  std::vector<float> in(kPullFrames * kChans), out(kOutFrames * kChans);
  for (auto _ : state) {
    BASS_ChannelSetPosition(dec, 0, BASS_POS_BYTE);
    pump_soundtouch(
        *st, out,
        [&](soundtouch::SoundTouch& s) -> size_t {
          const DWORD bytes = BASS_ChannelGetData(dec, pcm.data(), DWORD(pcm.size() * 2));
          if (bytes == 0 || bytes == DWORD(-1)) return 0;
          for (size_t i = 0; i < bytes / 2; ++i) in[i] = pcm[i] * (1.0f / 32768.0f);
          s.putSamples(in.data(), bytes / 4);
          return bytes / 4;
        },
        [&](unsigned got) {
          for (size_t i = 0; i < got * kChans; ++i)
            out16[i] = int16_t(std::lrintf(std::clamp(out[i] * 32768.0f, -32768.0f, 32767.0f)));
          benchmark::DoNotOptimize(out16.data());
        });
  }
  report_audio_seconds(state);
  BASS_StreamFree(dec);
}

// The player's equaliser: 15 bands of 2.5 octaves, every band boosted or cut.
void BM_PeakingEq15Bands(benchmark::State& state) {
  const double centres[] = {40, 63, 100, 160, 250, 400, 630, 1000, 1600, 2500, 4000, 6300, 10000, 14000, 16000};
  PeakingEqBank eq(kRate, kChans);
  for (int b = 0; b < 15; ++b) {
    PeakingEqSettings s;
    s.bandwidth_octaves = 2.5;
    s.center_hz = centres[b];
    s.gain_db = (b % 2 ? -1 : 1) * (3.0 + b % 5);
    eq.set_band(b, s);
  }
  std::vector<float> second(music().begin(), music().begin() + kRate * kChans);
  for (auto _ : state) {
    eq.process(second.data(), kRate);
    benchmark::DoNotOptimize(second.data());
  }
  state.counters["audio_s_per_s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}

}  // namespace

BENCHMARK(BM_TempoStage)->Arg(-45)->Arg(0)->Arg(45)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SoundTouchDirect)->Arg(-45)->Arg(0)->Arg(45)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TempoStreamExported)->Arg(-45)->Arg(0)->Arg(45)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_DecoderAndSoundTouchDirect)->Arg(-45)->Arg(0)->Arg(45)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PeakingEq15Bands)->Unit(benchmark::kMicrosecond);
