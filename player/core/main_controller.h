// The main window's behaviour apart from its controls: the transport with its
// fades and pending pause and stop, speed and volume, loop modes and reverse
// play, what happens when a stream opens, the periodic work of the position,
// title and level-text timers, the seek keys, track changes, closing the
// media, and the window's settings. The window hands in what it shows and
// what the engine does through two interfaces.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "player/core/level_meter.h"
#include "player/core/playlist_model.h"
#include "player/core/settings_store.h"
#include "player/core/shown_value.h"
#include "player/core/track_change.h"

namespace tav::player {

// The engine and the audio library as the main window uses them. "Decode" is
// the tempo stream (position, length, loop flag), "Out" the output stream.
class IMainAudio {
 public:
  virtual ~IMainAudio() = default;
  virtual bool HasDecodeStream() = 0;
  virtual bool HasOutStream() = 0;
  // OpenStream for a local file; true when the chain exists afterwards.
  virtual bool OpenFile(const std::string& path) = 0;
  // Length of the decoding stream in bytes (-1 when unknown) and in seconds.
  virtual int64_t DecodeLengthBytes() = 0;
  virtual double DecodeBytesToSeconds(int64_t bytes) = 0;
  virtual double DecodePositionSeconds() = 0;
  virtual void RewindDecode() = 0;
  virtual void SetDecodeLoop(bool on) = 0;
  virtual void SeekTenths(int32_t tenths) = 0;
  // The stream's own rate and channel count (the channel information).
  virtual uint32_t StreamRate() = 0;
  virtual uint32_t StreamChannels() = 0;
  virtual void SetOutVolume(float volume) = 0;
  virtual float OutVolume() = 0;
  virtual void SlideOutVolume(float volume, uint32_t ms) = 0;
  virtual void SlideOutRate(float hz, uint32_t ms) = 0;
  // BASS_ACTIVE_* of the output stream.
  virtual uint32_t OutActivity() = 0;
  // "PLAY", "PAUSE", "STOP".
  virtual void PlayCommand(std::string_view command, bool restart) = 0;
  virtual void StopOut() = 0;
  virtual bool CompatActive() = 0;
  // The current stream came from an address, not a local file.
  virtual bool StreamIsAddress() = 0;
  // Direction of the reverse stage: -1 backwards, +1 forwards.
  virtual float Direction() = 0;
  virtual void SetDirection(float direction) = 0;
  virtual void FreeStreams() = 0;
  // Frees every output device the library lists, going on past failures.
  virtual void FreeAllDevices() = 0;
  virtual void Wait(uint32_t ms) = 0;
  virtual bool VstActive() = 0;
  virtual void SetVstTime(double samplePosition, double quarterNotes) = 0;
  virtual int32_t VuLevel(std::string_view side) = 0;
  virtual std::string VuDbText(std::string_view side) = 0;
  virtual void SetRenderRange(int64_t start, int64_t end) = 0;
};

enum class MainText { Title, PlayButton, MaxTime, Rate, Channels, Speed, Seconds, LevelLeft, LevelRight };
enum class MainSlider { Position, Speed, Volume };
enum class MainCheck { SingleLoop, ListLoop, Reverse };

// What the main window shows.
class IMainView {
 public:
  virtual ~IMainView() = default;
  virtual void SetText(MainText which, const std::string& utf8) = 0;
  // The title label shows the file name of an 8-bit path.
  virtual void SetTitleFromPath(const std::string& path) = 0;
  virtual int SliderValue(MainSlider which) = 0;
  virtual int SliderMax(MainSlider which) = 0;
  virtual int SliderMin(MainSlider which) = 0;
  // Sets a slider; the speed and volume sliders then report the change back
  // (SpeedChanged, VolumeChanged) when the value changed.
  virtual void SetSliderValue(MainSlider which, int value) = 0;
  virtual void SetPositionMax(int value) = 0;
  virtual bool Checked(MainCheck which) = 0;
  virtual void SetChecked(MainCheck which, bool on) = 0;
  virtual void SetTimeScale(const std::array<std::string, 7>& texts) = 0;
  virtual void DrawTimeDisplay(const std::string& text) = 0;
  // levels in pixels; outputIdle: the output is paused or stopped.
  virtual void DrawMeters(int left, int right, bool outputIdle) = 0;
  // The title starts scrolling from the left edge.
  virtual void RestartTitle() = 0;
  // Warning box owned by the main window, caption "出错啦!".
  virtual void Warn(const std::string& text) = 0;
  // The same box: the text, then on a line of its own a name given as 8-bit
  // text (a path or an address).
  virtual void WarnNaming(const std::string& text, const std::string& name) = 0;
  // The effects window's switch handlers, in their fixed order.
  virtual void ReapplyEffects() = 0;
};

inline constexpr const char* kMainSection = "FormMain";
inline constexpr const char* kIdleTitle = "Morvik小型可调速音乐播放器";
inline constexpr const char* kAddressTitle = "网络在线";
inline constexpr const char* kFileNotOpened = "无法播放这个文件(它不是能播放的音频文件,或者已经不存在):";
inline constexpr const char* kAddressNotOpened = "无法打开这个网络地址(没有应答,或者不是能播放的音频):";
inline constexpr uint32_t kPlayFadeMs = 650;
inline constexpr uint32_t kCloseFadeMs = 350;
inline constexpr uint32_t kSliderSlideMs = 250;
inline constexpr int kMinPositionMax = 10;  // tenths

// The target of a WAV render: ".wav" is appended unless the name already ends
// with it (letter case counts).
std::string WaveTargetName(const std::string& chosen);

class TMainController {
 public:
  TMainController(IMainAudio& audio, IMainView& view, TPlayListModel& list, int32_t& playIndex);

