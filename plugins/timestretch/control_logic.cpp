#include "control_logic.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace lentaro {
namespace {

// Decimal text to a float; nullopt when nothing converts or the result is not finite.
std::optional<float> parseFloat(const std::string& text, size_t maxChars) {
  const std::string s = text.substr(0, maxChars);
  char* end = nullptr;
  const float v = std::strtof(s.c_str(), &end);
  if (end == s.c_str() || !std::isfinite(v)) return std::nullopt;
  return v;
}

std::optional<int> parseDigit(const std::string& text) {
  if (text.empty() || text[0] < '0' || text[0] > '9') return std::nullopt;
  return text[0] - '0';
}

}  // namespace

Settings parseSettings(const std::string& stretch, const std::string& pitch,
                       const std::string& bypass, const std::string& mono) {
  Settings s;
  if (auto v = parseFloat(stretch, 5)) s.stretch = std::clamp(*v, 0.5f, 2.0f);
  if (auto v = parseFloat(pitch, 5)) s.pitch = std::clamp(*v, -1.0f, 1.0f);
  if (auto v = parseDigit(bypass)) s.bypass = *v;
  if (auto v = parseDigit(mono)) s.mono = *v;
  return s;
}

std::string formatDecimal(float value) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.2f", double(value));
  return buf;
}

int stretchPercentLabel(float stretch) {
  const float scaled = stretch * 100.0f;
  int r = int(scaled);
  if (scaled - float(r) > 0.5f) r += 1;
  return r - 100;
}

int speedPositionForStretch(float stretch) { return 20 - stretchPercentLabel(stretch); }

float stretchForSpeedPosition(int position) { return float((20 - position) + 100) * 0.01f; }

std::string speedLabel(int percent) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d %%", percent);
  return buf;
}

int pitchCents(float pitch) { return int(std::lround(pitch * 100.0f)); }

std::string pitchLabel(int cents) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%d cent", cents);
  return buf;
}

namespace {
bool appliesNow(bool arrowDown, ScrollKind kind) {
  return arrowDown || kind == ScrollKind::ThumbPosition || kind == ScrollKind::EndTrack;
}
}  // namespace

ScrollResult speedScroll(int position, bool ctrlDown, bool arrowDown, ScrollKind kind) {
  if (ctrlDown) return {0, 20, true};
  return {20 - position, std::nullopt, appliesNow(arrowDown, kind)};
}

ScrollResult pitchScroll(int position, bool ctrlDown, bool arrowDown, ScrollKind kind) {
  if (ctrlDown) return {0, 0, true};
  return {-position, std::nullopt, appliesNow(arrowDown, kind)};
}

std::optional<Point> clampDialogPosition(Point p, Rect d) {
  if (d.left < d.right && d.top < d.bottom && d.top >= 0 && d.left >= 0) {
    return Point{std::clamp(p.x, d.left - 64, d.right - 32), std::clamp(p.y, d.top - 32, d.bottom - 32)};
  }
  if (p.x > -32 && p.x < 8000 && p.y > -32 && p.y < 8000) return p;
  return std::nullopt;
}

}  // namespace lentaro
