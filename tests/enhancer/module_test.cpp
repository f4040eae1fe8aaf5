// The module over a fake platform and the stand-in window: Init, Quit and
// Config, the settings they read and write, and the hand-shake with a
// playback thread.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <map>
#include <stdexcept>
#include <thread>

#include "enhancer_module.h"
#include "recording_store.h"
#include "signals.h"

namespace brindle {
namespace {

using test::RecordingStore;

struct FakePlatform : Platform {
  int dpi = 96;
  bool realSleep = false;  // else sleeping counts and naps a fiftieth of the time

  std::atomic<int> slept{0};
  struct Box {
    void* owner;
    std::string text, caption;
    MessageKind kind;
  };
  std::vector<Box> boxes;
  std::map<std::string, RecordingStore> files;

  bool throwOnDpi = false, throwOnMessage = false;
  std::function<void()> onSleep;

  int ScreenDpi() override {
    if (throwOnDpi) throw std::runtime_error("no device context left");
    return dpi;
  }
  void Message(void* owner, const char* text, const char* caption, MessageKind kind) override {
    if (throwOnMessage) throw std::runtime_error("no window left for the box");
    boxes.push_back({owner, text, caption, kind});
  }
  void Sleep(int ms) override {
    if (onSleep) onSleep();
    slept += ms;
    std::this_thread::sleep_for(realSleep ? std::chrono::microseconds(ms * 1000) : std::chrono::microseconds(ms * 20));
  }
  std::string HostFolder() override { return "C:\\Host\\"; }
  SettingsStore& Settings(const std::string& file) override { return files[file]; }
  RecordingStore& Ini() { return files["C:\\Host\\winamp.ini"]; }
};

// Counts the stand-in windows alive and made; `beforeCreate`, `afterCreate`
// and `onClose` run at those points (and may throw, as a window system out
// of handles does).
struct CountingFactory : WindowFactory {
  StandInWindowFactory inner;
  int made = 0;
  std::shared_ptr<int> alive = std::make_shared<int>(0);
  std::function<void()> beforeCreate, afterCreate, onClose;
  struct Counted : EnhancerWindow {
    std::unique_ptr<EnhancerWindow> w;
    std::shared_ptr<int> alive;
    std::function<void()>& onClose;
    Counted(std::unique_ptr<EnhancerWindow> window, std::shared_ptr<int> a, std::function<void()>& close)
        : w(std::move(window)), alive(a), onClose(close) {
      ++*alive;
    }
    ~Counted() override { --*alive; }
    void Close() override {
      if (onClose) onClose();
      w->Close();
    }
  };
  std::unique_ptr<EnhancerWindow> Create(Module& m) override {
    if (beforeCreate) beforeCreate();
    ++made;
    auto window = std::make_unique<Counted>(inner.Create(m), alive, onClose);
    if (afterCreate) afterCreate();
    return window;
  }
};

struct ModuleTest : ::testing::Test {
  FakePlatform platform;
  CountingFactory windows;
  std::unique_ptr<Module> module = std::make_unique<Module>(platform, windows);
  int hostWindow = 0;

  // After a refused start: the stored section is as it was, no window is
  // left, every block passes untouched and Quit returns after one poll
  // without writing anything.
  void ExpectRefused(const std::map<std::string, std::string>& stored) {
    EXPECT_TRUE(module->handshake.Bypass);
    EXPECT_TRUE(module->handshake.BlockDone);
    EXPECT_EQ(*windows.alive, 0);
    EXPECT_EQ(platform.Ini().values, stored);
    EXPECT_TRUE(platform.Ini().writes.empty());
    auto block = test::Noise(1152, 2, 20000);
    const auto before = block;
    EXPECT_EQ(module->ModifySamples(block.data(), 1152, 16, 2, 44100), 1152);
    EXPECT_EQ(block, before);
    platform.slept = 0;
    module->Quit();
    EXPECT_EQ(platform.slept, kPollMs);
    EXPECT_TRUE(platform.Ini().writes.empty());
  }

