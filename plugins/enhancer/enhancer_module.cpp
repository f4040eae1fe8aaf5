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
  SettingsStore& store = Settings();
  if (ReadInt(store, "XXX") != kFirstRunMarker) WriteDefaultSettings(store);
  window.x = ReadInt(store, "x");
  window.y = ReadInt(store, "y");
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

int Module::Init(void* hostWindow) {
  // A second start without `Quit` first closes the window of the first.
  CloseWindow();
  // What memory holds now was read by an earlier run: the file may have
  // changed since, and a refused start must not write it back.
  SettingsLoaded = false;
  WindowClosed = true;
  handshake.Bypass = true;
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

void Module::Quit() {
  handshake.Bypass = true;
  platform_.Sleep(kPollMs);
  WaitWhileInFlight();
  CloseWindow();
}

void Module::Config() { platform_.Message(HostWindow, kConfigText, kConfigCaption, MessageKind::warning); }

int Module::ModifySamples(int16_t* samples, int frames, int bitsPerSample, int channels, int sampleRate) {
  return ProcessBlock(*processor, params, window, handshake, samples, frames, bitsPerSample, channels, sampleRate);
}

}  // namespace brindle
