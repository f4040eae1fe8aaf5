#include "tav/engine/stream_chain.h"

#include <gtest/gtest.h>

#include "engine_fixture.h"

namespace {

using namespace tav::engine;
using enginetest::EngineTest;

class Chain : public EngineTest {
 protected:
  void SetUp() override {
    EngineTest::SetUp();
    StreamState.CompatBuffer = false;
    StreamState.CurrentFile = "C:\\old.mp3";
    fake::Bass.nextHandle = 10;
  }
  // The log without the calls that only read.
  std::vector<std::string> Log() const {
    std::vector<std::string> out;
    for (const auto& line : fake::Bass.log)
      if (line.rfind("ChannelGetInfo", 0) != 0 && line.rfind("TempoGetSource", 0) != 0) out.push_back(line);
    return out;
  }
};

TEST_F(Chain, FileBuildsDecoderReverseTempoAndOutput) {
  fake::Bass.streamNames = {"C:\\music\\a.mp3"};
  StreamState.DecodeStream = 5;
  StreamState.OutStream = 6;
  PumpState.CarryLen = 100;
  ASSERT_TRUE(OpenStream("C:\\music\\a.mp3", false));
  EXPECT_EQ(Log(), (std::vector<std::string>{
                       "StreamFree 6", "StreamFree 5", "StreamCreateFile C:\\music\\a.mp3 0x220084",
                       "ReverseCreate 10 2 0x210000", "TempoCreate 11 0x210000", "StreamCreate 44100 2 0 1",
                       "SetAttribute 11 0x11000 1"}));
  EXPECT_EQ(StreamState.DecodeStream, 12u);
  EXPECT_EQ(StreamState.OutStream, 13u);
  EXPECT_EQ(PumpState.CarryLen, 0);
  EXPECT_EQ(StreamState.ProcChannels, 2);
  EXPECT_FALSE(StreamState.CompatActive);
  EXPECT_EQ(StreamState.CurrentPath, "C:\\music\\a.mp3");
  EXPECT_EQ(StreamState.CurrentTitle, "a.mp3");
  EXPECT_EQ(StreamState.CurrentFile, "C:\\music\\a.mp3");
}

TEST_F(Chain, AddressFallsBackToTrackerAndKeepsTheLocalFile) {
  fake::Bass.musicNames = {"http://host/x.xm"};
  fake::Bass.info.chans = 1;
  ASSERT_TRUE(OpenStream("http://host/x.xm", true));
  const auto log = Log();
  EXPECT_EQ(log[2], "StreamCreateURL http://host/x.xm 0x220084");
  EXPECT_EQ(log[3], "MusicLoad http://host/x.xm 0x220280");
  EXPECT_EQ(StreamState.CurrentPath, "URL Files");
  EXPECT_EQ(StreamState.CurrentTitle, "URL Files");
  EXPECT_EQ(StreamState.CurrentFile, "C:\\old.mp3");
  EXPECT_EQ(StreamState.ProcChannels, 2);                                  // mono goes through the path as pairs
  EXPECT_EQ(fake::Calls("StreamCreate ")[0], "StreamCreate 44100 1 0 1");  // the output keeps 1 channel
}

TEST_F(Chain, CompatibilityModeLeavesOutTheReverseStage) {
  fake::Bass.streamNames = {"a.ogg"};
  StreamState.CompatBuffer = true;
  ASSERT_TRUE(OpenStream("a.ogg", false));
  EXPECT_TRUE(StreamState.CompatActive);
  EXPECT_TRUE(fake::Calls("ReverseCreate").empty());
  EXPECT_EQ(fake::Calls("TempoCreate")[0], "TempoCreate 10 0x210000");
  EXPECT_TRUE(fake::Calls("SetAttribute").empty());
}

TEST_F(Chain, EightBitSourceGivesNoOutputStream) {
  fake::Bass.streamNames = {"a.wav"};
  fake::Bass.info.flags = BASS_SAMPLE_8BITS;
  ASSERT_TRUE(OpenStream("a.wav", false));
  EXPECT_EQ(StreamState.OutStream, 0u);
  EXPECT_TRUE(fake::Calls("StreamCreate ").empty());
}

// Failures: nothing decodes, or a stage refuses. Every source made is freed
// once and both handles are 0 afterwards.
TEST_F(Chain, FailuresFreeWhatWasMadeAndLeaveNoHandles) {
  struct Case {
    const char* what;
    bool music, compat, failReverse, failTempo;
    std::vector<std::string> frees;  // after the two of the old chain
  };
  const Case cases[] = {
      {"nothing decodes", false, false, false, false, {}},
      {"reverse fails", false, false, true, false, {"StreamFree 10"}},
      {"tempo fails", false, false, false, true, {"StreamFree 11"}},
      {"tempo fails, compat", false, true, false, true, {"StreamFree 10"}},
      {"tracker, reverse fails", true, false, true, false, {"MusicFree 10"}},
  };
  for (const auto& c : cases) {
    enginetest::ResetEngine();
    fake::Bass.nextHandle = 10;
    StreamState.DecodeStream = 5;
    StreamState.OutStream = 6;
    StreamState.CompatBuffer = c.compat;
    if (c.what != std::string("nothing decodes")) (c.music ? fake::Bass.musicNames : fake::Bass.streamNames) = {"x"};
    fake::Bass.failReverse = c.failReverse;
    fake::Bass.failTempo = c.failTempo;
    EXPECT_FALSE(OpenStream("x", false)) << c.what;
    EXPECT_EQ(StreamState.DecodeStream, 0u) << c.what;
    EXPECT_EQ(StreamState.OutStream, 0u) << c.what;
    std::vector<std::string> frees = {"StreamFree 6", "StreamFree 5"};
    frees.insert(frees.end(), c.frees.begin(), c.frees.end());
    auto got = fake::Calls("StreamFree");
    const auto music = fake::Calls("MusicFree");
    got.insert(got.end(), music.begin(), music.end());
    EXPECT_EQ(got, frees) << c.what;
  }
}

// An output stream that cannot be made (a rate the device refuses, no
// device) is a failure: the chain is freed and nothing claims to play.
TEST_F(Chain, AnOutputStreamThatCannotBeMadeFailsAndFreesTheChain) {
  fake::Bass.nextHandle = 10;
  fake::Bass.streamNames = {"x.wav"};
  fake::Bass.failOutput = true;
  StreamState.CurrentTitle = "before.wav";
  EXPECT_FALSE(OpenStream("x.wav", false));
  EXPECT_EQ(StreamState.DecodeStream, 0u);
  EXPECT_EQ(StreamState.OutStream, 0u);
  EXPECT_EQ(fake::Calls("StreamFree").back(), "StreamFree 12");  // the tempo stage, with its sources
  EXPECT_EQ(StreamState.CurrentTitle, "before.wav");
}

TEST_F(Chain, PlayPauseStopExactly) {
  StreamState.OutStream = 7;
  PlayCommand("PLAY", false);
  PlayCommand("PAUSE", true);
  PlayCommand("STOP", false);
  PlayCommand("play", false);
  PlayCommand("PLAY ", false);
  PlayCommand("PLAY", true);
  EXPECT_EQ(fake::Bass.log, (std::vector<std::string>{"Play 7 0", "Pause 7", "Stop 7", "Play 7 1"}));
}

TEST_F(Chain, SeekWhilePlayingRestartsAndDropsTheCarry) {
  StreamState.DecodeStream = 3;
  StreamState.OutStream = 4;
  fake::Bass.activeState = BASS_ACTIVE_PLAYING;
  PumpState.CarryLen = 1234;
  SeekTenths(25);
  EXPECT_EQ(fake::Bass.log, (std::vector<std::string>{"Stop 4", "Seconds2Bytes 3 2.5", "SetPosition 3 441000 0",
                                                      "Play 4 1"}));
  EXPECT_EQ(PumpState.CarryLen, 0);
}

TEST_F(Chain, SeekWhilePausedOnlyMoves) {
  StreamState.DecodeStream = 3;
  StreamState.OutStream = 4;
  fake::Bass.activeState = BASS_ACTIVE_PAUSED;
  SeekTenths(5);
  EXPECT_EQ(fake::Bass.log, (std::vector<std::string>{"Seconds2Bytes 3 0.5", "SetPosition 3 88200 0"}));
}

}  // namespace
