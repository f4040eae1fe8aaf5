// The engine with the real audio libraries (bass.dll, bfxs.dll) and the test
// Winamp DSP library, under Windows: a generated WAV file is opened with
// OpenStream and played on device 0, whose output is captured into a WAV file
// (TAVOLEN_NOSOUND_CAPTURE), so every frame that was heard can be checked.
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "bass.h"
#include "bass_fx.h"
#include "dsp_test_modules.h"
#include "tav/engine/addons.h"
#include "tav/engine/dsp_host.h"
#include "tav/engine/globals.h"
#include "tav/engine/output_pump.h"
#include "tav/engine/stream_chain.h"
#include "tav/test/files.h"
#include "tav/test/media.h"

namespace {

using namespace tav::engine;
using Clock = std::chrono::steady_clock;

constexpr int kRate = 44100;
constexpr int kRoomFrames = kPumpBufferBytes / 4;

std::string Folder(const std::string& path) { return path.substr(0, path.find_last_of("\\/") + 1); }

std::string ProgramFolder() {
  char path[MAX_PATH];
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return Folder(path);
}

std::string TempPath(const std::string& name) {
  char folder[MAX_PATH];
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + "tav_engine_" + std::to_string(GetCurrentProcessId()) + "_" + name;
}

// A triangle of `step` per frame between -15000 and +15000, starting at `at`.
int16_t Triangle(int f, int step, int at) {
  const int t = (at + f * step) % 60000;
  return static_cast<int16_t>(t < 30000 ? t - 15000 : 45000 - t);
}

// Interleaved stereo frames: continuous triangles that move 7 and 3 per frame,
// so a frame lost, repeated or out of place shows as a difference of several
// steps. Every sample stays within +-16384 (the level tap's 32767/32768
// rescale leaves those values as they are).
std::vector<int16_t> TestSignal(int frames) {
  std::vector<int16_t> s(static_cast<size_t>(frames) * 2);
  for (int f = 0; f < frames; ++f) {
    s[2 * f] = Triangle(f, 7, 15000);
    s[2 * f + 1] = Triangle(f, 3, 41000);
  }
  return s;
}

void PutLe(std::ofstream& out, uint32_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.put(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void WriteWav(const std::string& path, const std::vector<int16_t>& samples, uint32_t rate = kRate) {
  std::ofstream out(path, std::ios::binary);
  const uint32_t data = static_cast<uint32_t>(samples.size() * 2);
  out.write("RIFF", 4);
  PutLe(out, 36 + data, 4);
  out.write("WAVEfmt ", 8);
  PutLe(out, 16, 4);
  PutLe(out, 1, 2);
  PutLe(out, 2, 2);
  PutLe(out, rate, 4);
  PutLe(out, rate * 4, 4);
  PutLe(out, 4, 2);
  PutLe(out, 16, 2);
  out.write("data", 4);
  PutLe(out, data, 4);
  out.write(reinterpret_cast<const char*>(samples.data()), data);
}

std::vector<int16_t> ReadCapture(const std::string& path) {
  const std::string bytes = tav::test::ReadFileBytes(path);
  if (bytes.size() < 44) return {};
  std::vector<int16_t> samples((bytes.size() - 44) / 2);
  std::memcpy(samples.data(), bytes.data() + 44, samples.size() * 2);
  return samples;
}

size_t Frames(const std::vector<int16_t>& s) { return s.size() / 2; }

// How the heard frames compare with the expected ones, frame by frame from
// the first. The tempo stage overlaps its pieces even at tempo 0 and may
// shift a piece by a frame or two, so each heard frame is compared with the
// expected frames up to 3 places around it: a frame from elsewhere in the
// file, a gap or a block out of order still shows as a large difference.
struct TComparison {
  bool longEnough = false;
  int largestNearby = 0;  // largest difference to the nearest of the frames around
  int largestInPlace = 0; // largest difference to the frame in the same place
};

TComparison Compare(const std::vector<int16_t>& heard, const std::vector<int16_t>& expected) {
  TComparison c;
  c.longEnough = heard.size() >= expected.size();
  if (!c.longEnough) return c;
  const long frames = static_cast<long>(Frames(expected));
  constexpr long kReach = 3;
  for (long f = 0; f < frames; ++f) {
    int nearest = 1 << 30;
    for (long g = std::max(0L, f - kReach); g <= std::min(frames - 1, f + kReach); ++g)
      nearest = std::min(nearest, std::max(std::abs(heard[2 * f] - expected[2 * g]),
                                           std::abs(heard[2 * f + 1] - expected[2 * g + 1])));
    c.largestNearby = std::max(c.largestNearby, nearest);
    for (int ch = 0; ch < 2; ++ch)
      c.largestInPlace = std::max(c.largestInPlace, std::abs(heard[2 * f + ch] - expected[2 * f + ch]));
  }
  return c;
}

// Every expected frame was heard, in order, within the tempo stage's rounding.
void ExpectHeardInOrder(const std::vector<int16_t>& heard, const std::vector<int16_t>& expected, const char* what) {
  const TComparison c = Compare(heard, expected);
  ASSERT_TRUE(c.longEnough) << what << ": " << Frames(heard) << " frames heard of " << Frames(expected);
  EXPECT_LE(c.largestNearby, 8) << what;
  EXPECT_LE(c.largestInPlace, 32) << what;
  std::printf("[ figures ] %s: %zu frames heard for %zu, largest difference %d (in place %d)\n", what,
              Frames(heard), Frames(expected), c.largestNearby, c.largestInPlace);
}

// The parent window the DSP modules are given: answers their WM_USER queries
// as the effects window does for the two that the tests use.
std::vector<LPARAM> QueriesSeen;

LRESULT CALLBACK ParentProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_USER) {
    QueriesSeen.push_back(lParam);
    if (lParam == kQuerySampleRate) return static_cast<LRESULT>(StreamState.ChannelInfo.freq);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

HWND MakeParent() {
  WNDCLASSW wc{};
  wc.lpfnWndProc = &ParentProc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = L"TavEngineTestParent";
  RegisterClassW(&wc);
  return CreateWindowExW(0, wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
}

void PumpMessages() {
  MSG message;
  while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&message);
}

class EngineUnderWine : public ::testing::Test {
 protected:
  void SetUp() override {
    capture_ = TempPath(std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()) + ".wav");
    DeleteFileA(capture_.c_str());
    // bass.dll reads the variable through the same C runtime when device 0 starts.
    _putenv_s("TAVOLEN_NOSOUND_CAPTURE", capture_.c_str());
    ASSERT_TRUE(BASS_Init(0, kRate, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    deviceUp_ = true;
    PassState.DspActive = false;
    StreamState.CompatBuffer = false;
    parent_ = MakeParent();
    ASSERT_NE(parent_, nullptr);
    QueriesSeen.clear();
  }

  void TearDown() override {
    StopDSP();
    FreeDevice();
    DestroyWindow(parent_);
    DeleteFileA(capture_.c_str());
    for (const auto& file : files_) DeleteFileA(file.c_str());
  }

  void FreeDevice() {
    if (!deviceUp_) return;
    BASS_StreamFree(StreamState.OutStream);
    BASS_StreamFree(StreamState.DecodeStream);
    StreamState.OutStream = 0;
    StreamState.DecodeStream = 0;
    BASS_Free();  // ends the capture file
    deviceUp_ = false;
  }

  std::string MakeWav(const std::vector<int16_t>& samples, uint32_t rate = kRate) {
    files_.push_back(TempPath("source.wav"));
    WriteWav(files_.back(), samples, rate);
    return files_.back();
  }

  // Plays OutStream until it stops by itself, answering window messages
  // meanwhile; returns the seconds it took.
  double PlayToEnd(double timeoutSeconds = 30.0) {
    const auto start = Clock::now();
    BASS_ChannelPlay(StreamState.OutStream, FALSE);
    while (BASS_ChannelIsActive(StreamState.OutStream) != BASS_ACTIVE_STOPPED) {
      if (std::chrono::duration<double>(Clock::now() - start).count() > timeoutSeconds) {
        ADD_FAILURE() << "still playing after " << timeoutSeconds << " s";
        break;
      }
      PumpMessages();
      Sleep(5);
    }
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  // What device 0 played, once the device is freed.
  std::vector<int16_t> Heard() {
    FreeDevice();
    return ReadCapture(capture_);
  }

  // Loads the test library and hands it the report; DspLibHandle is the
  // host's only reference, so freeing it unmaps the library.
  void LoadTestModules() {
    LoadDSP(ProgramFolder() + "dsp_engine_test.dll", parent_);
    ASSERT_NE(DspHostState.DspLibHandle, nullptr);
    auto attach = reinterpret_cast<TTestDspAttach>(
        reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(DspHostState.DspLibHandle), "TestDspAttach")));
    ASSERT_NE(attach, nullptr);
    attach(&report_);
  }

  void StartModule(int index) {
    LoadTestModules();
    PassState.DspModuleIndex = index;
    InitDSPModule(index);
    PassState.DspActive = true;
  }

  // Starts playing, waits (answering no window message) until the module
  // sets `flag`, then stops the module; returns the seconds the stop took, or
  // -1 when the flag was never set.
  double PlayAndStopOnceSet(const std::atomic<int>& flag) {
    BASS_ChannelPlay(StreamState.OutStream, FALSE);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (flag.load() == 0 && Clock::now() < deadline) Sleep(1);
    if (flag.load() == 0) return -1.0;
    const auto start = Clock::now();
    StopDSP();
    return std::chrono::duration<double>(Clock::now() - start).count();
  }

  static bool TestLibraryMapped() { return GetModuleHandleA("dsp_engine_test.dll") != nullptr; }

  std::string capture_;
  std::vector<std::string> files_;
  bool deviceUp_ = false;
  HWND parent_ = nullptr;
  TTestDspReport report_;
};

TEST_F(EngineUnderWine, WavPlaysThroughDeviceZeroToItsLastSample) {
  const auto source = TestSignal(2 * kRate);
  ASSERT_TRUE(OpenStream(MakeWav(source), false));
  EXPECT_EQ(StreamState.ChannelInfo.freq, static_cast<DWORD>(kRate));
  EXPECT_EQ(StreamState.ProcChannels, 2);
  const double seconds = PlayToEnd();
  const auto heard = Heard();
  EXPECT_GE(Frames(heard), Frames(source));
  EXPECT_LE(Frames(heard), Frames(source) + 4096) << "no more than the tempo stage's tail";
  ExpectHeardInOrder(heard, source, "the whole file");
  EXPECT_NEAR(seconds, 2.0, 0.5);
  std::printf("[ figures ] played in %.3f s\n", seconds);
}

// Files above the device's rates open with an output stream and are heard:
// the device mixes whatever rate it gets.
TEST_F(EngineUnderWine, HighRateWavsPlayAndAreHeard) {
  for (const uint32_t rate : {176400u, 192000u}) {
    SCOPED_TRACE(rate);
    const auto source = TestSignal(static_cast<int>(rate));  // one second
    ASSERT_TRUE(OpenStream(MakeWav(source, rate), false));
    EXPECT_EQ(StreamState.ChannelInfo.freq, rate);
    ASSERT_NE(StreamState.OutStream, 0u) << "no output stream";
    const double seconds = PlayToEnd();
    EXPECT_NEAR(seconds, 1.0, 0.5);
    const auto heard = Heard();
    int peak = 0;
    for (const int16_t v : heard) peak = std::max(peak, std::abs(static_cast<int>(v)));
    EXPECT_GE(Frames(heard), static_cast<size_t>(kRate * 9 / 10));
    EXPECT_GT(peak, 10000) << "the capture holds the sound";
    ASSERT_TRUE(BASS_Init(0, kRate, 0, nullptr, nullptr));
    deviceUp_ = true;
  }
}

TEST_F(EngineUnderWine, TempoPlus45PercentShortensThePlayTime) {
  const auto source = TestSignal(2 * kRate);
  ASSERT_TRUE(OpenStream(MakeWav(source), false));
  ASSERT_TRUE(BASS_ChannelSetAttribute(StreamState.DecodeStream, BASS_ATTRIB_TEMPO, 45.0f));
  const double seconds = PlayToEnd();
  const auto heard = Heard();
  const double expected = Frames(source) / 1.45;
  EXPECT_NEAR(static_cast<double>(Frames(heard)), expected, 0.03 * expected);
  EXPECT_NEAR(seconds, 2.0 / 1.45, 0.4);
  std::printf("[ figures ] %zu frames heard (%.4f of the source) in %.3f s\n", Frames(heard),
              static_cast<double>(Frames(heard)) / Frames(source), seconds);
}

TEST_F(EngineUnderWine, ReversePlaysBackwards) {
  const auto source = TestSignal(2 * kRate);
  ASSERT_TRUE(OpenStream(MakeWav(source), false));
  const DWORD reverse = BASS_FX_TempoGetSource(StreamState.DecodeStream);
  ASSERT_TRUE(BASS_ChannelSetAttribute(reverse, BASS_ATTRIB_REVERSE_DIR, static_cast<float>(BASS_FX_RVS_REVERSE)));
  SeekTenths(15);  // backwards from 1.5 s to the start
  PlayToEnd();
  const auto heard = Heard();
  const int from = 15 * kRate / 10;
  std::vector<int16_t> backwards;
  for (int f = from - 1; f >= 0; --f) {
    backwards.push_back(source[2 * f]);
    backwards.push_back(source[2 * f + 1]);
  }
  EXPECT_GE(Frames(heard), Frames(backwards));
  ExpectHeardInOrder(heard, backwards, "backwards from 1.5 s");
}

TEST_F(EngineUnderWine, DspHostListsStartsAndFeedsModuleOne) {
  LoadTestModules();
  EXPECT_EQ(GetDSPDescription(), "Tavolen engine test modules");
  ASSERT_EQ(GetDSPModuleCount(), kTestModuleCount);
  const char* names[] = {"Keep", "Halve", "Bad count", "Fault", "Sleep", "Ask host"};
  for (int i = 0; i < kTestModuleCount; ++i) EXPECT_EQ(GetDSPModuleDescription(i), names[i]);
  UnloadDSP();
  EXPECT_FALSE(TestLibraryMapped());

  const auto source = TestSignal(kRate);
  ASSERT_TRUE(OpenStream(MakeWav(source), false));
  StartModule(1);
  EXPECT_EQ(report_.initCalls.load(), 1);
  EXPECT_EQ(report_.parentSeen.load(), static_cast<void*>(parent_));
  EXPECT_EQ(report_.instanceSeen.load(), DspHostState.DspLibHandle);
  PlayToEnd();
  EXPECT_TRUE(PassState.DspActive);
  EXPECT_GE(report_.modifyCalls.load(), static_cast<int>(Frames(source) / 1152));
  EXPECT_EQ(report_.lastBps.load(), 16);
  EXPECT_EQ(report_.lastChannels.load(), 2);
  EXPECT_EQ(report_.lastRate.load(), kRate);
  StopDSP();
  EXPECT_EQ(report_.quitCalls.load(), 1);
  EXPECT_FALSE(TestLibraryMapped());

  std::vector<int16_t> halved(source);
  for (auto& s : halved) s = static_cast<int16_t>(s >> 1);
  const auto heard = Heard();
  ExpectHeardInOrder(heard, halved, "module 1's output");
}

TEST_F(EngineUnderWine, FaultingModuleLeavesDspActiveFalseAndPlaybackGoing) {
  const auto source = TestSignal(kRate);
  ASSERT_TRUE(OpenStream(MakeWav(source), false));
  StartModule(3);
  PlayToEnd();
  EXPECT_FALSE(PassState.DspActive);
  EXPECT_EQ(report_.modifyCalls.load(), 1);
  const auto heard = Heard();
  ExpectHeardInOrder(heard, source, "the faulted block and all after it");
}

TEST_F(EngineUnderWine, BadModuleCountsAreKeptInsideTheBuffer) {
  const auto source = TestSignal(kRate / 4);
  ASSERT_TRUE(OpenStream(MakeWav(source), false));
  StartModule(2);
  PlayToEnd();
  EXPECT_TRUE(PassState.DspActive);
  const auto heard = Heard();
  // A negative count drops the block; a too large one yields the whole room.
  EXPECT_GT(report_.tooLargeAnswers.load(), 0);
  EXPECT_EQ(Frames(heard), static_cast<size_t>(report_.tooLargeAnswers.load()) * kRoomFrames);
}

TEST_F(EngineUnderWine, StopDuringASleepingCallWaitsForIt) {
  const auto source = TestSignal(kRate);
  ASSERT_TRUE(OpenStream(MakeWav(source), false));
  report_.sleepMs = 400;
  StartModule(4);
  const double stopSeconds = PlayAndStopOnceSet(report_.inside);
  EXPECT_EQ(report_.inside.load(), 0);
  EXPECT_EQ(report_.quitCalls.load(), 1);
  EXPECT_EQ(report_.quitWhileInside.load(), 0);
  EXPECT_FALSE(TestLibraryMapped());
  EXPECT_GT(stopSeconds, 0.2) << "the stop waited for the rest of the 400 ms call";
  EXPECT_LT(stopSeconds, 1.0);
  PlayToEnd();
  const auto heard = Heard();
  ExpectHeardInOrder(heard, source, "playback went on to the end");
  std::printf("[ figures ] stop waited %.3f s for the sleeping call\n", stopSeconds);
}

TEST_F(EngineUnderWine, ModuleAskingItsParentFromTheAudioThreadCanBeStopped) {
  const auto source = TestSignal(kRate);
  ASSERT_TRUE(OpenStream(MakeWav(source), false));
  StartModule(5);
  EXPECT_EQ(report_.reinitAnswer.load(), 0);  // query 105 from Init, answered on this thread
  // The audio thread will wait inside SendMessage for this thread.
  const double stopSeconds = PlayAndStopOnceSet(report_.sending);
  ASSERT_GE(stopSeconds, 0.0) << "the module never asked";
  EXPECT_LT(stopSeconds, 1.0) << "the stop answered the query instead of waiting for it";
  EXPECT_EQ(report_.rateAnswer.load(), kRate);
  EXPECT_EQ(report_.quitWhileInside.load(), 0);
  EXPECT_FALSE(TestLibraryMapped());
  ASSERT_GE(QueriesSeen.size(), 2u);
  EXPECT_EQ(QueriesSeen[0], kQueryReinit);
  EXPECT_EQ(QueriesSeen[1], kQuerySampleRate);
  PlayToEnd();
  ExpectHeardInOrder(Heard(), source, "after a stop during a query");
}

// Libraries whose header, module or description lie in no memory are freed
// again and list nothing; the player goes on and the next library loads.
TEST_F(EngineUnderWine, LibrariesWithRecordsInNoMemoryAreRefused) {
  for (const char* name : {"dsp_bad_header.dll", "dsp_bad_module.dll", "dsp_bad_text.dll"}) {
    SCOPED_TRACE(name);
    LoadDSP(ProgramFolder() + name, parent_);
    EXPECT_TRUE(DspHostState.DspLibFaulted);
    EXPECT_FALSE(DspHostState.DspLibLoaded.load());
    EXPECT_EQ(GetDSPDescription(), "");
    EXPECT_EQ(GetDSPModuleCount(), 0);
    EXPECT_EQ(GetModuleHandleA(name), nullptr) << "freed again";
  }
  LoadTestModules();
  EXPECT_FALSE(DspHostState.DspLibFaulted);
  EXPECT_EQ(GetDSPModuleCount(), kTestModuleCount);
  EXPECT_EQ(GetDSPDescription(), "Tavolen engine test modules");
  UnloadDSP();
}

// The formats' names and patterns come in the system code page, as device
// names do; the filter is UTF-8.
TEST(AddOnFormatsUnderWine, NamesAreConvertedFromTheSystemCodePage) {
  const char name[] = "Caf\xE9 \xC4udio";
  const char exts[] = "*.caf\xE9";
  auto utf8 = [](const char* text) {
    wchar_t wide[64];
    const int n = MultiByteToWideChar(CP_ACP, 0, text, -1, wide, 64);
    char out[128];
    WideCharToMultiByte(CP_UTF8, 0, wide, n, out, sizeof out, nullptr, nullptr);
    return std::string(out);
  };
  ASSERT_NE(utf8(name), name) << "the system code page is UTF-8 here";
  const std::string filter = BuildOpenFilter({BASS_PLUGINFORM{0x10000, name, exts}});
  EXPECT_NE(filter.find("|" + utf8(name) + "(" + utf8(exts) + ")|" + utf8(exts) + "|"), std::string::npos) << filter;
  EXPECT_EQ(filter.find(name), std::string::npos);
}

// Real-world files and look-alikes through the player's OpenStream: a stream decoder
// first, a tracker module when that fails; the decoder under the reverse and tempo
// stages is the right one, or nothing opens.
TEST_F(EngineUnderWine, OpenStreamGivesEachFileToTheRightDecoder) {
  struct Case {
    const char* file;
    DWORD ctype;  // 0: refused
  };
  const Case cases[] = {
      {"sync_samples.mod", BASS_CTYPE_MUSIC_MOD}, {"untitled.mod", BASS_CTYPE_MUSIC_MOD},
      {"plain.mod", BASS_CTYPE_MUSIC_MOD},        {"big_id3.mp3", BASS_CTYPE_STREAM_MP3},
      {"padded.mp3", BASS_CTYPE_STREAM_MP3},      {"joined.mp3", BASS_CTYPE_STREAM_MP3},
      {"elf.bin", 0},                             {"image.png", 0},
      {"image.jpg", 0},                           {"random.bin", 0},
      {"empty.bin", 0},                           {"info_only.mp3", 0},
      {"one_frame.mp3", 0},
  };
  for (const Case& c : cases) {
    const std::string path = tav::test::MediaPath(std::string("detect\\") + c.file);
    const bool opened = OpenStream(path, false);
    EXPECT_EQ(opened, c.ctype != 0) << c.file;
    if (!opened || !c.ctype) continue;
    const DWORD reverse = BASS_FX_TempoGetSource(StreamState.DecodeStream);
    const DWORD decoder = BASS_FX_ReverseGetSource(reverse);
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(decoder, &info)) << c.file;
    EXPECT_EQ(info.ctype, c.ctype) << c.file;
  }
}

}  // namespace
