// The player's windows as the others reach them: one global instance of each,
// set when it is created (none until then). The effects, VST, configuration
// and WAV segment windows come later; until they exist the calls that go to
// them do nothing.
#pragma once
#include <functional>
#include <string>

namespace tav {
class TCustomForm;
}

namespace tav::player {

class TFormMain;
class TFormList;
class TFormURL;
class TFormAbout;

struct TPlayerWindows {
  TFormMain* Main = nullptr;
  TFormList* List = nullptr;
  TFormURL* Url = nullptr;
  TFormAbout* About = nullptr;
  TCustomForm* Effects = nullptr;
  TCustomForm* Vst = nullptr;
  TCustomForm* Config = nullptr;
  TCustomForm* Segment = nullptr;
  // The effects window's switch handlers, called without a sender in their
  // fixed order after every new stream.
  std::function<void()> ReapplyEffects;
  // The file and target of the next WAV render (8-bit paths).
  std::string RenderSource;
  std::string RenderTarget;
};

TPlayerWindows& PlayerWindows();

// Shows a hidden window, hides a shown one and then closes it (so its close
// handler runs). Nothing for a window that does not exist.
void ToggleWindow(TCustomForm* form);

}  // namespace tav::player
