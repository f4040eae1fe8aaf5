// Tracker modules through the C interface: the channel that BASS_MusicLoad makes renders
// what libopenmpt renders, with the length, position, seek and loop behaviour of a file
// stream, and anything that is not a module fails with a code.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <cstdio>
#include <string>
#include <vector>

#include "bass.h"
#include "tav/test/module_files.h"
#include "wav_image.h"

namespace {

using Bytes = std::vector<uint8_t>;

constexpr DWORD kPlayerFlags = 0x220280;  // decode, prescan, ramping, effects allowed
constexpr DWORD kFloatFlags = kPlayerFlags | BASS_MUSIC_FLOAT;

struct ModuleCase {
  const char* name;
  Bytes (*make)();
  DWORD ctype;
};

const ModuleCase kModules[] = {
    {"Mod", tav::test::make_mod, BASS_CTYPE_MUSIC_MOD},
    {"S3m", tav::test::make_s3m, BASS_CTYPE_MUSIC_S3M},
    {"Xm", tav::test::make_xm, BASS_CTYPE_MUSIC_XM},
};

HMUSIC load(const Bytes& b, DWORD flags, DWORD freq) {
  return BASS_MusicLoad(TRUE, b.data(), 0, static_cast<DWORD>(b.size()), flags, freq);
}

// Everything the channel gives, as floats (the channel must have been loaded with BASS_MUSIC_FLOAT).
std::vector<float> read_all(DWORD h, size_t block_bytes = 4608) {
  std::vector<float> out, block(block_bytes / sizeof(float));
  for (;;) {
    const DWORD got = BASS_ChannelGetData(h, block.data(), static_cast<DWORD>(block_bytes));
    if (got == static_cast<DWORD>(-1) || got == 0) break;
    out.insert(out.end(), block.begin(), block.begin() + got / sizeof(float));
  }
  return out;
}

// libopenmpt called directly with the settings the library uses for these flags.
std::vector<float> reference_render(const Bytes& b, int rate) {
  openmpt_module* mod = openmpt_module_create_from_memory2(b.data(), b.size(), openmpt_log_func_silent, nullptr,
                                                           openmpt_error_func_ignore, nullptr, nullptr, nullptr,
                                                           nullptr);
  EXPECT_NE(mod, nullptr);
  if (!mod) return {};
  openmpt_module_set_repeat_count(mod, 0);
  openmpt_module_ctl_set_text(mod, "play.at_end", "stop");
  openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_VOLUMERAMPING_STRENGTH, -1);
  openmpt_module_set_render_param(mod, OPENMPT_MODULE_RENDER_INTERPOLATIONFILTER_LENGTH, 2);
  std::vector<float> out, block(2 * 1024);
  size_t n;
  while ((n = openmpt_module_read_interleaved_float_stereo(mod, rate, 1024, block.data())) > 0)
    out.insert(out.end(), block.begin(), block.begin() + 2 * n);
  openmpt_module_destroy(mod);
  return out;
}

double rms(const float* p, size_t n) {
  double s = 0;
  for (size_t i = 0; i < n; ++i) s += double(p[i]) * p[i];
  return n ? std::sqrt(s / n) : 0;
}

class Music : public ::testing::TestWithParam<ModuleCase> {};

