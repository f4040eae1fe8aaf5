// dsp_brindle.dll through the Winamp DSP test host, from a folder of its own
// (bin/enhancer): the host's "winamp.ini" and "plugins\Brindle\" are the ones
// beside this test program, removed before and after every test.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "dsp_test_host.h"
#include "tav/test/box_watcher.h"
#include "tav/test/files.h"
#include "tav/test/module_windows.h"
#include "presets.h"
#include "signals.h"
#include "win32_platform.h"
#include "window/placement.h"

namespace fs = std::filesystem;

namespace brindle {
namespace {

using Clock = std::chrono::steady_clock;
using tav::test::DspTestHost;

fs::path Here() { return fs::path(tav::test::exeFolder()); }
fs::path Ini() { return Here() / "winamp.ini"; }
std::wstring Library() { return (Here().parent_path() / "dsp_brindle.dll").wstring(); }

std::string Value(const char* key, const char* section = kSettingsSection) {
  return ProfileStore(Ini().string(), section).Read(key).value_or("<missing>");
}

std::string FileBytes(const fs::path& p) { return tav::test::ReadFileBytes(p); }

// The names a loaded module exports, from its export directory.
std::vector<std::string> ExportNames(HMODULE module) {
  auto* base = reinterpret_cast<const uint8_t*>(module);
  auto* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& dir = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_EXPORT];
  std::vector<std::string> names;
  if (!dir.VirtualAddress) return names;
  auto* exports = reinterpret_cast<const IMAGE_EXPORT_DIRECTORY*>(base + dir.VirtualAddress);
  auto* nameRvas = reinterpret_cast<const DWORD*>(base + exports->AddressOfNames);
  for (DWORD i = 0; i < exports->NumberOfNames; ++i) names.emplace_back(reinterpret_cast<const char*>(base + nameRvas[i]));
  EXPECT_EQ(exports->NumberOfFunctions, exports->NumberOfNames);
  return names;
}

class BrindleLibrary : public ::testing::Test {
 protected:
  void SetUp() override {
    Clean();
    ASSERT_TRUE(host.load(Library()));
  }
  void TearDown() override {
    host.unload();
    Clean();
  }
  static void Clean() {
    std::error_code ec;
    fs::remove(Ini(), ec);
    fs::remove_all(Here() / "plugins", ec);
  }
  DspTestHost host;
};

TEST_F(BrindleLibrary, ExportsOneUndecoratedNameAndItsRecords) {
  EXPECT_EQ(ExportNames(host.library()), std::vector<std::string>{"winampDSPGetHeader2"});
  winampDSPHeader* h = host.header();
  ASSERT_NE(h, nullptr);
  EXPECT_EQ(h->version, 0x20);
  EXPECT_STREQ(h->description, "Brindle Enhancer 031");
  ASSERT_EQ(host.modules().size(), 1u);
  winampDSPModule* m = host.module();
  EXPECT_STREQ(m->description, "Brindle Enhancer 031");
  EXPECT_EQ(m->userData, nullptr);
  EXPECT_EQ(h->getModule(1), nullptr);
  EXPECT_EQ(h->getModule(-1), nullptr);
  EXPECT_EQ(h->getModule(0), m);
  // what the host wrote into the record stays there
  EXPECT_EQ(m->hwndParent, host.window());
  EXPECT_EQ(m->hDllInstance, host.library());
}

TEST_F(BrindleLibrary, InitWritesTheFirstRunSectionInTheHostsFileAndQuitSavesIt) {
  ASSERT_EQ(host.init(), 0);
  EXPECT_EQ(Value("XXX"), "666");
  EXPECT_EQ(Value("bass3d"), "50");
  EXPECT_EQ(Value("basslopass"), "20");
  EXPECT_EQ(Value("dry"), "90");
  EXPECT_EQ(Value("timer"), "25");
  EXPECT_EQ(Value("icon"), "");
  host.quit();
  EXPECT_EQ(Value("x"), "300");
  EXPECT_EQ(Value("hidden"), "0");
  const std::string bytes = FileBytes(Ini());
  ASSERT_GE(bytes.size(), 2u);
  EXPECT_NE(bytes.substr(0, 2), "\xFF\xFE") << "an 8-bit file, not UTF-16";
  EXPECT_NE(bytes.find("[Brindle Vardo 03]"), std::string::npos);
}

TEST_F(BrindleLibrary, AnExistingFileKeepsItsEncodingAndItsOtherSections) {
  {
    std::ofstream out(Ini(), std::ios::binary);
    out << "[winamp]\r\noutname=caf\xE9 out\r\n[out_ds]\r\ncfg_buf_ms=2000\r\n";
  }
  ASSERT_EQ(host.init(), 0);
  host.quit();
  const std::string bytes = FileBytes(Ini());
  EXPECT_EQ(bytes.rfind("[winamp]\r\noutname=caf\xE9 out\r\n", 0), 0u) << bytes.substr(0, 40);
  EXPECT_NE(bytes.find("cfg_buf_ms=2000"), std::string::npos);
  EXPECT_NE(bytes.find("XXX=666"), std::string::npos);
}

TEST_F(BrindleLibrary, StoredValuesAreTheOnesTheFirstBlockRunsWith) {
  ASSERT_EQ(host.init(), 0);
  host.quit();
  ProfileStore(Ini().string(), kSettingsSection).Write("dry", "40");
  ASSERT_EQ(host.init(), 0);
  host.quit();
  EXPECT_EQ(Value("dry"), "40") << "Quit wrote back what Init loaded";
}

TEST_F(BrindleLibrary, BlocksEqualTheSameCoreLinkedHere) {
  ASSERT_EQ(host.init(), 0);
  test::Rig rig;  // a fresh processor at the first-run values, as the library's
  const auto signal = test::Noise(1152 * 12, 2, 24000, 17);
  auto viaLibrary = signal, here = signal;
  for (int b = 0; b < 12; ++b) {
    EXPECT_EQ(host.modify(viaLibrary.data() + b * 2304, 1152, 16, 2, 44100), 1152);
    rig.Block(here.data() + b * 2304, 1152);
  }
  EXPECT_EQ(viaLibrary, here);
  EXPECT_NE(viaLibrary, signal);
  host.quit();
}

TEST_F(BrindleLibrary, RefusedFormatsPassUntouched) {
  ASSERT_EQ(host.init(), 0);
  auto block = test::Noise(1152, 6, 24000, 2);
  const auto before = block;
  EXPECT_EQ(host.modify(block.data(), 1152, 16, 6, 44100), 1152);
  EXPECT_EQ(host.modify(block.data(), 1152, 16, 2, 99000), 1152);
  EXPECT_EQ(host.modify(block.data(), 100, 16, 2, 44100), 100);
  EXPECT_EQ(block, before);
  host.quit();
}

// Every cycle builds and frees the whole window (a few hundred milliseconds
// under Wine), so a few hundred cycles; a Quit may take one block of 65,534
// frames longer than it takes with no block in flight, and the window's
// teardown is slower beside a busy feeder.
TEST_F(BrindleLibrary, InitQuitCyclesAgainstAFeederAtLargeBlocks) {
  const auto quitTime = [&] {
    const auto start = Clock::now();
    host.quit();
    return Clock::now() - start;
  };
  Clock::duration idleQuit{};
  for (int i = 0; i < 5; ++i) {
    ASSERT_EQ(host.init(), 0);
    idleQuit = std::max(idleQuit, quitTime());
  }
  std::atomic<bool> stop{false}, counted{true};
  std::atomic<long long> blocks{0};
  ASSERT_EQ(host.init(), 0);
  winampDSPModule* m = host.module();
  std::thread feeder([&] {
    const auto source = test::Noise(65534, 2, 20000, 3);
    std::vector<int16_t> block;
    while (!stop) {
      block = source;
      if (m->ModifySamples(m, block.data(), 65534, 16, 2, 44100) != 65534) counted = false;
      ++blocks;
    }
  });
  Clock::duration slowest{};
  int slow = 0;
  constexpr int kCycles = 200;
  for (int i = 0; i < kCycles; ++i) {
    const auto took = quitTime();
    slowest = std::max(slowest, took);
    // the window's teardown competes with the feeder for the processor
    slow += took >= 2 * idleQuit + std::chrono::milliseconds(100);
    ASSERT_EQ(host.init(), 0);
  }
  host.quit();
  stop = true;
  feeder.join();
  EXPECT_TRUE(counted);
  EXPECT_GT(blocks, 20);
  // How many were slow is a figure, not a verdict (a loaded machine, or the X
  // server's wait for a window manager, holds some up); none may hang.
  EXPECT_LT(slowest, std::chrono::seconds(20));
  std::printf("%d cycles: slowest Quit %lld ms (%lld ms without blocks), %d of them slow\n",
              kCycles, (long long)std::chrono::duration_cast<std::chrono::milliseconds>(slowest).count(),
              (long long)std::chrono::duration_cast<std::chrono::milliseconds>(idleQuit).count(), slow);
}

TEST_F(BrindleLibrary, TheLibraryLoadsAndFreesTwice) {
  for (int round = 0; round < 2; ++round) {
    if (round == 1) {
      ASSERT_TRUE(host.load(Library()));
    }
    ASSERT_EQ(host.init(), 0);
    auto block = test::Noise(1152, 2, 20000, 5);
    EXPECT_EQ(host.modify(block.data(), 1152, 16, 2, 44100), 1152);
    host.quit();
    host.unload();
  }
  EXPECT_EQ(Value("XXX"), "666");
}

using tav::test::ClassLeft;
using tav::test::HostLoopFor;
using tav::test::WindowsOf;

TEST_F(BrindleLibrary, TheWindowShowsUnderTheHostsLoopAndLeavesNothingWhenFreedTwice) {
  for (int round = 0; round < 2; ++round) {
    if (round == 1) {
      ASSERT_TRUE(host.load(Library()));
    }
    HMODULE lib = host.library();
    ASSERT_EQ(host.init(), 0);
    HostLoopFor(150);  // the window's start-up runs from the host's loop
    HWND w = DspTestHost::findToolkitWindow(L"Brindle Enhancer");
    ASSERT_TRUE(w);
    EXPECT_TRUE(IsWindowVisible(w));
    EXPECT_EQ(reinterpret_cast<HMODULE>(GetWindowLongPtrW(w, GWLP_HINSTANCE)), lib);
    RECT r{};
    GetWindowRect(w, &r);
    EXPECT_EQ(r.left, 300);
    EXPECT_EQ(r.top, 200);
    EXPECT_EQ(r.right - r.left, 275);
    EXPECT_EQ(r.bottom - r.top, 116);
    HRGN rgn = CreateRectRgn(0, 0, 0, 0);
    ASSERT_NE(GetWindowRgn(w, rgn), ERROR);
    for (const window::Point& p : window::kWindowOutline)
      for (int dy = -1; dy <= 1; ++dy)
        for (int dx = -1; dx <= 1; ++dx) {
          if (p.y > 116) continue;  // the slanted tail is tested in process
          const int x = p.x + dx, y = p.y + dy;
          EXPECT_EQ(PtInRegion(rgn, x, y) != 0, window::InWindowOutline(x, y)) << x << "," << y;
        }
    DeleteObject(rgn);
    EXPECT_GT(WindowsOf(lib), 0u);
    host.quit();
    EXPECT_EQ(WindowsOf(lib), 0u) << "the window, its controls' and the timers' windows are gone";
    EXPECT_FALSE(ClassLeft(lib, tav::kToolkitWindowClass));
    EXPECT_FALSE(ClassLeft(lib, tav::kUtilityWindowClass));
    host.unload();
    HostLoopFor(60);  // the host's loop goes on without the library
  }
  EXPECT_EQ(Value("hidden"), "0");
}

TEST_F(BrindleLibrary, ConfigShowsTheTrayHint) {
  tav::test::BoxWatcher boxes;
  host.config();  // before Init as well
  ASSERT_EQ(host.init(), 0);
  host.config();
  const auto seen = boxes.Take();
  ASSERT_EQ(seen.size(), 2u);
  for (const auto& box : seen) {
    EXPECT_EQ(box.caption, L"Brindle Enhancer 031 by Brindle Vardo");
    EXPECT_EQ(box.text, L"For config click on the tray icon!");
  }
  boxes.ExpectNoOthers();
  host.quit();
}

// The preset folder through the library's own file calls.
TEST(BrindlePresetFolder, SaveListLoadAndDeleteBelowTheHost) {
  std::error_code ec;
  fs::remove_all(Here() / "plugins", ec);
  Win32Disk disk;
  const std::string folder = PresetFolderOf(ModuleFolder(nullptr));
  EXPECT_EQ(ListPresets(disk, folder), std::vector<std::string>{});
  EXPECT_TRUE(fs::is_directory(Here() / "plugins" / "Brindle"));
  Parameters p;
  p.Set(Param::treble, 42);
  SavePreset(disk, PresetPath(folder, "Warm"), p);
  SavePreset(disk, PresetPath(folder, "my.brindleset"), p);
  std::ofstream(Here() / "stray.brindle") << "[Brindle Vardo preset]\r\npresettype=30\r\n";
  std::ofstream(fs::path(folder) / "notes.txt") << "x";
  auto names = ListPresets(disk, folder);
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"Warm", "my.brindleset"}));
  EXPECT_NE(FileBytes(fs::path(folder) / "Warm.brindle").find("basslim=90"), std::string::npos);
  Parameters q;
  EXPECT_EQ(LoadPreset(disk, PresetPath(folder, "Warm"), q, [] { return false; }), PresetLoad::loaded);
  EXPECT_EQ(q.Get(Param::treble), 42);
  EXPECT_EQ(LoadPreset(disk, PresetPath(folder, "Gone"), q, [] { return true; }), PresetLoad::missing);
  EXPECT_TRUE(DeletePreset(disk, PresetPath(folder, "Warm")));
  EXPECT_EQ(ListPresets(disk, folder), std::vector<std::string>{"my.brindleset"});
  fs::remove(Here() / "stray.brindle", ec);
  fs::remove_all(Here() / "plugins", ec);
}

}  // namespace
}  // namespace brindle
