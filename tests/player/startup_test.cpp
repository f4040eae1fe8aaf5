// The program's start-up with our libraries and with test builds of them that
// report an old version, fail one device or report an old DirectSound.
#include <gtest/gtest.h>
#include <windows.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "bass.h"
#include "tav/player/startup.h"
#include "tav/test/files.h"
#include "tav/test/win32_process.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using tav::test::BoxText;

namespace {

const std::wstring kMainCaption = L"Tavolen V1.5";
const std::wstring kStopCaption = L"出错啦!!!!!";
const std::wstring kDirectXText =
    L"您的DirectX 版本过低\r\n以下功能可能无法使用:\r\n均衡器\r\n混响\r\n高级回音\r\n慢拂移向\r\n\r\n"
    L"请安装DirectX 8 及以上版本!!!";

// The program in a folder of its own, with the given builds of the two libraries.
struct StagedPlayer {
  tav::test::TempFolder dir{L"startup"};
  explicit StagedPlayer(const wchar_t* bassVariant = nullptr, const wchar_t* bfxsVariant = nullptr) {
    fs::path bin = tav::test::ExeDir();
    fs::copy_file(bin / L"Tavolen.exe", dir.path() / L"Tavolen.exe");
    fs::path bass = bassVariant ? bin / L"variants" / bassVariant / L"bass.dll" : bin / L"bass.dll";
    fs::path bfxs = bfxsVariant ? bin / L"variants" / bfxsVariant / L"bfxs.dll" : bin / L"bfxs.dll";
    fs::copy_file(bass, dir.path() / L"bass.dll");
    fs::copy_file(bfxs, dir.path() / L"bfxs.dll");
  }
  fs::path exe() const { return dir.path() / L"Tavolen.exe"; }
};

std::wstring DeviceName(DWORD device) {
  BASS_DEVICEINFO info{};
  if (!BASS_GetDeviceInfo(device, &info) || !info.name) return L"";
  wchar_t buf[512];
  int n = MultiByteToWideChar(CP_ACP, 0, info.name, -1, buf, 512);
  return n > 0 ? std::wstring(buf, size_t(n - 1)) : L"";
}

// A visible top-level window of the process with this caption.
HWND WindowCaptioned(DWORD pid, const std::wstring& caption) {
  for (HWND h : tav::test::TopWindowsOf(pid))
    if (IsWindowVisible(h) && tav::test::WindowText(h) == caption) return h;
  return nullptr;
}

HWND WaitForWindow(DWORD pid, const std::wstring& caption) {
  for (int t = 0; t < 1500; ++t) {
    if (HWND h = WindowCaptioned(pid, caption)) return h;
    Sleep(20);
  }
  return nullptr;
}

// A top-level window of the process with this caption, shown or not.
HWND AnyWindowCaptioned(DWORD pid, const std::wstring& caption) {
  for (HWND h : tav::test::TopWindowsOf(pid))
    if (tav::test::WindowText(h) == caption) return h;
  return nullptr;
}

// Runs the staged program until it has shown `expected` boxes (each answered
// with OK), then checks that no further box comes and how it ends.
struct Outcome {
  std::vector<BoxText> boxes;
  DWORD exitCode = STILL_ACTIVE;
  bool otherWindows = false;
};

Outcome RunStaged(StagedPlayer& p, size_t expectedBoxes, bool expectExitByItself) {
  Outcome o;
  tav::test::ChildProcess child(p.exe(), p.dir.path());
  EXPECT_TRUE(child.started());
  for (size_t i = 0; i < expectedBoxes; ++i) {
    BoxText box;
    if (!tav::test::WaitForBox(child.pid(), &box, 20s)) break;
    o.boxes.push_back(box);
    tav::test::PressOk(box.hwnd);
    // wait for this box to go before looking for the next
    for (int t = 0; t < 250 && IsWindow(box.hwnd); ++t) Sleep(20);
  }
  if (expectExitByItself) {
    o.exitCode = child.WaitExit(30s);
  } else {
    BoxText extra;
    if (tav::test::WaitForBox(child.pid(), &extra, 1500ms)) {
      o.boxes.push_back(extra);
      tav::test::PressOk(extra.hwnd);
    }
    o.otherWindows = !tav::test::TopWindowsOf(child.pid()).empty();
    // Ask only once the main window is there: before its thread has a message
    // queue a posted quit is refused, and a loaded machine can take longer
    // than the wait above to get that far.
    EXPECT_NE(WaitForWindow(child.pid(), kMainCaption), nullptr) << "the main window shows";
    EXPECT_TRUE(child.PostQuit());
    o.exitCode = child.WaitExit(30s);
  }
  return o;
}

}  // namespace

TEST(Startup, StartsWithOurLibrariesAndEndsWhenAsked) {
  StagedPlayer p;
  Outcome o = RunStaged(p, 0, false);
  for (const auto& b : o.boxes) ADD_FAILURE() << "unexpected box: " << std::string(b.text.begin(), b.text.end());
  EXPECT_TRUE(o.boxes.empty());
  EXPECT_EQ(o.exitCode, 0u);
}

