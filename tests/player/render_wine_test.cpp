// The WAV render's core over the real audio libraries, the target written by
// the toolkit's file stream, and the real passes: the test VST plug-in, the
// test Winamp DSP library and the time stretcher dsp_lentaro.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bass.h"
#include "player/core/bass_render_source.h"
#include "player/core/render_passes.h"
#include "player/core/wav_render.h"
#include "player/win32/render_file.h"
#include "tav/engine/dsp_host.h"
#include "tav/engine/globals.h"
#include "tav/test/files.h"
#include "tav/test/media.h"
#include "tav/test/module_files.h"
#include "tav/test/win32_process.h"
#include "tav/vst/vst_host.h"
#include "tav/vst/vst_pass_item.h"
#include "wav_bytes.h"

namespace tav::player {
namespace {

using namespace tav::test;

Bytes ReadAll(const std::filesystem::path& file) { return tav::test::ReadFileBytes<Bytes>(file); }

class TQuietProgress final : public IRenderProgress {
 public:
  void ProcessMessages() override {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    ++cycles;
  }
  bool CancelRequested() override { return cancelAfter > 0 && cycles >= cancelAfter; }
  void ShowPercent(int32_t) override {}
  void Finishing() override {}
  int cycles = 0;
  int cancelAfter = 0;
};

class RenderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    engine::StreamState.ChannelInfo.freq = 44100;
  }
  void TearDown() override {
    engine::PassState.VstActive = 0;
    engine::PassState.VstPassItem = nullptr;
    engine::StopDSP();
    BASS_Free();
  }
  struct TResult {
    TRenderOutcome outcome;
    Bytes file;
  };
  TResult Render(const std::string& source, TRenderJob job, TRenderPasses passes = {}, int cancelAfter = 0) {
    const std::filesystem::path target = temp.path() / L"render.wav";
    std::filesystem::remove(target);
    TBassRenderSource from(source);
    TFileRenderSink to(target.wstring());
    TQuietProgress progress;
    progress.cancelAfter = cancelAfter;
    TWavRender render;
    TResult r;
    r.outcome = render.Run(job, from, to, passes, progress);
    if (std::filesystem::exists(target)) r.file = ReadAll(target);
    return r;
  }
  static std::string Media(const char* name) { return tav::test::MediaPath(name); }
  static Bytes SourceData(const char* name) { return DataChunk(ReadAll(Media(name))); }

  tav::test::TempFolder temp{L"render"};
  TVstRenderPass vst;
  TDspRenderPass dsp;
};

// Bytes of one second of 44.1 kHz 16-bit stereo; the tone files last two seconds.
constexpr int64_t kSecond = 176400;

TEST_F(RenderWine, ASegmentWithoutAPassIsTheSourcesSlice) {
  const TResult r = Render(Media("tone44k_stereo.wav"), {kSecond / 2, kSecond * 3 / 2});
  EXPECT_EQ(r.outcome.end, TRenderEnd::Done);
  ASSERT_EQ(r.file.size(), 44u + 180000u);  // 18 whole cycles: up to one block past the end
  EXPECT_EQ(Le32(r.file, 4), r.file.size() - 8);
  EXPECT_EQ(Le32(r.file, 40), r.file.size() - 44);
  EXPECT_EQ(Le16(r.file, 22), 2);
  EXPECT_EQ(Le32(r.file, 24), 44100u);
  const Bytes source = SourceData("tone44k_stereo.wav");
  ASSERT_GE(source.size(), size_t(kSecond / 2) + 180000u);
  EXPECT_TRUE(std::equal(r.file.begin() + 44, r.file.end(), source.begin() + kSecond / 2));
}

TEST_F(RenderWine, MonoAnd48kHeaders) {
  const TResult mono = Render(Media("tone44k_mono.wav"), {0, 20000});
  ASSERT_GE(mono.file.size(), 44u);
  EXPECT_EQ(Le16(mono.file, 22), 1);
  EXPECT_EQ(Le16(mono.file, 32), 2);
  EXPECT_EQ(Le32(mono.file, 28), 88200u);
  const Bytes source = SourceData("tone44k_mono.wav");
  EXPECT_TRUE(std::equal(mono.file.begin() + 44, mono.file.end(), source.begin()));
  const TResult high = Render(Media("tone48k_stereo.wav"), {0, 20000});
  ASSERT_GE(high.file.size(), 44u);
  EXPECT_EQ(Le32(high.file, 24), 48000u);
  EXPECT_EQ(Le32(high.file, 28), 192000u);
}

TEST_F(RenderWine, ATrackerModuleOrAMissingFileMakesNoFile) {
  const std::filesystem::path module = temp.path() / L"song.mod";
  const auto mod = tav::test::make_mod();
  std::ofstream(module, std::ios::binary).write(reinterpret_cast<const char*>(mod.data()), long(mod.size()));
  for (const std::filesystem::path& source : {module, temp.path() / L"gone.wav"}) {
    const TResult r = Render(source.string(), {0, 25000});
    EXPECT_EQ(r.outcome.end, TRenderEnd::SourceFailed);
    EXPECT_TRUE(r.file.empty());
    EXPECT_FALSE(std::filesystem::exists(temp.path() / L"render.wav"));
  }
}

