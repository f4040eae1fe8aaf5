// The WAV render's core: the header, the cycles and their end rules, the
// sub-blocks handed to the passes, the size cap, and the segment window's
// rules and time texts.
#include "player/core/wav_render.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <functional>
#include <stdexcept>
#include <vector>

#include "engine_fixture.h"
#include "fake_loader.h"
#include "player/core/bass_render_source.h"
#include "player/core/render_controller.h"
#include "player/core/render_passes.h"
#include "player/core/wav_segment.h"
#include "tav/engine/output_pump.h"
#include "tav/engine/vst_pass.h"
#include "tav/vst/vst_host.h"
#include "tav/vst/vst_pass_item.h"
#include "test_plugin.h"

namespace tav::player {
namespace {

uint32_t Field32(const std::vector<uint8_t>& f, size_t at) {
  return f[at] | (f[at + 1] << 8) | (f[at + 2] << 16) | (uint32_t(f[at + 3]) << 24);
}
uint16_t Field16(const std::vector<uint8_t>& f, size_t at) { return uint16_t(f[at] | (f[at + 1] << 8)); }

// Byte i of the decoded data is a pattern of its position, so a slice shows
// where it came from.
uint8_t SourceByte(int64_t at) { return static_cast<uint8_t>((at * 131 + (at >> 8)) & 0xFF); }

class TFakeSource final : public IRenderSource {
 public:
  explicit TFakeSource(TWavFormat f, int64_t length = int64_t(1) << 40) : format(f), length(length) {}
  bool Open(int64_t start, TWavFormat& out) override {
    opened = true;
    at = start;
    out = format;
    return !failOpen;
  }
  int32_t Read(uint8_t* buffer, int32_t bytes) override {
    ++reads;
    if (at >= length) return endAnswer;
    const int32_t n = static_cast<int32_t>(std::min<int64_t>(bytes, length - at));
    if (fill)
      for (int32_t i = 0; i < n; ++i) buffer[i] = SourceByte(at + i);
    at += n;
    return n;
  }
  void Close() override { ++closes; }

  TWavFormat format;
  int64_t length;
  int64_t at = 0;
  bool failOpen = false;
  bool fill = true;
  int32_t endAnswer = 0;
  bool opened = false;
  int reads = 0;
  int closes = 0;
};

// A file in memory; fails a write once `failAt` bytes would be passed,
// keeping the part before it as a disk does.
class TMemorySink final : public IRenderSink {
 public:
  void Create() override {
    if (failCreate) throw std::runtime_error("Cannot create file");
    created = true;
    file.clear();
  }
  void Write(const uint8_t* data, uint32_t bytes) override {
    if (file.size() + bytes > failAt) {
      file.insert(file.end(), data, data + (failAt - file.size()));
      throw std::runtime_error("Stream write error");
    }
    file.insert(file.end(), data, data + bytes);
  }
  void WriteAt(uint64_t offset, const uint8_t* data, uint32_t bytes) override {
    std::memcpy(file.data() + offset, data, bytes);
  }
  uint64_t Size() override { return file.size(); }
  void Close() override { ++closes; }

