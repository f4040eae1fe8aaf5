// Decoding file streams, the DSP/FX chain and handles through the exported C functions
// only, as the player calls them: lengths, positions and seeks, the loop flag, 8-bit
// sources, 8-bit file names, chain order and removal while the update thread runs the
// chain, stale handles and the error codes of bad files.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "bass.h"
#include "bass_ext.h"
#include "tav/test/media.h"

namespace {

constexpr DWORD kDecodeFlags = BASS_STREAM_DECODE | BASS_STREAM_PRESCAN | BASS_SAMPLE_FX;  // the player's, loop aside
constexpr DWORD kBlock = 4608;
constexpr QWORD kNoValue = ~QWORD{0};

HSTREAM open_media(const char* name, DWORD flags = kDecodeFlags) {
  const std::string path = tav::test::MediaPath(name);
  return BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, flags);
}

std::vector<int16_t> read_bytes(DWORD h, QWORD bytes) {
  std::vector<int16_t> out;
  std::vector<int16_t> block(kBlock / 2);
  while (out.size() * 2 < bytes) {
    const DWORD want = static_cast<DWORD>(std::min<QWORD>(kBlock, bytes - out.size() * 2));
    const DWORD n = BASS_ChannelGetData(h, block.data(), want);
    if (n == static_cast<DWORD>(-1) || n == 0) break;
    out.insert(out.end(), block.begin(), block.begin() + n / 2);
  }
  return out;
}

// Samples decoded twice from the same place. A lossy decoder restarted by a seek may
// round its float output differently by one step (mpg123's 32-bit synthesis does);
// a position off by even one frame of these tones differs by hundreds.
bool same_samples(std::vector<int16_t>::const_iterator a, std::vector<int16_t>::const_iterator a_end,
                  std::vector<int16_t>::const_iterator b, int tolerance) {
  return std::equal(a, a_end, b, [tolerance](int16_t x, int16_t y) { return std::abs(x - y) <= tolerance; });
}

struct MediaCase {
  const char* file;
  DWORD rate;
  DWORD chans;
  QWORD frames;
  DWORD ctype;
};

class BassFileStream : public ::testing::TestWithParam<MediaCase> {};

