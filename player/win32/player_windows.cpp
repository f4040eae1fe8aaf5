#include "player/win32/player_windows.h"

#include "player/core/playlist_model.h"
#include "player/win32/form_about.h"
#include "player/win32/form_config.h"
#include "player/win32/form_effect.h"
#include "player/win32/form_list.h"
#include "player/win32/form_main.h"
#include "player/win32/form_url.h"
#include "player/win32/window_links.h"

namespace tav::player {

namespace {
// The play list's entries: held by the play-list window, walked by the main
// window, so made before both, and kept until the process ends (the windows
// may be freed as late as the application object).
TPlayListModel& PlayList() {
  static auto* list = new TPlayListModel;
  return *list;
}
}  // namespace

void CreatePlayerWindows() {
  TFormMain* main = nullptr;
  TFormEffect* effects = nullptr;
  TFormAbout* about = nullptr;
  TFormList* list = nullptr;
  TFormConfig* config = nullptr;
  TFormURL* url = nullptr;
  Application().CreateForm(main, PlayList());
  Application().CreateForm(effects, main->Settings());
  Application().CreateForm(about);
  Application().CreateForm(list, PlayList(), main->Settings());
  Application().CreateForm(config, main->Settings());
  Application().CreateForm(url);
}

int RunPlayer() {
  Application().SetTitle(L"Tavolen");
  CreatePlayerWindows();
  Application().Run();
  return 0;
}

}  // namespace tav::player
