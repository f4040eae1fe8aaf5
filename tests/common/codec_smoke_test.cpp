// Proves that each third-party library is linked into this build and works:
// mpg123 and vorbisfile decode generated files, libopenmpt renders a module the
// test writes itself, SoundTouch stretches a buffer.
#include <gtest/gtest.h>
#include <libopenmpt/libopenmpt.h>
#include <mpg123.h>
#include <soundtouch/SoundTouch.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

#include "tav/test/media.h"
#include "tav/test/module_files.h"

namespace {

double Rms(const std::vector<int16_t>& s) {
  double sum = 0;
  for (int16_t v : s) sum += double(v) * v;
  return s.empty() ? 0 : std::sqrt(sum / s.size());
}

}  // namespace

TEST(CodecSmoke, Mpg123DecodesGeneratedMp3) {
  ASSERT_EQ(mpg123_init(), MPG123_OK);
  int err = 0;
  mpg123_handle* h = mpg123_new(nullptr, &err);
  ASSERT_NE(h, nullptr);
  ASSERT_EQ(mpg123_open(h, tav::test::MediaPath("tone44k_stereo.mp3").c_str()), MPG123_OK);
  long rate = 0;
  int channels = 0, enc = 0;
  ASSERT_EQ(mpg123_getformat(h, &rate, &channels, &enc), MPG123_OK);
  std::vector<int16_t> pcm;
  unsigned char buf[16384];
  size_t done = 0;
  while (true) {
    int r = mpg123_read(h, buf, sizeof buf, &done);
    pcm.insert(pcm.end(), reinterpret_cast<int16_t*>(buf), reinterpret_cast<int16_t*>(buf + done));
    if (r != MPG123_OK) break;
  }
  mpg123_close(h);
  mpg123_delete(h);
  EXPECT_EQ(rate, 44100);
  EXPECT_EQ(channels, 2);
  EXPECT_NEAR(double(pcm.size() / 2), 88200.0, 1200.0);  // encoder padding aside
  EXPECT_GT(Rms(pcm), 5000.0);
}

TEST(CodecSmoke, VorbisfileDecodesGeneratedOgg) {
  OggVorbis_File vf;
  ASSERT_EQ(ov_fopen(tav::test::MediaPath("tone44k_stereo.ogg").c_str(), &vf), 0);
  vorbis_info* vi = ov_info(&vf, -1);
  EXPECT_EQ(vi->rate, 44100);
  EXPECT_EQ(vi->channels, 2);
  std::vector<int16_t> pcm;
  char buf[16384];
  int section = 0;
  long n;
  while ((n = ov_read(&vf, buf, sizeof buf, 0, 2, 1, &section)) > 0)
    pcm.insert(pcm.end(), reinterpret_cast<int16_t*>(buf), reinterpret_cast<int16_t*>(buf + n));
  ov_clear(&vf);
  EXPECT_EQ(pcm.size() / 2, 88200u);
  EXPECT_GT(Rms(pcm), 5000.0);
}

TEST(CodecSmoke, OpenmptRendersWrittenModule) {
  std::vector<uint8_t> mod = tav::test::make_mod();
  int error = 0;
  openmpt_module* m = openmpt_module_create_from_memory2(mod.data(), mod.size(), nullptr, nullptr, nullptr,
                                                         nullptr, &error, nullptr, nullptr);
  ASSERT_NE(m, nullptr) << "libopenmpt error " << error;
  const char* type = openmpt_module_get_metadata(m, "type");
  EXPECT_STREQ(type, "mod");
  openmpt_free_string(type);
  double duration = openmpt_module_get_duration_seconds(m);
  EXPECT_NEAR(duration, 64 * 6 * 0.02, 0.05);  // 64 rows at speed 6, 125 BPM
  std::vector<int16_t> pcm, block(2 * 4096);
  size_t frames;
  while ((frames = openmpt_module_read_interleaved_stereo(m, 44100, 4096, block.data())) > 0)
    pcm.insert(pcm.end(), block.begin(), block.begin() + 2 * frames);
  openmpt_module_destroy(m);
  EXPECT_NEAR(double(pcm.size() / 2), duration * 44100, 0.15 * 44100);  // the render rings out briefly
  EXPECT_GT(Rms(pcm), 500.0);
}

TEST(CodecSmoke, SoundTouchStretches) {
  soundtouch::SoundTouch st;
  st.setSampleRate(44100);
  st.setChannels(2);
  st.setTempo(1.5);
  std::vector<float> in(2 * 44100 * 2), out(8192);
  for (size_t i = 0; i < in.size() / 2; ++i)
    in[2 * i] = in[2 * i + 1] = float(0.5 * std::sin(2 * 3.14159265358979323846 * 440 * double(i) / 44100));
  st.putSamples(in.data(), in.size() / 2);
  st.flush();
  size_t total = 0, got;
  while ((got = st.receiveSamples(out.data(), out.size() / 2)) > 0) total += got;
  EXPECT_NEAR(double(total), 88200 / 1.5, 88200 / 1.5 * 0.02);
}