TEST_P(BassFileStream, LengthPositionSeekAndEnd) {
  const MediaCase& m = GetParam();
  const int tolerance = m.ctype == BASS_CTYPE_STREAM_WAV ? 0 : 1;
  const HSTREAM h = open_media(m.file);
  ASSERT_NE(h, 0u) << m.file << " error " << BASS_ErrorGetCode();
  BASS_CHANNELINFO info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
  EXPECT_EQ(info.freq, m.rate);
  EXPECT_EQ(info.chans, m.chans);
  EXPECT_EQ(info.ctype, m.ctype);
  EXPECT_EQ(info.flags & (BASS_SAMPLE_8BITS | BASS_SAMPLE_LOOP), 0u);
  const DWORD frame = 2 * m.chans;
  const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
  ASSERT_EQ(length, m.frames * frame);
  EXPECT_DOUBLE_EQ(BASS_ChannelBytes2Seconds(h, length), static_cast<double>(m.frames) / m.rate);
  EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 1.0), QWORD{m.rate} * frame);
  EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 0.5 / m.rate + 1.0), QWORD{m.rate} * frame) << "whole frames";

  // every block is whole frames and not empty until the real end; position = length at the end
  std::vector<int16_t> all, block(kBlock / 2);
  for (;;) {
    const DWORD n = BASS_ChannelGetData(h, block.data(), kBlock - 2);  // not a whole number of frames
    if (n == static_cast<DWORD>(-1)) break;
    ASSERT_GT(n, 0u) << "0 before the end";
    ASSERT_EQ(n % frame, 0u);
    all.insert(all.end(), block.begin(), block.begin() + n / 2);
    ASSERT_LE(all.size() * 2, length);
  }
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
  EXPECT_EQ(all.size() * 2, length);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), length);
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_STOPPED));

  // seeks: inside lands on the frame, past the end and "negative" fail and change nothing
  const QWORD mid = (m.frames / 3) * frame;
  ASSERT_TRUE(BASS_ChannelSetPosition(h, mid, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), mid);
  const auto part = read_bytes(h, 4000 * frame);
  ASSERT_EQ(part.size(), 4000u * m.chans);
  EXPECT_TRUE(same_samples(part.begin(), part.end(), all.begin() + mid / 2, tolerance)) << "sample-exact seek";
  const QWORD here = BASS_ChannelGetPosition(h, BASS_POS_BYTE);
  EXPECT_FALSE(BASS_ChannelSetPosition(h, length + frame, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
  EXPECT_FALSE(BASS_ChannelSetPosition(h, BASS_ChannelSeconds2Bytes(h, -1.0), BASS_POS_BYTE));
  EXPECT_FALSE(BASS_ChannelSetPosition(h, static_cast<QWORD>(-int64_t{frame}), BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), here);
  ASSERT_TRUE(BASS_ChannelSetPosition(h, length, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetData(h, block.data(), kBlock), static_cast<DWORD>(-1));

  // the loop flag: at the end the stream wraps to 0 and keeps producing
  EXPECT_EQ(BASS_ChannelFlags(h, BASS_SAMPLE_LOOP, BASS_SAMPLE_LOOP) & BASS_SAMPLE_LOOP, DWORD{BASS_SAMPLE_LOOP});
  ASSERT_TRUE(BASS_ChannelSetPosition(h, length - 100 * frame, BASS_POS_BYTE));
  const auto wrapped = read_bytes(h, 300 * frame);
  ASSERT_EQ(wrapped.size(), 300u * m.chans);
  EXPECT_TRUE(same_samples(wrapped.begin(), wrapped.begin() + 100 * m.chans, all.end() - 100 * m.chans, tolerance));
  EXPECT_TRUE(same_samples(wrapped.begin() + 100 * m.chans, wrapped.end(), all.begin(), tolerance));
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), 200u * frame);
  EXPECT_EQ(BASS_ChannelFlags(h, 0, BASS_SAMPLE_LOOP) & BASS_SAMPLE_LOOP, 0u);
  EXPECT_TRUE(BASS_StreamFree(h));
}

INSTANTIATE_TEST_SUITE_P(Media, BassFileStream,
                         ::testing::Values(MediaCase{"tone44k_stereo.wav", 44100, 2, 88200, BASS_CTYPE_STREAM_WAV},
                                           MediaCase{"tone44k_mono.wav", 44100, 1, 44100, BASS_CTYPE_STREAM_WAV},
                                           MediaCase{"tone48k_stereo.wav", 48000, 2, 48000, BASS_CTYPE_STREAM_WAV},
                                           MediaCase{"tone44k_stereo.mp3", 44100, 2, 88200, BASS_CTYPE_STREAM_MP3},
                                           MediaCase{"tone44k_stereo.ogg", 44100, 2, 88200, BASS_CTYPE_STREAM_OGG}),
                         [](const auto& info) {
                           std::string n = info.param.file;
                           std::replace(n.begin(), n.end(), '.', '_');
                           return n;
                         });

std::vector<uint8_t> u8_wav(const std::vector<uint8_t>& samples) {
  std::vector<uint8_t> b;
  auto put = [&](uint32_t v, int n) {
    for (int i = 0; i < n; ++i) b.push_back(static_cast<uint8_t>(v >> (8 * i)));
  };
  auto tag = [&](const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(t[i]));
  };
  tag("RIFF");
  put(36 + static_cast<uint32_t>(samples.size()), 4);
  tag("WAVE");
  tag("fmt ");
  put(16, 4);
  put(1, 2);
  put(1, 2);
  put(22050, 4);
  put(22050, 4);
  put(1, 2);
  put(8, 2);
  tag("data");
  put(static_cast<uint32_t>(samples.size()), 4);
  b.insert(b.end(), samples.begin(), samples.end());
  return b;
}

