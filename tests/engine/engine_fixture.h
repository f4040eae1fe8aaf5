// A fresh engine state for each test.
#pragma once

#include <gtest/gtest.h>

#include "fake_bass.h"
#include "fake_modules.h"
#include "tav/engine/dsp_host.h"
#include "tav/engine/globals.h"
#include "tav/engine/output_pump.h"

namespace enginetest {

// A fresh engine state (the DSP library of the last test freed), the fake
// loader installed, and a 44.1 kHz stereo stream 1 with output stream 2.
inline void ResetEngine() {
  using namespace tav::engine;
  fake::Reset();
  fake::ClearModuleCalls();
  RenewEngineState();
  fake::InstallLoader();
  StreamState.DecodeStream = 1;
  StreamState.OutStream = 2;
  StreamState.ProcChannels = 2;
  StreamState.ChannelInfo = BASS_CHANNELINFO{44100, 2, 0, 0, 0, 0, 0, nullptr};
}

class EngineTest : public ::testing::Test {
 protected:
  void SetUp() override { ResetEngine(); }
  void TearDown() override { ResetEngine(); }
};

}  // namespace enginetest
