#include "player/core/main_controller.h"

#include <algorithm>
#include <cmath>

#include "player/core/display_texts.h"
#include "player/core/track_change.h"
#include "player/core/wav_segment.h"

namespace tav::player {

namespace {

constexpr uint32_t kActiveStopped = 0;
constexpr uint32_t kActivePlaying = 1;
constexpr uint32_t kActivePaused = 3;
constexpr int kMeterFallPerTick = 4;

const char kPlayCaption[] = "播放";
const char kPauseCaption[] = "暂停";

int TruncTenths(double seconds) {
  const double t = std::trunc(seconds * 10.0);
  if (std::isnan(t)) return 0;
  return int(std::clamp(t, -2147483647.0, 2147483647.0));
}

}  // namespace

std::string WaveTargetName(const std::string& chosen) {
  const std::string ext = ".wav";
  if (chosen.size() >= ext.size() && chosen.compare(chosen.size() - ext.size(), ext.size(), ext) == 0) return chosen;
  return chosen + ext;
}

TMainController::TMainController(IMainAudio& audio, IMainView& view, TPlayListModel& list, int32_t& playIndex)
    : audio_(audio), view_(view), list_(list), playIndex_(playIndex) {}

// --- a stream opened ---------------------------------------------------------

void TMainController::SendPlays(const std::string& path) {
  view_.SetTitleFromPath(path);
  StartStream();
}

void TMainController::SendPlaysAddress() {
  view_.SetText(MainText::Title, kAddressTitle);
  StartStream();
}

void TMainController::NotOpened(const std::string& path) {
  audio_.FreeStreams();
  ShowNoMedia();
  view_.WarnNaming(kFileNotOpened, path);
}

void TMainController::NotOpenedAddress(const std::string& address) {
  audio_.FreeStreams();
  ShowNoMedia();
  view_.WarnNaming(kAddressNotOpened, address);
}

bool TMainController::OpenAndPlay(const std::string& path) {
  if (!audio_.OpenFile(path)) {
    NotOpened(path);
    return false;
  }
  SendPlays(path);
  return true;
}

void TMainController::StartStream() {
  const int64_t bytes = audio_.DecodeLengthBytes();
  const double seconds = audio_.DecodeBytesToSeconds(bytes);
  audio_.SetRenderRange(0, bytes);
  // Short streams and addresses of unknown length still get a usable slider.
  view_.SetPositionMax(std::max(TruncTenths(seconds), kMinPositionMax));
  audio_.SetOutVolume(float(view_.SliderValue(MainSlider::Volume)) / 100.0f);
  UpTimerBars(seconds);
  totalSeconds_ = seconds;
  view_.SetText(MainText::MaxTime, MaxTimeText(std::max(seconds, 0.0)));
  view_.SetText(MainText::Rate, RateText(audio_.StreamRate()));
  view_.SetText(MainText::Speed, "Speed:100%");
  view_.SetText(MainText::Channels, ChannelsText(audio_.StreamChannels()));
  audio_.SetDecodeLoop(view_.Checked(MainCheck::SingleLoop));
  // A new stream plays forwards.
  view_.SetChecked(MainCheck::Reverse, false);
  view_.ReapplyEffects();
  playing_ = false;
  PlayButtonClick();
  view_.RestartTitle();
}

// --- transport -----------------------------------------------------------------

void TMainController::ShowPlayCaption(bool playingCaption) {
  view_.SetText(MainText::PlayButton, playingCaption ? kPauseCaption : kPlayCaption);
}

void TMainController::PlayButtonClick() {
  playing_ = !playing_;
  SendPlayState();
}

void TMainController::PlayMenuClick() {
  playing_ = true;
  SendPlayState();
}

void TMainController::PauseMenuClick() {
  playing_ = false;
  SendPlayState();
}

void TMainController::SendPlayState() {
  if (!HasStreams()) return;
  if (playing_) {
    ShowPlayCaption(true);
    audio_.SetOutVolume(0);
    audio_.PlayCommand("PLAY", false);
    audio_.SlideOutVolume(float(view_.SliderValue(MainSlider::Volume)) / 100.0f, kPlayFadeMs);
    // Playing again cancels a fade-out still under way; otherwise a later
    // volume of 0 (mute) would pause or stop by itself.
    pausePending_ = false;
    stopPending_ = false;
  } else {
    pausePending_ = true;
    audio_.SlideOutVolume(0, kPlayFadeMs);
  }
}

void TMainController::StopClick() {
  if (!HasStreams()) return;
  stopPending_ = true;
  audio_.SlideOutVolume(0, kPlayFadeMs);
}

void TMainController::SpeedChanged(int value) {
  audio_.SlideOutRate(float(value) * 10.0f, kSliderSlideMs);
  view_.SetText(MainText::Speed, SpeedText(value));
}

void TMainController::RestoreSpeed() {
  const uint32_t rate = audio_.StreamRate();
  if (rate == 0) {
    // No stream: back to the slider's own 100 %.
    view_.SetSliderValue(MainSlider::Speed, 4410);
    return;
  }
  view_.SetSliderValue(MainSlider::Speed, int(rate / 10));
  // The slider holds tenths of a rate; the stream goes back to its exact own.
  audio_.SlideOutRate(float(rate), kSliderSlideMs);
}

void TMainController::VolumeChanged(int value) {
  audio_.SlideOutVolume(float(value) / 100.0f, kSliderSlideMs);
}

void TMainController::VolumeUp() {
  const int v = view_.SliderValue(MainSlider::Volume);
  if (v < view_.SliderMax(MainSlider::Volume)) view_.SetSliderValue(MainSlider::Volume, v + 10);
}

void TMainController::VolumeDown() {
  const int v = view_.SliderValue(MainSlider::Volume);
  if (v > view_.SliderMin(MainSlider::Volume)) view_.SetSliderValue(MainSlider::Volume, v - 10);
}

void TMainController::Mute() { view_.SetSliderValue(MainSlider::Volume, 0); }

void TMainController::ReverseClick() {
  if (audio_.CompatActive()) {
    view_.Warn("无法在兼容模式缓冲区的情况下使用此功能");
    return;
  }
  if (!audio_.HasDecodeStream()) return;
  const float next = audio_.Direction() > 0 ? -1.0f : 1.0f;
  audio_.SetDirection(next);
  view_.SetChecked(MainCheck::Reverse, next < 0);
}

void TMainController::SingleLoopClick() {
  const bool on = !view_.Checked(MainCheck::SingleLoop);
  view_.SetChecked(MainCheck::SingleLoop, on);
  view_.SetChecked(MainCheck::ListLoop, false);
  audio_.SetDecodeLoop(on);
}

void TMainController::ListLoopClick() {
  view_.SetChecked(MainCheck::ListLoop, !view_.Checked(MainCheck::ListLoop));
  view_.SetChecked(MainCheck::SingleLoop, false);
}

void TMainController::FadeOutBeforeEnd() {
  if (audio_.OutActivity() != kActivePlaying) return;
  audio_.SlideOutVolume(0, kCloseFadeMs);
  if (audio_.OutActivity() == kActivePlaying) audio_.Wait(kCloseFadeMs);
}

void TMainController::CloseMedia() {
  if (!HasStreams()) return;
  FadeOutBeforeEnd();
  audio_.StopOut();
  audio_.RewindDecode();
  audio_.FreeStreams();
  ShowNoMedia();
}

void TMainController::ShowNoMedia() {
  playing_ = false;
  pausePending_ = false;
  stopPending_ = false;
  ShowPlayCaption(false);
  UpTimerBars(0);
  view_.SetChecked(MainCheck::Reverse, false);
  view_.SetText(MainText::Title, kIdleTitle);
  view_.SetText(MainText::MaxTime, "MaxTime:");
  view_.SetText(MainText::Rate, "采样率: Hz");
  view_.SetText(MainText::Channels, "声道:");
}

bool TMainController::MayRenderWave() {
  // The render decodes a local file afresh; an address has none to render.
  if (!audio_.HasDecodeStream() || audio_.StreamIsAddress()) {
    view_.Warn(kOpenAFileFirst);
    return false;
  }
  return true;
}

// --- opening -------------------------------------------------------------------

void TMainController::OpenFromDialog(const std::string& path) {
  list_.Add(path);
  playIndex_ = list_.LastIndex();
  list_.Select(playIndex_);
  OpenAndPlay(path);
}

void TMainController::OpenDropped(const std::string& path) {
  if (!OpenAndPlay(path)) return;
  list_.AddPlaying(path, playIndex_);
}

// --- timers --------------------------------------------------------------------

void TMainController::PositionTick() {
  const bool hasStream = audio_.HasDecodeStream();
  const double pos = hasStream ? audio_.DecodePositionSeconds() : 0.0;
  int32_t ms;
  if (!posTracking_) {
    view_.SetSliderValue(MainSlider::Position, TruncTenths(pos));
    ms = SecondsToMs(pos);
  } else {
    ms = view_.SliderValue(MainSlider::Position) * 100;
  }
  // Both texts follow from the milliseconds alone: the same milliseconds
  // show the same texts, which are on the screen already.
  if (shownMs_.Changes(ms)) {
    view_.SetText(MainText::Seconds, SecondsLabelText(ms));
    view_.DrawTimeDisplay(TimeDisplayText(ms));
  }

  // Decoding reaches the end while the output still holds up to half a
  // second of the track: the track ends once that has been heard.
  if (IsTrackEnd(view_.Checked(MainCheck::SingleLoop), hasStream, pos, totalSeconds_) &&
      audio_.OutActivity() != kActivePlaying)
    HandleTrackEnd();
  else if (playing_ && HasStreams() && audio_.OutActivity() == kActiveStopped && audio_.Direction() < 0)
    // Played backwards to the start: the output stopped by itself once it
    // had played what it held. It ends as a stop does; the list stays.
    StopAndRewind();

  if (audio_.VstActive()) {
    // 120 beats a minute: two quarter notes a second.
    audio_.SetVstTime(double(audio_.StreamRate()) * pos, pos * 2.0);
  }
  UpdateLevelMeters();
}

void TMainController::UpdateLevelMeters() {
  heldLeft_ = std::max(heldLeft_ - kMeterFallPerTick, 0);
  heldRight_ = std::max(heldRight_ - kMeterFallPerTick, 0);
  const uint32_t activity = audio_.OutActivity();
  if (activity == kActivePlaying) {
    heldLeft_ = std::max(heldLeft_, int(audio_.VuLevel("L")));
    heldRight_ = std::max(heldRight_, int(audio_.VuLevel("R")));
  }
  view_.DrawMeters(heldLeft_, heldRight_, activity == kActiveStopped || activity == kActivePaused);
}

void TMainController::TitleTick() {
  if (pausePending_) {
    const float volume = audio_.OutVolume();
    if (volume * 100 == 0) {
      audio_.PlayCommand("PAUSE", false);
      ShowPlayCaption(false);
      pausePending_ = false;
    }
  }
  if (stopPending_) {
    const float volume = audio_.OutVolume();
    if (volume * 100 == 0) {
      audio_.PlayCommand("STOP", false);
      audio_.RewindDecode();
      playing_ = false;
      ShowPlayCaption(false);
      stopPending_ = false;
    }
  }
}

void TMainController::LevelTextTick() {
  view_.SetText(MainText::LevelLeft, LevelText("左", audio_.VuDbText("L")));
  view_.SetText(MainText::LevelRight, LevelText("右", audio_.VuDbText("R")));
}

void TMainController::UpTimerBars(double seconds) { view_.SetTimeScale(TimeScaleTexts(seconds)); }

// --- seeking and tracks -----------------------------------------------------------

void TMainController::SeekStep(int kind) {
  const int t = audio_.HasDecodeStream() ? TruncTenths(audio_.DecodePositionSeconds()) : 0;
  const int max = view_.SliderMax(MainSlider::Position);
  // The target is passed on as it is, past either end too.
  switch (kind) {
    case 0:
      if (t < max) audio_.SeekTenths(t + 50);
      break;
    case 1:
      if (t > 0) audio_.SeekTenths(t - 50);
      break;
    case 2:
      if (t < max) audio_.SeekTenths(t + 5);
      break;
    case 3:
      if (t > 0) audio_.SeekTenths(t - 5);
      break;
    default:
      break;
  }
}

void TMainController::StopTracking() {
  posTracking_ = false;
  audio_.SeekTenths(view_.SliderValue(MainSlider::Position));
}

void TMainController::StopAndRewind() {
  audio_.StopOut();
  audio_.RewindDecode();
  playing_ = false;
  ShowPlayCaption(false);
}

void TMainController::OpenSelected() { OpenAndPlay(list_.Path(list_.Selected())); }

void TMainController::FollowStep(TrackStep step) {
  switch (step) {
    case TrackStep::Stay:
      break;
    case TrackStep::Stop:
      StopAndRewind();
      break;
    case TrackStep::Play:
      OpenSelected();
      break;
  }
}

void TMainController::HandleTrackEnd() {
  try {
    FollowStep(EndOfTrackStep(list_, view_.Checked(MainCheck::ListLoop), playIndex_));
  } catch (...) {
    StopAndRewind();
  }
}

void TMainController::NextClick() { FollowStep(NextTrackStep(list_, playIndex_)); }

void TMainController::PreviousClick() { FollowStep(PreviousTrackStep(list_, playIndex_)); }

// --- settings and end ------------------------------------------------------------

WindowPlace TMainController::ReadSettings(ISettingsStore& store, WindowPlace design) {
  WindowPlace place;
  place.Left = store.ReadInteger(kMainSection, "Left", design.Left);
  place.Top = store.ReadInteger(kMainSection, "Top", design.Top);
  view_.SetSliderValue(MainSlider::Volume,
                       store.ReadInteger(kMainSection, "Volume", view_.SliderValue(MainSlider::Volume)));
  view_.SetChecked(MainCheck::SingleLoop, store.ReadBool(kMainSection, "muloopplay", false));
  view_.SetChecked(MainCheck::ListLoop, store.ReadBool(kMainSection, "mulistloop", false));
  return place;
}

void TMainController::WriteSettings(ISettingsStore& store, WindowPlace place) {
  try {
    store.WriteInteger(kMainSection, "Left", place.Left);
    store.WriteInteger(kMainSection, "Top", place.Top);
    store.WriteInteger(kMainSection, "Volume", view_.SliderValue(MainSlider::Volume));
    store.WriteBool(kMainSection, "muloopplay", view_.Checked(MainCheck::SingleLoop));
    store.WriteBool(kMainSection, "mulistloop", view_.Checked(MainCheck::ListLoop));
  } catch (...) {
  }
}

void TMainController::EndSound() {
  FadeOutBeforeEnd();
  if (audio_.HasOutStream()) audio_.StopOut();
}

void TMainController::Shutdown() {
  FadeOutBeforeEnd();
  audio_.FreeStreams();
  audio_.FreeAllDevices();
}

}  // namespace tav::player
