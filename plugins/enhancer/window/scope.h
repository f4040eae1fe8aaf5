// The header's oscilloscope: where in the processor's ring a frame starts
// reading, how it is drawn into the scope bitmap, the delay typed in or taken
// from the host's settings, the frame rate and the clip display's text.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace brindle::window {

// A 24-bit picture as 0xRRGGBB values, row by row from the top.
struct Raster {
  int32_t width = 0;
  int32_t height = 0;
  std::vector<uint32_t> pixels;
  Raster() = default;
  Raster(int32_t w, int32_t h) : width(w), height(h), pixels(size_t(w) * size_t(h), 0) {}
  uint32_t At(int32_t x, int32_t y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
  // Pixels outside the picture are ignored.
  void Set(int32_t x, int32_t y, uint32_t rgb) {
    if (x >= 0 && y >= 0 && x < width && y < height) pixels[size_t(y) * size_t(width) + size_t(x)] = rgb;
  }
};

inline constexpr int32_t kScopeWidth = 265;
inline constexpr int32_t kScopeHeight = 49;
inline constexpr uint32_t kScopeLeftColour = 0x0000FF;   // blue
inline constexpr uint32_t kScopeRightColour = 0x00FF00;  // green
inline constexpr uint32_t kScopeGridColour = 0x505050;
inline constexpr int32_t kMinDelayMs = 100;
inline constexpr int32_t kMaxDelayMs = 10000;

struct ScopeLayout {
  int32_t width = kScopeWidth;
  int32_t height = kScopeHeight;
  int32_t midLeft = 0;
  int32_t midRight = 0;
  double scale = 0;
};
ScopeLayout MakeScopeLayout(int32_t width, int32_t height);

// Black with a grey line every 8 pixels each way.
Raster MakeScopeGrid(const ScopeLayout& layout);

// Where a frame starts reading: `delayMs` - 100 milliseconds behind the newest
// block's start, or 2 x width values on when no block came since the last
// frame. The offset is figured in 64 bits, kept even (an odd one would swap
// the two traces' colours) and the result is reduced by a true modulo, so any
// delay and rate stay inside the ring.
int32_t ScopeReadIndex(int32_t blockStart, int32_t lastBlockStart, int32_t delayMs,
                       int32_t sampleRate, int32_t width, int32_t ringSize);

// One tick of the scope's frame timer: nothing without frame credit, else one
// credit is spent and the frame's read index comes back; `lastBlockStart`
// remembers the block the frame started from.
std::optional<int32_t> NextScopeFrame(std::atomic<int32_t>& credit, int32_t blockStart,
                                      int32_t& lastBlockStart, int32_t delayMs, int32_t sampleRate,
                                      int32_t width, int32_t ringSize);

// One scope frame: the grid, then width + 1 columns of two frames each from
// `ring` (interleaved left/right, positions taken modulo the ring's size).
void DrawScopeFrame(const ScopeLayout& layout, const Raster& grid, std::span<const int16_t> ring,
                    int32_t readIndex, Raster& out);

// The delay edit's text as milliseconds: its leading number, 100 to 10000.
int32_t ParseScopeDelay(std::string_view text);

// The delay the host's settings give: its output buffer length ("cfg_buf_ms",
// "1000" when absent), or nothing when the output name is absent ("???").
std::optional<std::string> DetectedDelayText(std::string_view outputName,
                                             std::string_view bufferMsText);

// Frame rate slider: timer period in milliseconds and the label's text.
int32_t ScopeFramePeriodMs(int32_t framesPerSecond);
std::string ScopeRateText(int32_t framesPerSecond);

// The clip display: the held percentage's integer part.
std::string ClipText(float clipHeld);

}  // namespace brindle::window