TEST(BassFileStreams, EightBitSourcesAreDecodedAs16Bit) {
  const std::vector<uint8_t> samples = {0, 1, 127, 128, 129, 255};
  const auto file = u8_wav(samples);
  const HSTREAM h = BASS_StreamCreateFile(TRUE, file.data(), 0, file.size(), kDecodeFlags);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  BASS_CHANNELINFO info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
  EXPECT_EQ(info.flags & BASS_SAMPLE_8BITS, 0u);
  EXPECT_EQ(info.origres, 8u);
  EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), samples.size() * 2);
  int16_t out[6];
  ASSERT_EQ(BASS_ChannelGetData(h, out, sizeof out), sizeof out);
  for (size_t i = 0; i < samples.size(); ++i) EXPECT_EQ(out[i], (samples[i] - 128) * 256) << i;
  EXPECT_TRUE(BASS_StreamFree(h));
}

TEST(BassFileStreams, BadFilesFailWithACode) {
  struct Case {
    const char* what;
    std::vector<uint8_t> bytes;
    int error;
  };
  auto truncated = u8_wav(std::vector<uint8_t>(100, 128));
  truncated.resize(30);
  auto zero_channels = u8_wav(std::vector<uint8_t>(100, 128));
  zero_channels[22] = 0;
  const std::vector<Case> cases = {
      {"truncated", truncated, BASS_ERROR_FILEFORM},
      {"zero channels", zero_channels, BASS_ERROR_FORMAT},
      {"noise", std::vector<uint8_t>(5000, 0x11), BASS_ERROR_FILEFORM},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(BASS_StreamCreateFile(TRUE, c.bytes.data(), 0, c.bytes.size(), kDecodeFlags), 0u) << c.what;
    EXPECT_EQ(BASS_ErrorGetCode(), c.error) << c.what;
  }
  EXPECT_EQ(BASS_StreamCreateFile(TRUE, cases[0].bytes.data(), 0, 0, kDecodeFlags), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_EMPTY);
  const std::string missing = tav::test::MediaPath("no such file.wav");
  EXPECT_EQ(BASS_StreamCreateFile(FALSE, missing.c_str(), 0, 0, kDecodeFlags), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN);
}

#ifdef _WIN32
TEST(BassFileStreams, FileNamesAreInTheAnsiCodePage) {
  // a name with a character outside ASCII that the ANSI code page can hold
  const wchar_t* candidates[] = {L"t\u00EBst_\u00E9.wav", L"t\u4E2D\u6587.wav", L"t\u0434.wav"};
  const std::string media = tav::test::MediaPath("tone44k_mono.wav");
  for (const wchar_t* name : candidates) {
    char ansi[MAX_PATH];
    BOOL lossy = FALSE;
    if (!WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, name, -1, ansi, sizeof ansi, nullptr, &lossy) || lossy)
      continue;
    wchar_t dir[MAX_PATH];
    GetTempPathW(MAX_PATH, dir);
    const std::wstring wide = std::wstring(dir) + name;
    std::wstring wmedia(media.begin(), media.end());
    ASSERT_TRUE(CopyFileW(wmedia.c_str(), wide.c_str(), FALSE));
    char adir[MAX_PATH];
    GetTempPathA(MAX_PATH, adir);
    const std::string path = std::string(adir) + ansi;
    const HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, kDecodeFlags);
    EXPECT_NE(h, 0u) << "error " << BASS_ErrorGetCode();
    EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), 44100u * 2);
    BASS_StreamFree(h);
    DeleteFileW(wide.c_str());
    return;
  }
  GTEST_SKIP() << "the ANSI code page holds none of the test names";
}
#endif

// --- the DSP/FX chain -------------------------------------------------------------