  void StoreCustomSection() {
    WriteDefaultSettings(platform.Ini());
    platform.Ini().values["dry"] = "40";
    platform.Ini().values["x"] = "17";
    platform.Ini().values["reverb"] = "0";
    platform.Ini().Forget();
  }
};

TEST_F(ModuleTest, InitOnAFreshHostWritesTheFirstRunSectionAndRuns) {
  EXPECT_EQ(module->Init(&hostWindow), 0);
  EXPECT_EQ(module->SettingsFile, "C:\\Host\\winamp.ini");
  EXPECT_EQ(module->PresetFolder, "C:\\Host\\plugins\\Brindle\\");
  EXPECT_EQ(module->HostWindow, &hostWindow);
  RecordingStore& ini = platform.Ini();
  ASSERT_FALSE(ini.writes.empty());
  EXPECT_EQ(ini.writes.front(), "XXX");
  EXPECT_EQ(ini.values["XXX"], "666");
  EXPECT_EQ(ini.values["dry"], "90");
  EXPECT_EQ(ini.values["icon"], "");
  EXPECT_FALSE(module->handshake.Bypass);
  EXPECT_TRUE(module->handshake.BlockDone);
  EXPECT_EQ(*windows.alive, 1);
  EXPECT_TRUE(platform.boxes.empty());
  auto block = test::Noise(1152, 2, 20000);
  const auto before = block;
  EXPECT_EQ(module->ModifySamples(block.data(), 1152, 16, 2, 44100), 1152);
  EXPECT_NE(block, before);
  module->Quit();
  EXPECT_EQ(*windows.alive, 0);
}

TEST_F(ModuleTest, InitLoadsTheStoredValuesAtOnce) {
  StoreCustomSection();
  ASSERT_EQ(module->Init(&hostWindow), 0);
  EXPECT_EQ(module->params.Get(Param::dry), 40);
  EXPECT_EQ(module->params.Get(Param::reverb), 0);
  EXPECT_EQ(module->window.x, 17);
  EXPECT_TRUE(platform.Ini().writes.empty()) << "a section that is there is not rewritten";
  module->Quit();
}

TEST_F(ModuleTest, QuitSavesWhatInitLoaded) {
  StoreCustomSection();
  const auto stored = platform.Ini().values;
  ASSERT_EQ(module->Init(&hostWindow), 0);
  module->Quit();
  EXPECT_EQ(platform.Ini().values, stored);
  EXPECT_EQ(platform.Ini().writes.front(), "hidden");
  EXPECT_EQ(platform.Ini().writes.size(), 38u);  // hidden, then the save
}

TEST_F(ModuleTest, AScreenOtherThan96DpiRefusesAndLeavesTheSettingsAlone) {
  StoreCustomSection();
  const auto stored = platform.Ini().values;
  platform.dpi = 120;
  EXPECT_EQ(module->Init(&hostWindow), -1);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].owner, nullptr);
  EXPECT_EQ(platform.boxes[0].caption, "Brindle");
  EXPECT_EQ(platform.boxes[0].text,
            "Can not show window correctly with the current DPI settings...\n\r"
            "Change it back to the default setting(96dpi)!");
  EXPECT_EQ(platform.boxes[0].kind, MessageKind::plain);
  ExpectRefused(stored);
}

// The values a first run loaded are stale at a second start: a refused
// start does not write them over what the section holds now.
TEST_F(ModuleTest, ARefusedStartAfterARunLeavesTheSettingsAlone) {
  StoreCustomSection();
  ASSERT_EQ(module->Init(&hostWindow), 0);
  module->Quit();
  platform.Ini().values["dry"] = "12";  // another copy of the host saved since
  platform.Ini().Forget();
  const auto stored = platform.Ini().values;
  platform.dpi = 120;
  EXPECT_EQ(module->Init(&hostWindow), -1);
  module->Quit();
  EXPECT_EQ(platform.Ini().values, stored);
  EXPECT_TRUE(platform.Ini().writes.empty());
}

TEST_F(ModuleTest, QuitWithoutInitReturnsAfterOnePoll) {
  module->Quit();
  EXPECT_EQ(platform.slept, kPollMs);
  EXPECT_TRUE(platform.files.empty());
  EXPECT_EQ(windows.made, 0);
}

TEST_F(ModuleTest, ConfigShowsItsMessageOwnedByTheHostWindow) {
  module->Config();
  ASSERT_EQ(module->Init(&hostWindow), 0);
  module->Config();
  ASSERT_EQ(platform.boxes.size(), 2u);
  EXPECT_EQ(platform.boxes[0].owner, nullptr);
  EXPECT_EQ(platform.boxes[1].owner, &hostWindow);
  EXPECT_EQ(platform.boxes[1].text, "For config click on the tray icon!");
  EXPECT_EQ(platform.boxes[1].kind, MessageKind::warning);
  module->Quit();
}

