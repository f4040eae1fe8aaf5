#include "player/win32/window_links.h"

#include "toolkit/win32/forms.h"

namespace tav::player {

TPlayerWindows& PlayerWindows() {
  static TPlayerWindows windows;
  return windows;
}

void ToggleWindow(TCustomForm* form) {
  if (!form) return;
  form->SetVisible(!form->Visible());
  if (!form->Visible()) form->Close();
}

}  // namespace tav::player
