// Icon files written by the tests: one or more square 32-bit pictures of one
// colour each, as the .ico format stores them (a DIB of twice the height, the
// colour rows then the mask rows, bottom-up). Header only.
#pragma once

#include <cstdint>
#include <vector>

namespace tav::test {

struct IconPicture {
  int size;        // pixels (1..256)
  uint32_t argb;   // the colour of every pixel
};

inline std::vector<uint8_t> MakeIconFile(const std::vector<IconPicture>& pictures) {
  auto put16 = [](std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(uint8_t(v));
    b.push_back(uint8_t(v >> 8));
  };
  auto put32 = [&](std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
  };
  std::vector<std::vector<uint8_t>> data;
  for (const auto& p : pictures) {
    std::vector<uint8_t> d;
    put32(d, 40);
    put32(d, uint32_t(p.size));
    put32(d, uint32_t(p.size * 2));  // colour and mask
    put16(d, 1);
    put16(d, 32);
    put32(d, 0);  // BI_RGB
    const int maskRow = ((p.size + 31) / 32) * 4;
    put32(d, uint32_t(p.size * p.size * 4 + maskRow * p.size));
    for (int i = 0; i < 4; ++i) put32(d, 0);
    for (int i = 0; i < p.size * p.size; ++i) put32(d, p.argb);
    d.insert(d.end(), size_t(maskRow) * p.size, 0);  // all opaque
    data.push_back(std::move(d));
  }
  std::vector<uint8_t> file;
  put16(file, 0);
  put16(file, 1);
  put16(file, uint32_t(pictures.size()));
  uint32_t offset = uint32_t(6 + 16 * pictures.size());
  for (size_t i = 0; i < pictures.size(); ++i) {
    file.push_back(uint8_t(pictures[i].size & 0xFF));  // 256 is written 0
    file.push_back(uint8_t(pictures[i].size & 0xFF));
    file.push_back(0);
    file.push_back(0);
    put16(file, 1);
    put16(file, 32);
    put32(file, uint32_t(data[i].size()));
    put32(file, offset);
    offset += uint32_t(data[i].size());
  }
  for (const auto& d : data) file.insert(file.end(), d.begin(), d.end());
  return file;
}

}  // namespace tav::test
