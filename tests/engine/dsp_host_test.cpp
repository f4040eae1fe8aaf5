#include "tav/engine/dsp_host.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "engine_fixture.h"

namespace {

using namespace tav::engine;
using enginetest::EngineTest;

class DspHost : public EngineTest {
 protected:
  fake::TFakeLoader& Loader() { return static_cast<fake::TFakeLoader&>(DspLibraryLoader()); }
  void AddLibrary(const std::string& path, std::vector<std::string> kinds, bool hasExport = true) {
    fake::TFakeLibrary lib{"Test library " + path, {}, hasExport};
    for (const auto& k : kinds) lib.modules.push_back(fake::MakeModule(k));
    Loader().libraries[path] = lib;
  }
  winampDSPModule& Module(const std::string& path, int i) { return Loader().libraries[path].modules[i]; }
  HWND Parent() { return reinterpret_cast<HWND>(0x1234); }
};

TEST_F(DspHost, ListsModulesAndStartsTheChosenOne) {
  AddLibrary("dsp_two.dll", {"keep", "invert"});
  LoadDSP("dsp_two.dll", Parent());
  EXPECT_EQ(GetDSPDescription(), "Test library dsp_two.dll");
  ASSERT_EQ(GetDSPModuleCount(), 2);
  EXPECT_EQ(GetDSPModuleDescription(0), "keep");
  EXPECT_EQ(GetDSPModuleDescription(1), "invert");
  EXPECT_EQ(Module("dsp_two.dll", 1).hwndParent, Parent());
  EXPECT_EQ(Module("dsp_two.dll", 1).hDllInstance, DspHostState.DspLibHandle);

  PassState.DspModuleIndex = 1;
  InitDSPModule(1);  // its Init answers -1: it counts as started all the same
  ConfigDSPModule(1);
  PassState.DspActive = true;
  int16_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(DspPassBlock(block, 4, 2, 44100, 100), 4);
  EXPECT_EQ(block[0], -1);
  EXPECT_EQ(DspHostState.DspLastResult, 4);

  StopDSP();
  EXPECT_FALSE(PassState.DspActive);
  EXPECT_EQ(fake::ModuleCalls(), (std::vector<std::string>{"Init invert", "Config invert", "Quit invert"}));
  EXPECT_EQ(Loader().log, (std::vector<std::string>{"Load dsp_two.dll", "Free dsp_two.dll"}));
  // Unloaded: the block passes unchanged.
  EXPECT_EQ(DSPModifySamples(1, block, 4, 16, 2, 44100), 4);
  EXPECT_EQ(block[0], -1);
  EXPECT_EQ(GetDSPModuleCount(), 0);
  EXPECT_EQ(GetDSPDescription(), "");
}

TEST_F(DspHost, LibraryWithoutTheExportStaysUnloaded) {
  AddLibrary("dsp_none.dll", {"invert"}, false);
  LoadDSP("dsp_none.dll", nullptr);
  EXPECT_EQ(Loader().log, (std::vector<std::string>{"Load dsp_none.dll", "Free dsp_none.dll"}));
  EXPECT_EQ(GetDSPDescription(), "");
  EXPECT_EQ(GetDSPModuleCount(), 0);
  int16_t block[4] = {1, 2, 3, 4};
  EXPECT_EQ(DSPModifySamples(0, block, 2, 16, 2, 44100), 2);
  EXPECT_EQ(block[0], 1);
  LoadDSP("missing.dll", nullptr);  // not loadable at all
  EXPECT_EQ(GetDSPModuleCount(), 0);
}

// A library that faults while it is listed is freed and lists nothing, so
// the effects window leaves it out; the next library loads as usual.
TEST_F(DspHost, LibraryThatFaultsWhileListedIsRefusedWhole) {
  AddLibrary("dsp_bad.dll", {"invert", "invert"});
  Loader().libraries["dsp_bad.dll"].faultAt = 1;
  AddLibrary("dsp_good.dll", {"halve"});
  LoadDSP("dsp_bad.dll", Parent());
  EXPECT_EQ(Loader().log, (std::vector<std::string>{"Load dsp_bad.dll", "Free dsp_bad.dll"}));
  EXPECT_TRUE(DspHostState.DspLibFaulted);
  EXPECT_FALSE(DspHostState.DspLibLoaded.load());
  EXPECT_EQ(DspHostState.DspLibHandle, nullptr);
  EXPECT_EQ(GetDSPDescription(), "");
  EXPECT_EQ(GetDSPModuleCount(), 0);

  LoadDSP("dsp_good.dll", Parent());
  EXPECT_FALSE(DspHostState.DspLibFaulted);
  EXPECT_EQ(GetDSPModuleCount(), 1);
  EXPECT_EQ(GetDSPDescription(), "Test library dsp_good.dll");
}

TEST_F(DspHost, IndexesOutsideTheTableAreRefused) {
  AddLibrary("dsp_one.dll", {"invert"});
  LoadDSP("dsp_one.dll", nullptr);
  int16_t block[4] = {1, 2, 3, 4};
  for (int32_t index : {-1, 1, 40000}) {
    EXPECT_EQ(GetDSPModuleDescription(index), "");
    InitDSPModule(index);
    ConfigDSPModule(index);
    EXPECT_EQ(DSPModifySamples(index, block, 2, 16, 2, 44100), 2);
  }
  EXPECT_EQ(block[0], 1);
  EXPECT_TRUE(fake::ModuleCalls().empty());
}

TEST_F(DspHost, EndlessEnumerationStopsAtTheTableSize) {
  AddLibrary("dsp_endless.dll", {"keep"});
  Loader().libraries["dsp_endless.dll"].endless = true;
  LoadDSP("dsp_endless.dll", nullptr);
  EXPECT_EQ(GetDSPModuleCount(), kDspModuleTableSize);
}

TEST_F(DspHost, LoadingAgainFreesTheEarlierLibraryOrStopsItsModule) {
  AddLibrary("dsp_a.dll", {"keep"});
  AddLibrary("dsp_b.dll", {"invert"});
  LoadDSP("dsp_a.dll", nullptr);
  LoadDSP("dsp_b.dll", nullptr);  // a was only listed: freed
  PassState.DspModuleIndex = 0;
  InitDSPModule(0);
  PassState.DspActive = true;
  LoadDSP("dsp_a.dll", nullptr);  // b was started: stopped, then freed
  EXPECT_FALSE(PassState.DspActive);
  EXPECT_EQ(Loader().log, (std::vector<std::string>{"Load dsp_a.dll", "Free dsp_a.dll", "Load dsp_b.dll",
                                                    "Free dsp_b.dll", "Load dsp_a.dll"}));
  EXPECT_EQ(fake::ModuleCalls(), (std::vector<std::string>{"Init invert", "Quit invert"}));
}

TEST_F(DspHost, StopWaitsForACallInFlight) {
  AddLibrary("dsp_sleep.dll", {"sleep"});
  LoadDSP("dsp_sleep.dll", nullptr);
  PassState.DspModuleIndex = 0;
  InitDSPModule(0);
  PassState.DspActive = true;
  fake::SleepMs = 300;
  std::thread audio([] {
    int16_t block[8] = {};
    DspPassBlock(block, 4, 2, 44100, 100);
  });
  while (!fake::SleeperInside) std::this_thread::yield();
  StopDSP();
  audio.join();
  EXPECT_EQ(fake::ModuleCalls(),
            (std::vector<std::string>{"Init sleep", "Modify-begin sleep", "Modify-end sleep", "Quit sleep"}));
  EXPECT_EQ(Loader().log.back(), "Free dsp_sleep.dll");
}

TEST_F(DspHost, StopThatCannotWaitLeavesTheLibraryLoaded) {
  AddLibrary("dsp_sleep.dll", {"sleep"});
  LoadDSP("dsp_sleep.dll", nullptr);
  PassState.DspModuleIndex = 0;
  InitDSPModule(0);
  PassState.DspActive = true;
  DspHostState.DspStopWaitMs = 20;
  fake::SleepMs = 300;
  std::thread audio([] {
    int16_t block[8] = {};
    DspPassBlock(block, 4, 2, 44100, 100);
  });
  while (!fake::SleeperInside) std::this_thread::yield();
  StopDSP();
  EXPECT_EQ(GetDSPModuleCount(), 0);
  audio.join();
  // Neither Quit nor Free ran under the sleeping call.
  EXPECT_EQ(fake::ModuleCalls(), (std::vector<std::string>{"Init sleep", "Modify-begin sleep", "Modify-end sleep"}));
  EXPECT_EQ(Loader().log, (std::vector<std::string>{"Load dsp_sleep.dll"}));
}

}  // namespace
