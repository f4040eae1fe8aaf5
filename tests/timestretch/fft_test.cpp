#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "real_fft.h"
#include "sse_kernels.h"

namespace lentaro {
namespace {

using cd = std::complex<double>;
constexpr double kPi = 3.14159265358979323846;

std::vector<cd> naiveDft(const std::vector<cd>& x, int sign) {
  const size_t n = x.size();
  std::vector<cd> out(n);
  for (size_t k = 0; k < n; ++k) {
    cd sum = 0;
    for (size_t j = 0; j < n; ++j) sum += x[j] * std::polar(1.0, sign * 2 * kPi * double((j * k) % n) / double(n));
    out[k] = sum;
  }
  return out;
}

std::vector<float> randomFrame(int count, unsigned seed, float scale = 1000.0f) {
  std::mt19937 rng(seed);
  std::uniform_real_distribution<float> d(-scale, scale);
  std::vector<float> v(count);
  for (auto& x : v) x = d(rng);
  return v;
}

class RealTransform : public ::testing::TestWithParam<int> {};

TEST_P(RealTransform, MatchesNaiveDftAndRoundTrips) {
  const int N = GetParam();
  const std::vector<float> x = randomFrame(N, N);
  std::vector<float> frame(x);
  frame.resize(N + 2);
  ASSERT_TRUE(realForward(frame.data(), N / 2));

  std::vector<cd> xc(x.begin(), x.end());
  const std::vector<cd> ref = naiveDft(xc, -1);
  double maxAbs = 0, maxErr = 0;
  for (float v : x) maxAbs = std::max(maxAbs, double(std::fabs(v)));
  for (int k = 0; k <= N / 2; ++k)
    maxErr = std::max(maxErr, std::abs(cd(frame[2 * k], frame[2 * k + 1]) - ref[k]));
  EXPECT_LE(maxErr, 1e-5 * N * maxAbs);

  ASSERT_TRUE(realInverse(frame.data(), N / 2));
  double roundTrip = 0;
  for (int m = 0; m < N; ++m) roundTrip = std::max(roundTrip, double(std::fabs(frame[m] - x[m])));
  EXPECT_LE(roundTrip, 1e-5 * maxAbs);
}

INSTANTIATE_TEST_SUITE_P(FrameSizes, RealTransform, ::testing::Values(512, 1024, 2048));

TEST(RealTransform, KnownSpectra) {
  const int N = 512;
  struct Case {
    const char* name;
    double (*signal)(int m);
    int bin;
    cd value;
  } cases[] = {
      {"ones", [](int) { return 1.0; }, 0, cd(N, 0)},
      {"cos3", [](int m) { return std::cos(2 * kPi * 3 * m / N); }, 3, cd(N / 2.0, 0)},
      {"sin3", [](int m) { return std::sin(2 * kPi * 3 * m / N); }, 3, cd(0, -N / 2.0)},
  };
  for (const Case& c : cases) {
    std::vector<float> frame(N + 2);
    for (int m = 0; m < N; ++m) frame[m] = float(c.signal(m));
    realForward(frame.data(), N / 2);
    for (int k = 0; k <= N / 2; ++k) {
      const cd expected = k == c.bin ? c.value : cd(0, 0);
      EXPECT_NEAR(frame[2 * k], expected.real(), 1e-3) << c.name << " bin " << k;
      EXPECT_NEAR(frame[2 * k + 1], expected.imag(), 1e-3) << c.name << " bin " << k;
    }
  }
}

// The complex transform itself, with a stride and both directions, over lengths
// whose factor lists differ (2; 4; 2,2,2; 4,2,2,2,4; 4,4,4,4,4).
TEST(ComplexTransform, MatchesNaiveDftInBothDirections) {
  for (int n : {2, 4, 8, 128, 1024}) {
    for (int isn : {-2, 2}) {
      std::vector<float> data = randomFrame(2 * n, n + isn);
      std::vector<cd> x(n);
      for (int j = 0; j < n; ++j) x[j] = cd(data[2 * j], data[2 * j + 1]);
      std::vector<cd> ref = naiveDft(x, isn < 0 ? -1 : 1);
      if (isn > 0)
        for (auto& v : ref) v /= n;
      ASSERT_TRUE(fft(data.data(), data.data() + 1, 1, n, 1, isn));
      double err = 0, scale = 0;
      for (int k = 0; k < n; ++k) {
        err = std::max(err, std::abs(cd(data[2 * k], data[2 * k + 1]) - ref[k]));
        scale = std::max(scale, std::abs(ref[k]));
      }
      EXPECT_LE(err, 1e-5 * scale + 1e-3) << "n=" << n << " isn=" << isn;
    }
  }
}

// The SSE2 transform of every frame size the stretcher accepts (16 to 2048 reals;
// 16 goes to the scalar transform) on random and edge frames: within the same
// bound of the exact DFT as the scalar transform, close to the scalar result, and
// back to the frame.
TEST(SseRealTransform, EveryFrameSizeMatchesTheDftAndTheScalarTransform) {
  struct Frame {
    const char* name;
    std::vector<float> (*make)(int N);
  } frames[] = {
      {"random", [](int N) { return randomFrame(N, unsigned(N) * 3 + 1, 30000.0f); }},
      {"zeros", [](int N) { return std::vector<float>(size_t(N), 0.0f); }},
      {"impulse at 1", [](int N) { std::vector<float> v(size_t(N), 0.0f); v[1] = 32767.0f; return v; }},
      {"full-scale constant", [](int N) { return std::vector<float>(size_t(N), -32768.0f); }},
      {"alternating full scale", [](int N) {
         std::vector<float> v(static_cast<size_t>(N), 0.0f);
         for (int m = 0; m < N; ++m) v[size_t(m)] = m % 2 ? 32767.0f : -32768.0f;
         return v;
       }},
      {"tiny", [](int N) { return randomFrame(N, 5, 1e-3f); }},
  };
  sse::FftScratch scratch;
  for (int N = 16; N <= 2048; N *= 2) {
    for (const Frame& f : frames) {
      const std::vector<float> x = f.make(N);
      std::vector<float> frame(x), reference(x);
      frame.resize(size_t(N) + 2, 777.0f);  // the extra bin is written, whatever was there
      reference.resize(size_t(N) + 2, 777.0f);
      ASSERT_TRUE(sse::realForward(frame.data(), N / 2, scratch));
      ASSERT_TRUE(realForward(reference.data(), N / 2));
      const std::vector<cd> exact = naiveDft(std::vector<cd>(x.begin(), x.end()), -1);
      double maxAbs = 0, err = 0, fromScalar = 0;
      for (float v : x) maxAbs = std::max(maxAbs, double(std::fabs(v)));
      for (int k = 0; k <= N / 2; ++k) {
        const cd got(frame[size_t(2 * k)], frame[size_t(2 * k + 1)]);
        err = std::max(err, std::abs(got - exact[size_t(k)]));
        fromScalar = std::max(fromScalar, std::abs(got - cd(reference[size_t(2 * k)], reference[size_t(2 * k + 1)])));
      }
      EXPECT_LE(err, 1e-5 * N * maxAbs) << f.name << " N=" << N;
      EXPECT_LE(fromScalar, 2e-6 * N * maxAbs) << f.name << " N=" << N;
      EXPECT_EQ(frame[1], 0.0f) << f.name << " N=" << N;  // bins 0 and N/2 are real
      EXPECT_EQ(frame[size_t(N) + 1], 0.0f) << f.name << " N=" << N;

      // the inverse of the scalar transform's bins, beside the scalar inverse
      std::vector<float> back(reference);
      ASSERT_TRUE(sse::realInverse(back.data(), N / 2, scratch));
      ASSERT_TRUE(realInverse(reference.data(), N / 2));
      double roundTrip = 0, inverseFromScalar = 0;
      for (int m = 0; m < N; ++m) {
        roundTrip = std::max(roundTrip, double(std::fabs(back[size_t(m)] - x[size_t(m)])));
        inverseFromScalar = std::max(inverseFromScalar, double(std::fabs(back[size_t(m)] - reference[size_t(m)])));
      }
      EXPECT_LE(roundTrip, 1e-5 * maxAbs) << f.name << " N=" << N;
      EXPECT_LE(inverseFromScalar, 1e-5 * maxAbs) << f.name << " N=" << N;
    }
  }
}

// The inverse takes the imaginary parts of bins 0 and N/2 as they are given, as
// the scalar inverse does.
TEST(SseRealTransform, InverseOfArbitraryBinsMatchesTheScalarInverse) {
  sse::FftScratch scratch;
  for (int N : {32, 512, 2048}) {
    std::vector<float> bins = randomFrame(N + 2, unsigned(N), 5000.0f);
    std::vector<float> reference(bins);
    ASSERT_TRUE(sse::realInverse(bins.data(), N / 2, scratch));
    ASSERT_TRUE(realInverse(reference.data(), N / 2));
    double err = 0, scale = 0;
    for (int m = 0; m < N; ++m) {
      err = std::max(err, double(std::fabs(bins[size_t(m)] - reference[size_t(m)])));
      scale = std::max(scale, double(std::fabs(reference[size_t(m)])));
    }
    EXPECT_LE(err, 1e-5 * scale) << "N=" << N;
  }
}

TEST(ComplexTransform, RefusesLengthsItDoesNotSupport) {
  std::vector<float> data(2 * 12, 1.0f);
  EXPECT_FALSE(fft(data.data(), data.data() + 1, 1, 12, 1, -2));
  EXPECT_EQ(data, std::vector<float>(24, 1.0f));
}

}  // namespace
}  // namespace lentaro
