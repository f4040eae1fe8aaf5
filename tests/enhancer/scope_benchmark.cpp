// One scope frame of the enhancer window: the grid copied and 266 columns of
// two frames each drawn from the ring into the 265 x 49 picture.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <vector>

#include "processor.h"
#include "window/scope.h"

namespace {

using namespace brindle::window;

void ScopeFrame(benchmark::State& state) {
  const auto layout = MakeScopeLayout(kScopeWidth, kScopeHeight);
  const Raster grid = MakeScopeGrid(layout);
  std::vector<int16_t> ring(brindle::kScopeRingValues);
  for (size_t i = 0; i < ring.size(); ++i)
    ring[i] = static_cast<int16_t>(20000 * std::sin(0.01 * static_cast<double>(i / 2) + (i % 2)));
  Raster out = grid;
  int32_t start = 0;
  for (auto _ : state) {
    const int32_t index = ScopeReadIndex(start, start - 2, 2000, 44100, kScopeWidth, brindle::kScopeRingValues);
    DrawScopeFrame(layout, grid, ring, index, out);
    benchmark::DoNotOptimize(out.pixels.data());
    start = (start + 2304) % brindle::kScopeRingValues;
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(ScopeFrame)->Unit(benchmark::kMicrosecond);

}  // namespace
