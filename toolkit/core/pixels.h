// Drawing on 32-bit pixel memory, the bits of a DIB section (top-down rows of
// 0x00RRGGBB words). Colours at the interface are TColor values: 0x00BBGGRR,
// red in the low byte, as the window system writes COLORREF.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

namespace tav {

using TColor = uint32_t;

constexpr TColor RGBColor(uint8_t r, uint8_t g, uint8_t b) {
  return TColor{r} | (TColor{g} << 8) | (TColor{b} << 16);
}
constexpr uint32_t PixelFromColor(TColor c) {
  return ((c & 0xFF) << 16) | (c & 0xFF00) | ((c >> 16) & 0xFF);
}
constexpr TColor ColorFromPixel(uint32_t p) { return PixelFromColor(p & 0xFFFFFF); }

struct TRect {
  int Left = 0, Top = 0, Right = 0, Bottom = 0;
  int Width() const { return Right - Left; }
  int Height() const { return Bottom - Top; }
  bool IsEmpty() const { return Right <= Left || Bottom <= Top; }
  bool operator==(const TRect&) const = default;
};

struct TPoint {
  int X = 0, Y = 0;
  bool operator==(const TPoint&) const = default;
};

// A view on pixel memory; does not own it.
struct PixelView {
  uint32_t* Bits = nullptr;
  int Width = 0;
  int Height = 0;
  int Stride = 0;  // in pixels

  uint32_t* Row(int y) const { return Bits + static_cast<ptrdiff_t>(y) * Stride; }
  TColor ColorAt(int x, int y) const { return ColorFromPixel(Row(y)[x]); }
  void SetColor(int x, int y, TColor c) const { Row(y)[x] = PixelFromColor(c); }
};

// Owned pixel memory, for pictures that need no window-system handle.
class PixelImage {
 public:
  PixelImage() = default;
  PixelImage(int width, int height, TColor fill = 0);
  int Width() const { return width_; }
  int Height() const { return height_; }
  PixelView View() { return {pixels_.data(), width_, height_, width_}; }
  PixelView View() const { return {const_cast<uint32_t*>(pixels_.data()), width_, height_, width_}; }

 private:
  int width_ = 0, height_ = 0;
  std::vector<uint32_t> pixels_;
};

// Fills the part of r that lies inside the target.
void FillRect(const PixelView& target, TRect r, TColor color);

// Copies source pixels in sourceRect to target at (x, y), leaving the target
// unchanged wherever the source pixel has the key colour. A source rectangle
// reaching past the source is cut at its edges; an empty one means the whole
// source. Parts falling outside the target are clipped.
void DrawTransparent(const PixelView& source, TRect sourceRect, const PixelView& target, int x,
                     int y, TColor key);

// Plain copy of a sub-rectangle (no key), clipped the same way.
void CopyRect(const PixelView& source, TRect sourceRect, const PixelView& target, int x, int y);

}  // namespace tav