  // --- a stream opened (by any window) ---
  // A local file (8-bit path): the title shows its file name.
  void SendPlays(const std::string& path);
  // An address: the title reads "网络在线".
  void SendPlaysAddress();
  // --- a stream did not open (the old one was freed first) ---
  // The window shows no media, as "关闭媒体" leaves it, and a box names the
  // file (8-bit path) or the address.
  void NotOpened(const std::string& path);
  void NotOpenedAddress(const std::string& address);

  // --- transport ---
  void PlayButtonClick();       // toggles play and pause
  void PlayMenuClick();         // "播放"
  void PauseMenuClick();        // "暂停"
  void StopClick();             // "停止"
  void SendPlayState();         // plays or pauses by Playing
  void SpeedChanged(int value);
  void RestoreSpeed();
  void VolumeChanged(int value);
  void VolumeUp();
  void VolumeDown();
  void Mute();
  void ReverseClick();
  void SingleLoopClick();
  void ListLoopClick();
  void CloseMedia();
  // "另存为WAVE文件...": true when the save dialog may follow.
  bool MayRenderWave();

  // --- opening ---
  // A file from the open dialog: it joins the list even when it does not open.
  void OpenFromDialog(const std::string& path);
  // The first dropped file: it joins the list only when it opens.
  void OpenDropped(const std::string& path);

  // --- timers ---
  void PositionTick();
  void TitleTick();  // the fade-out completions (the window scrolls the title)
  void LevelTextTick();

  // --- seeking and tracks ---
  void SeekStep(int kind);  // 0 +5 s, 1 -5 s, 2 +0.5 s, 3 -0.5 s
  void StartTracking() { posTracking_ = true; }
  void StopTracking();
  void NextClick();
  void PreviousClick();

  // --- settings and end ---
  WindowPlace ReadSettings(ISettingsStore& store, WindowPlace design);
  // Writes the section; a failed write is swallowed.
  void WriteSettings(ISettingsStore& store, WindowPlace place);
  // The program ends (its main window closes): the sound fades out and stops
  // now, before any window is freed.
  void EndSound();
  // The end of the program: fade out, free both streams and every device.
  void Shutdown();

  // --- state ---
  bool Playing() const { return playing_; }
  bool PausePending() const { return pausePending_; }
  bool StopPending() const { return stopPending_; }
  bool Tracking() const { return posTracking_; }
  double TotalSeconds() const { return totalSeconds_; }
  int HeldLevel(int side) const { return side == 0 ? heldLeft_ : heldRight_; }

 private:
  bool HasStreams() { return audio_.HasDecodeStream() && audio_.HasOutStream(); }
  void StartStream();
  // Opens a local file and plays it, or shows that it did not open.
  bool OpenAndPlay(const std::string& path);
  void ShowNoMedia();
  void ShowPlayCaption(bool playingCaption);
  void StopAndRewind();
  void HandleTrackEnd();
  void FollowStep(TrackStep step);
  void OpenSelected();
  void UpTimerBars(double seconds);
  void FadeOutBeforeEnd();
  void UpdateLevelMeters();

  IMainAudio& audio_;
  IMainView& view_;
  TPlayListModel& list_;
  int32_t& playIndex_;
  bool playing_ = false;
  bool pausePending_ = false;
  bool stopPending_ = false;
  bool posTracking_ = false;
  double totalSeconds_ = 0;
  int heldLeft_ = 0;
  int heldRight_ = 0;
  TShownValue<int32_t> shownMs_;  // what the position texts show
};

}  // namespace tav::player