TEST_P(Music, RendersWhatLibopenmptRendersForItsWholeLength) {
  const Bytes mod = GetParam().make();
  const HMUSIC h = load(mod, kFloatFlags, 48000);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  BASS_CHANNELINFO info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
  EXPECT_EQ(info.freq, 48000u);
  EXPECT_EQ(info.chans, 2u);
  EXPECT_EQ(info.ctype, GetParam().ctype);

  const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
  const QWORD expected_frames = static_cast<QWORD>(std::llround(tav::test::kModuleSeconds * 48000));
  EXPECT_EQ(length, expected_frames * 8);
  EXPECT_NEAR(BASS_ChannelBytes2Seconds(h, length), tav::test::kModuleSeconds, 1e-6);

  const std::vector<float> ours = read_all(h);
  EXPECT_EQ(ours.size() * sizeof(float), length);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), length);
  EXPECT_EQ(BASS_ChannelGetData(h, std::vector<float>(64).data(), 256), static_cast<DWORD>(-1));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_ENDED);
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_STOPPED));

  const std::vector<float> ref = reference_render(mod, 48000);
  const size_t common = std::min(ref.size(), ours.size());
  ASSERT_GT(common, ours.size() * 9 / 10);
  size_t differing = 0;
  for (size_t i = 0; i < common; ++i) differing += ours[i] != ref[i];
  EXPECT_EQ(differing, 0u);
  EXPECT_GT(rms(ours.data(), ours.size()), 0.02);
  EXPECT_TRUE(BASS_MusicFree(h));
}

TEST_P(Music, SeeksToAnyByteOfTheRenderedOutput) {
  const Bytes mod = GetParam().make();
  const HMUSIC h = load(mod, kFloatFlags, 44100);
  ASSERT_NE(h, 0u);
  const std::vector<float> whole = read_all(h);
  const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
  // into a row, past the middle of the pattern, and the last frames
  for (QWORD pos : {QWORD{8 * 12345}, length / 2 + 8 * 7, length - 8 * 100}) {
    ASSERT_TRUE(BASS_ChannelSetPosition(h, pos, BASS_POS_BYTE)) << pos;
    EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), pos);
    std::vector<float> part(2 * 100);
    ASSERT_EQ(BASS_ChannelGetData(h, part.data(), 800), 800u);
    const float* expect = whole.data() + pos / sizeof(float);
    double diff = 0;
    for (size_t i = 0; i < part.size(); ++i) diff = std::max(diff, double(std::fabs(part[i] - expect[i])));
    // libopenmpt restores the sample positions at the seek target to within a fraction of
    // a sample; on the square wave's edges that shows as small differences
    EXPECT_LT(diff, 0.15) << "at byte " << pos;
  }
  EXPECT_TRUE(BASS_ChannelSetPosition(h, length, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ChannelGetData(h, std::vector<float>(64).data(), 256), static_cast<DWORD>(-1));
  EXPECT_FALSE(BASS_ChannelSetPosition(h, length + 8, BASS_POS_BYTE));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_POSITION);
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), length);
  BASS_MusicFree(h);
}

INSTANTIATE_TEST_SUITE_P(Generated, Music, ::testing::ValuesIn(kModules),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(MusicLoad, LoopFlagWrapsToTheStartAndKeepsProducing) {
  const Bytes mod = tav::test::make_mod();
  const HMUSIC h = load(mod, kPlayerFlags | BASS_MUSIC_LOOP, 44100);
  ASSERT_NE(h, 0u);
  const QWORD length = BASS_ChannelGetLength(h, BASS_POS_BYTE);
  std::vector<char> block(4608);
  QWORD total = 0;
  while (total < length + 10 * 4608) {
    const DWORD got = BASS_ChannelGetData(h, block.data(), 4608);
    ASSERT_EQ(got, 4608u) << "ended at " << total;
    total += got;
  }
  EXPECT_EQ(BASS_ChannelGetPosition(h, BASS_POS_BYTE), total - length);
  // switched off, it plays to the end of the module and stops
  BASS_ChannelFlags(h, 0, BASS_MUSIC_LOOP);
  QWORD rest = 0;
  DWORD got;
  while ((got = BASS_ChannelGetData(h, block.data(), 4608)) != static_cast<DWORD>(-1)) rest += got;
  EXPECT_EQ(total - length + rest, length);
  BASS_MusicFree(h);
}

TEST(MusicLoad, WithoutPrescanTheLengthIsUnknownButTheModuleStillEnds) {
  const Bytes mod = tav::test::make_s3m();
  const HMUSIC h = load(mod, BASS_MUSIC_DECODE | BASS_MUSIC_FLOAT, 44100);
  ASSERT_NE(h, 0u);
  EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), ~QWORD{0});
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  EXPECT_NEAR(read_all(h).size() / 2 / 44100.0, tav::test::kModuleSeconds, 0.01);
  BASS_MusicFree(h);
}