struct Probe {
  std::vector<int>* order;
  int id;
  std::atomic<int> calls{0};
  std::atomic<bool> inside{false};
  std::atomic<DWORD> bytes{0};
};

void BASSCALLBACK probe_dsp(HDSP, DWORD, void* buffer, DWORD length, void* user) {
  auto* p = static_cast<Probe*>(user);
  p->inside = true;
  if (p->order) p->order->push_back(p->id);
  p->bytes = length;
  auto* s = static_cast<float*>(buffer);
  for (DWORD i = 0; i < length / 4; ++i) s[i] *= 0.5f;  // float samples: halve them
  std::this_thread::yield();
  ++p->calls;
  p->inside = false;
}

// A test effect type registered through the extension interface: scales by its parameter.
struct ScaleFx {
  float gain = 1;
};
void* TAVCDECL scale_create(DWORD, DWORD, DWORD) { return new ScaleFx; }
void TAVCDECL scale_process(void* fx, float* s, DWORD frames) {
  for (DWORD i = 0; i < frames * 2; ++i) s[i] *= static_cast<ScaleFx*>(fx)->gain;
}
BOOL TAVCDECL scale_set(void* fx, const void* p) {
  static_cast<ScaleFx*>(fx)->gain = *static_cast<const float*>(p);
  return TRUE;
}
BOOL TAVCDECL scale_get(void* fx, void* p) {
  *static_cast<float*>(p) = static_cast<ScaleFx*>(fx)->gain;
  return TRUE;
}
void TAVCDECL scale_destroy(void* fx) { delete static_cast<ScaleFx*>(fx); }
constexpr DWORD kScaleFx = 0x7A000001;

TEST(BassChain, PriorityOrderFloatSamplesAndEffects) {
  ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, 1));
  const HSTREAM h = open_media("tone44k_stereo.wav");
  ASSERT_NE(h, 0u);
  const auto plain = read_bytes(h, kBlock);
  ASSERT_TRUE(BASS_ChannelSetPosition(h, 0, BASS_POS_BYTE));

  std::vector<int> order;
  Probe p2{&order, 2}, p1a{&order, 11}, p1b{&order, 12}, p0{&order, 0};
  const HDSP d0 = BASS_ChannelSetDSP(h, probe_dsp, &p0, 0);
  const HDSP d1a = BASS_ChannelSetDSP(h, probe_dsp, &p1a, 1);
  const HDSP d2 = BASS_ChannelSetDSP(h, probe_dsp, &p2, 2);
  const HDSP d1b = BASS_ChannelSetDSP(h, probe_dsp, &p1b, 1);
  ASSERT_TRUE(d0 && d1a && d2 && d1b);
  const auto processed = read_bytes(h, kBlock);
  EXPECT_EQ(order, (std::vector<int>{2, 11, 12, 0}));
  EXPECT_EQ(p2.bytes.load(), kBlock / 4 * 8) << "32-bit float samples of the block";
  for (size_t i = 0; i < plain.size(); ++i) ASSERT_NEAR(processed[i], plain[i] / 16.0, 0.5) << i;

  // an effect on the same chain, its parameters, and removal with a foreign handle
  TAV_FX_FUNCS funcs{sizeof funcs, scale_create, scale_process, scale_set, scale_get, nullptr, scale_destroy};
  ASSERT_TRUE(BASS_TAV_RegisterFX(kScaleFx, &funcs));
  const HFX fx = BASS_ChannelSetFX(h, kScaleFx, 1);
  ASSERT_NE(fx, 0u);
  const float gain = 0.25f;
  ASSERT_TRUE(BASS_FXSetParameters(fx, &gain));
  float read_back = 0;
  ASSERT_TRUE(BASS_FXGetParameters(fx, &read_back));
  EXPECT_EQ(read_back, gain);
  order.clear();
  ASSERT_TRUE(BASS_ChannelSetPosition(h, 0, BASS_POS_BYTE));
  const auto with_fx = read_bytes(h, kBlock);
  EXPECT_EQ(order, (std::vector<int>{2, 11, 12, 0}));
  for (size_t i = 0; i < plain.size(); ++i) ASSERT_NEAR(with_fx[i], plain[i] / 64.0, 0.5) << i;

  const HSTREAM other = open_media("tone44k_mono.wav");
  EXPECT_FALSE(BASS_ChannelRemoveDSP(other, d1a)) << "a handle of another channel";
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_FALSE(BASS_ChannelRemoveFX(h, d1a)) << "a DSP handle is no effect handle";
  EXPECT_TRUE(BASS_ChannelRemoveDSP(h, d1a));
  EXPECT_FALSE(BASS_ChannelRemoveDSP(h, d1a)) << "already removed";
  EXPECT_TRUE(BASS_ChannelRemoveFX(h, fx));
  EXPECT_FALSE(BASS_FXSetParameters(fx, &gain)) << "a removed effect";
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);

  // freeing the channel takes its chain with it
  EXPECT_TRUE(BASS_StreamFree(h));
  EXPECT_FALSE(BASS_ChannelRemoveDSP(h, d2));
  EXPECT_TRUE(BASS_StreamFree(other));
}

