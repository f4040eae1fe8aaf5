#include "scope.h"

#include <algorithm>
#include <cmath>

#include "toolkit/core/ini_values.h"

namespace brindle::window {

ScopeLayout MakeScopeLayout(int32_t width, int32_t height) {
  ScopeLayout l;
  l.width = width;
  l.height = height;
  l.midLeft = height / 2;
  l.midRight = height / 2 - 1;
  l.scale = static_cast<double>(height) / 65564.0;
  return l;
}

Raster MakeScopeGrid(const ScopeLayout& l) {
  Raster g(l.width, l.height);
  // a line from (x, 0) to (x, H) covers rows 0 .. H-1, as a pen leaves out its end point
  for (int32_t x = 0; x < l.width; x += 8)
    for (int32_t y = 0; y < l.height; ++y) g.Set(x, y, kScopeGridColour);
  for (int32_t y = 0; y < l.height; y += 8)
    for (int32_t x = 0; x < l.width; ++x) g.Set(x, y, kScopeGridColour);
  return g;
}

int32_t ScopeReadIndex(int32_t blockStart, int32_t lastBlockStart, int32_t delayMs,
                       int32_t sampleRate, int32_t width, int32_t ringSize) {
  int64_t offset = static_cast<int64_t>(
      std::trunc(static_cast<double>(int64_t{delayMs} - 100) * static_cast<double>(sampleRate) / 500.0));
  offset -= offset % 2;  // frames are pairs: stay on a left value
  int64_t index = int64_t{blockStart} - offset;
  if (blockStart == lastBlockStart) index += 2 * int64_t{width};
  index %= ringSize;
  if (index < 0) index += ringSize;
  return static_cast<int32_t>(index);
}

std::optional<int32_t> NextScopeFrame(std::atomic<int32_t>& credit, int32_t blockStart,
                                      int32_t& lastBlockStart, int32_t delayMs, int32_t sampleRate,
                                      int32_t width, int32_t ringSize) {
  if (credit.load(std::memory_order_relaxed) < 1) return std::nullopt;
  credit.fetch_sub(1, std::memory_order_relaxed);
  const int32_t index = ScopeReadIndex(blockStart, lastBlockStart, delayMs, sampleRate, width, ringSize);
  lastBlockStart = blockStart;
  return index;
}

void DrawScopeFrame(const ScopeLayout& l, const Raster& grid, std::span<const int16_t> ring,
                    int32_t readIndex, Raster& out) {
  out = grid;
  const size_t n = ring.size();
  size_t i = static_cast<size_t>(readIndex) % n;
  auto y = [&](size_t at, int32_t mid) {
    return static_cast<int32_t>(std::trunc(ring[at % n] * l.scale + mid));
  };
  for (int32_t x = 0; x <= l.width; ++x) {
    out.Set(x, y(i, l.midLeft), kScopeLeftColour);
    out.Set(x, y(i + 1, l.midRight), kScopeRightColour);
    out.Set(x, y(i + 2, l.midLeft), kScopeLeftColour);
    out.Set(x, y(i + 3, l.midRight), kScopeRightColour);
    i = (i + 4) % n;
  }
}

int32_t ParseScopeDelay(std::string_view text) {
  return std::clamp(tav::ParseLeadingInteger(text), kMinDelayMs, kMaxDelayMs);
}

std::optional<std::string> DetectedDelayText(std::string_view outputName, std::string_view bufferMsText) {
  if (outputName == "???") return std::nullopt;
  return std::string(bufferMsText);
}

int32_t ScopeFramePeriodMs(int32_t fps) { return fps > 0 ? 1000 / fps : 0; }

std::string ScopeRateText(int32_t fps) { return std::to_string(fps) + "fps"; }

std::string ClipText(float clipHeld) {
  return "Clip: " + std::to_string(static_cast<int64_t>(std::trunc(clipHeld))) + "%";
}

}  // namespace brindle::window
