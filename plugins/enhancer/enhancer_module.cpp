#include "enhancer_module.h"

#include "presets.h"

namespace brindle {
namespace {

class StandInWindow : public EnhancerWindow {
 public:
  explicit StandInWindow(Module& module) : module_(module) { module_.WindowCreated(); }
  ~StandInWindow() override { module_.WindowDestroyedNow(); }
  void Close() override { module_.WindowClosing(); }

 private:
  Module& module_;
};

}  // namespace

std::unique_ptr<EnhancerWindow> StandInWindowFactory::Create(Module& module) {
  return std::make_unique<StandInWindow>(module);
}

Module::Module(Platform& platform, WindowFactory& windows)
    : processor(std::make_unique<Processor>()), platform_(platform), windows_(windows) {}

Module::~Module() = default;

void Module::WindowCreated() {
  WindowClosed = false;
  const std::string host = platform_.HostFolder();
  SettingsFile = host + kSettingsFileName;
  PresetFolder = PresetFolderOf(host);
  unwritable_.reset();
  if (ReadInt(Settings(), "XXX") != kFirstRunMarker) {
    WriteDefaultSettings(Settings());
    // A file that took no writes (a host in a folder its user may not
    // write) would read all zeros, and the enhancer would run silent: this
    // run keeps the first-run values in memory instead.
    if (ReadInt(Settings(), "XXX") != kFirstRunMarker) {
      unwritable_ = std::make_unique<MemorySection>();
      WriteDefaultSettings(*unwritable_);
    }
  }
  window.x = ReadInt(Settings(), "x");
  window.y = ReadInt(Settings(), "y");
}

void Module::WindowClosing() {
  WindowClosed = true;
  if (!SettingsLoaded) return;  // what memory holds was never read from the file
  WriteInt(Settings(), "hidden", window.hidden);
  SaveSettings(Settings(), params, window);
}

void Module::CloseWindow() {
  if (window_ && !WindowDestroyed) {
    if (!WindowClosed) window_->Close();
  }
  window_.reset();
}

bool Module::WaitWhileInFlight() {
  for (int waited = 0; handshake.InFlight.load(); waited += kPollMs) {
    if (waited >= kBlockWaitMs) return false;
    platform_.Sleep(kPollMs);
  }
  return true;
}

int Module::Init(void* hostWindow) noexcept {
  try {
    return Start(hostWindow);
  } catch (...) {
    // the host gets -1 and every later block passes untouched
    Refuse();
    return -1;
  }
}

void Module::Refuse() {
  handshake.Bypass = true;
  window_.reset();
  handshake.BlockDone = true;
}

int Module::Start(void* hostWindow) {
  handshake.Bypass = true;
  if (window_) {
    // A second start without `Quit` ends the first run as `Quit` does: with
    // Bypass set the window's close does not ask the host to close, and no
    // block is in progress when it goes.
    WaitWhileInFlight();
    CloseWindow();
  }
  // What memory holds now was read by an earlier run: the file may have
  // changed since, and a refused start must not write it back.
  SettingsLoaded = false;
  WindowClosed = true;
  WindowDestroyed = false;
  handshake.BlockDone = false;
  HostWindow = hostWindow;
  window_ = windows_.Create(*this);

  if (platform_.ScreenDpi() != kDefaultDpi) {
    platform_.Message(nullptr, kDpiText, kDpiCaption, MessageKind::plain);
    CloseWindow();
    handshake.BlockDone = true;
    return -1;
  }

  LoadSettings(Settings(), params, window);
  SettingsLoaded = true;
  // Bypass is set: once the block in progress is out, none runs until it clears.
  // (A block that never ends keeps its gains: they are not reset under it.)
  if (WaitWhileInFlight()) {
    ResetGains(processor->state);
    ResetReverb(processor->state);
  }
  handshake.BlockDone = true;
  handshake.Bypass = false;
  return 0;
}

void Module::Quit() noexcept {
  try {
    handshake.Bypass = true;
    platform_.Sleep(kPollMs);
    WaitWhileInFlight();
    CloseWindow();
  } catch (...) {
    window_.reset();  // a close that failed half-way: the window goes all the same
  }
}

void Module::Config() noexcept {
  try {
    platform_.Message(HostWindow, kConfigText, kConfigCaption, MessageKind::warning);
  } catch (...) {
    // nothing to undo: the message only
  }
}

int Module::ModifySamples(int16_t* samples, int frames, int bitsPerSample, int channels, int sampleRate) noexcept {
  try {
    return ProcessBlock(*processor, params, window, handshake, samples, frames, bitsPerSample, channels, sampleRate);
  } catch (...) {
    // the block is over: `Quit` and `Init` must not wait for it
    handshake.BlockDone = true;
    handshake.InFlight = false;
    return frames;
  }
}

}  // namespace brindle