TEST_F(RenderWine, CancelAfterTheFirstCycleAndATargetThatCannotBeMade) {
  const TResult r = Render(Media("tone44k_stereo.wav"), {0, 25000}, {}, 1);
  EXPECT_EQ(r.outcome.end, TRenderEnd::Cancelled);
  ASSERT_EQ(r.file.size(), 10044u);
  EXPECT_EQ(Le32(r.file, 4), 10036u);
  EXPECT_EQ(Le32(r.file, 40), 10000u);

  TBassRenderSource from(Media("tone44k_stereo.wav"));
  TFileRenderSink to((temp.path() / L"no folder" / L"x.wav").wstring());
  TQuietProgress progress;
  TWavRender render;
  const TRenderOutcome failed = render.Run({0, 25000}, from, to, {}, progress);
  EXPECT_EQ(failed.end, TRenderEnd::TargetFailed);
  EXPECT_NE(failed.error.find("Cannot create file"), std::string::npos) << failed.error;
}

TEST_F(RenderWine, ThroughTheTestVstPlugInEverySampleIsHalved) {
  vst::TVstHost host;
  vst::TVstPlugIn& item = host.VstPlugIns().Add();
  item.SetDLLFileName((tav::test::ExeDir() / L"TestHalver.dll").wstring());
  item.SetActive(true);
  vst::TVstPlugInPassItem pass(item);
  engine::PassState.VstPassItem = &pass;
  engine::PassState.VstEnabled = -1;
  engine::PassState.VstActive = -1;
  const TResult r = Render(Media("tone44k_stereo.wav"), {kSecond / 2, kSecond * 3 / 2, true, true, false}, {&vst, &dsp});
  engine::PassState.VstActive = 0;
  engine::PassState.VstPassItem = nullptr;
  ASSERT_EQ(r.file.size(), 44u + 180000u);
  const auto out = Samples(r.file, 44);
  const auto in = Samples(SourceData("tone44k_stereo.wav"), size_t(kSecond / 2));
  int worst = 0;
  for (size_t i = 0; i < out.size(); ++i) worst = std::max(worst, std::abs(out[i] - in[i] / 2));
  EXPECT_LE(worst, 1);  // halved, and rescaled by 32767/32768 on the way back
  EXPECT_EQ(pass.Fault(), 0u);
}

TEST_F(RenderWine, ThroughAWinampModuleThatHalves) {
  engine::LoadDSP((tav::test::ExeDir() / L"dsp_engine_test.dll").string(), nullptr);
  ASSERT_GE(engine::GetDSPModuleCount(), 2);
  engine::PassState.DspModuleIndex = 1;  // "Halve"
  engine::InitDSPModule(1);
  engine::PassState.DspActive = true;
  const TResult r = Render(Media("tone44k_stereo.wav"), {kSecond / 2, kSecond * 3 / 2, true, false, true}, {&vst, &dsp});
  ASSERT_EQ(r.file.size(), 44u + 180000u);
  const auto out = Samples(r.file, 44);
  const auto in = Samples(SourceData("tone44k_stereo.wav"), size_t(kSecond / 2));
  for (size_t i = 0; i < out.size(); ++i) ASSERT_EQ(out[i], in[i] >> 1) << i;
}

// dsp_lentaro keeps its stretch in "plugin.ini" beside its library: a copy of
// the library in a folder of the test's own gets its own settings.
TEST_F(RenderWine, ThroughTheTimeStretcherTheDataFollowsTheStretch) {
  const std::filesystem::path folder = temp.path() / L"lentaro";
  std::filesystem::create_directories(folder);
  std::filesystem::copy_file(tav::test::ExeDir() / L"dsp_lentaro.dll", folder / L"dsp_lentaro.dll");
  const Bytes source = SourceData("tone44k_stereo.wav");
  for (const char* stretch : {"2.00", "0.50"}) {
    SCOPED_TRACE(stretch);
    WritePrivateProfileStringA("DSP_Lentaro", "Stretch", stretch, (folder / L"plugin.ini").string().c_str());
    engine::LoadDSP((folder / L"dsp_lentaro.dll").string(), nullptr);
    ASSERT_EQ(engine::GetDSPModuleCount(), 1);
    engine::PassState.DspModuleIndex = 0;
    engine::InitDSPModule(0);
    engine::PassState.DspActive = true;
    const int64_t length = int64_t(source.size());
    const TResult r = Render(Media("tone44k_stereo.wav"), {0, length, true, false, true}, {&vst, &dsp});
    EXPECT_TRUE(engine::PassState.DspActive.load());
    engine::StopDSP();
    const double ratio = double(r.file.size() - 44) / double(length);
    std::printf("stretch %s: %zu data bytes from %lld, ratio %.3f\n", stretch, r.file.size() - 44,
                static_cast<long long>(length), ratio);
    EXPECT_NEAR(ratio, std::atof(stretch), 0.1 * std::atof(stretch));
  }
}

}  // namespace
}  // namespace tav::player
