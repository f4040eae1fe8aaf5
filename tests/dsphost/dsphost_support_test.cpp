// The test support that the plug-ins' tests share: the feeder thread, finding
// a plug-in's toolkit form, and setting aside a file beside the program.
#include <gtest/gtest.h>
#include <windows.h>

#include <atomic>
#include <fstream>
#include <string>

#include "dsp_feeder.h"
#include "dsp_test_host.h"
#include "tav/test/beside_program.h"
#include "tav/test/files.h"
#include "toolkit/win32/forms.h"

namespace {

using tav::test::DspFeeder;
using tav::test::DspTestHost;

// A module that halves the level and returns every third block twice as long.
std::atomic<DWORD> processingThread{0};
std::atomic<int> calls{0};

int __cdecl HalveAndStretch(winampDSPModule*, short* samples, int frames, int bps, int nch, int srate) {
  processingThread = GetCurrentThreadId();
  const int n = ++calls;
  for (int i = 0; i < frames * nch; ++i) samples[i] = short(samples[i] / 2);
  if (n % 3 != 0) return frames;
  for (int i = frames * nch; i < 2 * frames * nch; ++i) samples[i] = samples[i - frames * nch];
  return 2 * frames;
}

TEST(DspFeeder, CallsTheModuleFromItsOwnThreadWithRoomForTwiceTheFrames) {
  winampDSPModule module{};
  module.ModifySamples = HalveAndStretch;
  calls = 0;
  DspFeeder feeder(&module, {100, 16, 2, 48000, 1},
                   [](short* s, int frames, int nch, long long) { std::fill(s, s + frames * nch, short(1000)); });
  ASSERT_TRUE(feeder.WaitForBlocks(9, 5000));
  feeder.Stop();
  const long long blocks = feeder.BlocksDone();
  EXPECT_EQ(calls, blocks);  // nothing runs after Stop
  EXPECT_NE(processingThread.load(), GetCurrentThreadId());
  EXPECT_EQ(processingThread.load(), feeder.ThreadId());
  EXPECT_EQ(feeder.FramesReturned(), 100 * (blocks + blocks / 3));
  EXPECT_EQ(feeder.BadReturns(), 0);
  const auto last = feeder.LastBlock();
  ASSERT_FALSE(last.empty());
  EXPECT_EQ(last.front(), 500);
}

int __cdecl ReturnsTooMuch(winampDSPModule*, short*, int frames, int, int, int) { return 2 * frames + 1; }

TEST(DspFeeder, CountsReturnsBeyondTheBuffer) {
  winampDSPModule module{};
  module.ModifySamples = ReturnsTooMuch;
  DspFeeder feeder(&module);
  ASSERT_TRUE(feeder.WaitForBlocks(3, 5000));
  feeder.Stop();
  EXPECT_EQ(feeder.BadReturns(), feeder.BlocksDone());
  EXPECT_EQ(feeder.FramesReturned(), 0);
}

TEST(DspTestHost, FindsAToolkitFormByCaptionShownOrNot) {
  EXPECT_EQ(DspTestHost::findToolkitWindow(L"Brindle Enhancer"), nullptr);
  tav::TForm form;
  form.SetCaption(L"Brindle Enhancer");
  EXPECT_EQ(DspTestHost::findToolkitWindow(L"Brindle Enhancer"), form.Handle());  // hidden
  form.Show();
  EXPECT_EQ(DspTestHost::findToolkitWindow(L"Brindle Enhancer"), form.Handle());
  EXPECT_EQ(DspTestHost::findDialog(L"Brindle Enhancer"), nullptr);  // not a dialog box
  EXPECT_EQ(DspTestHost::findToolkitWindow(L"Brindle"), nullptr);
  form.DoDestroy();
}

void WriteText(const std::filesystem::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; }

TEST(SavedBesideProgram, SetsAsideAndRestoresAFileOrAFolder) {
  using tav::test::ReadFileBytes;
  using tav::test::SavedBesideProgram;
  const auto ini = tav::test::ExeDir() / L"tav_saved_test.ini";
  WriteText(ini, "[winamp]\r\noutname=out_ds.dll\r\n");
  {
    SavedBesideProgram saved(L"tav_saved_test.ini");
    EXPECT_EQ(saved.path(), ini);
    EXPECT_FALSE(std::filesystem::exists(ini));
    WriteText(ini, "written by the test");
  }
  EXPECT_EQ(ReadFileBytes(ini), "[winamp]\r\noutname=out_ds.dll\r\n");
  std::filesystem::remove(ini);
  {
    SavedBesideProgram saved(L"tav_saved_test.ini");  // nothing there: nothing there after
    WriteText(ini, "x");
  }
  EXPECT_FALSE(std::filesystem::exists(ini));
  // A folder with files in it.
  const auto folder = tav::test::ExeDir() / L"tav_saved_plugins";
  std::filesystem::create_directories(folder / L"Brindle");
  WriteText(folder / L"Brindle" / L"柔和.brindle", "old");
  {
    SavedBesideProgram saved(L"tav_saved_plugins");
    EXPECT_FALSE(std::filesystem::exists(folder));
    std::filesystem::create_directories(folder);
    WriteText(folder / L"new.brindle", "new");
  }
  EXPECT_EQ(ReadFileBytes(folder / L"Brindle" / L"柔和.brindle"), "old");
  EXPECT_FALSE(std::filesystem::exists(folder / L"new.brindle"));
  std::filesystem::remove_all(folder);
}

}  // namespace
