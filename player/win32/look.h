// The player windows' common look: fonts are made whole and handed over.
#pragma once
#include <string_view>

#include "toolkit/win32/graphics.h"

namespace tav::player {

inline TFont MakeFont(std::wstring_view name, int points, TColor color) {
  TFont f;
  f.SetName(std::wstring(name));
  f.SetSize(points);
  f.SetColor(color);
  return f;
}

}  // namespace tav::player