// The player's road: the update thread pulls blocks from a decoding stream inside the
// output stream's procedure while the GUI thread adds and removes DSP procedures and sets
// effect parameters. Once RemoveDSP returns the procedure is not running and never runs again.
struct Pump {
  HSTREAM decode = 0;
  std::atomic<int> blocks{0};
};

DWORD BASSCALLBACK pump_proc(HSTREAM, void* buffer, DWORD length, void* user) {
  auto* p = static_cast<Pump*>(user);
  DWORD done = 0;
  while (done + kBlock <= length) {
    const DWORD n = BASS_ChannelGetData(p->decode, static_cast<char*>(buffer) + done, kBlock);
    if (n == static_cast<DWORD>(-1) || n == 0) return done | BASS_STREAMPROC_END;
    done += n;
    ++p->blocks;
  }
  return done;
}

TEST(BassChain, RemovalIsSynchronousWhileTheUpdateThreadRunsTheChain) {
  ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_UPDATEPERIOD, 24));
  ASSERT_TRUE(BASS_SetConfig(BASS_CONFIG_FLOATDSP, 1));
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
  Pump pump;
  pump.decode = open_media("tone44k_stereo.wav", kDecodeFlags | BASS_SAMPLE_LOOP);
  ASSERT_NE(pump.decode, 0u);
  TAV_FX_FUNCS funcs{sizeof funcs, scale_create, scale_process, scale_set, scale_get, nullptr, scale_destroy};
  ASSERT_TRUE(BASS_TAV_RegisterFX(kScaleFx, &funcs));
  const HFX fx = BASS_ChannelSetFX(pump.decode, kScaleFx, 0);
  const HSTREAM out = BASS_StreamCreate(44100, 2, 0, pump_proc, &pump);
  ASSERT_TRUE(out && fx);
  ASSERT_TRUE(BASS_ChannelPlay(out, FALSE));

  int late_calls = 0, removed = 0;
  const auto until = std::chrono::steady_clock::now() + std::chrono::milliseconds(1500);
  while (std::chrono::steady_clock::now() < until) {
    Probe probe{nullptr, 0};
    const HDSP d = BASS_ChannelSetDSP(pump.decode, probe_dsp, &probe, removed % 3);
    ASSERT_NE(d, 0u);
    const float gain = removed % 2 ? 1.0f : 0.5f;
    EXPECT_TRUE(BASS_FXSetParameters(fx, &gain));
    std::this_thread::sleep_for(std::chrono::milliseconds(removed % 7));
    ASSERT_TRUE(BASS_ChannelRemoveDSP(pump.decode, d));
    if (probe.inside) ++late_calls;
    const int calls = probe.calls;
    std::this_thread::sleep_for(std::chrono::microseconds(300));
    if (probe.calls != calls) ++late_calls;
    ++removed;
  }
  EXPECT_EQ(late_calls, 0);
  EXPECT_GT(pump.blocks.load(), 40) << "the update thread kept pulling blocks (about 38 a second)";
  std::printf("%d procedures added and removed while %d blocks were pulled\n", removed, pump.blocks.load());
  EXPECT_TRUE(BASS_StreamFree(out));
  EXPECT_TRUE(BASS_StreamFree(pump.decode));
  EXPECT_TRUE(BASS_Free());
}

