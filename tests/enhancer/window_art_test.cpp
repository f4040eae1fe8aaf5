// The enhancer window's pictures have the sizes the window lays out.
#include <gtest/gtest.h>

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace {

std::vector<uint8_t> ReadFile(const std::string& name) {
  std::ifstream in(std::string(BRINDLE_ART_DIR) + "/" + name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

int32_t Le32(const std::vector<uint8_t>& b, size_t at) {
  return int32_t(uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24);
}

TEST(EnhancerArt, PicturesHaveTheirSizes) {
  struct Case { const char* file; int32_t w, h; } cases[] = {
      {"header.bmp", 275, 116},        {"about.bmp", 269, 180},
      {"button_bass.bmp", 147, 18},    {"button_music.bmp", 147, 18},
      {"button_settings.bmp", 183, 18}, {"button_save.bmp", 150, 18},
      {"button_delete.bmp", 150, 18},  {"button_about.bmp", 246, 31},
      {"slider_thumb.bmp", 22, 16},    {"slider_ruler.bmp", 20, 6},
  };
  for (const auto& c : cases) {
    const auto b = ReadFile(c.file);
    ASSERT_GE(b.size(), 54u) << c.file;
    EXPECT_EQ(b[0], 'B');
    EXPECT_EQ(Le32(b, 2), int32_t(b.size())) << c.file;
    EXPECT_EQ(Le32(b, 18), c.w) << c.file;
    EXPECT_EQ(Le32(b, 22), c.h) << c.file;
    EXPECT_EQ(b[28], 24) << c.file;
  }
}

TEST(EnhancerArt, IconHolds16And32PixelImages) {
  const auto b = ReadFile("brindle.ico");
  ASSERT_GE(b.size(), 38u);
  EXPECT_EQ(b[2], 1);  // an icon, not a cursor
  ASSERT_EQ(b[4], 2);
  EXPECT_EQ(b[6], 16);
  EXPECT_EQ(b[22], 32);
  for (size_t e : {size_t{6}, size_t{22}}) {
    const int32_t size = Le32(b, e + 8), offset = Le32(b, e + 12);
    ASSERT_LE(size_t(offset + size), b.size());
    EXPECT_EQ(Le32(b, offset + 4), b[e]);
    EXPECT_EQ(Le32(b, offset + 8), 2 * b[e]) << "colour and mask";
  }
}

}  // namespace