TEST(MusicLoad, RateZeroIsTheDeviceRateAndMonoGivesOneChannel) {
  const Bytes mod = tav::test::make_xm();
  ASSERT_TRUE(BASS_Init(0, 22050, 0, 0, nullptr));
  const HMUSIC h = load(mod, kPlayerFlags | BASS_MUSIC_MONO, 0);
  ASSERT_NE(h, 0u);
  BASS_CHANNELINFO info{};
  ASSERT_TRUE(BASS_ChannelGetInfo(h, &info));
  EXPECT_EQ(info.freq, 22050u);
  EXPECT_EQ(info.chans, 1u);
  EXPECT_EQ(BASS_ChannelGetLength(h, BASS_POS_BYTE), static_cast<QWORD>(std::llround(7.68 * 22050)) * 2);
  BASS_MusicFree(h);
  BASS_Free();
}

TEST(MusicLoad, LoadsFromAFileAndFreesByType) {
  const Bytes mod = tav::test::make_xm();
  const std::string path = "music_test_module.xm";
  {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(mod.data(), 1, mod.size(), f);
    std::fclose(f);
  }
  const HMUSIC h = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, kPlayerFlags, 44100);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  // a module is not a stream, and a stream is not a module
  EXPECT_FALSE(BASS_StreamFree(h));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_NE(BASS_ChannelGetLength(h, BASS_POS_BYTE), ~QWORD{0});
  EXPECT_TRUE(BASS_MusicFree(h));
  EXPECT_FALSE(BASS_MusicFree(h));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  std::remove(path.c_str());
}

TEST(MusicLoad, WhatIsNotAModuleFailsWithACode) {
  // a PCM WAV file: a stream, not a module
  const Bytes wav = tav::test::wav_image(std::vector<int16_t>(2000, 100), 44100, 2);
  Bytes noise(20000);
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<uint8_t>(i * 7 % 13);
  Bytes cut = tav::test::make_xm();
  cut.resize(70);

  struct Bad {
    const char* what;
    const Bytes* bytes;
    int error;
  };
  for (const Bad& bad : {Bad{"wav", &wav, BASS_ERROR_FILEFORM}, Bad{"noise", &noise, BASS_ERROR_FILEFORM},
                         Bad{"cut xm", &cut, BASS_ERROR_FILEFORM}}) {
    EXPECT_EQ(load(*bad.bytes, kPlayerFlags, 44100), 0u) << bad.what;
    EXPECT_EQ(BASS_ErrorGetCode(), bad.error) << bad.what;
  }
  const Bytes mod = tav::test::make_mod();
  EXPECT_EQ(BASS_MusicLoad(TRUE, mod.data(), 0, 0, kPlayerFlags, 44100), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_EMPTY);
  EXPECT_EQ(load(mod, kPlayerFlags, 1000), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FREQ);
  EXPECT_EQ(load(mod, kPlayerFlags & ~BASS_MUSIC_DECODE, 44100), 0u);
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_NOTAVAIL);
  // the player tries a module after a failed stream, for files and addresses alike
  for (const char* name : {"http://127.0.0.1:9/song.mod", "no such file.mod"}) {
    EXPECT_EQ(BASS_MusicLoad(FALSE, name, 0, 0, kPlayerFlags, 0), 0u) << name;
    EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_FILEOPEN) << name;
  }
  // a stream is not freed as a module
  const HSTREAM s = BASS_StreamCreateFile(TRUE, wav.data(), 0, wav.size(), BASS_STREAM_DECODE);
  ASSERT_NE(s, 0u);
  EXPECT_FALSE(BASS_MusicFree(s));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
  EXPECT_TRUE(BASS_StreamFree(s));
}

}  // namespace
