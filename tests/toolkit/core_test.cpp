#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tav/test/files.h"
#include "tav/test/icon_image.h"
#include "toolkit/core/file_filter.h"
#include "toolkit/core/icon_file.h"
#include "toolkit/core/ini_values.h"
#include "toolkit/core/pixels.h"
#include "toolkit/core/text.h"

namespace tav {
namespace {

TEST(IniValues, IntegerTextTable) {
  struct Case {
    const char* text;
    int32_t expected;  // with fallback 77
  } cases[] = {
      {"12", 12},          {"-12", -12},         {"+5", 5},           {"  42", 42},
      {"0", 0},            {"2147483647", 2147483647}, {"-2147483648", INT32_MIN},
      {"2147483648", 77},  {"-2147483649", 77},  {"99999999999999999999", 77},
      {"12abc", 77},       {"", 77},             {"-", 77},           {"abc", 77},
      {"12 ", 77},         {"1.5", 77},          {"0x10", 77},        {"--1", 77},
  };
  for (const auto& c : cases) EXPECT_EQ(IniIntegerOr(c.text, 77), c.expected) << '"' << c.text << '"';
}

TEST(IniValues, LeadingIntegerTable) {
  struct Case {
    const char* text;
    int32_t expected;
  } cases[] = {
      {"55zz", 55},   {"  -5", -5},   {"+300", 300}, {"", 0},           {"abc", 0},
      {"-", 0},       {" 12 34", 12}, {"\t7", 7},    {"0x10", 0},       {"-0", 0},
      {"99999999999999999999", 2147483647}, {"-99999999999", INT32_MIN},
      {"2147483647", 2147483647},           {"-2147483648", INT32_MIN},
      {"2147483648", 2147483647},           {"--1", 0},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseLeadingInteger(c.text), c.expected) << '"' << c.text << '"';
}

TEST(IniValues, BooleansAreIntegers) {
  EXPECT_EQ(FormatIniBool(true), "1");
  EXPECT_EQ(FormatIniBool(false), "0");
  EXPECT_TRUE(IniBoolOr("1", false));
  EXPECT_TRUE(IniBoolOr("-3", false));
  EXPECT_FALSE(IniBoolOr("0", true));
  EXPECT_TRUE(IniBoolOr("yes", true));    // not an integer: the fallback
  EXPECT_FALSE(IniBoolOr("", false));
  EXPECT_EQ(IniIntegerOr(FormatIniInteger(INT32_MIN), 0), INT32_MIN);
}

TEST(FileFilter, BarsBecomeNulsWithDoubleTerminator) {
  using namespace std::literals;
  EXPECT_EQ(DialogFilterFromText(u"图标 (*.ico)|*.ico"), u"图标 (*.ico)\0*.ico\0\0"s);
  EXPECT_EQ(DialogFilterFromText(u"A|*.mp3;*.wav|B|*.*"), u"A\0*.mp3;*.wav\0B\0*.*\0\0"s);
  EXPECT_EQ(FilterPairCount(u"A|*.mp3;*.wav|B|*.*"), 2);
  // A description without its pattern gets an empty one.
  EXPECT_EQ(DialogFilterFromText(u"A|*.a|B"), u"A\0*.a\0B\0\0\0"s);
  EXPECT_EQ(DialogFilterFromText(u""), u"\0\0"s);
  EXPECT_EQ(FilterPairCount(u""), 0);
}

TEST(FileFilter, DefaultExtensionTable) {
  struct Case {
    std::u16string_view setting, appended;
  } cases[] = {
      {u"*.brindle", u"brindle"}, {u".brindle", u"brindle"}, {u"brindle", u"brindle"},
      {u".wav", u"wav"},          {u"fxp", u"fxp"},          {u"", u""},
      {u"*.", u""},               {u".", u""},
  };
  for (const auto& c : cases) EXPECT_EQ(NormalisedDefaultExtension(c.setting), c.appended) << Utf16ToUtf8(c.setting);
}

TEST(IconFile, DirectoryOfGeneratedFiles) {
  const auto file = test::MakeIconFile({{16, 0xFFFF0000}, {32, 0xFF00FF00}, {256, 0xFF0000FF}});
  const auto images = ReadIconDirectory(file.data(), file.size());
  ASSERT_TRUE(images);
  ASSERT_EQ(images->size(), 3u);
  EXPECT_EQ((*images)[0].Width, 16);
  EXPECT_EQ((*images)[1].Height, 32);
  EXPECT_EQ((*images)[2].Width, 256);  // written as 0
  EXPECT_EQ((*images)[2].BitCount, 32);
  EXPECT_FALSE((*images)[0].Png);
  EXPECT_EQ((*images)[1].Offset, (*images)[0].Offset + (*images)[0].Size);
  EXPECT_EQ(ChooseIconImage(*images, 32), 1u);
  EXPECT_EQ(ChooseIconImage(*images, 0), 0u);
  EXPECT_EQ(ChooseIconImage(*images, 48), 0u);  // no such size: the first
}

TEST(IconFile, WhatIsNoIcon) {
  const auto good = test::MakeIconFile({{16, 0xFFFFFFFF}});
  auto with = [&](size_t at, uint8_t v) {
    auto f = good;
    f[at] = v;
    return f;
  };
  auto cut = [&](size_t n) { return std::vector<uint8_t>(good.begin(), good.begin() + n); };
  const std::string text = "[Brindle Vardo preset]\r\nbassout=50\r\n";
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
  } cases[] = {
      {"text", {text.begin(), text.end()}},
      {"empty", {}},
      {"reserved word set", with(0, 1)},
      {"a cursor file", with(2, 2)},
      {"no pictures", with(4, 0)},
      {"directory cut short", cut(12)},
      {"picture cut short", cut(good.size() - 1)},
      {"picture offset past the end", with(21, 0x7F)},
      {"picture neither DIB nor PNG", with(22, 0x29)},
  };
  for (const auto& c : cases) EXPECT_FALSE(ReadIconDirectory(c.bytes.data(), c.bytes.size())) << c.what;
  EXPECT_TRUE(ReadIconDirectory(good.data(), good.size()));
}

TEST(IconFile, RealIconsOfTheSystem) {
  // Icons other programs ship: several sizes with a PNG picture, and an old
  // 16-colour one that leaves planes and bit count at 0 in its directory.
  int read = 0;
  for (const char* path : {"/usr/share/clang/scan-view-14/share/bugcatcher.ico",
                           "/usr/lib/python3/dist-packages/idlelib/Icons/idle.ico",
                           "/usr/lib/python3.11/idlelib/Icons/idle.ico"}) {
    const auto bytes = test::ReadFileBytes<std::vector<uint8_t>>(path);
    if (bytes.empty()) continue;
    const auto images = ReadIconDirectory(bytes.data(), bytes.size());
    ASSERT_TRUE(images) << path;
    for (const auto& im : *images) EXPECT_GT(im.BitCount, 0) << path;
    ++read;
  }
  if (read == 0) GTEST_SKIP() << "no icon files on this system";
}

TEST(Text, Utf8RoundTripWithChineseAndAstral) {
  const std::string utf8 = "播放 V1.5 \xF0\x9F\x8E\xB5";
  const std::u16string wide = Utf8ToUtf16(utf8);
  EXPECT_EQ(wide, u"播放 V1.5 \U0001F3B5");
  EXPECT_EQ(Utf16ToUtf8(wide), utf8);
  EXPECT_EQ(Utf8ToUtf16("a\xFF" "b\xE6\x92"), u"a\uFFFDb\uFFFD");
  EXPECT_EQ(Utf16ToUtf8(std::u16string(1, char16_t(0xD800))), "\xEF\xBF\xBD");
}

constexpr TColor kKey = RGBColor(128, 128, 0);
constexpr TColor kRed = RGBColor(255, 0, 0);
constexpr TColor kBlue = RGBColor(0, 0, 255);
constexpr TColor kBack = RGBColor(10, 20, 30);

// A 3 x 2 source: key pixels on the diagonal-ish, colours elsewhere.
//   R K B
//   K R K
PixelImage MakeSource() {
  PixelImage src(3, 2, kKey);
  src.View().SetColor(0, 0, kRed);
  src.View().SetColor(2, 0, kBlue);
  src.View().SetColor(1, 1, kRed);
  return src;
}

std::string Picture(const PixelView& v) {
  std::string out;
  for (int y = 0; y < v.Height; ++y) {
    for (int x = 0; x < v.Width; ++x) {
      const TColor c = v.ColorAt(x, y);
      out += c == kRed ? 'R' : c == kBlue ? 'B' : c == kBack ? '.' : c == kKey ? 'K' : '?';
    }
    out += '\n';
  }
  return out;
}

TEST(KeyedDrawing, KeyPixelsLeaveTargetUnchanged) {
  const PixelImage src = MakeSource();
  PixelImage dst(5, 4, kBack);
  DrawTransparent(src.View(), {}, dst.View(), 1, 1, kKey);
  EXPECT_EQ(Picture(dst.View()),
            ".....\n"
            ".R.B.\n"
            "..R..\n"
            ".....\n");
  EXPECT_EQ(Picture(src.View()), "RKB\nKRK\n");  // the source is not changed
}

TEST(KeyedDrawing, SourceRectIsCutAtEdgesAndTargetClipped) {
  const PixelImage src = MakeSource();
  PixelImage dst(4, 3, kBack);
  // Right column and beyond: only column 2 exists.
  DrawTransparent(src.View(), {2, 0, 10, 10}, dst.View(), 0, 0, kKey);
  EXPECT_EQ(Picture(dst.View()), "B...\n....\n....\n");
  // Partly off the target's left and bottom edges.
  PixelImage dst2(3, 2, kBack);
  DrawTransparent(src.View(), {}, dst2.View(), -1, 1, kKey);
  EXPECT_EQ(Picture(dst2.View()), "...\n.B.\n");
  // A different key draws the key-coloured pixels too.
  PixelImage dst3(3, 2, kBack);
  DrawTransparent(src.View(), {}, dst3.View(), 0, 0, kBack);
  EXPECT_EQ(Picture(dst3.View()), "RKB\nKRK\n");
}

TEST(KeyedDrawing, FillAndCopyClip) {
  PixelImage dst(3, 2, kBack);
  FillRect(dst.View(), {-5, 1, 2, 9}, kBlue);
  EXPECT_EQ(Picture(dst.View()), "...\nBB.\n");
  const PixelImage src = MakeSource();
  CopyRect(src.View(), {1, 0, 3, 1}, dst.View(), 2, 0);
  EXPECT_EQ(Picture(dst.View()), "..K\nBB.\n");
}

}  // namespace
}  // namespace tav
