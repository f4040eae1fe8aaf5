#include "player/win32/player_windows.h"

#include <utility>

#include "player/win32/form_about.h"
#include "player/win32/form_config.h"
#include "player/win32/form_effect.h"
#include "player/win32/form_list.h"
#include "player/win32/form_main.h"
#include "player/win32/form_render.h"
#include "player/win32/form_segment.h"
#include "player/win32/form_url.h"
#include "player/win32/form_vst.h"
#include "tav/engine/globals.h"

namespace tav::player {

namespace {

// A window as the registry makes it: it takes its slot when it is made, so
// the others reach it from its creation handler on, and leaves the slot when
// it is freed.
template <class T>
class TRegistered final : public T {
 public:
  template <class... Args>
  explicit TRegistered(T*& slot, Args&&... args) : T(std::forward<Args>(args)...), slot_(slot) {
    slot_ = this;
  }
  ~TRegistered() override {
    if (slot_ == this) slot_ = nullptr;
  }

 private:
  T*& slot_;
};

// Shows a hidden window; hides a shown one and then closes it, so its close
// handler runs. Nothing for a window that does not exist.
void Toggle(TCustomForm* form) {
  if (!form) return;
  form->SetVisible(!form->Visible());
  if (!form->Visible()) form->Close();
}

}  // namespace

TPlayerWindows& PlayerWindows() {
  static auto* windows = new TPlayerWindows;
  return *windows;
}

template <class T, class... Args>
void TPlayerWindows::Make(T*& slot, Args&&... args) {
  TRegistered<T>* form = nullptr;
  Application().CreateForm(form, slot, std::forward<Args>(args)...);
}

// Every new stream: the VST plug-in learns its rate, the effects window
// re-applies its effects to it, and a segment window shown for the stream
// before hides.
void TPlayerWindows::ReapplyEffects() {
  if (vst_) vst_->StreamStarting();
  if (effects_) effects_->ReapplyEffects();
  if (segment_) segment_->StreamChanged();
}

void TPlayerWindows::ToggleEffectsWindow() { Toggle(effects_); }

void TPlayerWindows::ToggleVstWindow() { Toggle(vst_); }

void TPlayerWindows::TogglePlayList() { Toggle(list_); }

void TPlayerWindows::ShowUrlWindow() {
  if (url_) url_->Show();
}

void TPlayerWindows::ShowConfigWindowModal() {
  if (config_) config_->ShowModal();
}

void TPlayerWindows::ShowAboutWindowModal() {
  if (about_) about_->ShowModal();
}

void TPlayerWindows::StartWaveRender(const std::string& source, const std::string& target) {
  if (BringRenderForward()) return;
  render_ = {source, target};
  if (!segment_) return;
  // Shown afresh for the stream open now, also when it was up already.
  if (segment_->Visible()) segment_->Controller().Shown();
  segment_->Show();
}

bool TPlayerWindows::BringRenderForward() {
  if (!render_window_ || !render_window_->Rendering()) return false;
  render_window_->BringForward();
  return true;
}

int32_t TPlayerWindows::PositionTenths() { return main_ ? main_->SldPos->Value() : 0; }

void TPlayerWindows::ShowVstWindow() {
  if (vst_) vst_->Show();
}

void TPlayerWindows::ShowDspPage() {
  if (!effects_) return;
  effects_->Show();
  effects_->PageControl1->SetActivePageIndex(1);
}

void TPlayerWindows::RunWaveRender(const TRenderJob& job) {
  if (render_window_) render_window_->ConvertToWav(render_.Source, render_.Target, job);
}

void TPlayerWindows::SendPlays(const std::string& path) {
  if (main_) main_->SendPlays(path);
}

void TPlayerWindows::SendPlaysAddress() {
  if (main_) main_->SendPlaysAddress();
}

void TPlayerWindows::NotOpened(const std::string& path) {
  if (main_) main_->NotOpened(path);
}

void TPlayerWindows::NotOpenedAddress(const std::string& address) {
  if (main_) main_->NotOpenedAddress(address);
}

void CreatePlayerWindows() {
  TPlayerWindows& w = PlayerWindows();
  // The index of the entry playing, shared by the main window and the play list.
  int32_t& playIndex = tav::engine::StreamState.PlayIndex;
  w.Make(w.main_, w.playList_, static_cast<IMainLinks&>(w), playIndex);
  ISettingsStore* settings = w.main_->Settings();
  w.Make(w.effects_, settings, static_cast<IEffectsLinks&>(w));
  w.Make(w.vst_, settings);
  w.Make(w.render_window_);
  w.Make(w.about_);
  w.Make(w.list_, w.playList_, settings, static_cast<IStreamOpened&>(w), playIndex);
  w.Make(w.config_, settings);
  w.Make(w.url_, static_cast<IStreamOpened&>(w));
  w.Make(w.segment_, static_cast<ISegmentLinks&>(w));
}

int RunPlayer() {
  Application().SetTitle(L"Tavolen");
  CreatePlayerWindows();
  Application().Run();
  return 0;
}

}  // namespace tav::player