TEST_F(ModuleTest, ASecondInitWithoutQuitClosesTheFirstWindow) {
  ASSERT_EQ(module->Init(&hostWindow), 0);
  module->params.Set(Param::treble, 77);  // as the window would
  platform.Ini().Forget();
  ASSERT_EQ(module->Init(&hostWindow), 0);
  EXPECT_EQ(windows.made, 2);
  EXPECT_EQ(*windows.alive, 1);
  EXPECT_EQ(platform.Ini().values["treble"], "77") << "the first window's close wrote its settings";
  EXPECT_EQ(module->params.Get(Param::treble), 77);
  module->Quit();
  EXPECT_EQ(*windows.alive, 0);
}

TEST_F(ModuleTest, InitResetsTheGainsAndTheReverbOnly) {
  DspState& s = module->processor->state;
  s.bass.f.gA = s.bass.f.gL = s.dyn.f.gc = s.dyn.f.gf = 0.5f;
  s.main.f.g = Both(0.2f);
  s.main.f.p1 = Both(0.125f);
  s.reverb.pos[1][4] = 7;
  s.reverb.line[0][3][100] = 0.25f;
  s.reverb.line[0][3][6000] = 0.25f;
  ASSERT_EQ(module->Init(&hostWindow), 0);
  EXPECT_EQ(s.bass.f.gA, 1.0f);
  EXPECT_EQ(s.bass.f.gL, 1.0f);
  EXPECT_EQ(s.dyn.f.gc, 1.0f);
  EXPECT_EQ(s.dyn.f.gf, 1.0f);
  EXPECT_EQ(Left(s.main.f.g), 1.3f);
  EXPECT_EQ(Right(s.main.f.g), 1.3f);
  EXPECT_EQ(Left(s.main.f.p1), 0.125f);
  EXPECT_EQ(s.reverb.pos[1][4], 0);
  EXPECT_EQ(s.reverb.line[0][3][100], 0.0f);
  EXPECT_EQ(s.reverb.line[0][3][6000], 0.25f) << "only the first 5,001 values";
  module->Quit();
}

TEST_F(ModuleTest, ABlockLeftInFlightHoldsQuitForABoundedTimeOnly) {
  ASSERT_EQ(module->Init(&hostWindow), 0);
  module->handshake.InFlight = true;  // as a block that faulted in the host's guard leaves it
  platform.slept = 0;
  module->Quit();
  EXPECT_GE(platform.slept, kBlockWaitMs);
  EXPECT_LE(platform.slept, kBlockWaitMs + 2 * kPollMs);
  EXPECT_EQ(*windows.alive, 0);
}

// A playback thread calling ModifySamples as a host's audio thread does.
class Feeder {
 public:
  explicit Feeder(Module& m, int frames = 1152) : module_(m), frames_(frames) {
    thread_ = std::thread([this] { Run(); });
  }
  ~Feeder() { Stop(); }
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
  }
  long long blocks() const { return blocks_; }
  bool allKeptTheirCount() const { return good_; }

 private:
  void Run() {
    const auto source = test::Noise(frames_, 2, 20000, 11);
    std::vector<int16_t> block;
    while (!stop_) {
      block = source;
      if (module_.ModifySamples(block.data(), frames_, 16, 2, 44100) != frames_) good_ = false;
      ++blocks_;
    }
  }
  Module& module_;
  int frames_;
  std::atomic<bool> stop_{false}, good_{true};
  std::atomic<long long> blocks_{0};
  std::thread thread_;
};

// One block on a playback thread of its own, held 50 ms by the test hook once
// it is past its Bypass test.
class HeldBlock {
 public:
  explicit HeldBlock(Module& m) : module_(m) {
    module_.handshake.holdHook = [this] {
      if (held_++ > 0) return;
      inBlock_ = true;
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
      ended_ = true;
    };
    thread_ = std::thread([this] {
      auto block = test::Noise(1152, 2, 100);
      module_.ModifySamples(block.data(), 1152, 16, 2, 44100);  // raises the bass gain above 1
    });
    while (!inBlock_) std::this_thread::yield();
  }
  ~HeldBlock() { thread_.join(); }
  bool ended() const { return ended_; }

 private:
  Module& module_;
  std::atomic<bool> inBlock_{false}, ended_{false};
  std::atomic<int> held_{0};
  std::thread thread_;
};