struct VersionCase {
  const wchar_t* bass;
  const wchar_t* bfxs;
  const wchar_t* text;
};

class StartupVersion : public testing::TestWithParam<VersionCase> {};

TEST_P(StartupVersion, OldLibraryShowsOneBoxAndCreatesNothing) {
  StagedPlayer p(GetParam().bass, GetParam().bfxs);
  Outcome o = RunStaged(p, 1, true);
  ASSERT_EQ(o.boxes.size(), 1u);
  EXPECT_EQ(o.boxes[0].text, GetParam().text);
  EXPECT_EQ(o.boxes[0].caption, kStopCaption);
  EXPECT_EQ(o.exitCode, 0u) << "the program ends once the box is answered";
}

INSTANTIATE_TEST_SUITE_P(Libraries, StartupVersion,
                         testing::Values(VersionCase{L"bass-v23", nullptr, L"BASS.Dll版本不合适,退出"},
                                         VersionCase{nullptr, L"bfxs-v23", L"Bfxs.dll版本不合适,退出"}));

TEST(Startup, FailingDeviceGivesOneBoxNamingItAndStartupGoesOn) {
  StagedPlayer p(L"bass-failinit1");
  Outcome o = RunStaged(p, 1, false);
  ASSERT_EQ(o.boxes.size(), 1u) << "exactly one box";
  EXPECT_EQ(o.boxes[0].text, L"设备" + DeviceName(1) + L"初始化失败,有可能不支持!!!");
  EXPECT_EQ(o.boxes[0].caption, L"出错啦!!!");
  EXPECT_EQ(o.exitCode, 0u);
}

TEST(Startup, OldDirectSoundWarnsOnceAndStartupGoesOn) {
  StagedPlayer p(L"bass-dsver7");
  Outcome o = RunStaged(p, 1, false);
  ASSERT_EQ(o.boxes.size(), 1u);
  EXPECT_EQ(o.boxes[0].text, kDirectXText);
  EXPECT_EQ(o.boxes[0].caption, kStopCaption);
  EXPECT_EQ(o.exitCode, 0u);
}

// Entries the play list window shows (its one list box).
int PlayListEntries(HWND playList) {
  HWND box = FindWindowExW(playList, nullptr, L"LISTBOX", nullptr);
  return box ? int(SendMessageW(box, LB_GETCOUNT, 0, 0)) : -1;
}

// The program twice: the main window shows with its caption, the play list
// comes from "PlayList.m3u" (any line end) and goes back to it at the end
// with CR LF after every path, "Volume" is kept, and closing the main window
// ends the program.
TEST(Startup, ThePlayListAndTheVolumeLastFromOneRunToTheNext) {
  StagedPlayer p;
  const fs::path m3u = p.dir.path() / L"PlayList.m3u", ini = p.dir.path() / L"Tavolen.ini";
  { std::ofstream(m3u, std::ios::binary) << "C:\\music\\one.mp3\rC:\\music\\two.ogg\nC:\\music\\three.wav\r\n"; }
  { std::ofstream(ini, std::ios::binary) << "[FormMain]\r\nVolume=40\r\n"; }
  const std::string written = "C:\\music\\one.mp3\r\nC:\\music\\two.ogg\r\nC:\\music\\three.wav\r\n";
  for (int run = 1; run <= 2; ++run) {
    tav::test::ChildProcess child(p.exe(), p.dir.path());
    ASSERT_TRUE(child.started());
    HWND main = WaitForWindow(child.pid(), kMainCaption);
    ASSERT_NE(main, nullptr) << "run " << run;
    HWND list = AnyWindowCaptioned(child.pid(), L"播放列表");
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(PlayListEntries(list), 3) << "run " << run;
    PostMessageW(main, WM_CLOSE, 0, 0);
    EXPECT_EQ(child.WaitExit(30s), 0u) << "run " << run;
    EXPECT_EQ(tav::test::ReadFileBytes(m3u), written) << "run " << run;
    EXPECT_EQ(GetPrivateProfileIntW(L"FormMain", L"Volume", -1, ini.c_str()), 40) << "run " << run;
  }
}

// In this process: every listed device is initialised and the last one (the
// DirectSound device) is current afterwards.
TEST(Startup, InitAllDevicesLeavesTheLastDeviceCurrent) {
  DWORD count = 0;
  BASS_DEVICEINFO info{};
  while (BASS_GetDeviceInfo(count, &info)) ++count;
  ASSERT_GE(count, 2u) << "device 0 and a DirectSound device";
  tav::player::InitAllDevices();
  EXPECT_EQ(BASS_GetDevice(), count - 1);
  for (DWORD d = 0; d < count; ++d) {
    ASSERT_TRUE(BASS_GetDeviceInfo(d, &info));
    EXPECT_TRUE(info.flags & BASS_DEVICE_INIT) << "device " << d;
  }
  for (DWORD d = 0; d < count; ++d) {
    BASS_SetDevice(d);
    EXPECT_TRUE(BASS_Free());
  }
}
