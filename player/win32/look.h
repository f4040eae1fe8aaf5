// The player windows' common look: fonts are made whole and handed over, and
// controls are put where their window's layout table says.
#pragma once
#include <string_view>
#include <utility>

#include "toolkit/win32/controls.h"
#include "toolkit/win32/graphics.h"

namespace tav::player {

inline TFont MakeFont(std::wstring_view name, int points, TColor color) {
  TFont f;
  f.SetName(std::wstring(name));
  f.SetSize(points);
  f.SetColor(color);
  return f;
}

// Where a control stands in its parent; a width of 0 keeps the control's
// own size (labels size themselves to their text).
struct Place {
  int Left, Top, Width, Height;
};

inline void PlaceControl(TControl* c, const Place& p) {
  if (p.Width > 0)
    c->SetBounds(p.Left, p.Top, p.Width, p.Height);
  else
    c->SetBounds(p.Left, p.Top, c->Width(), c->Height());
}

// The same place by corners; an empty rectangle keeps the control's own size.
inline Place PlaceOf(const TRect& r) { return {r.Left, r.Top, r.Right > r.Left ? r.Width() : 0, r.Height()}; }

inline void PlaceControl(TControl* c, const TRect& r) { PlaceControl(c, PlaceOf(r)); }

// A control made and owned by its parent, put in its place.
template <class T, class... Args>
T* Placed(TWinControl* parent, const Place& where, Args&&... args) {
  T* c = parent->Make<T>(std::forward<Args>(args)...);
  PlaceControl(c, where);
  return c;
}

template <class T, class... Args>
T* Placed(TWinControl* parent, const TRect& where, Args&&... args) {
  return Placed<T>(parent, PlaceOf(where), std::forward<Args>(args)...);
}

}  // namespace tav::player
