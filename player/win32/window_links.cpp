#include "player/win32/window_links.h"

#include "toolkit/win32/forms.h"

namespace tav::player {

TPlayerWindows& PlayerWindows() {
  // Kept to the end of the process: windows freed by the application object's
  // own end still sign off here.
  static auto* windows = new TPlayerWindows;
  return *windows;
}

void ToggleWindow(TCustomForm* form) {
  if (!form) return;
  form->SetVisible(!form->Visible());
  if (!form->Visible()) form->Close();
}

}  // namespace tav::player
