// The SSE2 kernels of the fold, the overlap-add, the per-bin loop and the
// resampler against their scalar references; the floating-point state around a
// block; no allocation while a block is processed.
#include <gtest/gtest.h>
#include <emmintrin.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <random>
#include <vector>

#include "pitch_resampler.h"
#include "sse_kernels.h"
#include "time_stretcher.h"
#include "vocoder_scalar.h"

namespace {
std::atomic<long> allocations{0};
}  // namespace

// Every allocation of this test program is counted. (The replacements pair
// malloc with free, which the compiler cannot see.)
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void* operator new[](std::size_t size) { return ::operator new(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }

namespace lentaro {
namespace {

std::vector<float> randomValues(size_t count, unsigned seed, float lo, float hi) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(lo, hi);
  std::vector<float> v(count);
  for (auto& x : v) x = d(rng);
  return v;
}

// Every count and offset, so that every lane and the scalar tail are used: the
// same one multiply and one add per value, hence exactly the scalar result.
TEST(SseKernels, MultiplyAddIsExactlyTheScalarLoop) {
  const std::vector<float> a = randomValues(80, 1, -2.0f, 2.0f), b = randomValues(80, 2, -32768.0f, 32767.0f);
  const std::vector<float> start = randomValues(80, 3, -1e5f, 1e5f);
  for (int offset = 0; offset < 4; ++offset) {
    for (int count = 0; count <= 70; ++count) {
      std::vector<float> got(start), want(start);
      sse::multiplyAdd(got.data() + offset, a.data() + 3, b.data() + offset, count);
      scalar::multiplyAdd(want.data() + offset, a.data() + 3, b.data() + offset, count);
      ASSERT_EQ(got, want) << "count " << count << " offset " << offset;
    }
  }
}

// Random bins of every size and sign, silent bins, bins on the axes, tiny and
// huge ones, and phases anywhere in -pi..pi: the new bins agree with the scalar
// loop within 1e-6 of the bin's magnitude, the phases within 1e-6 radians.
TEST(SseKernels, PerBinLoopMatchesTheScalarLoop) {
  constexpr int kBins = 1025;  // an odd count: the last bin takes the scalar tail
  std::vector<float> bins = randomValues(2 * kBins, 4, -3e6f, 3e6f);
  std::mt19937 rng(5);
  for (int i = 0; i < kBins; i += 7) {
    switch ((i / 7) % 8) {
      case 0: bins[2 * i] = bins[2 * i + 1] = 0.0f; break;           // silent
      case 1: bins[2 * i] = -0.0f, bins[2 * i + 1] = 0.0f; break;      // silent, negative zero
      case 2: bins[2 * i + 1] = 0.0f; break;                           // real axis
      case 3: bins[2 * i] = 0.0f; break;                               // imaginary axis
      case 4: bins[2 * i] = -bins[2 * i], bins[2 * i + 1] = 0.0f; break;
      case 5: bins[2 * i] *= 1e-9f, bins[2 * i + 1] *= 1e-9f; break;  // tiny
      case 6: bins[2 * i] = bins[2 * i + 1]; break;                    // on a diagonal
      default: break;
    }
  }
  const std::vector<float> previous = randomValues(kBins, 6, -3.14159f, 3.14159f);
  const std::vector<float> accumulated = randomValues(kBins, 7, -3.14159f, 3.14159f);
  for (float ratio : {0.5f, 1.0f, 1.0833f, 2.0f}) {
    std::vector<float> gotBins(bins), wantBins(bins), gotPrev(previous), wantPrev(previous);
    std::vector<float> gotAcc(accumulated), wantAcc(accumulated);
    // three hops, so that the phases carried from one hop to the next are compared too
    for (int hop = 0; hop < 3; ++hop) {
      std::vector<float> inGot(bins), inWant(bins);
      sse::phaseVocoderBins(inGot.data(), kBins, gotPrev.data(), gotAcc.data(), ratio);
      scalar::phaseVocoderBins(inWant.data(), kBins, wantPrev.data(), wantAcc.data(), ratio);
      gotBins = inGot;
      wantBins = inWant;
      for (int i = 0; i < kBins; ++i) {
        const float mag = std::hypot(bins[2 * i], bins[2 * i + 1]);
        ASSERT_NEAR(gotBins[2 * i], wantBins[2 * i], 1e-6f * mag) << "bin " << i << " ratio " << ratio;
        ASSERT_NEAR(gotBins[2 * i + 1], wantBins[2 * i + 1], 1e-6f * mag) << "bin " << i << " ratio " << ratio;
        ASSERT_NEAR(gotPrev[i], wantPrev[i], 1e-6f) << "bin " << i;
        ASSERT_NEAR(gotAcc[i], wantAcc[i], 1e-6f) << "bin " << i;
        ASSERT_LE(std::fabs(gotAcc[i]), 3.1416f) << "bin " << i;
      }
    }
  }
}

// The resampler's four-lane inner product over every row of its table, with the
// padding taps zero.
TEST(SseKernels, ResamplerInnerProductMatchesTheScalarSum) {
  const PitchResampler resampler;
  const std::vector<float> window = randomValues(16, 8, -32768.0f, 32767.0f);
  for (int phase = 0; phase < PitchResampler::kPhases; ++phase) {
    const float* row = resampler.row(phase);
    EXPECT_EQ(row[14], 0.0f);
    EXPECT_EQ(row[15], 0.0f);
    double magnitude = 0;
    for (int t = 0; t < PitchResampler::kTaps; ++t) magnitude += std::fabs(double(row[t]) * window[size_t(t)]);
    EXPECT_NEAR(sse::dot16(row, window.data()), scalar::dot(row, window.data(), PitchResampler::kTaps),
                1e-6 * magnitude + 1e-6)
        << "phase " << phase;
  }
}

// Inside the guard denormals are flushed; after it the caller's state is back,
// whatever it was.
TEST(SseKernels, DenormalsAreFlushedInsideABlockAndTheCallersStateRestored) {
  const unsigned original = _mm_getcsr();
  for (unsigned callers : {original, original | 0x8040u, (original & ~0x6000u) | 0x2000u}) {  // round down
    _mm_setcsr(callers);
    {
      const sse::DenormalsOff off;
      volatile float tiny = std::numeric_limits<float>::min();
      volatile float half = 0.5f;
      EXPECT_EQ(tiny * half, 0.0f);
      EXPECT_EQ(_mm_getcsr() & 0x6000u, callers & 0x6000u);  // rounding untouched
    }
    EXPECT_EQ(_mm_getcsr(), callers);
  }
  _mm_setcsr(original);
}

// Once set up, processing a block allocates nothing: the buffers and the
// transform's tables exist already.
TEST(SseKernels, ProcessingABlockAllocatesNothing) {
  for (float pitch : {0.0f, 1.0f}) {
    auto engine = std::make_unique<TimeStretcher>();
    engine->setFrameParams(TimeStretcher::kOverlap, 2048);
    ASSERT_EQ(engine->setup(2.0f, pitch, 44100, 16), 1);
    std::vector<int16_t> in(44100);
    for (size_t i = 0; i < in.size(); ++i) in[i] = int16_t(10000 * std::sin(0.05 * double(i)));
    std::vector<uint8_t> out(in.size() * 2 * 4);
    int carried = 0;
    const long before = allocations.load();
    const int written = engine->process(out.data(), int(out.size()), reinterpret_cast<const uint8_t*>(in.data()),
                                        int(in.size() * 2), &carried, reinterpret_cast<uint8_t*>(in.data()));
    EXPECT_EQ(allocations.load(), before) << "pitch " << pitch;
    EXPECT_GT(written, 100000);
  }
}

}  // namespace
}  // namespace lentaro

