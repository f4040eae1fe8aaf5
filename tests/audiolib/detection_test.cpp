// Which decoder takes a real-world file: modules whose samples look like MPEG frames,
// executables, images, random bytes, truncated and heavily tagged MP3s each go to the
// right decoder or are refused, through both opening calls in the order the player tries
// them, and every accepted file's prescanned length is what decoding delivers.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "bass.h"
#include "tav/test/media.h"

#ifndef _WIN32
#include <unistd.h>
#endif

namespace {

constexpr DWORD kStreamFlags = 0x220080;  // the player's flags (decode, prescan, effects allowed) but the loop
constexpr DWORD kMusicFlags = 0x220280;   // decode, prescan, ramping, effects allowed

enum class Taker { Mp3, Module, Nobody };

struct Fixture {
  const char* file;
  Taker taker;
  DWORD stream_error;  // of BASS_StreamCreateFile when it refuses
};

const Fixture kFixtures[] = {
    {"sync_samples.mod", Taker::Module, BASS_ERROR_FILEFORM},
    {"untitled.mod", Taker::Module, BASS_ERROR_FILEFORM},
    {"plain.mod", Taker::Module, BASS_ERROR_FILEFORM},
    {"elf.bin", Taker::Nobody, BASS_ERROR_FILEFORM},
    {"image.png", Taker::Nobody, BASS_ERROR_FILEFORM},
    {"image.jpg", Taker::Nobody, BASS_ERROR_FILEFORM},
    {"random.bin", Taker::Nobody, BASS_ERROR_FILEFORM},
    {"empty.bin", Taker::Nobody, BASS_ERROR_EMPTY},
    {"info_only.mp3", Taker::Nobody, BASS_ERROR_FILEFORM},
    {"one_frame.mp3", Taker::Nobody, BASS_ERROR_FILEFORM},
    {"big_id3.mp3", Taker::Mp3, 0},
    {"padded.mp3", Taker::Mp3, 0},
    {"joined.mp3", Taker::Mp3, 0},
    {"stereo_part.mp3", Taker::Mp3, 0},
};

std::string path_of(const char* name) { return tav::test::MediaPath(std::string("detect/") + name); }

QWORD decoded_bytes(DWORD h) {
  std::vector<char> block(65536);
  QWORD total = 0;
  for (;;) {
    const DWORD got = BASS_ChannelGetData(h, block.data(), static_cast<DWORD>(block.size()));
    if (got == static_cast<DWORD>(-1) || got == 0) break;
    total += got;
  }
  return total;
}

class Detection : public ::testing::TestWithParam<Fixture> {};

TEST_P(Detection, GoesToTheRightDecoderWithAnExactLength) {
  const Fixture& f = GetParam();
  const std::string path = path_of(f.file);
  const HSTREAM stream = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, kStreamFlags);
  if (f.taker == Taker::Mp3) {
    ASSERT_NE(stream, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(stream, &info));
    EXPECT_EQ(info.ctype, static_cast<DWORD>(BASS_CTYPE_STREAM_MP3));
    EXPECT_EQ(info.freq, 44100u);
    EXPECT_EQ(info.chans, 2u);
    const QWORD length = BASS_ChannelGetLength(stream, BASS_POS_BYTE);
    EXPECT_EQ(decoded_bytes(stream), length);
    EXPECT_GT(length, 44100u * 4);  // the whole tone, not a few frames
    BASS_StreamFree(stream);
    return;
  }
  EXPECT_EQ(stream, 0u);
  EXPECT_EQ(static_cast<DWORD>(BASS_ErrorGetCode()), f.stream_error);

  // the fallback the player tries next
  const HMUSIC music = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, kMusicFlags, 44100);
  if (f.taker == Taker::Module) {
    ASSERT_NE(music, 0u) << BASS_ErrorGetCode();
    BASS_CHANNELINFO info{};
    ASSERT_TRUE(BASS_ChannelGetInfo(music, &info));
    EXPECT_EQ(info.ctype, static_cast<DWORD>(BASS_CTYPE_MUSIC_MOD));
    const QWORD length = BASS_ChannelGetLength(music, BASS_POS_BYTE);
    EXPECT_GT(length, 0u);
    EXPECT_EQ(decoded_bytes(music), length);
    BASS_MusicFree(music);
  } else {
    EXPECT_EQ(music, 0u);
    EXPECT_NE(BASS_ErrorGetCode(), BASS_OK);
  }
}

INSTANTIATE_TEST_SUITE_P(Files, Detection, ::testing::ValuesIn(kFixtures), [](const auto& info) {
  std::string name = info.param.file;
  for (char& c : name)
    if (c == '.') c = '_';
  return name;
});

// A joined file plays its first part, as long as that part is alone, whichever format
// comes first.
class JoinedFiles : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(JoinedFiles, EndWhereTheFormatChanges) {
  const std::string joined = path_of(GetParam().first), part = path_of(GetParam().second);
  const HSTREAM a = BASS_StreamCreateFile(FALSE, joined.c_str(), 0, 0, kStreamFlags);
  const HSTREAM b = BASS_StreamCreateFile(FALSE, part.c_str(), 0, 0, kStreamFlags);
  ASSERT_TRUE(a && b);
  EXPECT_EQ(BASS_ChannelGetLength(a, BASS_POS_BYTE), BASS_ChannelGetLength(b, BASS_POS_BYTE));
  // without a prescan the decoder stops at the change by itself
  const HSTREAM c = BASS_StreamCreateFile(FALSE, joined.c_str(), 0, 0, BASS_STREAM_DECODE);
  ASSERT_NE(c, 0u);
  EXPECT_EQ(decoded_bytes(c), BASS_ChannelGetLength(b, BASS_POS_BYTE));
  for (HSTREAM h : {a, b, c}) BASS_StreamFree(h);
}

INSTANTIATE_TEST_SUITE_P(Detection, JoinedFiles,
                         ::testing::Values(std::pair{"joined.mp3", "stereo_part.mp3"},
                                           std::pair{"joined_up.mp3", "mono_part.mp3"}));

#ifndef _WIN32
// The decoders print nothing of their own on the host program's standard error.
TEST(Detection, DecodersStayQuiet) {
  std::fflush(stderr);
  const int saved = dup(2);
  std::FILE* capture = std::tmpfile();
  ASSERT_NE(capture, nullptr);
  dup2(fileno(capture), 2);
  for (const Fixture& f : kFixtures) {
    const std::string path = path_of(f.file);
    if (HSTREAM h = BASS_StreamCreateFile(FALSE, path.c_str(), 0, 0, kStreamFlags)) {
      decoded_bytes(h);
      BASS_StreamFree(h);
    }
    if (HMUSIC m = BASS_MusicLoad(FALSE, path.c_str(), 0, 0, kMusicFlags, 44100)) BASS_MusicFree(m);
  }
  std::fflush(stderr);
  dup2(saved, 2);
  close(saved);
  const long printed = static_cast<long>(lseek(fileno(capture), 0, SEEK_END));
  std::fclose(capture);
  EXPECT_EQ(printed, 0);
}
#endif

}  // namespace
