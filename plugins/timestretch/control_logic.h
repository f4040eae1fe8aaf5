// The control dialog's and the settings file's pure logic: slider positions,
// label texts, the clamp of loaded values and of the dialog position.
#pragma once

#include <optional>
#include <string>

namespace lentaro {

struct Settings {
  float stretch = 2.0f;  // "Stretch"
  float pitch = 0.0f;    // "Pitch", semitones
  int bypass = 0;        // "Bypass"
  int mono = 1;          // "Mono"
};

// Settings from the texts read from the file ("Stretch" at most 5 characters,
// "Bypass" and "Mono" 1): unparsable values give the defaults, and stretch and
// pitch are clamped to 0.5..2.0 and -1..1.
Settings parseSettings(const std::string& stretch, const std::string& pitch,
                       const std::string& bypass, const std::string& mono);
std::string formatDecimal(float value);  // "%.2f"

// Speed slider: position -50..70 (top = fastest stretching); percent of stretching
// = 20 - position; the label shows round(stretch x 100) - 100.
int stretchPercentLabel(float stretch);      // round(stretch x 100) - 100
int speedPositionForStretch(float stretch);  // 20 - label, unclamped
float stretchForSpeedPosition(int position);
std::string speedLabel(int percent);         // "%d %%"

// Pitch slider: position -100..100 is minus the cents.
int pitchCents(float pitch);  // pitch x 100 rounded to the nearest cent
std::string pitchLabel(int cents);  // "%d cent"

// What a track-bar scroll does: the value, an optional new slider position and
// whether the change is applied (the engines re-initialised) now.
enum class ScrollKind { ThumbTrack, ThumbPosition, EndTrack, Other };
struct ScrollResult {
  int value;                    // percent (speed) or cents (pitch)
  std::optional<int> position;  // set the slider here
  bool apply;
};
ScrollResult speedScroll(int position, bool ctrlDown, bool arrowDown, ScrollKind kind);
ScrollResult pitchScroll(int position, bool ctrlDown, bool arrowDown, ScrollKind kind);

// Dialog position against the desktop's client rectangle: clamped on a sane
// desktop, else used only within -32 < x, y < 8000; nullopt leaves it unchanged.
struct Point {
  int x, y;
};
struct Rect {
  int left, top, right, bottom;
};
std::optional<Point> clampDialogPosition(Point p, Rect desktop);

}  // namespace lentaro