namespace lentaro {
namespace {

// The resampler's block loop gives what setInput and nextOutput give sample by
// sample (within the rounding of another summation order), for every pitch and
// for blocks of any size, longer than its piece of 512 among them; and either
// way may follow the other, since both leave the same history.
TEST(SseKernels, ResamplerBlocksMatchTheSampleBySampleLoop) {
  const std::vector<float> in = randomValues(5000, 9, -32768.0f, 32767.0f);
  for (float pitch : {-1.0f, -0.37f, 0.0f, 0.5f, 1.0f}) {
    auto bySample = std::make_unique<PitchResampler>(), byBlock = std::make_unique<PitchResampler>();
    bySample->setPitch(pitch);
    byBlock->setPitch(pitch);
    std::vector<float> want, got;
    for (float v : in) {
      bySample->setInput(v);
      bool more = true;
      for (float y = bySample->nextOutput(more); more; y = bySample->nextOutput(more)) want.push_back(y);
    }
    std::vector<float> out(size_t(PitchResampler::maxOutputs(1300)));
    size_t at = 0;
    for (int size : {1, 2, 13, 700, 1300, 600}) {  // the rest sample by sample
      const int made = byBlock->process(in.data() + at, size, out.data());
      got.insert(got.end(), out.begin(), out.begin() + made);
      at += size_t(size);
    }
    for (; at < in.size(); ++at) {
      byBlock->setInput(in[at]);
      bool more = true;
      for (float y = byBlock->nextOutput(more); more; y = byBlock->nextOutput(more)) got.push_back(y);
    }
    ASSERT_EQ(got.size(), want.size()) << "pitch " << pitch;
    for (size_t i = 0; i < got.size(); ++i) ASSERT_NEAR(got[i], want[i], 0.05f) << "pitch " << pitch << " at " << i;
  }
}

}  // namespace
}  // namespace lentaro