TEST_F(ModuleTest, QuitWaitsForTheBlockInProgress) {
  ASSERT_EQ(module->Init(&hostWindow), 0);
  platform.realSleep = true;
  HeldBlock block(*module);
  module->Quit();
  EXPECT_TRUE(block.ended()) << "Quit returned while the block ran";
}

TEST_F(ModuleTest, InitResetsOnlyOnceTheBlockInProgressIsOut) {
  ASSERT_EQ(module->Init(&hostWindow), 0);
  platform.realSleep = true;
  {
    HeldBlock block(*module);
    ASSERT_EQ(module->Init(&hostWindow), 0);
    EXPECT_TRUE(block.ended()) << "Init returned while the block ran";
  }
  EXPECT_EQ(module->processor->state.bass.f.gA, 1.0f);
  EXPECT_FALSE(module->handshake.Bypass);
  module->Quit();
}

TEST_F(ModuleTest, TenThousandInitQuitCyclesAgainstABusyFeeder) {
  Feeder feeder(*module, 256);
  for (int i = 0; i < 10000; ++i) {
    ASSERT_EQ(module->Init(&hostWindow), 0);
    if (i % 500 == 0) platform.Ini().Forget();
    module->Quit();
  }
  // and running: the feeder's blocks are processed again
  ASSERT_EQ(module->Init(&hostWindow), 0);
  const long long before = feeder.blocks();
  while (feeder.blocks() < before + 20) std::this_thread::yield();
  feeder.Stop();
  EXPECT_TRUE(feeder.allKeptTheirCount());
  EXPECT_EQ(module->processor->state.restarts, 0);
  EXPECT_EQ(*windows.alive, 1);
  module->Quit();
}

// --- mended faults -------------------------------------------------------------

double Rms(const std::vector<int16_t>& v) {
  double sum = 0;
  for (int16_t x : v) sum += double(x) * double(x);
  return std::sqrt(sum / double(v.size()));
}

