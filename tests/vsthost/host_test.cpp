// The host object, its program-wide settings and the time information.
#include <cmath>

#include "vst_fixture.h"

namespace tav::vst::testing {
namespace {

using HostTest = VstFixture;

TEST_F(HostTest, ConstructionValues) {
  EXPECT_EQ(host.BlockSize(), 2048);
  EXPECT_EQ(host.VstVersion(), 2300);
  EXPECT_EQ(host.Tempo(), 120.0f);
  EXPECT_EQ(host.CanDos(), 0x20FFFu);
  EXPECT_EQ(host.Language, kVstLangEnglish);
  EXPECT_EQ(host.ParameterQuantization, 0);
  EXPECT_EQ(CurrentVstHost, &host);
  TVstTimeInformation& time = host.VstTimeInfo();
  const VstTimeInfo& record = *time.Record();
  EXPECT_EQ(record.sampleRate, 44100.0);
  EXPECT_EQ(record.timeSigNumerator, 4);
  EXPECT_EQ(record.timeSigDenominator, 4);
  EXPECT_EQ(record.smpteFrameRate, 1);
  EXPECT_EQ(record.flags, 0xEF02);
  EXPECT_EQ(record.tempo, 0.0);
}

TEST_F(HostTest, BlockSizeReachesOnlyItemsWithARecord) {
  OpenItem();
  host.VstPlugIns().Add();  // no plug-in
  const int mark = Mark();
  host.SetBlockSize(1024);
  const auto calls = CallsSince(mark);
  ASSERT_EQ(calls.size(), 1u);
  EXPECT_EQ(calls[0].opcode, effSetBlockSize);
  EXPECT_EQ(calls[0].value, 1024);
  EXPECT_EQ(HostCallback(nullptr, audioMasterGetBlockSize, 0, 0, nullptr, 0), 1024);
}

TEST_F(HostTest, TimeInformationFiresOnlyOnChanges) {
  TVstTimeInformation& time = host.VstTimeInfo();
  int fired = 0;
  time.OnChanged = [&](TVstTimeInformation&) { ++fired; };
  time.SetSamplePos(0.0);
  EXPECT_EQ(fired, 0);
  time.SetSamplePos(4410.0);
  EXPECT_EQ(fired, 1);
  time.SetDoubleValue(3, std::nan(""));
  time.SetDoubleValue(9, 1.0);
  EXPECT_EQ(time.GetDoubleValue(9), 0.0);
  EXPECT_EQ(fired, 1);
  time.SetIntegerValue(0, 3);
  time.SetIntegerValue(0, 3);
  time.SetIntegerValue(7, 3);
  EXPECT_EQ(time.GetIntegerValue(0), 3);
  EXPECT_EQ(fired, 2);
  time.SetFlags(0x0002);
  EXPECT_EQ(fired, 2);
  EXPECT_EQ(time.Flags(), 0x0002);

  TVstTimeInformation copy;
  int copied = 0;
  copy.OnChanged = [&](TVstTimeInformation&) { ++copied; };
  time.AssignTo(copy);
  EXPECT_EQ(copied, 1);
  EXPECT_EQ(copy.SamplePos(), 4410.0);
  EXPECT_EQ(copy.Flags(), 0x0002);
}

TEST_F(HostTest, SampleRateChangesTheAnswerButNotOpenPlugIns) {
  OpenItem();
  const int mark = Mark();
  host.VstTimeInfo().SetSampleRate(48000.0);
  EXPECT_EQ(Plug().callCount, mark);
  EXPECT_EQ(HostCallback(nullptr, audioMasterGetSampleRate, 0, 0, nullptr, 0), 48000);
  host.VstTimeInfo().SetSampleRate(44100.4);
  EXPECT_EQ(HostCallback(nullptr, audioMasterGetSampleRate, 0, 0, nullptr, 0), 44100);
}

TEST_F(HostTest, TempoIsTheAnswerAndTheRecords) {
  host.SetTempo(90.0f);
  EXPECT_EQ(HostCallback(nullptr, audioMasterTempoAt, 0, 0, nullptr, 0), 900000);
  EXPECT_EQ(host.VstTimeInfo().Record()->tempo, 90.0);
  host.SetTempo(99.6f);
  EXPECT_EQ(HostCallback(nullptr, audioMasterTempoAt, 0, 0, nullptr, 0), 1000000);
  host.SetTempo(120.0f);
  EXPECT_EQ(HostCallback(nullptr, audioMasterTempoAt, 0, 0, nullptr, 0), 1200000);
}

}  // namespace
}  // namespace tav::vst::testing
