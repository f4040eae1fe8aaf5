#include "pixels.h"

#include <algorithm>

namespace tav {

PixelImage::PixelImage(int width, int height, TColor fill)
    : width_(std::max(width, 0)),
      height_(std::max(height, 0)),
      pixels_(static_cast<size_t>(width_) * height_, PixelFromColor(fill)) {}

void FillRect(const PixelView& target, TRect r, TColor color) {
  r.Left = std::max(r.Left, 0);
  r.Top = std::max(r.Top, 0);
  r.Right = std::min(r.Right, target.Width);
  r.Bottom = std::min(r.Bottom, target.Height);
  const uint32_t p = PixelFromColor(color);
  for (int y = r.Top; y < r.Bottom; ++y) std::fill(target.Row(y) + r.Left, target.Row(y) + r.Right, p);
}

namespace {

// Cuts the source rectangle to the source and the destination to the target;
// returns false when nothing is left.
bool ClipBlit(const PixelView& source, TRect& s, const PixelView& target, int& x, int& y) {
  if (s.IsEmpty()) s = {0, 0, source.Width, source.Height};
  if (s.Left < 0) x -= s.Left, s.Left = 0;
  if (s.Top < 0) y -= s.Top, s.Top = 0;
  s.Right = std::min(s.Right, source.Width);
  s.Bottom = std::min(s.Bottom, source.Height);
  if (x < 0) s.Left -= x, x = 0;
  if (y < 0) s.Top -= y, y = 0;
  s.Right = std::min(s.Right, s.Left + (target.Width - x));
  s.Bottom = std::min(s.Bottom, s.Top + (target.Height - y));
  return !s.IsEmpty();
}

}  // namespace

void DrawTransparent(const PixelView& source, TRect s, const PixelView& target, int x, int y,
                     TColor key) {
  if (!ClipBlit(source, s, target, x, y)) return;
  const uint32_t keyPixel = PixelFromColor(key);
  for (int row = 0; row < s.Height(); ++row) {
    const uint32_t* from = source.Row(s.Top + row) + s.Left;
    uint32_t* to = target.Row(y + row) + x;
    for (int col = 0; col < s.Width(); ++col)
      if ((from[col] & 0xFFFFFF) != keyPixel) to[col] = from[col];
  }
}

void CopyRect(const PixelView& source, TRect s, const PixelView& target, int x, int y) {
  if (!ClipBlit(source, s, target, x, y)) return;
  for (int row = 0; row < s.Height(); ++row)
    std::copy_n(source.Row(s.Top + row) + s.Left, s.Width(), target.Row(y + row) + x);
}

}  // namespace tav