// A host in a folder its user may not write: the defaults it is given never
// reach the file. The run keeps the first-run values and sounds; a section
// that says it was written (`XXX` 666) still reads a missing key as 0.
TEST_F(ModuleTest, ASettingsFileThatTakesNoWritesRunsOnTheFirstRunValues) {
  const struct {
    const char* what;
    bool refuseWrites, markerStored;
    int32_t dry;  // what `dry` runs on; the stored section lacks it
  } cases[] = {
      {"unwritable, empty", true, false, 90},
      {"unwritable, marked", true, true, 0},
      {"writable, marked", false, true, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    FakePlatform platform;
    CountingFactory windows;
    Module module(platform, windows);
    RecordingStore& ini = platform.Ini();
    if (c.markerStored) {
      WriteDefaultSettings(ini);
      ini.values.erase("dry");
    }
    ini.refuseWrites = c.refuseWrites;
    const auto stored = ini.values;
    ASSERT_EQ(module.Init(&hostWindow), 0);
    EXPECT_EQ(module.params.Get(Param::dry), c.dry);
    for (const ParamInfo& row : kParamTable) {
      if (row.param == Param::dry) continue;
      EXPECT_EQ(module.params.Get(row.param), row.firstRun) << row.key;
    }
    EXPECT_EQ(module.window.x, 300);
    EXPECT_EQ(module.window.timer, 25);
    EXPECT_EQ(module.window.delay, 1000);
    if (c.dry != 0) {
      // not silence: after the latency the output is about as loud as the input
      const auto source = test::Noise(4096, 2, 8000, 3);
      auto block = source;
      for (int i = 0; i < 4; ++i) {
        block = source;
        ASSERT_EQ(module.ModifySamples(block.data(), 4096, 16, 2, 44100), 4096);
      }
      EXPECT_GT(Rms(block), Rms(source) / 4) << "about -100 dB on all-zero parameters";
    }
    module.Quit();
    if (c.refuseWrites) {
      EXPECT_EQ(ini.values, stored);
    }
  }
}

// One block on a playback thread of its own, held past its Bypass test until
// the module first sleeps (a module waiting for it), then let go; that sleep
// lasts until the block is out, so the module's bounded wait never runs out
// on a slow machine.
class LatchedBlock {
 public:
  LatchedBlock(Module& m, FakePlatform& platform) : module_(m), platform_(platform) {
    platform.onSleep = [this] {
      release_ = true;
      while (module_.handshake.InFlight.load()) std::this_thread::yield();
    };
    module_.handshake.holdHook = [this] {
      inBlock_ = true;
      while (!release_) std::this_thread::yield();
      ended_ = true;
    };
    thread_ = std::thread([this] {
      auto block = test::Noise(1152, 2, 100);
      module_.ModifySamples(block.data(), 1152, 16, 2, 44100);
    });
    while (!inBlock_) std::this_thread::yield();
  }
  ~LatchedBlock() {
    release_ = true;
    thread_.join();
    module_.handshake.holdHook = nullptr;
    platform_.onSleep = nullptr;
  }
  bool ended() const { return ended_; }

 private:
  Module& module_;
  FakePlatform& platform_;
  std::atomic<bool> inBlock_{false}, release_{false}, ended_{false};
  std::thread thread_;
};

// A second start without Quit ends the first run as Quit does: the first
// window closes with Bypass set (so its close query leaves the host alone)
// and after the block in progress is out.
TEST_F(ModuleTest, ASecondInitClosesTheFirstWindowWithBypassSetAndNoBlockInProgress) {
  ASSERT_EQ(module->Init(&hostWindow), 0);
  bool closed = false, bypassAtClose = false, blockEndedAtClose = false;
  std::unique_ptr<LatchedBlock> block;
  windows.onClose = [&] {
    closed = true;
    bypassAtClose = module->handshake.Bypass;
    blockEndedAtClose = block->ended();
  };
  block = std::make_unique<LatchedBlock>(*module, platform);
  ASSERT_EQ(module->Init(&hostWindow), 0);
  EXPECT_TRUE(closed);
  EXPECT_TRUE(bypassAtClose) << "the close query would post WM_CLOSE to the host";
  EXPECT_TRUE(blockEndedAtClose);
  block.reset();
  windows.onClose = nullptr;
  EXPECT_FALSE(module->handshake.Bypass);
  module->Quit();
}

// No exception leaves an entry point into the host. A start that fails frees
// what it made without writing the settings, answers -1 and leaves Bypass
// set, so every later block passes untouched.
TEST_F(ModuleTest, AnExceptionInInitRefusesTheStart) {
  const struct {
    const char* what;
    std::function<void(ModuleTest&)> arrange;
  } cases[] = {
      {"the window cannot be made",
       [](ModuleTest& t) { t.windows.beforeCreate = [] { throw std::runtime_error("no window handles left"); }; }},
      {"the screen cannot be asked", [](ModuleTest& t) { t.platform.throwOnDpi = true; }},
      {"the settings cannot be read",
       [](ModuleTest& t) { t.windows.afterCreate = [&t] { t.platform.Ini().throwOnRead = true; }; }},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    platform.throwOnDpi = false;
    windows.beforeCreate = windows.afterCreate = nullptr;
    StoreCustomSection();
    const auto stored = platform.Ini().values;
    c.arrange(*this);
    EXPECT_EQ(module->Init(&hostWindow), -1);
    platform.Ini().throwOnRead = false;
    ExpectRefused(stored);
    // and the next start runs
    platform.throwOnDpi = false;
    windows.beforeCreate = windows.afterCreate = nullptr;
    EXPECT_EQ(module->Init(&hostWindow), 0);
    module->Quit();
  }
}

TEST_F(ModuleTest, AnExceptionInQuitConfigOrABlockStaysInside) {
  ASSERT_EQ(module->Init(&hostWindow), 0);
  // a block: its length comes back, and nobody waits for it afterwards
  module->handshake.holdHook = [] { throw std::runtime_error("inside a block"); };
  auto block = test::Noise(1152, 2, 20000);
  EXPECT_EQ(module->ModifySamples(block.data(), 1152, 16, 2, 44100), 1152);
  module->handshake.holdHook = nullptr;
  EXPECT_FALSE(module->handshake.InFlight);
  EXPECT_TRUE(module->handshake.BlockDone);
  platform.throwOnMessage = true;
  module->Config();
  platform.throwOnMessage = false;
  // a close that throws: Quit returns at once and the window goes all the same
  windows.onClose = [] { throw std::runtime_error("closing"); };
  platform.slept = 0;
  module->Quit();
  windows.onClose = nullptr;
  EXPECT_EQ(platform.slept, kPollMs);
  EXPECT_EQ(*windows.alive, 0);
  EXPECT_EQ(module->Init(&hostWindow), 0);
  module->Quit();
}

}  // namespace
}  // namespace brindle
