// CPU cost of the engine's sample path per second of 44.1 kHz stereo sound:
// the block pump with every pass on (a VST item that applies a gain, a Winamp
// module that keeps the block, the level tap), and each own effect.
#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "engine_fixture.h"
#include "fake_bass.h"
#include "fake_modules.h"
#include "tav/engine/own_effects.h"
#include "tav/engine/vst_pass.h"

namespace {

using namespace tav::engine;

constexpr int kRate = 44100;
constexpr DWORD kRequestBytes = 4236;  // what a 24 ms update asks for

std::vector<uint8_t> OneSecond() {
  std::vector<uint8_t> bytes(kRate * 4);
  auto* s = reinterpret_cast<int16_t*>(bytes.data());
  for (int i = 0; i < kRate * 2; ++i) s[i] = static_cast<int16_t>(12000 * std::sin(i * 0.013));
  return bytes;
}

class TGainVst final : public TVstPassItem {
 public:
  void SetBlockSizeAndSampleRate(int32_t, float) override {}
  int32_t numInputs() override { return 2; }
  int32_t numOutputs() override { return 2; }
  void ProcessReplacing(TAVDArrayOfSingleDynArray&, TAVDArrayOfSingleDynArray& out, int32_t frames) override {
    for (size_t p = 0; p < out.size(); ++p)
      for (int32_t j = 0; j < frames; ++j) out[p][j] *= 0.9f;
  }
  bool Active() override { return true; }
};

void BM_PumpEveryPassOn(benchmark::State& state) {
  enginetest::ResetEngine();
  fake::Bass.source = OneSecond();
  TGainVst vst;
  PassState.VstPassItem = &vst;
  PassState.VstActive = -1;
  PassState.VstEnabled = -1;
  auto& loader = fake::InstallLoader();
  loader.libraries["dsp_keep.dll"] = fake::TFakeLibrary{"keep", {fake::MakeModule("keep")}};
  LoadDSP("dsp_keep.dll", nullptr);
  PassState.DspModuleIndex = 0;
  InitDSPModule(0);
  PassState.DspActive = true;

  std::vector<uint8_t> buffer(kRequestBytes);
  for (auto _ : state) {
    fake::Bass.readPos = 0;
    ResetPump();
    while ((OutputStreamProc(2, buffer.data(), kRequestBytes, nullptr) & BASS_STREAMPROC_END) == 0) {
    }
    benchmark::DoNotOptimize(buffer.data());
  }
  state.counters["audio_s_per_cpu_s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
  StopDSP();
  enginetest::ResetEngine();
}
BENCHMARK(BM_PumpEveryPassOn)->Unit(benchmark::kMillisecond);

// One second of float stereo through a DSP procedure, in the library's
// 24 ms pieces.
template <DSPPROC* Proc, void (*Reset)()>
void BM_OwnEffect(benchmark::State& state) {
  std::vector<float> audio(kRate * 2);
  for (size_t i = 0; i < audio.size(); ++i) audio[i] = 0.3f * std::sin(static_cast<float>(i) * 0.013f);
  constexpr DWORD kPieceBytes = 1058 * 2 * sizeof(float);
  Reset();
  for (auto _ : state) {
    auto* bytes = reinterpret_cast<uint8_t*>(audio.data());
    const DWORD total = static_cast<DWORD>(audio.size() * sizeof(float));
    for (DWORD at = 0; at < total; at += kPieceBytes) Proc(1, 2, bytes + at, std::min(kPieceBytes, total - at), nullptr);
    benchmark::DoNotOptimize(audio.data());
  }
  state.counters["audio_s_per_cpu_s"] = benchmark::Counter(1.0, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_OwnEffect<RotateDSPProc, ResetRotate>)->Name("BM_Rotate")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OwnEffect<EchoDSPProc, ResetEcho>)->Name("BM_Echo")->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_OwnEffect<FlangerDSPProc, ResetFlanger>)->Name("BM_Flanger")->Unit(benchmark::kMicrosecond);

}  // namespace
