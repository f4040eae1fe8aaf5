#include "tav/engine/format_time.h"

#include <cstdio>

namespace tav::engine {

std::string FormatTime(std::string_view pattern, int32_t ms) {
  const int32_t tenths = (ms / 100) % 10;
  const int32_t hundredths = (ms / 10) % 10;
  const int32_t thousandths = ms % 10;
  int32_t s = ms / 1000;
  int32_t m = 0;
  while (s >= 60) {
    s -= 60;
    m += 1;
  }
  int32_t h = 0;
  while (m >= 60) {
    m -= 60;
    h += 1;
  }

  char text[64];
  if (pattern == "ddd.dd")
    std::snprintf(text, sizeof text, "%.4d.%d", ms / 1000, tenths);
  else if (pattern == "hh:mm:ss.ddd")
    std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d.%d%d%d", h, m, s, tenths, hundredths, thousandths);
  else if (pattern == "h:mm:ss.d")
    std::snprintf(text, sizeof text, "%.1d:%.2d:%.2d.%d", h, m, s, tenths);
  else if (pattern == "hh:mm:ss.dd")
    std::snprintf(text, sizeof text, "%.2d:%.2d:%.2d.%d%d", h, m, s, tenths, hundredths);
  else if (pattern == "mm:ss.d")
    std::snprintf(text, sizeof text, "%.2d:%.2d.%d", m, s, tenths);
  else if (pattern == "mm:ss.dd")
    std::snprintf(text, sizeof text, "%.1d:%.2d.%d%d", m, s, tenths, hundredths);
  else if (pattern == "mm:ss.ddd")
    std::snprintf(text, sizeof text, "%.1d:%.2d.%d%d%d", m, s, tenths, hundredths, thousandths);
  else if (pattern == "h:mm:ss")
    std::snprintf(text, sizeof text, "%.1d:%.2d:%.2d", h, m, s);
  else
    return "Nothing";
  return text;
}

}  // namespace tav::engine