// --- handles ------------------------------------------------------------------------

TEST(BassHandles, StaleForeignAndZeroHandlesFailWithoutHarm) {
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
  std::set<DWORD> seen;
  for (int i = 0; i < 50; ++i) {
    const HSTREAM h = open_media("tone44k_mono.wav");
    ASSERT_NE(h, 0u);
    EXPECT_TRUE(seen.insert(h).second) << "a handle came back";
    const HDSP d = BASS_ChannelSetDSP(h, probe_dsp, nullptr, 0);
    EXPECT_TRUE(seen.insert(d).second) << "a handle came back";
    ASSERT_TRUE(BASS_StreamFree(h));
  }
  const HSTREAM stale = *seen.begin();
  const HSTREAM live = open_media("tone44k_mono.wav");
  const HDSP dsp = BASS_ChannelSetDSP(live, probe_dsp, nullptr, 0);
  float v = 0;
  BASS_CHANNELINFO info;
  char buffer[64];
  for (DWORD h : {DWORD{0}, stale, DWORD{dsp}, DWORD{0xFFFFFFFF}, DWORD{live ^ 0x1}}) {
    SCOPED_TRACE(h);
    EXPECT_FALSE(BASS_ChannelGetInfo(h, &info));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    EXPECT_EQ(BASS_ChannelGetData(h, buffer, sizeof buffer), static_cast<DWORD>(-1));
    EXPECT_FALSE(BASS_ChannelPlay(h, FALSE));
    EXPECT_FALSE(BASS_ChannelPause(h));
    EXPECT_FALSE(BASS_ChannelStop(h));
    EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), kNoValue);
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), kNoValue);
    EXPECT_FALSE(BASS_ChannelSetPosition(h, 0, BASS_POS_BYTE));
    EXPECT_LT(BASS_ChannelBytes2Seconds(h, 0), 0);
    EXPECT_EQ(BASS_ChannelSeconds2Bytes(h, 0), kNoValue);
    EXPECT_EQ(BASS_ChannelFlags(h, BASS_SAMPLE_LOOP, BASS_SAMPLE_LOOP), static_cast<DWORD>(-1));
    EXPECT_FALSE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 1));
    EXPECT_FALSE(BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &v));
    EXPECT_FALSE(BASS_ChannelSlideAttribute(h, BASS_ATTRIB_VOL, 0, 100));
    EXPECT_FALSE(BASS_ChannelSetDSP(h, probe_dsp, nullptr, 0));
    EXPECT_FALSE(BASS_ChannelRemoveDSP(h, dsp));
    EXPECT_FALSE(BASS_ChannelSetFX(h, kScaleFx, 0));
    EXPECT_FALSE(BASS_ChannelRemoveFX(live, h));
    EXPECT_FALSE(BASS_FXSetParameters(h, &v));
    EXPECT_FALSE(BASS_FXGetParameters(h, &v));
    EXPECT_FALSE(BASS_StreamFree(h));
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  }
  // what a decoding channel cannot do
  EXPECT_FALSE(BASS_ChannelPlay(live, FALSE));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_DECODE);
  EXPECT_TRUE(BASS_ChannelRemoveDSP(live, dsp));
  EXPECT_TRUE(BASS_StreamFree(live));
  EXPECT_TRUE(BASS_Free());
}

