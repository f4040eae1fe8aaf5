#include "toolkit/core/icon_file.h"

#include <cstring>

namespace tav {

namespace {
uint16_t U16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24); }
constexpr uint8_t kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr uint32_t kInfoHeaderSize = 40;  // BITMAPINFOHEADER
}  // namespace

std::optional<std::vector<IconImage>> ReadIconDirectory(const uint8_t* data, size_t size) {
  if (!data || size < 6 || U16(data) != 0 || U16(data + 2) != 1) return std::nullopt;
  const size_t count = U16(data + 4);
  if (count == 0 || size < 6 + 16 * count) return std::nullopt;
  std::vector<IconImage> images;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = data + 6 + 16 * i;
    IconImage im;
    im.Width = e[0] ? e[0] : 256;
    im.Height = e[1] ? e[1] : 256;
    im.BitCount = U16(e + 6);
    im.Size = U32(e + 8);
    im.Offset = U32(e + 12);
    if (im.Offset > size || im.Size > size - im.Offset) return std::nullopt;
    const uint8_t* pic = data + im.Offset;
    if (im.Size >= sizeof kPngSignature && std::memcmp(pic, kPngSignature, sizeof kPngSignature) == 0) {
      im.Png = true;
    } else if (im.Size >= kInfoHeaderSize && U32(pic) == kInfoHeaderSize) {
      if (im.BitCount == 0) im.BitCount = U16(pic + 14);
    } else {
      return std::nullopt;
    }
    images.push_back(im);
  }
  return images;
}

size_t ChooseIconImage(const std::vector<IconImage>& images, int size) {
  size_t best = 0;
  bool found = false;
  for (size_t i = 0; size > 0 && i < images.size(); ++i)
    if (images[i].Width == size && (!found || images[i].BitCount > images[best].BitCount)) {
      best = i;
      found = true;
    }
  return best;
}

}  // namespace tav