  std::vector<uint8_t> file;
  size_t failAt = SIZE_MAX;
  bool failCreate = false;
  bool created = false;
  int closes = 0;
};

// Counts what would be written and keeps only the header.
class TCountingSink final : public IRenderSink {
 public:
  void Create() override {}
  void Write(const uint8_t* data, uint32_t bytes) override {
    for (uint32_t i = 0; i < bytes && size + i < kWavHeaderBytes; ++i) header[size + i] = data[i];
    size += bytes;
  }
  void WriteAt(uint64_t offset, const uint8_t* data, uint32_t bytes) override {
    std::memcpy(header.data() + offset, data, bytes);
  }
  uint64_t Size() override { return size; }
  void Close() override {}
  std::vector<uint8_t> header = std::vector<uint8_t>(kWavHeaderBytes);
  uint64_t size = 0;
};

class TProgress final : public IRenderProgress {
 public:
  void ProcessMessages() override {
    ++pumps;
    if (onPump) onPump();
  }
  bool CancelRequested() override { return cancelAfter > 0 && pumps >= cancelAfter; }
  void ShowPercent(int32_t p) override { percents.push_back(p); }
  void Finishing() override { ++finishing; }
  int pumps = 0;
  int cancelAfter = 0;
  int finishing = 0;
  std::vector<int32_t> percents;
  std::function<void()> onPump;
};

// Records every sub-block it is given; then changes it as told.
class TRecordingPass final : public IRenderPass {
 public:
  enum Mode { Keep, Double, Answer };
  int32_t Process(uint8_t* s, int32_t bytes, int32_t room, const TWavFormat& f) override {
    sizes.push_back(bytes);
    rooms.push_back(room);
    frameFaults += bytes % static_cast<int32_t>(f.BlockAlign()) != 0;
    seen.insert(seen.end(), s, s + bytes);
    if (mode == Double) {
      std::memcpy(s + bytes, s, static_cast<size_t>(bytes));
      return 2 * bytes;
    }
    return mode == Answer ? answer : bytes;
  }
  Mode mode = Keep;
  int32_t answer = 0;
  std::vector<int32_t> sizes, rooms;
  std::vector<uint8_t> seen;
  int frameFaults = 0;
};

const TWavFormat kStereo{44100, 2, 16};

struct TRun {
  TRenderOutcome outcome;
  std::vector<uint8_t> file;
};

TRun Render(TRenderJob job, TFakeSource& source, TMemorySink& sink, TProgress& progress,
            TRenderPasses passes = {}) {
  TWavRender render;
  TRun run;
  run.outcome = render.Run(job, source, sink, passes, progress);
  run.file = sink.file;
  return run;
}

TEST(WavHeader, BytesOfEachFormat) {
  const auto h = WavHeader(WavFormatOf(44100, 2, 0), 0, 0);
  const uint8_t stereo[44] = {'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E', 'f', 'm', 't', ' ',
                              16, 0, 0, 0, 1, 0, 2, 0, 0x44, 0xAC, 0, 0, 0x10, 0xB1, 2, 0,
                              4, 0, 16, 0, 'd', 'a', 't', 'a', 0, 0, 0, 0};
  EXPECT_EQ(0, std::memcmp(h.data(), stereo, 44));

  struct Case {
    const char* what;
    uint32_t rate, channels, flags;
    uint16_t expectChannels;
    uint32_t expectRate, byteRate;
    uint16_t align, bits;
  } cases[] = {
      {"stereo 44.1 kHz", 44100, 2, 0, 2, 44100, 176400, 4, 16},
      {"mono", 44100, 1, 0, 1, 44100, 88200, 2, 16},
      {"six channels", 48000, 6, 0, 6, 48000, 576000, 12, 16},
      {"96 kHz", 96000, 2, 0, 2, 96000, 384000, 4, 16},
      {"8-bit mono", 22050, 1, kStreamFlag8Bits, 1, 22050, 22050, 1, 8},
      {"float flag is no 8-bit", 44100, 2, 0x100, 2, 44100, 176400, 4, 16},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const auto a = WavHeader(WavFormatOf(c.rate, c.channels, c.flags), 1000, 964);
    const std::vector<uint8_t> v(a.begin(), a.end());
    EXPECT_EQ(Field32(v, 4), 1000u);
    EXPECT_EQ(Field16(v, 22), c.expectChannels);
    EXPECT_EQ(Field32(v, 24), c.expectRate);
    EXPECT_EQ(Field32(v, 28), c.byteRate);
    EXPECT_EQ(Field16(v, 32), c.align);
    EXPECT_EQ(Field16(v, 34), c.bits);
    EXPECT_EQ(Field32(v, 40), 964u);
  }
}

TEST(WavRender, CyclesAndEndRules) {
  struct Case {
    const char* what;
    int64_t start, end, sourceLength;
    int cancelAfter;
    size_t failAt;
    TRenderEnd end_;
    int cycles;
    size_t fileSize;
  } cases[] = {
      {"0 to 25000: three whole cycles", 0, 25000, 1 << 20, 0, SIZE_MAX, TRenderEnd::Done, 3, 30044},
      {"cancel after the first cycle", 0, 25000, 1 << 20, 1, SIZE_MAX, TRenderEnd::Cancelled, 1, 10044},
      {"start = end", 5000, 5000, 1 << 20, 0, SIZE_MAX, TRenderEnd::Done, 0, 44},
      {"a source that ends early stops there", 0, 1 << 20, 15000, 0, SIZE_MAX, TRenderEnd::SourceEnded, 2, 15044},
      {"a source that answers -1 at its end", 100, 1 << 20, 4100, 0, SIZE_MAX, TRenderEnd::SourceEnded, 1, 4044},
      {"a write that fails part-way", 0, 1 << 20, 1 << 20, 0, 20544, TRenderEnd::WriteFailed, 2, 20544},
      {"a header that cannot be written", 0, 1 << 20, 1 << 20, 0, 10, TRenderEnd::TargetFailed, 0, 10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TFakeSource source(kStereo, c.sourceLength);
    source.endAnswer = c.start == 100 ? -1 : 0;
    TMemorySink sink;
    sink.failAt = c.failAt;
    TProgress progress;
    progress.cancelAfter = c.cancelAfter;
    const TRun run = Render({c.start, c.end}, source, sink, progress);
    EXPECT_EQ(run.outcome.end, c.end_);
    EXPECT_EQ(run.outcome.cycles, c.cycles);
    ASSERT_EQ(run.file.size(), c.fileSize);
    EXPECT_EQ(source.closes, 1);
    EXPECT_EQ(sink.closes, 1);
    if (c.fileSize < 44) continue;
    // The size fields match the file, whatever ended the render.
    EXPECT_EQ(Field32(run.file, 4), c.fileSize - 8);
    EXPECT_EQ(Field32(run.file, 40), c.fileSize - 44);
    EXPECT_EQ(run.outcome.dataBytes, std::min(c.fileSize, c.failAt) - 44);
    // Without a pass the data is the source's slice byte for byte.
    for (size_t i = 44; i < run.file.size(); ++i)
      if (run.file[i] != SourceByte(c.start + int64_t(i - 44))) {
        ADD_FAILURE() << "byte " << i;
        break;
      }
  }
}

TEST(WavRender, PercentAgainstTheEndPosition) {
  TFakeSource source(kStereo);
  TMemorySink sink;
  TProgress progress;
  Render({50000, 100000}, source, sink, progress);
  ASSERT_EQ(progress.percents.size(), 5u);
  EXPECT_EQ(progress.percents, (std::vector<int32_t>{50, 60, 70, 80, 90}));
  EXPECT_EQ(progress.finishing, 1);
}

TEST(WavRender, ASourceThatCannotBeOpenedMakesNoFile) {
  TFakeSource failing(kStereo);
  failing.failOpen = true;
  TFakeSource silent({44100, 0, 16});  // a stream that reports no channels
  for (TFakeSource* source : {&failing, &silent}) {
    TMemorySink sink;
    TProgress progress;
    const TRun run = Render({0, 25000}, *source, sink, progress);
    EXPECT_EQ(run.outcome.end, TRenderEnd::SourceFailed);
    EXPECT_FALSE(sink.created);
    EXPECT_EQ(source->reads, 0);
    EXPECT_EQ(source->closes, 1);
  }
}

TEST(WavRender, ATargetThatCannotBeCreatedFreesTheSource) {
  TFakeSource source(kStereo);
  TMemorySink sink;
  sink.failCreate = true;
  TProgress progress;
  const TRun run = Render({0, 25000}, source, sink, progress);
  EXPECT_EQ(run.outcome.end, TRenderEnd::TargetFailed);
  EXPECT_EQ(run.outcome.error, "Cannot create file");
  EXPECT_EQ(source.reads, 0);
  EXPECT_EQ(source.closes, 1);
}

TEST(WavRender, OneRenderAtATimeAndTheJobIsCopied) {
  TFakeSource source(kStereo);
  TMemorySink sink;
  TProgress progress;
  TWavRender render;
  TRenderJob job{0, 25000};
  TRenderOutcome nested;
  progress.onPump = [&] {
    TFakeSource other(kStereo);
    TMemorySink otherSink;
    TProgress otherProgress;
    nested = render.Run(job, other, otherSink, {}, otherProgress);
    EXPECT_FALSE(otherSink.created);
    job.end = 1000000;  // a file opened meanwhile resets the range
  };
  const TRenderOutcome outcome = render.Run(job, source, sink, {}, progress);
  EXPECT_EQ(nested.end, TRenderEnd::Busy);
  EXPECT_EQ(outcome.cycles, 3);
  EXPECT_FALSE(render.Running());
}

TEST(WavRender, SubBlocksOfWholeFramesInOrder) {
  const TWavFormat formats[] = {kStereo, {44100, 1, 16}, {48000, 6, 16}, {44100, 5, 16}};
  for (const TWavFormat& f : formats) {
    SCOPED_TRACE(f.channels);
    TFakeSource source(f);
    TMemorySink sink;
    TProgress progress;
    TRecordingPass vst, dsp;
    const TRun run = Render({0, 25000, true, true, false}, source, sink, progress, {&vst, &dsp});
    ASSERT_FALSE(vst.sizes.empty());
    EXPECT_TRUE(dsp.sizes.empty());  // the VST one was chosen
    for (int32_t s : vst.sizes) EXPECT_LE(s, kRenderSubBlockBytes);
    EXPECT_EQ(vst.frameFaults, 0);
    // Together the bytes read, in order; a 10000-byte read of 5 or 6 channels
    // ends in a part frame that goes on unprocessed.
    const size_t read = run.file.size() - 44;
    EXPECT_EQ(read, 30000u);
    const size_t whole = 3 * (10000 - 10000 % f.BlockAlign());
    ASSERT_EQ(vst.seen.size(), whole);
    EXPECT_EQ(std::vector<uint8_t>(run.file.begin() + 44, run.file.end()).size(), read);
    for (int32_t r = 0, i = 0; r < 3; ++r)
      for (uint32_t b = 0; b < 10000 - 10000 % f.BlockAlign(); ++b, ++i)
        ASSERT_EQ(vst.seen[size_t(i)], SourceByte(r * 10000 + b));
  }
}

TEST(WavRender, APassThatChangesTheCount) {
  struct Case {
    const char* what;
    TRecordingPass::Mode mode;
    int32_t answer;
    size_t data;
  } cases[] = {
      {"doubled", TRecordingPass::Double, 0, 60000},
      {"more than the room: the room", TRecordingPass::Answer, 1 << 30, 60000},
      {"a part frame: whole frames", TRecordingPass::Answer, 1001, 3 * 3 * 1000},
      {"negative: nothing", TRecordingPass::Answer, -7, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TFakeSource source(kStereo);
    TMemorySink sink;
    TProgress progress;
    TRecordingPass dsp;
    dsp.mode = c.mode;
    dsp.answer = c.answer;
    const TRun run = Render({0, 25000, true, false, true}, source, sink, progress, {nullptr, &dsp});
    EXPECT_EQ(run.file.size() - 44, c.data);
    EXPECT_EQ(dsp.sizes, (std::vector<int32_t>{4608, 4608, 784, 4608, 4608, 784, 4608, 4608, 784}));
    EXPECT_EQ(dsp.rooms.front(), 9216);
  }
}

TEST(WavRender, WithoutEffectsNoPassRuns) {
  TFakeSource source(kStereo);
  TMemorySink sink;
  TProgress progress;
  TRecordingPass vst, dsp;
  Render({0, 25000, false, true, true}, source, sink, progress, {&vst, &dsp});
  EXPECT_TRUE(vst.sizes.empty());
  EXPECT_TRUE(dsp.sizes.empty());
}

TEST(WavRender, StopsBeforeFourGibibytesOnAWholeFrame) {
  const TWavFormat six{48000, 6, 16};
  TFakeSource source(six);
  source.fill = false;
  TCountingSink sink;
  TProgress progress;
  TWavRender render;
  const TRenderOutcome outcome = render.Run({0, int64_t(1) << 40}, source, sink, {}, progress);
  EXPECT_EQ(outcome.end, TRenderEnd::SizeLimit);
  EXPECT_EQ(outcome.dataBytes % 12, 0u);
  EXPECT_EQ(outcome.dataBytes, MaxWavDataBytes(12));
  EXPECT_GT(outcome.dataBytes + 12, 0xFFFFFFFFull - 36);
  EXPECT_EQ(Field32(sink.header, 40), outcome.dataBytes);
  EXPECT_EQ(Field32(sink.header, 4), outcome.dataBytes + 36);
}

// --- the engine's passes under the render ---

class THalvingItem final : public engine::TVstPassItem {
 public:
  void SetBlockSizeAndSampleRate(int32_t f, float rate) override {
    frames.push_back(f);
    rates.push_back(rate);
  }
  int32_t numInputs() override { return 2; }
  int32_t numOutputs() override { return 2; }
  void ProcessReplacing(engine::TAVDArrayOfSingleDynArray& in, engine::TAVDArrayOfSingleDynArray& out,
                        int32_t n) override {
    for (size_t c = 0; c < 2; ++c)
      for (int32_t i = 0; i < n; ++i) out[c][size_t(i)] = in[c][size_t(i)] * 0.5f;
  }
  bool Active() override { return true; }
  std::vector<int32_t> frames;
  std::vector<float> rates;
};

class RenderPasses : public enginetest::EngineTest {
 protected:
  void StartModule(const std::string& kind) {
    fake::TFakeLibrary lib{"render test", {fake::MakeModule(kind)}};
    static_cast<fake::TFakeLoader&>(engine::DspLibraryLoader()).libraries["dsp_render.dll"] = lib;
    engine::LoadDSP("dsp_render.dll", nullptr);
    engine::PassState.DspModuleIndex = 0;
    engine::InitDSPModule(0);
    engine::PassState.DspActive = true;
  }
  TRun RenderThrough(IRenderPass& pass, bool vst, const TWavFormat& f = kStereo) {
    TFakeSource source(f);
    TMemorySink sink;
    TProgress progress;
    TRenderPasses passes;
    (vst ? passes.vst : passes.dsp) = &pass;
    return Render({0, 25000, true, vst, !vst}, source, sink, progress, passes);
  }
};

TEST_F(RenderPasses, WinampModuleCounts) {
  struct Case {
    const char* kind;
    size_t data;
    bool stillActive;
  } cases[] = {
      {"double", 60000, true},
      {"huge", 60000, true},   // clamped to the room of each sub-block
      {"negative", 0, true},
      {"throw", 30000, false}, // the rest goes on dry
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.kind);
    StartModule(c.kind);
    TDspRenderPass pass;
    const TRun run = RenderThrough(pass, false);
    EXPECT_EQ(run.file.size() - 44, c.data);
    EXPECT_EQ(engine::PassState.DspActive.load(), c.stillActive);
    if (std::string(c.kind) == "throw") {
      for (size_t i = 44; i < run.file.size(); ++i) ASSERT_EQ(run.file[i], SourceByte(int64_t(i - 44)));
    }
    engine::StopDSP();
  }
}

TEST_F(RenderPasses, TheAudioLibrarysStreamIsOpenedReadAndFreed) {
  fake::Bass.streamNames = {"C:\\song.wav"};
  fake::Bass.info = BASS_CHANNELINFO{22050, 1, 0, 0, 0, 0, 0, nullptr};
  fake::Bass.source.assign(30000, 7);
  fake::Bass.endResult = static_cast<DWORD>(-1);
  {
    TBassRenderSource source("C:\\song.wav");
    TWavFormat format;
    ASSERT_TRUE(source.Open(4410, format));
    EXPECT_EQ(format.rate, 22050u);
    EXPECT_EQ(format.channels, 1u);
    EXPECT_EQ(format.bits, 16u);
    uint8_t buffer[10000];
    EXPECT_EQ(source.Read(buffer, 10000), 10000);
    fake::Bass.readPos = fake::Bass.source.size();
    EXPECT_EQ(source.Read(buffer, 10000), -1);
  }
  EXPECT_EQ(fake::Calls("StreamCreateFile"), (std::vector<std::string>{"StreamCreateFile C:\\song.wav 0x220000"}));
  EXPECT_EQ(fake::Calls("SetPosition"), (std::vector<std::string>{"SetPosition 100 4410 0"}));
  EXPECT_EQ(fake::Calls("StreamFree").size(), 1u);  // freed with the object

  // A file the library cannot decode as a stream (a tracker module, say).
  TBassRenderSource module("C:\\song.mod");
  TWavFormat format;
  EXPECT_FALSE(module.Open(0, format));
}


TEST_F(RenderPasses, VstPassGetsAtMostTheBlockSizeItWasOpenedWith) {
  for (uint32_t channels : {2u, 1u}) {
    SCOPED_TRACE(channels);
    THalvingItem item;
    engine::PassState.VstPassItem = &item;
    engine::PassState.VstActive = -1;
    engine::PassState.VstEnabled = -1;
    TVstRenderPass pass;
    const TRun run = RenderThrough(pass, true, {44100, channels, 16});
    // 4608 bytes are 1152 frames of pairs, mono included.
    EXPECT_EQ(item.frames, (std::vector<int32_t>{1152, 1152, 196, 1152, 1152, 196, 1152, 1152, 196}));
    const auto* samples = reinterpret_cast<const int16_t*>(run.file.data() + 44);
    std::vector<int16_t> source(15000);
    for (size_t i = 0; i < 30000; ++i) reinterpret_cast<uint8_t*>(source.data())[i] = SourceByte(int64_t(i));
    for (size_t i = 0; i < source.size(); ++i)
      ASSERT_NEAR(samples[i], source[i] * 0.5 * 32767 / 32768, 1.0) << i;
    engine::PassState.VstActive = 0;
    TVstRenderPass off;
    const TRun dry = RenderThrough(off, true);
    EXPECT_EQ(0, std::memcmp(dry.file.data() + 44, source.data(), 30000));
    engine::PassState.VstPassItem = nullptr;
  }
}

// --- the render window's behaviour ---

// The window as the controller drives it: every text and call in order.
class TFakeRenderView final : public IRenderView {
 public:
  void ShowForward() override { log.push_back("show"); }
  void SetButtonCaption(const std::string& t) override { button = t; }
  void SetStatus(const std::string& t) override { statuses.push_back(t); }
  void SetProgress(int32_t p) override { progress = p; }
  void ProcessMessages() override {
    ++pumps;
    if (onPump) onPump();
  }
  bool ProgramEnding() override { return ending; }
  void Warn(const std::string& t) override { log.push_back("warn " + t); }
  void ShowError(const std::string& m) override { log.push_back("error " + m); }
  void CloseWindow() override { log.push_back("close"); }
  std::string button;
  std::vector<std::string> statuses, log;
  int32_t progress = -1;
  int pumps = 0;
  bool ending = false;
  std::function<void()> onPump;
};

class TFakeLock final : public IRenderPassLock {
 public:
  bool Acquire() override {
    log.push_back("acquire");
    return grant;
  }
  void RenderRate(uint32_t rate) override { log.push_back("rate " + std::to_string(rate)); }
  void Release() override { log.push_back("release"); }
  bool grant = true;
  std::vector<std::string> log;
};

// The render window's controller over the fakes, with a stereo source.
struct TWindowRig {
  TFakeRenderView view;
  TFakeLock lock;
  TRenderController render{view, lock};
  TFakeSource source{kStereo};
  TMemorySink sink;
  TRenderOutcome Run(const TRenderJob& job, const TRenderPasses& passes = {}) {
    return render.ConvertToWav(job, source, sink, passes);
  }
};

TEST(RenderWindow, TextsOfARenderAndTheButton) {
  TWindowRig rig;
  auto& [view, lock, render, source, sink] = rig;
  std::vector<std::string> buttonsWhileRunning;
  view.onPump = [&] { buttonsWhileRunning.push_back(view.button); };
  const TRenderOutcome outcome = rig.Run({50000, 75000});
  EXPECT_EQ(outcome.end, TRenderEnd::Done);
  EXPECT_EQ(buttonsWhileRunning, (std::vector<std::string>(3, "中断")));
  EXPECT_EQ(view.statuses, (std::vector<std::string>{"正在转换:0%", "正在转换:66%", "正在转换:80%", "正在转换:93%",
                                                     "正在完成...", "转换完成!"}));
  EXPECT_EQ(view.progress, 93);
  EXPECT_EQ(view.button, "关闭");
  EXPECT_EQ(view.log, (std::vector<std::string>{"show"}));
  EXPECT_TRUE(lock.log.empty()) << "a render without a pass leaves the plug-ins to playback";
  render.Button1Click();
  EXPECT_EQ(view.log.back(), "close");
}

TEST(RenderWindow, CancelByTheButtonByClosingAndByTheProgramsEnd) {
  struct Case {
    const char* what;
    std::function<void(TRenderController&, TFakeRenderView&)> act;
  } cases[] = {
      {"中断", [](TRenderController& r, TFakeRenderView&) { r.Button1Click(); }},
      {"the window closes", [](TRenderController& r, TFakeRenderView&) { r.WindowClosing(); }},
      {"the main window closed", [](TRenderController&, TFakeRenderView& v) { v.ending = true; }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TWindowRig rig;
    auto& [view, lock, render, source, sink] = rig;
    view.onPump = [&] { c.act(render, view); };
    const TRenderOutcome outcome = rig.Run({0, 25000});
    EXPECT_EQ(outcome.end, TRenderEnd::Cancelled);
    ASSERT_EQ(sink.file.size(), 10044u);
    EXPECT_EQ(Field32(sink.file, 4), 10036u);
    EXPECT_EQ(Field32(sink.file, 40), 10000u);
    EXPECT_EQ(view.statuses.back(), "转换完成!");
    EXPECT_EQ(view.button, "关闭");
    EXPECT_EQ(std::count(view.log.begin(), view.log.end(), "close"), 0) << "中断 while running does not close";
  }
  // Closing the window when no render runs cancels nothing later.
  TWindowRig rig;
  rig.render.WindowClosing();
  EXPECT_EQ(rig.Run({0, 25000}).end, TRenderEnd::Done);
}

TEST(RenderWindow, ASecondRenderOnlyBringsTheWindowForward) {
  TWindowRig rig;
  auto& [view, lock, render, source, sink] = rig;
  TRenderOutcome nested;
  TMemorySink otherSink;
  TRenderJob job{0, 25000};
  view.onPump = [&] {
    if (view.pumps != 1) return;
    TFakeSource other(kStereo);
    view.log.clear();
    nested = render.ConvertToWav(job, other, otherSink, {});
    EXPECT_FALSE(other.opened);
    EXPECT_EQ(view.log, (std::vector<std::string>{"show"}));
    EXPECT_EQ(view.button, "中断") << "the running render keeps its button";
  };
  rig.Run(job);
  EXPECT_EQ(nested.end, TRenderEnd::Busy);
  EXPECT_FALSE(otherSink.created);
  EXPECT_EQ(sink.file.size(), 30044u);
}

TEST(RenderWindow, WhatTheUserIsToldAtTheEnd) {
  struct Case {
    const char* what;
    std::function<void(TFakeSource&, TMemorySink&)> setUp;
    std::vector<std::string> log;
    std::string status;
    bool file;
  } cases[] = {
      {"a source that cannot be decoded", [](TFakeSource& s, TMemorySink&) { s.failOpen = true; },
       {"show", std::string("warn ") + kRenderSourceFailed}, "转换失败!", false},
      {"a target that cannot be created", [](TFakeSource&, TMemorySink& k) { k.failCreate = true; },
       {"show", "error Cannot create file"}, "转换失败!", false},
      {"a write that fails part-way", [](TFakeSource&, TMemorySink& k) { k.failAt = 15000; },
       {"show", "error Stream write error"}, "转换失败!", true},
      {"a source that ends early", [](TFakeSource& s, TMemorySink&) { s.length = 15000; }, {"show"}, "转换完成!",
       true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TWindowRig rig;
    auto& [view, lock, render, source, sink] = rig;
    c.setUp(source, sink);
    rig.Run({0, 25000});
    EXPECT_EQ(view.log, c.log);
    EXPECT_EQ(view.statuses.back(), c.status);
    EXPECT_EQ(view.button, "关闭");
    EXPECT_EQ(sink.created, c.file);
  }
}

// A render refused before it starts (the target is the source) ends as a
// failed render does, whatever the window showed before: after a finished
// render, on a window never used, and not while another render runs.
TEST(RenderWindow, ARefusalEndsAsAFailedRender) {
  const std::string why = "不能把WAV文件保存到正在读取的源文件上!";
  for (bool renderedBefore : {true, false}) {
    SCOPED_TRACE(renderedBefore ? "after a render" : "first use");
    TWindowRig rig;
    auto& [view, lock, render, source, sink] = rig;
    if (renderedBefore) {
      ASSERT_EQ(rig.Run({0, 25000}).end, TRenderEnd::Done);
    }
    view.log.clear();
    const TRenderOutcome outcome = render.Refuse(why);
    EXPECT_EQ(outcome.end, TRenderEnd::TargetFailed);
    EXPECT_EQ(outcome.error, why);
    EXPECT_EQ(view.log, (std::vector<std::string>{"show", "warn " + why}));
    ASSERT_FALSE(view.statuses.empty());
    EXPECT_EQ(view.statuses.back(), "转换失败!");
    EXPECT_EQ(view.button, "关闭");
    EXPECT_EQ(view.progress, 0);
    render.Button1Click();
    EXPECT_EQ(view.log.back(), "close") << "its button closes the window";
  }
  TWindowRig rig;
  auto& [view, lock, render, source, sink] = rig;
  TRenderOutcome nested;
  view.onPump = [&] {
    if (view.pumps != 1) return;
    view.log.clear();
    nested = render.Refuse(why);
    EXPECT_EQ(view.log, (std::vector<std::string>{"show"}));
    EXPECT_EQ(view.button, "中断") << "the running render keeps its button";
  };
  rig.Run({0, 25000});
  EXPECT_EQ(nested.end, TRenderEnd::Busy);
  EXPECT_EQ(view.statuses.back(), "转换完成!");
}

TEST(RenderWindow, APassHoldsThePlugInsAndTellsTheRate) {
  TWindowRig rig;
  auto& [view, lock, render, source, sink] = rig;
  source.format = {48000, 2, 16};
  TRecordingPass pass;
  view.onPump = [&] { lock.log.push_back("cycle"); };
  rig.Run({0, 25000, true, true, false}, {&pass, nullptr});
  EXPECT_EQ(lock.log,
            (std::vector<std::string>{"acquire", "rate 48000", "cycle", "cycle", "cycle", "release"}));

  // Playback's call that does not leave the plug-in: no render, no file.
  lock.grant = false;
  lock.log.clear();
  view.log.clear();
  TFakeSource other(kStereo);
  TMemorySink otherSink;
  EXPECT_EQ(render.ConvertToWav({0, 25000, true, false, true}, other, otherSink, {nullptr, &pass}).end,
            TRenderEnd::Busy);
  EXPECT_EQ(lock.log, (std::vector<std::string>{"acquire"}));
  EXPECT_EQ(view.log, (std::vector<std::string>{"show", std::string("warn ") + kRenderPlugInBusy}));
  EXPECT_FALSE(other.opened);
  EXPECT_FALSE(otherSink.created);
  EXPECT_EQ(view.button, "关闭");
}

TEST_F(RenderPasses, WhileARenderHoldsThePlugInsPlaybackPassesItsBlocksDry) {
  StartModule("invert");
  TEngineRenderLock lock(200);
  ASSERT_TRUE(lock.Acquire());
  int16_t block[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(engine::DspPassBlock(block, 4, 2, 44100, 8), 4);
  EXPECT_EQ(block[0], 1) << "playback's block is left as it is";
  engine::DspPassBlock(block, 4, 2, 44100, 8, engine::TPassCaller::Render);
  EXPECT_EQ(block[0], -1) << "the render's goes through the module";
  lock.Release();
  engine::DspPassBlock(block, 4, 2, 44100, 8);
  EXPECT_EQ(block[0], 1) << "and playback's again once the render ends";

  // The VST pass likewise, and the render's blocks go at the render's rate.
  THalvingItem item;
  engine::PassState.VstPassItem = &item;
  engine::PassState.VstActive = -1;
  engine::PassState.VstEnabled = -1;
  ASSERT_TRUE(lock.Acquire());
  int16_t stereo[8] = {1000, 1000, 1000, 1000, 1000, 1000, 1000, 1000};
  EXPECT_FALSE(engine::VstPassBlock(2, stereo, 16));
  EXPECT_EQ(stereo[0], 1000);
  EXPECT_TRUE(engine::VstPassBlock(2, stereo, 16, engine::TPassCaller::Render, 22050));
  EXPECT_NEAR(stereo[0], 500, 1);
  EXPECT_EQ(item.rates, (std::vector<float>{22050.0f}));
  lock.Release();
  EXPECT_TRUE(engine::VstPassBlock(2, stereo, 16));
  EXPECT_EQ(item.rates.back(), 44100.0f) << "playback's blocks at the stream's rate";
  engine::PassState.VstActive = 0;
  engine::PassState.VstPassItem = nullptr;

  // A playback call still inside a plug-in after the wait: no render.
  for (std::atomic<int32_t>* count : {&engine::DspHostState.DspCallsInFlight, &engine::PassState.VstCallsInFlight}) {
    *count = 1;
    const auto before = std::chrono::steady_clock::now();
    EXPECT_FALSE(lock.Acquire());
    EXPECT_GE(std::chrono::steady_clock::now() - before, std::chrono::milliseconds(190));
    EXPECT_FALSE(engine::PassState.RenderRunning.load());
    *count = 0;
  }
}

TEST_F(RenderPasses, TheVstHostsRateIsTheRendersAndComesBackOrGoesToTheNewStream) {
  vst::TVstHost host;
  engine::PassState.VstHost = &host;
  host.ChangeSampleRate(44100.0f);
  TEngineRenderLock lock;
  ASSERT_TRUE(lock.Acquire());
  lock.RenderRate(22050);
  EXPECT_EQ(vst::HostSampleRate, 22050.0f);
  lock.Release();
  EXPECT_EQ(vst::HostSampleRate, 44100.0f);
  // A stream of another rate opened meanwhile keeps its rate.
  ASSERT_TRUE(lock.Acquire());
  lock.RenderRate(22050);
  host.ChangeSampleRate(48000.0f);
  lock.Release();
  EXPECT_EQ(vst::HostSampleRate, 48000.0f);
  // A stream starting during the render leaves the render's rate alone and
  // gets its own at the end; without a render it is not held back.
  EXPECT_FALSE(TEngineRenderLock::DeferStreamRate(32000.0f));
  ASSERT_TRUE(lock.Acquire());
  lock.RenderRate(22050);
  EXPECT_TRUE(TEngineRenderLock::DeferStreamRate(96000.0f));
  EXPECT_EQ(vst::HostSampleRate, 22050.0f);
  lock.Release();
  EXPECT_EQ(vst::HostSampleRate, 96000.0f);
  // The next render ends with the rate it found.
  ASSERT_TRUE(lock.Acquire());
  lock.RenderRate(22050);
  lock.Release();
  EXPECT_EQ(vst::HostSampleRate, 96000.0f);
  engine::PassState.VstHost = nullptr;
}

// The test plug-in as a plug-in that keeps state (a delay of one sub-block):
// the render starts it afresh, so the file begins with the delay's silence
// and not with the tail of what played before, and playback starts it
// afresh after the render, without the render's tail. All at the rate the
// plug-in already had, the usual render of the paused file.
TEST_F(RenderPasses, TheRenderAndPlaybackEachStartAStatefulPlugInAfresh) {
  namespace tp = vst::testplugin;
  tp::TestPlugInReset();
  tp::TFakeLoader loader;
  loader.Add("delay.dll", tp::TVariant::Both);
  vst::TVstHost host;
  vst::TVstPlugIn& item = host.VstPlugIns().Add();
  item.SetDLLFileName(L"delay.dll");
  item.SetActive(true);
  ASSERT_TRUE(item.Active());
  vst::TVstPlugInPassItem passItem(item);
  engine::PassState.VstHost = &host;
  engine::PassState.VstPassItem = &passItem;
  engine::PassState.VstActive = -1;
  engine::PassState.VstEnabled = -1;
  constexpr int32_t kBlockFrames = kRenderSubBlockBytes / 4;
  tp::TestPlugInState()->delayFrames = kBlockFrames;
  ASSERT_EQ(vst::HostSampleRate, float(kStereo.rate));

  // Playback: two blocks of a loud constant; the second comes out delayed.
  std::vector<int16_t> live(2 * kBlockFrames, 12000);
  for (int i = 0; i < 2; ++i) {
    std::fill(live.begin(), live.end(), int16_t(12000));
    ASSERT_TRUE(engine::VstPassBlock(2, live.data(), kRenderSubBlockBytes));
  }
  ASSERT_NEAR(live[0], 6000, 1) << "the plug-in holds a block of playback's sound";

  TFakeRenderView view;
  TEngineRenderLock lock;
  TRenderController render{view, lock};
  TFakeSource source(kStereo);
  TMemorySink sink;
  TVstRenderPass vstPass;
  const int resumesBefore = tp::TestPlugInState()->resumes;
  ASSERT_EQ(render.ConvertToWav({0, 25000, true, true, false}, source, sink, {&vstPass, nullptr}).end,
            TRenderEnd::Done);
  EXPECT_EQ(tp::TestPlugInState()->resumes - resumesBefore, 2) << "once when taken, once when given back";
  ASSERT_GE(sink.file.size(), size_t(44 + 2 * kRenderSubBlockBytes));
  const size_t heard = size_t(std::count_if(sink.file.begin() + 44, sink.file.begin() + 44 + kRenderSubBlockBytes,
                                            [](uint8_t b) { return b != 0; }));
  EXPECT_EQ(heard, 0u) << "the first rendered block is the delay's silence";
  const auto* rendered = reinterpret_cast<const int16_t*>(sink.file.data() + 44 + kRenderSubBlockBytes);
  int16_t first = 0;
  std::memcpy(&first, sink.file.data() + 44, 2);
  EXPECT_NE(rendered[0], 0) << "then the source, delayed";

  // Playback after the render: silence first, not the render's tail.
  std::fill(live.begin(), live.end(), int16_t(12000));
  ASSERT_TRUE(engine::VstPassBlock(2, live.data(), kRenderSubBlockBytes));
  EXPECT_EQ(std::count(live.begin(), live.end(), int16_t(0)), std::ptrdiff_t(live.size()));
  const int16_t firstAfter = live[0];
  std::fill(live.begin(), live.end(), int16_t(12000));
  ASSERT_TRUE(engine::VstPassBlock(2, live.data(), kRenderSubBlockBytes));
  EXPECT_NEAR(live[0], 6000, 1);
  std::printf("[ figures ] first rendered sample %d (playback's held block: 6000), first played after the render %d\n",
              first, firstAfter);

  engine::PassState.VstActive = 0;
  engine::PassState.VstPassItem = nullptr;
  engine::PassState.VstHost = nullptr;
}

// --- the segment window's rules ---

TEST(WavSegment, TimeTexts) {
  EXPECT_EQ(SegmentTimeText(30.0), "0:00:30.0");
  EXPECT_EQ(SegmentTimeText(90.0), "0:01:30.0");
  EXPECT_EQ(SegmentTimeText(3725.99), "1:02:05.9");  // truncated
  EXPECT_EQ(SegmentTimeText(-1.0), "0:00:00.0");     // a length the stream could not give
  EXPECT_EQ(SegmentLengthText(60.0), "估计总时间:0:01:00.0");
}

TEST(WavSegment, StartAndEndRules) {
  TSegment s{1000, 5000};
  EXPECT_EQ(SetSegmentStart(s, true, 6000), kStartAfterEnd);
  EXPECT_EQ(s.start, 1000);
  EXPECT_EQ(SetSegmentStart(s, true, 5000), "");  // equal to the end is accepted
  EXPECT_EQ(s.start, 5000);
  EXPECT_EQ(SetSegmentEnd(s, true, 4999), kEndBeforeStart);
  EXPECT_EQ(SetSegmentEnd(s, true, 9000), "");
  EXPECT_EQ(s.end, 9000);
  // No stream: the slider's position means nothing.
  EXPECT_EQ(SetSegmentStart(s, false, 0), kOpenAFileFirst);
  EXPECT_EQ(SetSegmentEnd(s, true, -1), kOpenAFileFirst);
  EXPECT_EQ(s.start, 5000);
  EXPECT_EQ(s.end, 9000);
}

TEST(WavSegment, SaveAndPassChoice) {
  EXPECT_EQ(SaveRefusal(1), kStopBeforeSave);  // playing
  EXPECT_EQ(SaveRefusal(3), "");               // paused
  EXPECT_EQ(SaveRefusal(0), "");               // stopped
  TRenderChoice choice;
  EXPECT_FALSE(choice.RadiosEnabled());
  choice.ChooseDsp();
  EXPECT_TRUE(choice.dsp);
  EXPECT_FALSE(choice.vst);
  choice.effects = true;
  EXPECT_TRUE(choice.RadiosEnabled());
}

// The segment window over a stream of 1000 bytes a second.
class TFakeSegment final : public ISegmentView, public ISegmentEngine {
 public:
  void ShowTimes(const std::string& s, const std::string& e, const std::string& l) override {
    start = s, end = e, length = l;
  }
  void SetRadiosEnabled(bool e) override { radios = e; }
  void Warn(const std::string& t) override { warnings.push_back(t); }
  void HideWindow() override { ++hides; }
  uint32_t Stream() override { return stream; }
  int64_t SecondsToBytes(double seconds) override { return stream ? int64_t(seconds * 1000) : -1; }
  double BytesToSeconds(int64_t bytes) override { return double(bytes) / 1000; }
  uint32_t OutActivity() override { return activity; }
  int32_t SliderTenths() override { return tenths; }
  TSegment Range() override { return range; }
  void SetRange(const TSegment& r) override { range = r; }

  std::string start, end, length;
  bool radios = true;
  std::vector<std::string> warnings;
  int hides = 0;
  uint32_t stream = 7, activity = 0;
  int32_t tenths = 0;
  TSegment range{0, 120000};
};

TEST(SegmentWindow, TheSegmentFromTheSlider) {
  TFakeSegment f;
  TSegmentController seg(f, f);
  seg.Shown();
  EXPECT_EQ(f.end, "0:02:00.0");
  EXPECT_FALSE(f.radios);
  f.tenths = 900;
  seg.SetEnd();
  f.tenths = 300;
  seg.SetStart();
  EXPECT_EQ(f.start, "0:00:30.0");
  EXPECT_EQ(f.end, "0:01:30.0");
  EXPECT_EQ(f.length, "估计总时间:0:01:00.0");
  f.tenths = 901;
  seg.SetStart();
  f.tenths = 299;
  seg.SetEnd();
  EXPECT_EQ(f.warnings, (std::vector<std::string>{kStartAfterEnd, kEndBeforeStart}));
  EXPECT_EQ(f.range.start, 30000);
  EXPECT_EQ(f.range.end, 90000);
  EXPECT_EQ(f.hides, 0);
}

TEST(SegmentWindow, AStreamThatIsGoneIsRefusedAndTheWindowHides) {
  struct Case {
    const char* what;
    uint32_t streamNow;
  } cases[] = {{"closed", 0}, {"another file opened", 8}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TFakeSegment f;
    TSegmentController seg(f, f);
    seg.Shown();
    f.stream = c.streamNow;
    f.tenths = 50;
    seg.SetStart();
    seg.SetEnd();
    TRenderJob job{-5, -5};
    EXPECT_FALSE(seg.Save(job));
    EXPECT_EQ(f.warnings, (std::vector<std::string>(3, kOpenAFileFirst)));
    EXPECT_EQ(f.hides, 3);
    EXPECT_EQ(f.range.start, 0);
    EXPECT_EQ(f.range.end, 120000);
    EXPECT_EQ(job.start, -5);
    seg.StreamChanged();
    EXPECT_EQ(f.hides, 4);
  }
  // Shown with no stream at all: "设置" has no position to take.
  TFakeSegment f;
  f.stream = 0;
  TSegmentController seg(f, f);
  seg.Shown();
  seg.SetStart();
  EXPECT_EQ(f.warnings, (std::vector<std::string>{kOpenAFileFirst}));
  EXPECT_EQ(f.range.start, 0);
}

TEST(SegmentWindow, SaveRefusedWhilePlayingAndTheJobAsChosen) {
  TFakeSegment f;
  TSegmentController seg(f, f);
  seg.Shown();
  f.activity = 1;  // playing
  TRenderJob job;
  EXPECT_FALSE(seg.Save(job));
  EXPECT_EQ(f.warnings, (std::vector<std::string>{kStopBeforeSave}));
  f.activity = 3;  // paused
  seg.ChooseDsp();
  ASSERT_TRUE(seg.Save(job));
  EXPECT_EQ(job.end, 120000);
  EXPECT_FALSE(job.effects) << "with the box clear no pass runs, whatever was chosen";
  seg.PlugChecked(true);
  EXPECT_TRUE(f.radios);
  ASSERT_TRUE(seg.Save(job));
  EXPECT_TRUE(job.effects);
  EXPECT_TRUE(job.dsp);
  EXPECT_FALSE(job.vst);
  EXPECT_EQ(f.hides, 0);
}

}  // namespace
}  // namespace tav::player
