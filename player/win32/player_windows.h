// The player's windows: made once in their fixed order (main, effects, VST,
// WAV render, About, play list, configuration, URL, WAV segment; those not
// built yet are left out) and held here until they are freed. This registry
// is the one place where the windows meet: it hands each window, when it is
// made, the narrow interface of what that window needs of the others
// (player/core/window_links.h), together with the shared play list and the
// index of the entry playing, and it forwards every such call to the window
// that serves it. A window added later gets its slot, its interface and its
// forwarding here.
#pragma once

#include <string>

#include "player/core/playlist_model.h"
#include "player/core/window_links.h"

namespace tav::player {

class TFormMain;
class TFormEffect;
class TForm4;
class TFormAbout;
class TFormList;
class TFormConfig;
class TFormURL;
class TForm7;
class TFrmSWavs;

// The file (8-bit path) and target (UTF-8 path) of the WAV render last asked
// for.
struct TRenderRequest {
  std::string Source;
  std::string Target;
};

class TPlayerWindows final : public IMainLinks, public IEffectsLinks, public IStreamOpened, public ISegmentLinks {
 public:
  // The windows as made; none before they are made or once they are freed.
  // For the start-up and the tests: the windows themselves reach each other
  // through the interfaces only.
  TFormMain* Main() const { return main_; }
  TFormEffect* Effects() const { return effects_; }
  TForm4* Vst() const { return vst_; }
  TFormAbout* About() const { return about_; }
  TFormList* List() const { return list_; }
  TFormConfig* Config() const { return config_; }
  TFormURL* Url() const { return url_; }
  TForm7* Render() const { return render_window_; }
  TFrmSWavs* Segment() const { return segment_; }
  // The play list the play-list window shows and the main window walks.
  TPlayListModel& PlayList() { return playList_; }
  const TRenderRequest& RenderRequest() const { return render_; }

  // IMainLinks
  void ReapplyEffects() override;
  void ToggleEffectsWindow() override;
  void ToggleVstWindow() override;
  void TogglePlayList() override;
  void ShowUrlWindow() override;
  void ShowConfigWindowModal() override;
  void ShowAboutWindowModal() override;
  void StartWaveRender(const std::string& source, const std::string& target) override;
  bool BringRenderForward() override;
  // ISegmentLinks
  int32_t PositionTenths() override;
  void ShowVstWindow() override;
  void ShowDspPage() override;
  void RunWaveRender(const TRenderJob& job) override;
  // IStreamOpened
  void SendPlays(const std::string& path) override;
  void SendPlaysAddress() override;
  void NotOpened(const std::string& path) override;
  void NotOpenedAddress(const std::string& address) override;

 private:
  friend void CreatePlayerWindows();
  template <class T, class... Args>
  void Make(T*& slot, Args&&... args);

  TPlayListModel playList_;
  TRenderRequest render_;
  TFormMain* main_ = nullptr;
  TFormEffect* effects_ = nullptr;
  TForm4* vst_ = nullptr;
  TFormAbout* about_ = nullptr;
  TFormList* list_ = nullptr;
  TFormConfig* config_ = nullptr;
  TFormURL* url_ = nullptr;
  TForm7* render_window_ = nullptr;
  TFrmSWavs* segment_ = nullptr;
};

// The one registry. It stays to the end of the process: windows freed by the
// application object's own end still sign off here.
TPlayerWindows& PlayerWindows();

// Makes the windows in their order, each told what it needs of the others.
void CreatePlayerWindows();
// Sets the application title, makes the windows and runs the application
// until the main window closes.
int RunPlayer();

}  // namespace tav::player
