// Where the enhancer window goes: the desktop clamp, the snaps to the host
// window's edges at start-up and while dragging, following a docked host, the
// panel that folds out below the header, and the window's outline. Pure
// arithmetic on rectangles; the window code reads and sets the real positions.
#pragma once

#include <array>
#include <cstdint>

namespace brindle::window {

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const Point&) const = default;
};

struct Rect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const Rect&) const = default;
};

inline constexpr int32_t kHeaderWidth = 275;
// The header's height, used as the window height in every snap, whatever panel is open.
inline constexpr int32_t kHeaderHeight = 116;
inline constexpr int32_t kSnapDistance = 15;   // closer than this snaps
inline constexpr int32_t kKeptVisible = 25;    // pixels kept on the desktop
inline constexpr int32_t kHostJump = 1000;     // a host move this far undocks

// The spans a..b and c..d overlap or come within the snap distance.
bool IsNear(int32_t a, int32_t b, int32_t c, int32_t d);

// Keeps at least 25 pixels of the header on the desktop on every side. The
// top keeps 25 pixels too (the header was once allowed wholly above it).
Point ClampToDesktop(Point pos, const Rect& desktop);

struct SnapResult {
  Point target;
  bool docked = false;
};

// The six start-up tests against the host rectangle, later ones overriding earlier ones.
SnapResult SnapAtStartup(Point pos, int32_t width, const Rect& host);

// A drag move: `pos` is the window's current position, `pointer` the pointer
// in the pressed control's coordinates and `grab` the press point there. The
// target follows the pointer; seven tests keep it on a host edge until the
// pointer has moved 15 pixels from its grab point along the tested axis.
SnapResult SnapWhileDragging(Point pos, int32_t width, Point pointer, Point grab, const Rect& host);

// Host left minus window left, host top minus window top.
Point DockOffsetOf(const Rect& host, Point pos);

struct FollowResult {
  enum class Action { none, move, undock } action = Action::none;
  Point target;
};

// One step of following a docked host whose rectangle went from `before` to
// `now`: only its top-left corner is followed; a jump of 1000 pixels or more
// on either axis (as when the host is minimised) undocks.
FollowResult FollowHost(const Rect& before, const Rect& now, Point dockOffset);

// The three panels below the header; one at most is open.
enum class Panel { none, bass, music, settings };
inline constexpr int32_t kBassPanelHeight = 245;
inline constexpr int32_t kMusicPanelHeight = 326;
inline constexpr int32_t kSettingsPanelHeight = 95;
int32_t PanelHeight(Panel p);

// A panel button pressed: the own panel toggles, the other two close.
// Returns the panel open afterwards.
Panel TogglePanel(Panel open, Panel pressed);
// The window's height with `open` folded out.
int32_t WindowHeight(Panel open);

// The window region: the header with stepped corners and a tail for the
// panels, a polygon filled by the winding rule.
inline constexpr int kOutlinePoints = 54;
extern const std::array<Point, kOutlinePoints> kWindowOutline;
// Whether the pixel (x, y) belongs to the region (the pixel's centre lies
// inside the polygon by the nonzero winding rule).
bool InWindowOutline(int32_t x, int32_t y);

}  // namespace brindle::window
