#include "tav/engine/output_pump.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <atomic>
#include <chrono>
#include <functional>
#include <limits>
#include <random>
#include <stdexcept>
#include <thread>
#include <vector>

#include "engine_fixture.h"
#include "tav/engine/vst_pass.h"

namespace {

using namespace tav::engine;
using enginetest::EngineTest;

constexpr DWORD kEnd = BASS_STREAMPROC_END;

// Stereo frames of small distinct samples: the level tap's 32767/32768
// rescale leaves every value below 16384 as it is, so the output can be
// compared with the source byte for byte.
std::vector<int16_t> Ramp(size_t frames) {
  std::vector<int16_t> s(frames * 2);
  for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int16_t>(static_cast<int>(i % 20011) - 10005);
  return s;
}

std::vector<uint8_t> Bytes(const std::vector<int16_t>& s) {
  std::vector<uint8_t> b(s.size() * 2);
  std::memcpy(b.data(), s.data(), b.size());
  return b;
}

// Calls the fill procedure with request sizes from `size` until it reports
// the end; every call must write no more than asked.
std::vector<uint8_t> Drain(const std::function<DWORD(int)>& size, int* calls = nullptr) {
  std::vector<uint8_t> out;
  for (int call = 0; call < 1000000; ++call) {
    const DWORD length = size(call);
    std::vector<uint8_t> buffer(length);
    const DWORD result = OutputStreamProc(2, buffer.data(), length, nullptr);
    const DWORD written = result & ~kEnd;
    EXPECT_LE(written, length);
    out.insert(out.end(), buffer.begin(), buffer.begin() + written);
    if (result & kEnd) {
      if (calls) *calls = call + 1;
      return out;
    }
    EXPECT_EQ(written, length) << "a short fill without the end flag";
  }
  ADD_FAILURE() << "no end";
  return out;
}

// What a module makes of the source, block by block (4608-byte blocks).
std::vector<uint8_t> Expected(const std::vector<uint8_t>& source, const std::string& kind) {
  std::vector<uint8_t> out;
  for (size_t at = 0; at < source.size(); at += kPumpBlockBytes) {
    const size_t n = std::min<size_t>(kPumpBlockBytes, source.size() - at);
    const size_t frames = n / 4;
    const uint8_t* block = source.data() + at;
    if (kind == "keep") out.insert(out.end(), block, block + n);
    if (kind == "halve") out.insert(out.end(), block, block + (frames / 2) * 4);
    if (kind == "double")
      for (size_t f = 0; f < frames; ++f) {
        out.insert(out.end(), block + f * 4, block + f * 4 + 4);
        out.insert(out.end(), block + f * 4, block + f * 4 + 4);
      }
  }
  return out;
}

void StartModule(const std::string& kind) {
  auto& loader = fake::InstallLoader();
  loader.libraries["dsp_test.dll"] = fake::TFakeLibrary{"test", {fake::MakeModule(kind)}};
  LoadDSP("dsp_test.dll", nullptr);
  PassState.DspModuleIndex = 0;
  InitDSPModule(0);
  PassState.DspActive = true;
}

class Pump : public EngineTest {};

TEST_F(Pump, OutputIsTheSameForEveryRequestPatternAndModule) {
  // 100 whole blocks and a short last one.
  const auto source = Bytes(Ramp(100 * kPumpBlockBytes / 4 + 700));
  std::mt19937 random(6);
  const std::vector<std::pair<const char*, std::function<DWORD(int)>>> patterns = {
      {"1", [](int) { return 1u; }},
      {"4607", [](int) { return 4607u; }},
      {"4608", [](int) { return 4608u; }},
      {"4609", [](int) { return 4609u; }},
      {"65504", [](int) { return 65504u; }},
      {"882000", [](int) { return 882000u; }},
      {"random", [&](int) { return static_cast<DWORD>(1 + random() % 20000); }},
  };
  for (const char* kind : {"none", "keep", "halve", "double"}) {
    const auto expected = Expected(source, std::string(kind) == "none" ? "keep" : kind);
    for (const auto& [name, size] : patterns) {
      enginetest::ResetEngine();
      fake::Bass.source = source;
      if (std::string(kind) != "none") StartModule(kind);
      const auto out = Drain(size);
      EXPECT_EQ(out.size(), expected.size()) << kind << " / " << name;
      EXPECT_TRUE(out == expected) << kind << " / " << name;
      EXPECT_EQ(fake::Bass.readPos, source.size());
    }
  }
}

TEST_F(Pump, ShortFileIsWrittenWholeWithTheEndFlag) {
  fake::Bass.source = Bytes(Ramp(2500));  // 10000 bytes, less than one request
  std::vector<uint8_t> buffer(882000);
  const DWORD result = OutputStreamProc(2, buffer.data(), 882000, nullptr);
  EXPECT_EQ(result, 10000u | kEnd);
  EXPECT_EQ(std::memcmp(buffer.data(), fake::Bass.source.data(), 10000), 0);
  // Nothing left: the flag alone.
  EXPECT_EQ(OutputStreamProc(2, buffer.data(), 4096, nullptr), kEnd);
}

TEST_F(Pump, DecoderErrorResultEndsLikeZero) {
  fake::Bass.source = Bytes(Ramp(10));
  fake::Bass.endResult = 0xFFFFFFFFu;
  std::vector<uint8_t> buffer(100);
  EXPECT_EQ(OutputStreamProc(2, buffer.data(), 100, nullptr), 40u | kEnd);
}

// GetData's own answer decides: 0 is a stall, whatever the stream's state says when asked
// afterwards (its download may have recovered or ended in between), and -1 the end.
TEST_F(Pump, AStalledDecoderIsNoEndAndPlaysOnWhenDataComes) {
  fake::Bass.source = Bytes(Ramp(10));
  fake::Bass.endResult = 0;
  std::vector<uint8_t> buffer(4096);
  for (DWORD stateAfter : {DWORD{BASS_ACTIVE_STALLED}, DWORD{BASS_ACTIVE_STOPPED}, DWORD{BASS_ACTIVE_PLAYING}}) {
    fake::Bass.activeState = stateAfter;
    fake::Bass.source.resize(fake::Bass.readPos);
    const auto block = Bytes(Ramp(10));
    fake::Bass.source.insert(fake::Bass.source.end(), block.begin(), block.end());
    EXPECT_EQ(OutputStreamProc(2, buffer.data(), 100, nullptr), 40u) << stateAfter;
    EXPECT_EQ(OutputStreamProc(2, buffer.data(), 100, nullptr), 0u) << "still dry: nothing, and no end";
  }
  const auto more = Bytes(Ramp(5));
  fake::Bass.source.insert(fake::Bass.source.end(), more.begin(), more.end());
  EXPECT_EQ(OutputStreamProc(2, buffer.data(), 100, nullptr), 20u);
  fake::Bass.endResult = 0xFFFFFFFFu;  // the stream really ended
  EXPECT_EQ(OutputStreamProc(2, buffer.data(), 100, nullptr), kEnd);
}

TEST_F(Pump, CarryOverKeepsTheRestOfABlock) {
  fake::Bass.source = Bytes(Ramp(5000));
  std::vector<uint8_t> buffer(4096);
  EXPECT_EQ(OutputStreamProc(2, buffer.data(), 1000, nullptr), 1000u);
  EXPECT_EQ(PumpState.CarryLen, 3608);
  EXPECT_EQ(fake::Bass.readPos, kPumpBlockBytes);

  StartModule("double");  // the next block becomes 9216 bytes
  PumpState.CarryLen = 0;
  EXPECT_EQ(OutputStreamProc(2, buffer.data(), 4096, nullptr), 4096u);
  EXPECT_EQ(PumpState.CarryLen, 5120);
  EXPECT_EQ(PumpState.LastBlockBytes, 9216);
}

TEST_F(Pump, ModuleCountsOutsideTheRoomAreClamped) {
  fake::Bass.source = Bytes(Ramp(3 * kPumpBlockBytes / 4));
  StartModule("negative");  // treated as 0 frames: the next block is pulled
  std::vector<uint8_t> buffer(4096);
  EXPECT_EQ(OutputStreamProc(2, buffer.data(), 4096, nullptr), kEnd);
  EXPECT_EQ(fake::Bass.readPos, fake::Bass.source.size());

  enginetest::ResetEngine();
  fake::Bass.source = Bytes(Ramp(2 * kPumpBlockBytes / 4));
  StartModule("huge");
  std::vector<uint8_t> big(200000);
  EXPECT_EQ(OutputStreamProc(2, big.data(), 100000, nullptr), 100000u);
  EXPECT_EQ(PumpState.LastBlockBytes, kPumpBufferBytes);  // the whole buffer, no further
}

TEST_F(Pump, FaultingModuleIsSwitchedOffAndTheBlockGoesOn) {
  const auto source = Bytes(Ramp(3000));
  fake::Bass.source = source;
  StartModule("throw");
  const auto out = Drain([](int) { return 4096u; });
  EXPECT_FALSE(PassState.DspActive);
  EXPECT_TRUE(out == source);
}

// A plug-in for the VST pass.
class TTestVst : public TVstPassItem {
 public:
  int32_t inputs = 2, outputs = 2;
  bool active = true;
  bool raise = false;
  int calls = 0;
  int32_t lastFrames = 0;
  float lastRate = 0;
  std::function<void(TAVDArrayOfSingleDynArray&, int32_t)> effect;
  void SetBlockSizeAndSampleRate(int32_t frames, float rate) override {
    lastFrames = frames;
    lastRate = rate;
  }
  int32_t numInputs() override { return inputs; }
  int32_t numOutputs() override { return outputs; }
  void ProcessReplacing(TAVDArrayOfSingleDynArray& in, TAVDArrayOfSingleDynArray& out, int32_t frames) override {
    EXPECT_EQ(&in, &out);
    ++calls;
    if (raise) throw std::runtime_error("plug-in fault");
    if (effect) effect(out, frames);
  }
  bool Active() override { return active; }
};

TEST_F(Pump, VstConversionClampsAndRoundsHalfToEven) {
  struct Case {
    float value;
    int16_t sample;
  };
  const Case table[] = {
      {0.0f, 0},         {1.0f, 32767},       {-1.0f, -32767},   {1.5f, 32767},
      {-7.0f, -32767},   {0.5f, 16384},       {-0.5f, -16384},   {0.25f, 8192},
      {0.75f, 24575},    {1.0f / 32767, 1},   {std::numeric_limits<float>::quiet_NaN(), 0},
      {std::numeric_limits<float>::infinity(), 32767},
  };
  const int frames = static_cast<int>(std::size(table));
  TTestVst vst;
  vst.outputs = 4;
  vst.effect = [&](TAVDArrayOfSingleDynArray& planes, int32_t n) {
    ASSERT_EQ(planes.size(), 4u);
    for (int32_t j = 0; j < n; ++j) {
      planes[0][j] = table[j].value;
      planes[1][j] = -planes[1][j];
      planes[3][j] = 9.0f;  // planes past the channels are not written back
    }
  };
  PassState.VstPassItem = &vst;
  PassState.VstActive = -1;
  PassState.VstEnabled = -1;
  StreamState.ChannelInfo.freq = 48000;
  std::vector<int16_t> block(static_cast<size_t>(frames) * 2, 1000);
  ProcessVstBlock(2, block.data(), static_cast<int32_t>(block.size() * 2));
  EXPECT_EQ(vst.lastFrames, frames);
  EXPECT_EQ(vst.lastRate, 48000.0f);
  for (int j = 0; j < frames; ++j) {
    EXPECT_EQ(block[j * 2], table[j].sample) << "value " << table[j].value;
    EXPECT_EQ(block[j * 2 + 1], -1000);  // 1000/32768*32767 = 999.97 -> 1000
  }
  EXPECT_EQ(PassState.VstActive, -1);
}

TEST_F(Pump, VstBypassStillRescales) {
  TTestVst vst;
  PassState.VstPassItem = &vst;
  PassState.VstActive = -1;
  PassState.VstEnabled = 0;
  std::vector<int16_t> block = {32767, -32768, 16384, 1, -1, 0, 12345, -16385};
  ProcessVstBlock(2, block.data(), static_cast<int32_t>(block.size() * 2));
  EXPECT_EQ(vst.calls, 0);
  EXPECT_EQ(block, (std::vector<int16_t>{32766, -32767, 16384, 1, -1, 0, 12345, -16384}));
}

TEST_F(Pump, VstExceptionSwitchesThePassOffAtTheFirstFault) {
  for (bool stillActive : {false, true}) {
    TTestVst vst;
    vst.raise = true;
    vst.active = stillActive;
    PassState.VstPassItem = &vst;
    PassState.VstActive = -1;
    PassState.VstEnabled = -1;
    fake::Bass.source = Bytes(Ramp(3000));
    fake::Bass.readPos = 0;
    ResetPump();
    std::vector<uint8_t> buffer(4096);
    EXPECT_EQ(OutputStreamProc(2, buffer.data(), 4096, nullptr), 4096u);
    EXPECT_EQ(PassState.VstActive, 0);
    EXPECT_EQ(vst.calls, 1);
    // The next request runs no block through it.
    EXPECT_EQ(OutputStreamProc(2, buffer.data(), 4096, nullptr), 4096u);
    EXPECT_EQ(vst.calls, 1);
  }
}

TEST_F(Pump, VstEffectReachesTheOutput) {
  TTestVst vst;
  vst.effect = [](TAVDArrayOfSingleDynArray& planes, int32_t n) {
    for (int32_t j = 0; j < n; ++j) planes[0][j] = 0.0f;  // silence the left
  };
  PassState.VstPassItem = &vst;
  PassState.VstActive = -1;
  PassState.VstEnabled = -1;
  const auto ramp = Ramp(3000);
  fake::Bass.source = Bytes(ramp);
  const auto out = Drain([](int) { return 5000u; });
  ASSERT_EQ(out.size(), ramp.size() * 2);
  std::vector<int16_t> samples(ramp.size());
  std::memcpy(samples.data(), out.data(), out.size());
  for (size_t f = 0; f < 3000; ++f) {
    ASSERT_EQ(samples[2 * f], 0);
    ASSERT_EQ(samples[2 * f + 1], ramp[2 * f + 1]);
  }
}

// The window's side of the VST pass: it clears VstActive and waits for the
// block that is inside the plug-in; a block that starts once the flag is clear
// never enters it, and the wait gives up when a block does not end.
TEST_F(Pump, VstPassIsCountedSoAWindowCanWaitForItsBlock) {
  std::atomic<bool> inside{false}, release{false};
  TTestVst vst;
  vst.effect = [&](TAVDArrayOfSingleDynArray&, int32_t) {
    inside = true;
    while (!release) std::this_thread::yield();
  };
  PassState.VstPassItem = &vst;
  PassState.VstActive = -1;
  PassState.VstEnabled = -1;
  std::vector<int16_t> block(512, 100);
  std::thread audio([&] { EXPECT_TRUE(VstPassBlock(2, block.data(), 1024)); });
  while (!inside) std::this_thread::yield();
  EXPECT_EQ(PassState.VstCallsInFlight, 1);
  PassState.VstActive = 0;
  EXPECT_FALSE(WaitForVstPassIdle(30));  // still inside: the wait is bounded
  release = true;
  EXPECT_TRUE(WaitForVstPassIdle());
  audio.join();
  EXPECT_EQ(PassState.VstCallsInFlight, 0);
  std::vector<int16_t> later(512, 100);
  EXPECT_FALSE(VstPassBlock(2, later.data(), 1024));
  EXPECT_EQ(vst.calls, 1);
  EXPECT_EQ(PassState.VstCallsInFlight, 0);
}

TEST_F(Pump, LevelTapTracksPeaksEverySecondFrame) {
  std::vector<int16_t> block(2 * 8, 0);
  block[2 * 1] = 32767;   // odd frame: not looked at
  block[2 * 2] = 16384;   // left, frame 2
  block[2 * 4 + 1] = -8192;  // right, frame 4
  ProcessLevelTap(2, block.data(), static_cast<int32_t>(block.size() * 2));
  // Frames 0, 2, 4 are examined (j < frames - 1 = 7: also 6).
  EXPECT_FLOAT_EQ(PumpState.PeakL, 0.5f * 0.9999f * 0.9999f);
  EXPECT_FLOAT_EQ(PumpState.PeakR, 0.25f * 0.9999f);
  EXPECT_EQ(block[2 * 1], 32766);  // written back rescaled
}

TEST_F(Pump, PeaksDecayAbout19DbPerSecond) {
  PumpState.PeakL = 1.0f;
  PumpState.PeakR = 1.0f;
  TAVDArrayOfSingleDynArray silence;
  silence.Resize(2, 44100);
  TrackPeaks(silence, 44100);
  EXPECT_NEAR(20.0 * std::log10(PumpState.PeakL.load()), -19.15, 0.05);
}

TEST_F(Pump, MeterLevelsAndDbTexts) {
  struct Case {
    float peak;
    int32_t level;
    const char* db;
  };
  const Case table[] = {{1.0f, 114, "00"}, {0.5f, 89, "-06"}, {0.1f, 30, "-20"},
                        {1e-5f, 0, "00"},  {0.0f, 0, "00"},   {0.001f, -138, "-60"}};
  for (const auto& c : table) {
    PumpState.PeakL = c.peak;
    PumpState.PeakR = 0.0f;
    EXPECT_EQ(GetVuLevel("L", 114, 28), c.level) << c.peak;
    EXPECT_EQ(GetVuDbText("L"), c.db) << c.peak;
    EXPECT_EQ(GetVuLevel("R", 114, 28), 0);
    EXPECT_EQ(GetVuDbText("R"), "00");
    EXPECT_EQ(GetVuLevel("l", 114, 28), 0);
  }
}

TEST_F(Pump, MonoIsProcessedAsPairs) {
  StreamState.ChannelInfo.chans = 1;
  StreamState.ProcChannels = 2;
  auto source = Bytes(Ramp(1001));
  source.insert(source.end(), {0x34, 0x12});  // an odd number of mono samples
  fake::Bass.source = source;
  StartModule("keep");
  EXPECT_TRUE(Drain([](int) { return 2000u; }) == source);
}

}  // namespace
