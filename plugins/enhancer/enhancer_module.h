// The enhancer's face towards a Winamp DSP host without the host itself: the
// module state shared by the entry points, the window and the processor, and
// `Init`, `Quit`, `Config` and `ModifySamples` over two small interfaces (the
// platform's screen, message boxes, sleep and settings file, and the factory
// that makes the enhancer's window).
#pragma once

#include <atomic>
#include <memory>
#include <string>

#include "parameters.h"
#include "processor.h"
#include "settings.h"

namespace brindle {

inline constexpr const char* kDescription = "Brindle Enhancer 031";
inline constexpr const char* kConfigText = "For config click on the tray icon!";
inline constexpr const char* kConfigCaption = "Brindle Enhancer 031 by Brindle Vardo";
inline constexpr const char* kDpiText =
    "Can not show window correctly with the current DPI settings...\n\rChange it back to the default setting(96dpi)!";
inline constexpr const char* kDpiCaption = "Brindle";
inline constexpr int kDefaultDpi = 96;
// How long `Quit` and `Init` wait for a block in progress before going on: a
// block that a host's exception guard left never ends.
inline constexpr int kBlockWaitMs = 1000;
inline constexpr int kPollMs = 10;

enum class MessageKind { plain, warning };

class Platform {
 public:
  virtual ~Platform() = default;
  virtual int ScreenDpi() = 0;
  virtual void Message(void* owner, const char* text, const char* caption, MessageKind kind) = 0;
  virtual void Sleep(int ms) = 0;
  // The folder of the running program, ending in a separator.
  virtual std::string HostFolder() = 0;
  // The settings section in `file`.
  virtual SettingsStore& Settings(const std::string& file) = 0;
};

class Module;

class EnhancerWindow {
 public:
  virtual ~EnhancerWindow() = default;
  // Runs the close handlers: the window state and the settings are written.
  virtual void Close() = 0;
};

class WindowFactory {
 public:
  virtual ~WindowFactory() = default;
  // The window's creation runs its create handler (settings file and preset
  // folder, first-run defaults).
  virtual std::unique_ptr<EnhancerWindow> Create(Module& module) = 0;
};

// Until the enhancer has a window: does what the window's create and close
// handlers do for the settings and shows nothing.
class StandInWindowFactory : public WindowFactory {
 public:
  std::unique_ptr<EnhancerWindow> Create(Module& module) override;
};

class Module {
 public:
  Module(Platform& platform, WindowFactory& windows);
  ~Module();

  // The host's entries: no exception leaves them into the host.
  int Init(void* hostWindow) noexcept;  // 0, or -1 when the screen is not at 96 dpi or the start failed
  void Quit() noexcept;
  void Config() noexcept;
  int ModifySamples(int16_t* samples, int frames, int bitsPerSample, int channels, int sampleRate) noexcept;

  // The window's create and close handlers' part of the settings.
  void WindowCreated();  // `WindowClosed` clear; settings file, preset folder, first run
  void WindowClosing();  // `WindowClosed` set; the settings, when they were loaded
  void WindowDestroyedNow() { WindowDestroyed = true; }
  // The settings section; held in memory for a run whose file took no writes.
  SettingsStore& Settings() { return unwritable_ ? *unwritable_ : platform_.Settings(SettingsFile); }
  Platform& platform() { return platform_; }

  Parameters params;
  WindowSettings window;
  Handshake handshake;
  std::unique_ptr<Processor> processor;
  std::atomic<bool> WindowClosed{false};
  std::atomic<bool> WindowDestroyed{false};
  void* HostWindow = nullptr;
  std::string SettingsFile, PresetFolder, PresetFile;
  // The stored settings were read into the parameters: only then may closing
  // write them back.
  bool SettingsLoaded = false;

 private:
  int Start(void* hostWindow);
  void Refuse();  // frees the window unclosed: the stored settings stay as they are
  void CloseWindow();
  bool WaitWhileInFlight();  // false when a block is still in flight after kBlockWaitMs

  Platform& platform_;
  WindowFactory& windows_;
  std::unique_ptr<EnhancerWindow> window_;
  std::unique_ptr<MemorySection> unwritable_;
};

}  // namespace brindle
