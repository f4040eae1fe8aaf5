// How the player's windows reach each other. Each window is handed, when it
// is made, the one interface below that names what it needs of the others;
// the player's window registry (player/win32/player_windows.cpp) implements
// them all and forwards each call to the window that serves it. A call to a
// window that does not exist (yet, or any more) does nothing.
#pragma once

#include <cstdint>
#include <string>

namespace tav::player {

// The main window, as the windows that open a stream tell it one opened
// (after a successful OpenStream) or did not (the old stream is gone then).
class IStreamOpened {
 public:
  virtual ~IStreamOpened() = default;
  // A local file (8-bit path): the title shows its file name.
  virtual void SendPlays(const std::string& path) = 0;
  // An address: the title reads "网络在线".
  virtual void SendPlaysAddress() = 0;
  // A local file (8-bit path) or an address that did not open: the window
  // shows no media and a box names what did not open.
  virtual void NotOpened(const std::string& path) = 0;
  virtual void NotOpenedAddress(const std::string& address) = 0;
};

// What the main window asks of the other windows.
class IMainLinks {
 public:
  virtual ~IMainLinks() = default;
  // The effects window's switch handlers, in their fixed order, for a new
  // stream.
  virtual void ReapplyEffects() = 0;
  // Show a hidden window; hide a shown one and close it, so its close
  // handler runs.
  virtual void ToggleEffectsWindow() = 0;
  virtual void ToggleVstWindow() = 0;
  virtual void TogglePlayList() = 0;
  virtual void ShowUrlWindow() = 0;
  virtual void ShowConfigWindowModal() = 0;
  virtual void ShowAboutWindowModal() = 0;
  // "另存为WAVE文件...": the WAV segment window shows, and the render will
  // read `source` (8-bit path) and write `target` (UTF-8 path).
  virtual void StartWaveRender(const std::string& source, const std::string& target) = 0;
  // While a WAV render runs its window comes to the front and the answer
  // is true: the save command then does nothing else.
  virtual bool BringRenderForward() = 0;
};

struct TRenderJob;

// What the WAV segment window asks of the other windows.
class ISegmentLinks {
 public:
  virtual ~ISegmentLinks() = default;
  // The main window's position slider, in tenths of a second.
  virtual int32_t PositionTenths() = 0;
  // Shows the VST window.
  virtual void ShowVstWindow() = 0;
  // Shows the effects window at its Winamp plug-in page.
  virtual void ShowDspPage() = 0;
  // Shows the render window and renders `job` of the file and into the
  // target the main window chose; returns when the render has ended.
  virtual void RunWaveRender(const TRenderJob& job) = 0;
};

// What the effects window asks of the other windows.
class IEffectsLinks {
 public:
  virtual ~IEffectsLinks() = default;
  virtual void ToggleVstWindow() = 0;
};

}  // namespace tav::player
