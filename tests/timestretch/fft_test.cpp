#include <gtest/gtest.h>

#include <cmath>
#include <complex>
#include <random>
#include <vector>

#include "real_fft.h"

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

TEST(ComplexTransform, RefusesLengthsItDoesNotSupport) {
  std::vector<float> data(2 * 12, 1.0f);
  EXPECT_FALSE(fft(data.data(), data.data() + 1, 1, 12, 1, -2));
  EXPECT_EQ(data, std::vector<float>(24, 1.0f));
}

}  // namespace
}  // namespace lentaro
