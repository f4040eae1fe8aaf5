#include "placement.h"

#include <cstdlib>

namespace brindle::window {

bool IsNear(int32_t a, int32_t b, int32_t c, int32_t d) {
  return b > c - kSnapDistance && a < d + kSnapDistance;
}

namespace {

bool Close(int32_t a, int32_t b) { return std::abs(a - b) < kSnapDistance; }

}  // namespace

Point ClampToDesktop(Point pos, const Rect& d) {
  constexpr int32_t kLeftLimit = kHeaderWidth - kKeptVisible;   // 250
  constexpr int32_t kTopLimit = kHeaderHeight - kKeptVisible;   // 91
  if (pos.x < d.left - kLeftLimit) pos.x = -kLeftLimit;
  if (pos.x > d.right - kKeptVisible) pos.x = d.right - kKeptVisible;
  if (pos.y < d.top - kTopLimit) pos.y = d.top - kTopLimit;
  if (pos.y > d.bottom - kKeptVisible) pos.y = d.bottom - kKeptVisible;
  return pos;
}

SnapResult SnapAtStartup(Point pos, int32_t width, const Rect& h) {
  SnapResult r{pos, false};
  const int32_t left = pos.x, top = pos.y;
  const bool alongX = IsNear(left, left + width, h.left, h.right);
  const bool alongY = IsNear(top, top + kHeaderHeight, h.top, h.bottom);
  auto setY = [&](int32_t y) { r.target.y = y; r.docked = true; };
  auto setX = [&](int32_t x) { r.target.x = x; r.docked = true; };
  if (Close(h.top, top) && alongX) setY(h.top);
  if (Close(h.bottom, top) && alongX) setY(h.bottom);
  if (Close(h.left, left) && alongY) setX(h.left);
  if (Close(h.right, left) && alongY) setX(h.right);
  if (Close(h.left, left + width) && alongY) setX(h.left - width);
  if (Close(h.top, top + kHeaderHeight) && alongX) setY(h.top - kHeaderHeight);
  return r;
}

SnapResult SnapWhileDragging(Point pos, int32_t width, Point pointer, Point grab, const Rect& h) {
  SnapResult r{{pos.x + pointer.x - grab.x, pos.y + pointer.y - grab.y}, false};
  const int32_t left = pos.x, top = pos.y;
  const bool alongX = IsNear(left, left + width, h.left, h.right);
  const bool alongY = IsNear(top, top + kHeaderHeight, h.top, h.bottom);
  const bool heldY = Close(grab.y, pointer.y);
  const bool heldX = Close(grab.x, pointer.x);
  auto setY = [&](int32_t y) { r.target.y = y; r.docked = true; };
  auto setX = [&](int32_t x) { r.target.x = x; r.docked = true; };
  if (Close(h.top, top) && heldY && alongX) setY(h.top);
  if (Close(h.bottom, top) && heldY && alongX) setY(h.bottom);
  if (Close(h.bottom, top + kHeaderHeight) && heldY && alongX) setY(h.bottom - kHeaderHeight);
  if (Close(h.left, left) && heldX && alongY) setX(h.left);
  if (Close(h.right, left) && heldX && alongY) setX(h.right);
  if (Close(h.left, left + width) && heldX && alongY) setX(h.left - width);
  if (Close(h.top, top + kHeaderHeight) && heldY && alongX) setY(h.top - kHeaderHeight);
  return r;
}

Point DockOffsetOf(const Rect& host, Point pos) { return {host.left - pos.x, host.top - pos.y}; }

FollowResult FollowHost(const Rect& before, const Rect& now, Point offset) {
  FollowResult r;
  if (before.left == now.left && before.top == now.top) return r;
  // 64-bit differences: a rectangle far off the desktop must not overflow
  const int64_t dx = std::llabs(int64_t{now.left} - before.left);
  const int64_t dy = std::llabs(int64_t{now.top} - before.top);
  if (dx < kHostJump && dy < kHostJump) {
    r.action = FollowResult::Action::move;
    r.target = {now.left - offset.x, now.top - offset.y};
  } else {
    r.action = FollowResult::Action::undock;
  }
  return r;
}

int32_t PanelHeight(Panel p) {
  switch (p) {
    case Panel::bass: return kBassPanelHeight;
    case Panel::music: return kMusicPanelHeight;
    case Panel::settings: return kSettingsPanelHeight;
    case Panel::none: break;
  }
  return 0;
}

Panel TogglePanel(Panel open, Panel pressed) { return open == pressed ? Panel::none : pressed; }

int32_t WindowHeight(Panel open) { return kHeaderHeight + PanelHeight(open); }

const std::array<Point, kOutlinePoints> kWindowOutline = {{
    {0, 9},     {1, 9},     {1, 6},     {2, 6},     {2, 4},     {3, 4},     {3, 3},
    {4, 3},     {4, 2},     {6, 2},     {6, 1},     {9, 1},     {9, 0},     {266, 0},
    {266, 1},   {269, 1},   {269, 2},   {271, 2},   {271, 3},   {272, 3},   {272, 4},
    {273, 4},   {273, 6},   {274, 6},   {274, 9},   {275, 9},   {275, 107}, {274, 107},
    {274, 110}, {273, 110}, {273, 112}, {272, 112}, {272, 113}, {271, 113}, {271, 114},
    {269, 114}, {269, 115}, {266, 115}, {266, 116}, {265, 500}, {9, 500},   {9, 116},
    {9, 115},   {6, 115},   {6, 114},   {4, 114},   {4, 113},   {3, 113},   {3, 112},
    {2, 112},   {2, 110},   {1, 110},   {1, 107},   {0, 107},
}};

bool InWindowOutline(int32_t x, int32_t y) {
  // the pixel's centre, doubled so everything stays in integers
  const int64_t px = 2 * int64_t{x} + 1, py = 2 * int64_t{y} + 1;
  int winding = 0;
  for (int i = 0; i < kOutlinePoints; ++i) {
    const Point a = kWindowOutline[i];
    const Point b = kWindowOutline[(i + 1) % kOutlinePoints];
    const int64_t ax = 2 * int64_t{a.x}, ay = 2 * int64_t{a.y};
    const int64_t bx = 2 * int64_t{b.x}, by = 2 * int64_t{b.y};
    // side of the centre relative to the edge a->b
    const int64_t cross = (bx - ax) * (py - ay) - (px - ax) * (by - ay);
    if (ay <= py) {
      if (by > py && cross > 0) ++winding;
    } else if (by <= py && cross < 0) {
      --winding;
    }
  }
  return winding != 0;
}

}  // namespace brindle::window
