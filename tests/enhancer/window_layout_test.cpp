// The enhancer window's portable rules: placement, panels, outline, value
// texts, the scope's index, raster and delay, the clip text.
#include <gtest/gtest.h>

#include <array>
#include <vector>

#include "processor.h"
#include "window/placement.h"
#include "window/scope.h"
#include "window/value_texts.h"

namespace brindle::window {
namespace {

const Rect kDesktop{0, 0, 1024, 768};
const Rect kHost{400, 300, 675, 416};  // a 275 x 116 host

TEST(EnhancerPlacement, DesktopClampKeeps25PixelsOnEverySide) {
  struct Case { Point in, out; } cases[] = {
      {{-251, 10}, {-250, 10}},   // far left: 25 px stay
      {{-250, 10}, {-250, 10}},
      {{1000, 10}, {999, 10}},    // right
      {{10, 744}, {10, 743}},     // bottom
      {{10, -92}, {10, -91}},     // top: 25 px of the header stay too
      {{10, -91}, {10, -91}},
      {{10, -500}, {10, -91}},
      {{100, 100}, {100, 100}},
  };
  for (const auto& c : cases) EXPECT_EQ(ClampToDesktop(c.in, kDesktop), c.out) << c.in.x << "," << c.in.y;
}

TEST(EnhancerPlacement, StartupSnapsWithin14PixelsNot15) {
  struct Case { Point in; Point target; bool docked; } cases[] = {
      {{400, 416 + 14}, {400, 416}, true},        // below the host
      {{400, 416 + 15}, {400, 431}, false},
      {{400, 416 - 14}, {400, 416}, true},
      {{675 + 14, 300}, {675, 300}, true},        // right of it; top test also passes
      {{675 + 15, 320}, {690, 320}, false},
      {{400 - 275 - 14, 320}, {125, 320}, true},  // left of it
      {{400 - 275 - 15, 320}, {110, 320}, false},
      {{400, 300 - 116 + 14}, {400, 184}, true},  // above it
      {{400, 300 - 116 - 15}, {400, 169}, false},
      {{410, 310}, {400, 300}, true},             // 10 px off the corner: both axes
      {{400, 800}, {400, 800}, false},            // far away
  };
  for (const auto& c : cases) {
    auto r = SnapAtStartup(c.in, 275, kHost);
    EXPECT_EQ(r.target, c.target) << c.in.x << "," << c.in.y;
    EXPECT_EQ(r.docked, c.docked) << c.in.x << "," << c.in.y;
  }
}

TEST(EnhancerPlacement, LaterStartupTestsOverrideEarlierOnes) {
  // a host only 20 px high: top (test 1) and bottom (test 2) both pass; the bottom wins
  const Rect flat{400, 300, 675, 320};
  EXPECT_EQ(SnapAtStartup({400, 310}, 275, flat).target, (Point{400, 320}));
}

TEST(EnhancerPlacement, DragFollowsThePointerAndHoldsAnEdgeFor15Pixels) {
  const Point grab{50, 10};
  struct Case { Point pos, pointer, target; bool docked; } cases[] = {
      {{900, 700}, {70, 30}, {920, 720}, false},    // free drag follows the pointer
      {{400, 416}, {60, 20}, {400, 416}, true},     // on the bottom edge, 10 px off the grab: held
      {{400, 416}, {60, 25}, {400, 431}, true},     // 15 px along y: y lets go, x still held
      {{400, 416}, {65, 20}, {415, 416}, true},     // 15 px along x: slides along the edge
      {{400, 416}, {80, 40}, {430, 446}, false},    // far enough on both axes: free
      {{400, 300 - 116}, {50, 14}, {400, 184}, true},  // the seventh test: above the host
  };
  for (const auto& c : cases) {
    auto r = SnapWhileDragging(c.pos, 275, c.pointer, grab, kHost);
    EXPECT_EQ(r.target, c.target) << c.pos.x << "," << c.pos.y << " " << c.pointer.x << "," << c.pointer.y;
    EXPECT_EQ(r.docked, c.docked);
  }
  // the third test: bottoms aligned, against a host taller than the header
  const Rect tall{400, 300, 675, 600};
  EXPECT_EQ(SnapWhileDragging({400, 490}, 275, {50, 12}, grab, tall).target, (Point{400, 484}));
}

TEST(EnhancerPlacement, FollowsAHostMoveAndUndocksOnAJump) {
  const Point pos{400, 416};
  const Point off = DockOffsetOf(kHost, pos);
  EXPECT_EQ(off, (Point{0, -116}));
  auto moved = kHost;
  moved.left += 50; moved.top += 30; moved.right += 50; moved.bottom += 30;
  auto r = FollowHost(kHost, moved, off);
  EXPECT_EQ(r.action, FollowResult::Action::move);
  EXPECT_EQ(r.target, (Point{450, 446}));
  EXPECT_EQ(FollowHost(kHost, kHost, off).action, FollowResult::Action::none);
  auto resized = kHost;
  resized.right += 300;  // only the corner is followed
  EXPECT_EQ(FollowHost(kHost, resized, off).action, FollowResult::Action::none);
  auto jumped = kHost;
  jumped.left -= 1000;
  EXPECT_EQ(FollowHost(kHost, jumped, off).action, FollowResult::Action::undock);
  jumped = kHost;
  jumped.top += 999;
  EXPECT_EQ(FollowHost(kHost, jumped, off).action, FollowResult::Action::move);
  const Rect minimised{-32000, -32000, -31840, -31970};
  EXPECT_EQ(FollowHost(kHost, minimised, off).action, FollowResult::Action::undock);
}

TEST(EnhancerPanels, SequenceGivesTheHeights) {
  Panel open = Panel::none;
  std::vector<int32_t> heights;
  for (Panel pressed : {Panel::bass, Panel::music, Panel::music, Panel::settings}) {
    open = TogglePanel(open, pressed);
    heights.push_back(WindowHeight(open));
  }
  EXPECT_EQ(heights, (std::vector<int32_t>{361, 442, 116, 211}));
  EXPECT_EQ(open, Panel::settings);
  // the snaps use the header's height whatever is open
  EXPECT_EQ(SnapAtStartup({400, 300 - 116 + 5}, 275, kHost).target.y, 184);
}

TEST(EnhancerOutline, MembershipAtSamplePoints) {
  struct Case { int32_t x, y; bool in; } cases[] = {
      {0, 0, false}, {8, 0, false}, {9, 0, true}, {265, 0, true}, {266, 0, false},
      {0, 8, false}, {0, 9, true}, {0, 106, true}, {0, 107, false},
      {274, 9, true}, {275, 9, false}, {274, 106, true}, {274, 107, false},
      {3, 3, true}, {2, 3, false}, {137, 58, true}, {271, 3, true}, {272, 3, false},
      {5, 115, false}, {6, 114, true}, {8, 116, false}, {9, 116, true}, {9, 499, true},
      {9, 500, false}, {137, 499, true}, {264, 300, true}, {267, 200, false},
      {-1, 50, false}, {276, 50, false},
  };
  for (const auto& c : cases) EXPECT_EQ(InWindowOutline(c.x, c.y), c.in) << c.x << "," << c.y;
}

TEST(EnhancerValueTexts, EverySliderAtItsEndsAndListedValues) {
  struct Case { Param p; int32_t pos; const char* text; } cases[] = {
      {Param::bassinlopass, 0, "120Hz"}, {Param::bassinlopass, 100, "20Hz"},
      {Param::bassinhipass, 0, "120Hz"}, {Param::bassinhipass, 100, "20Hz"},
      {Param::bassinres, 0, "0%"}, {Param::bassinres, 100, "100%"},
      {Param::bassagc, 0, "100%"}, {Param::bassagc, 100, "400%"},
      {Param::bass3d, 0, "0% Stereo"}, {Param::bass3d, 100, "200% Stereo"},
      {Param::phatt, 0, "0%"}, {Param::phatt, 1, "0%"}, {Param::phatt, 70, "300%"}, {Param::phatt, 100, "512%"},
      {Param::basslopass, 0, "Off"}, {Param::basslopass, 1, "1500Hz"}, {Param::basslopass, 2, "800Hz"},
      {Param::basslopass, 3, "400Hz"}, {Param::basslopass, 4, "250Hz"}, {Param::basslopass, 5, "180Hz"},
      {Param::basslopass, 6, "130Hz"}, {Param::basslopass, 7, "113Hz"}, {Param::basslopass, 100, "20Hz"},
      {Param::basshipass, 0, "120Hz"}, {Param::basshipass, 100, "20Hz"},
      {Param::bassres, 0, "0%"}, {Param::bassres, 100, "100%"},
      {Param::basscomp, 0, "30%"}, {Param::basscomp, 100, "130%"},
      {Param::bassout, 0, "0%"}, {Param::bassout, 100, "100%"},
      {Param::hipass, 0, ">210Hz"}, {Param::hipass, 100, ">10Hz"},
      {Param::dnl, 0, "0%"}, {Param::dnl, 100, "100%"},
      {Param::agc, 0, "100%"}, {Param::agc, 100, "500%"},
      {Param::wide3d, 0, "100% Stereo"}, {Param::wide3d, 1, "101% Stereo"}, {Param::wide3d, 100, "233% Stereo"},
      {Param::prologic, 0, "0%"}, {Param::prologic, 100, "100%"},
      {Param::treble, 0, "0%"}, {Param::treble, 100, "1000%"},
      {Param::trange, 0, ">20000Hz"}, {Param::trange, 100, ">3000Hz"},
      {Param::reverb, 100, "100%"}, {Param::size, 100, "100%"}, {Param::damp, 0, "0%"}, {Param::length, 100, "100%"},
      {Param::comp, 0, "50%"}, {Param::comp, 100, "450%"},
      {Param::speed, 0, "410ms"}, {Param::speed, 100, "10ms"},
      {Param::dry, 90, "90%"}, {Param::boost, 0, "+0%"}, {Param::boost, 100, "+200%"},
      {Param::soft, 1, ""}, {Param::inverted, 0, ""},
  };
  for (const auto& c : cases) EXPECT_EQ(ValueText(c.p, c.pos), c.text) << Info(c.p).key << " " << c.pos;
}

TEST(EnhancerScope, ReadIndexWrapsAndStaysEven) {
  constexpr int32_t kRing = kScopeRingValues;
  struct Case { int32_t start, last, delay, rate, index; } cases[] = {
      {5000, 0, 100, 44100, 5000},               // delay 100: the newest block's start
      {5000, 5000, 100, 44100, 5000 + 530},      // no new block: 2 x W further on
      {0, 2, 200, 44100, kRing - 8820},          // below 0 wraps to the ring's end
      {kRing - 200, kRing - 200, 100, 44100, 330},  // at or past the end wraps to the start
      {1000, 0, 101, 44100, 1000 - 88},          // 88.2 values a millisecond: kept even
      {1000, 0, 103, 44100, 1000 - 264},         // 264.6 -> 264
      {1000, 0, 10000, 192000, 1000 + 4 * kRing - 3801600},  // 3.8 million behind: still in the ring
      {1000, 0, 10000, 384000, (1000 + 8 * kRing - 7603200) % kRing},
  };
  for (const auto& c : cases) {
    int32_t i = ScopeReadIndex(c.start, c.last, c.delay, c.rate, kScopeWidth, kRing);
    EXPECT_EQ(i, c.index) << c.start << " " << c.delay << " " << c.rate;
    EXPECT_GE(i, 0);
    EXPECT_LT(i, kRing);
    EXPECT_EQ(i % 2, 0);
  }
}

TEST(EnhancerScope, FramesSpendCreditAndNoteTheBlock) {
  std::atomic<int32_t> credit{0};
  int32_t last = 0;
  EXPECT_EQ(NextScopeFrame(credit, 4000, last, 100, 44100, kScopeWidth, kScopeRingValues), std::nullopt);
  EXPECT_EQ(last, 0) << "no frame, nothing noted";
  credit = 2;
  EXPECT_EQ(NextScopeFrame(credit, 4000, last, 100, 44100, kScopeWidth, kScopeRingValues), 4000);
  EXPECT_EQ(last, 4000);
  // no new block since: the stretch 2 x W values later
  EXPECT_EQ(NextScopeFrame(credit, 4000, last, 100, 44100, kScopeWidth, kScopeRingValues), 4530);
  EXPECT_EQ(credit.load(), 0);
  EXPECT_EQ(NextScopeFrame(credit, 6000, last, 100, 44100, kScopeWidth, kScopeRingValues), std::nullopt);
}

TEST(EnhancerScope, RasterOfAKnownRingPixelForPixel) {
  const auto layout = MakeScopeLayout(kScopeWidth, kScopeHeight);
  EXPECT_EQ(layout.midLeft, 24);
  EXPECT_EQ(layout.midRight, 23);
  const Raster grid = MakeScopeGrid(layout);
  // a ring of 1,000 values: left a ramp, right constant; read from near its end so it wraps
  std::vector<int16_t> ring(1000);
  for (size_t i = 0; i < ring.size(); i += 2) {
    ring[i] = static_cast<int16_t>(int(i % 200) * 300 - 30000);
    ring[i + 1] = -20000;
  }
  Raster out;
  DrawScopeFrame(layout, grid, ring, 900, out);
  // the expected picture, built pixel by pixel from the rules
  Raster want(kScopeWidth, kScopeHeight);
  for (int y = 0; y < kScopeHeight; ++y)
    for (int x = 0; x < kScopeWidth; ++x)
      want.pixels[size_t(y) * kScopeWidth + x] = (x % 8 == 0 || y % 8 == 0) ? kScopeGridColour : 0;
  size_t i = 900;
  for (int x = 0; x <= kScopeWidth; ++x) {
    for (int k = 0; k < 4; ++k) {
      const int16_t v = ring[(i + k) % ring.size()];
      const bool left = k % 2 == 0;
      const double yy = v * (49.0 / 65564.0) + (left ? 24 : 23);
      want.Set(x, int(yy), left ? kScopeLeftColour : kScopeRightColour);
    }
    i += 4;
  }
  ASSERT_EQ(out.width, kScopeWidth);
  ASSERT_EQ(out.height, kScopeHeight);
  int differing = 0;
  for (size_t p = 0; p < out.pixels.size(); ++p) differing += out.pixels[p] != want.pixels[p];
  EXPECT_EQ(differing, 0);
  // spot checks: the right trace at -20000 lies at row trunc(-14.94 + 23) = 8
  EXPECT_EQ(out.At(1, 8), kScopeRightColour);
  EXPECT_EQ(out.At(3, 1), 0u) << "the grid keeps black between its lines";
  EXPECT_EQ(out.At(8, 1), kScopeGridColour);
  // value 900: -30000 + 100*300 = 0 -> left trace on row 24 at column 0
  EXPECT_EQ(out.At(0, 24), kScopeLeftColour);
}

TEST(EnhancerScope, ExtremeValuesStayInsideTheBitmap) {
  const auto layout = MakeScopeLayout(kScopeWidth, kScopeHeight);
  const Raster grid = MakeScopeGrid(layout);
  std::vector<int16_t> ring(kScopeRingValues);
  for (size_t i = 0; i < ring.size(); ++i) ring[i] = (i / 2) % 2 ? 32767 : -32768;
  Raster out;
  DrawScopeFrame(layout, grid, ring, kScopeRingValues - 2, out);
  EXPECT_EQ(out.At(0, 0), kScopeLeftColour);   // -32768 -> row 0 (above the zero line)
  EXPECT_EQ(out.At(0, 48), kScopeLeftColour);  // 32767 -> row 48
}

TEST(EnhancerScope, DelayTextsAndRate) {
  struct Case { const char* text; int32_t ms; } cases[] = {
      {"50", 100}, {"", 100}, {"20000", 10000}, {"2000", 2000}, {" 300ms", 300},
      {"-5", 100}, {"abc", 100}, {"99999999999", 10000},
  };
  for (const auto& c : cases) EXPECT_EQ(ParseScopeDelay(c.text), c.ms) << c.text;
  EXPECT_EQ(DetectedDelayText("???", "500"), std::nullopt);
  EXPECT_EQ(DetectedDelayText("out_ds.dll", "1000"), "1000");
  EXPECT_EQ(ScopeFramePeriodMs(2), 500);
  EXPECT_EQ(ScopeFramePeriodMs(30), 33);
  EXPECT_EQ(ScopeFramePeriodMs(80), 12);
  EXPECT_EQ(ScopeRateText(80), "80fps");
}

TEST(EnhancerScope, ClipText) {
  EXPECT_EQ(ClipText(0.5f), "Clip: 0%");
  EXPECT_EQ(ClipText(3.7f), "Clip: 3%");
  EXPECT_EQ(ClipText(-0.03f), "Clip: 0%");
  EXPECT_EQ(ClipText(100.0f), "Clip: 100%");
}

}  // namespace
}  // namespace brindle::window
