// The directory of an icon file (.ico): which pictures it holds and where.
// Reading it first lets the window part refuse a file that is no icon with an
// error of its own instead of trusting the system's loader with any bytes.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace tav {

struct IconImage {
  int Width = 0, Height = 0;  // pixels (a 0 in the file means 256)
  int BitCount = 0;           // bits per pixel, 0 when the file does not say
  uint32_t Offset = 0;        // of the picture's bytes in the file
  uint32_t Size = 0;
  bool Png = false;           // a PNG stream instead of a DIB
};

// The pictures of an icon file, in file order; none when the bytes are no icon
// file (wrong header, no picture, a picture outside the file or one that is
// neither a DIB nor a PNG stream). Cursor files (.cur) are no icons.
std::optional<std::vector<IconImage>> ReadIconDirectory(const uint8_t* data, size_t size);

// The picture to show at a size: the one of that width with the most colours,
// else the first. Size 0 takes the first.
size_t ChooseIconImage(const std::vector<IconImage>& images, int size);

}  // namespace tav
