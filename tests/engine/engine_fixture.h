// Engine state back to a known start for each test.
#pragma once

#include <gtest/gtest.h>

#include "fake_bass.h"
#include "fake_modules.h"
#include "tav/engine/dsp_host.h"
#include "tav/engine/globals.h"
#include "tav/engine/output_pump.h"

namespace enginetest {

inline void ResetEngine() {
  using namespace tav::engine;
  fake::Reset();
  fake::ClearModuleCalls();
  UnloadDSP();
  fake::InstallLoader();
  DecodeStream = 1;
  OutStream = 2;
  ProcChannels = 2;
  ChannelInfo = BASS_CHANNELINFO{44100, 2, 0, 0, 0, 0, 0, nullptr};
  VstActive = 0;
  VstEnabled = 0;
  VstPassItem = nullptr;
  DspActive = false;
  DspModuleIndex = 0;
  DspStopWaitMs = 5000;
  ResetPump();
  PeakL = 0.0f;
  PeakR = 0.0f;
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEngine(); }
  void TearDown() override { ResetEngine(); }
};

}  // namespace enginetest