TEST(BassHandles, UserStreamArgumentsAndDeviceChecks) {
  EXPECT_EQ(BASS_StreamCreate(44100, 2, 0, pump_proc, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_INIT) << "no device initialised";
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr));
  EXPECT_EQ(BASS_StreamCreate(44100, 2, 0, nullptr, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
  EXPECT_EQ(BASS_StreamCreate(99, 2, 0, pump_proc, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FREQ);
  EXPECT_EQ(BASS_StreamCreate(44100, 0, 0, pump_proc, nullptr), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ILLPARAM);
  Pump pump;
  const HSTREAM h = BASS_StreamCreate(44100, 1, 0, pump_proc, &pump);
  ASSERT_NE(h, 0u);
  BASS_CHANNELINFO info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
  EXPECT_EQ(info.freq, 44100u);
  EXPECT_EQ(info.chans, 1u);
  float rate = 0;
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_FREQ, 22050));
  ASSERT_TRUE(BASS_ChannelGetAttribute(h, BASS_ATTRIB_FREQ, &rate));
  EXPECT_EQ(rate, 22050);
  EXPECT_FALSE(BASS_ChannelPause(h)) << "not playing";
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOPLAY);
  EXPECT_TRUE(BASS_Free()) << "frees the device's streams too";
  EXPECT_FALSE(BASS_ChannelGetInfo(h, &info));
  EXPECT_FALSE(BASS_Free());
}

// Stop, free the stream or free the device from inside the stream's own procedure: each
// returns (the procedure's own call ends when it returns); freeing the device there, which
// would have its update thread wait for itself, is refused with a code.
enum What { kStop, kStreamFree, kDeviceFree };
struct Inside {
  HSTREAM handle = 0;
  What what;
  std::atomic<bool> called{false};
  std::promise<std::pair<BOOL, int>> result;
};

DWORD BASSCALLBACK calls_back_inside(HSTREAM, void* buffer, DWORD length, void* user) {
  auto* in = static_cast<Inside*>(user);
  if (!in->called.exchange(true)) {
    const BOOL r = in->what == kStop         ? BASS_ChannelStop(in->handle)
                   : in->what == kStreamFree ? BASS_StreamFree(in->handle)
                                             : BASS_Free();
    in->result.set_value({r, BASS_ErrorGetCode()});
  }
  std::memset(buffer, 0, length);
  return length;
}

TEST(BassHandles, StopFreeAndDeviceFreeFromInsideTheProcedureReturn) {
  for (const What what : {kStop, kStreamFree, kDeviceFree}) {
    SCOPED_TRACE(what);
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
    Inside inside;
    inside.what = what;
    inside.handle = BASS_StreamCreate(44100, 2, 0, calls_back_inside, &inside);
    ASSERT_NE(inside.handle, 0u);
    auto result = inside.result.get_future();
    ASSERT_TRUE(BASS_ChannelPlay(inside.handle, FALSE));
    if (result.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      std::fprintf(stderr, "the call from inside the procedure did not return\n");
      std::abort();  // the update thread is stuck: nothing can end cleanly
    }
    const auto [answer, error] = result.get();
    BASS_CHANNELINFO info{};
    switch (what) {
      case kStop:
        EXPECT_TRUE(answer);
        EXPECT_EQ(BASS_ChannelIsActive(inside.handle), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
        EXPECT_TRUE(BASS_StreamFree(inside.handle));
        break;
      case kStreamFree:
        EXPECT_TRUE(answer);
        EXPECT_FALSE(BASS_ChannelGetInfo(inside.handle, &info)) << "freed";
        break;
      case kDeviceFree:
        EXPECT_FALSE(answer);
        EXPECT_EQ(error, BASS_ERROR_NOTAVAIL);
        EXPECT_TRUE(BASS_StreamFree(inside.handle)) << "the stream and its device are still there";
        break;
    }
    EXPECT_TRUE(BASS_Free());
  }
}

}  // namespace
