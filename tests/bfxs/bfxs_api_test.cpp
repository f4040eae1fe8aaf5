// The exported functions of bfxs over bass.dll channels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numbers>
#include <vector>

#include "bass_ext.h"
#include "bass_fx.h"
#include "pcm_stream.h"
#include "tav/test/frequency.h"

using tav::bfxs::test::make_pcm_stream;

namespace {
constexpr DWORD kStageFlags = BASS_STREAM_DECODE | BASS_FX_FREESOURCE;  // as the player passes them
constexpr DWORD kDecoderFlags = BASS_STREAM_DECODE | BASS_STREAM_PRESCAN | BASS_SAMPLE_FX | BASS_SAMPLE_LOOP;

std::vector<int16_t> tone(double freq, DWORD rate, size_t frames, DWORD chans, double amp = 8000) {
  std::vector<int16_t> v(frames * chans);
  for (size_t i = 0; i < frames; ++i)
    for (DWORD c = 0; c < chans; ++c)
      v[i * chans + c] = int16_t(std::lround(amp * std::sin(2 * std::numbers::pi * freq * i / rate)));
  return v;
}

// left = frame - 10000, right = its negation
std::vector<int16_t> ramp(size_t frames) {
  std::vector<int16_t> v(frames * 2);
  for (size_t i = 0; i < frames; ++i) {
    v[2 * i] = int16_t(int(i) - 10000);
    v[2 * i + 1] = int16_t(10000 - int(i));
  }
  return v;
}

// Pulls 4608-byte blocks, as the player's fill procedure does, until the end or `limit` bytes.
std::vector<int16_t> drain(DWORD chan, size_t limit = SIZE_MAX) {
  std::vector<int16_t> out, buf(4608 / 2);
  while (out.size() * 2 < limit) {
    const DWORD got = BASS_ChannelGetData(chan, buf.data(), 4608);
    if (got == 0 || got == DWORD(-1)) break;
    out.insert(out.end(), buf.begin(), buf.begin() + got / 2);
  }
  return out;
}

// Frequency of the tone over the middle three fifths of an interleaved block.
double zero_crossing_frequency(const std::vector<int16_t>& v, DWORD chans, double rate) {
  const size_t frames = v.size() / chans;
  return tav::test::ZeroCrossingFrequency(v, chans, frames / 5, frames * 4 / 5) * rate;
}

double rms(const std::vector<int16_t>& v, size_t begin, size_t end) {
  double s = 0;
  for (size_t i = begin; i < end; ++i) s += double(v[i]) * v[i];
  return std::sqrt(s / double(end - begin));
}

BASS_BFX_PEAKEQ eq_band(int band, float centre, float gain) { return {band, 2.5f, 0.0f, centre, gain, -1}; }
}  // namespace

TEST(BfxsApi, ReportsVersion24) { EXPECT_EQ(0x0204u, BASS_FX_GetVersion() >> 16); }

TEST(BfxsApi, TempoStageChangesPitchAndTempo) {
  struct Case { DWORD attrib; float value; double duration_factor, frequency; } cases[] = {
      {BASS_ATTRIB_TEMPO_PITCH, 12, 1.0, 880}, {BASS_ATTRIB_TEMPO, 45, 1 / 1.45, 440},
      {BASS_ATTRIB_TEMPO, -45, 1 / 0.55, 440}};
  for (const auto& c : cases) {
    const size_t frames = 44100 * 4;
    const DWORD src = make_pcm_stream(44100, 2, tone(440, 44100, frames, 2), kDecoderFlags);
    const HSTREAM tempo = BASS_FX_TempoCreate(src, kStageFlags);
    ASSERT_NE(0u, tempo);
    ASSERT_TRUE(BASS_ChannelSetAttribute(tempo, c.attrib, c.value));
    float back = 0;
    ASSERT_TRUE(BASS_ChannelGetAttribute(tempo, c.attrib, &back));
    EXPECT_EQ(c.value, back);
    const auto out = drain(tempo);
    EXPECT_NEAR(out.size() / 2 / (frames * c.duration_factor), 1.0, 0.01);
    EXPECT_NEAR(zero_crossing_frequency(out, 2, 44100) / c.frequency, 1.0, 0.005);
    EXPECT_TRUE(BASS_StreamFree(tempo));
  }
}

// While it plays, the tempo stage reports the source position of what it has
// handed out: where a tone ends in the source, the output falls silent with
// the position at that source time.
TEST(BfxsApi, TempoPositionTracksTheSource) {
  for (float tempo : {-45.0f, 0.0f, 45.0f}) {
    const size_t frames = 44100 * 4, tone_end = 44100 * 2;
    auto pcm = tone(440, 44100, frames, 2);
    std::fill(pcm.begin() + tone_end * 2, pcm.end(), int16_t{0});
    const DWORD src = make_pcm_stream(44100, 2, pcm, kDecoderFlags);
    const HSTREAM stage = BASS_FX_TempoCreate(src, kStageFlags);
    ASSERT_TRUE(BASS_ChannelSetAttribute(stage, BASS_ATTRIB_TEMPO, tempo));
    EXPECT_EQ(frames * 4, BASS_ChannelGetLength(stage, BASS_POS_BYTE));
    EXPECT_EQ(0u, BASS_ChannelGetPosition(stage, BASS_POS_BYTE));

    std::vector<int16_t> buf(2 * 256);
    QWORD last = 0, at_silence = 0;
    size_t out_frames = 0;
    for (;;) {
      const DWORD got = BASS_ChannelGetData(stage, buf.data(), 256 * 4);
      if (got == 0 || got == DWORD(-1)) break;
      out_frames += got / 4;
      const QWORD pos = BASS_ChannelGetPosition(stage, BASS_POS_BYTE);
      ASSERT_EQ(0u, pos % 4);
      ASSERT_GE(pos, last) << tempo;
      ASSERT_LE(pos, BASS_ChannelGetPosition(src, BASS_POS_BYTE));
      last = pos;
      const bool silent = std::all_of(buf.begin(), buf.begin() + got / 2, [](int16_t v) { return std::abs(v) < 100; });
      if (silent && !at_silence && out_frames > 44100) at_silence = pos;
    }
    EXPECT_NEAR(double(at_silence / 4), double(tone_end), 44100 * 0.05) << tempo;  // within 50 ms
    EXPECT_NEAR(out_frames / (frames / (1 + tempo / 100.0)), 1.0, 0.01) << tempo;
    EXPECT_EQ(BASS_ChannelGetLength(stage, BASS_POS_BYTE), BASS_ChannelGetPosition(stage, BASS_POS_BYTE));
    BASS_StreamFree(stage);
  }
}

// A seek moves the source, empties the stage and plays on from there.
TEST(BfxsApi, TempoSeekStartsAfreshFromTheTarget) {
  const size_t frames = 44100 * 3;
  const DWORD src = make_pcm_stream(44100, 2, tone(440, 44100, frames, 2), kDecoderFlags);
  const HSTREAM tempo = BASS_FX_TempoCreate(src, kStageFlags);
  ASSERT_TRUE(BASS_ChannelSetAttribute(tempo, BASS_ATTRIB_TEMPO, -45));
  drain(tempo, 44100 * 4);

  ASSERT_TRUE(BASS_ChannelSetPosition(tempo, 44100 * 4 * 2, BASS_POS_BYTE));
  EXPECT_EQ(44100u * 4 * 2, BASS_ChannelGetPosition(tempo, BASS_POS_BYTE));
  EXPECT_EQ(44100u * 4 * 2, BASS_ChannelGetPosition(src, BASS_POS_BYTE));
  EXPECT_FALSE(BASS_ChannelSetPosition(tempo, frames * 4 + 4, BASS_POS_BYTE));  // past the end: refused
  EXPECT_EQ(44100u * 4 * 2, BASS_ChannelGetPosition(tempo, BASS_POS_BYTE));
  const auto rest = drain(tempo);
  EXPECT_NEAR(rest.size() / 2 / (44100 / 0.55), 1.0, 0.01);
  EXPECT_EQ(BASS_ChannelGetLength(tempo, BASS_POS_BYTE), BASS_ChannelGetPosition(tempo, BASS_POS_BYTE));
  BASS_StreamFree(tempo);
}

TEST(BfxsApi, LoopFlagOfTheTempoStageWrapsItsSource) {
  const size_t frames = 22050;
  const DWORD src = make_pcm_stream(44100, 2, tone(440, 44100, frames, 2), kDecoderFlags);
  const HSTREAM tempo = BASS_FX_TempoCreate(src, kStageFlags);
  EXPECT_EQ(0u, BASS_ChannelFlags(src, 0, 0) & BASS_SAMPLE_LOOP);  // the source is read linearly

  BASS_ChannelFlags(tempo, BASS_SAMPLE_LOOP, BASS_SAMPLE_LOOP);
  EXPECT_GE(drain(tempo, frames * 4 * 3).size() * 2, frames * 4 * 3);  // three times round and on

  BASS_ChannelFlags(tempo, 0, BASS_SAMPLE_LOOP);
  const auto tail = drain(tempo);
  EXPECT_LT(tail.size() * 2, frames * 4);  // now it ends
  EXPECT_EQ(BASS_ChannelGetLength(tempo, BASS_POS_BYTE), BASS_ChannelGetPosition(tempo, BASS_POS_BYTE));
  BASS_StreamFree(tempo);
}

TEST(BfxsApi, FreeSourceFlagFreesTheChainWithTheTopStage) {
  const DWORD dec = make_pcm_stream(44100, 2, ramp(1000), kDecoderFlags);
  const HSTREAM rev = BASS_FX_ReverseCreate(dec, 2.0f, kStageFlags);
  const HSTREAM tempo = BASS_FX_TempoCreate(rev, kStageFlags);
  ASSERT_NE(0u, rev);
  ASSERT_NE(0u, tempo);
  EXPECT_EQ(rev, BASS_FX_TempoGetSource(tempo));
  EXPECT_EQ(dec, BASS_FX_ReverseGetSource(rev));
  ASSERT_TRUE(BASS_StreamFree(tempo));
  BASS_CHANNELINFO info;
  EXPECT_FALSE(BASS_ChannelGetInfo(rev, &info));
  EXPECT_FALSE(BASS_ChannelGetInfo(dec, &info));

  const DWORD kept = make_pcm_stream(44100, 2, ramp(1000), kDecoderFlags);
  ASSERT_TRUE(BASS_StreamFree(BASS_FX_TempoCreate(kept, BASS_STREAM_DECODE)));
  EXPECT_TRUE(BASS_ChannelGetInfo(kept, &info));
  BASS_StreamFree(kept);
}

TEST(BfxsApi, StagesRefuseWhatTheyCannotServe) {
  const DWORD playing = make_pcm_stream(44100, 2, ramp(100), 0);  // not a decoding channel
  EXPECT_EQ(0u, BASS_FX_TempoCreate(playing, kStageFlags));
  EXPECT_EQ(BASS_ERROR_DECODE, BASS_ErrorGetCode());
  EXPECT_EQ(0u, BASS_FX_ReverseCreate(playing, 2.0f, kStageFlags));
  EXPECT_EQ(0u, BASS_FX_TempoCreate(0, kStageFlags));
  EXPECT_EQ(BASS_ERROR_HANDLE, BASS_ErrorGetCode());
  EXPECT_EQ(0u, BASS_FX_TempoGetSource(playing));
  EXPECT_EQ(BASS_ERROR_HANDLE, BASS_ErrorGetCode());

  const DWORD dec = make_pcm_stream(44100, 2, ramp(100), kDecoderFlags);
  EXPECT_EQ(0u, BASS_FX_ReverseCreate(dec, 0.0f, kStageFlags));
  const HSTREAM tempo = BASS_FX_TempoCreate(dec, kStageFlags);
  EXPECT_FALSE(BASS_ChannelSetAttribute(tempo, BASS_ATTRIB_TEMPO_PITCH, 61));
  EXPECT_FALSE(BASS_ChannelSetAttribute(tempo, BASS_ATTRIB_REVERSE_DIR, -1));
  EXPECT_EQ(0u, BASS_FX_ReverseGetSource(tempo));
  BASS_StreamFree(tempo);
  BASS_StreamFree(playing);
}

TEST(BfxsApi, ReverseStageReadsBackwardsExactlyAndSwitchesAnyTime) {
  const size_t frames = 20000;
  const DWORD dec = make_pcm_stream(10000, 2, ramp(frames), kDecoderFlags);
  const HSTREAM rev = BASS_FX_ReverseCreate(dec, 0.25f, kStageFlags);  // blocks of 2500 frames
  float dir = 0;
  ASSERT_TRUE(BASS_ChannelGetAttribute(rev, BASS_ATTRIB_REVERSE_DIR, &dir));
  EXPECT_EQ(1.0f, dir);  // starts forwards at 0
  EXPECT_EQ(0u, BASS_ChannelGetPosition(rev, BASS_POS_BYTE));
  EXPECT_EQ(frames * 4, BASS_ChannelGetLength(rev, BASS_POS_BYTE));

  // the whole ramp backwards from the end
  ASSERT_TRUE(BASS_ChannelSetPosition(rev, frames * 4, BASS_POS_BYTE));
  ASSERT_TRUE(BASS_ChannelSetAttribute(rev, BASS_ATTRIB_REVERSE_DIR, -1));
  const auto back = drain(rev);
  ASSERT_EQ(frames * 2, back.size());
  for (size_t i = 0; i < frames; ++i) {
    ASSERT_EQ(int(frames - 1 - i) - 10000, back[2 * i]) << i;
    ASSERT_EQ(10000 - int(frames - 1 - i), back[2 * i + 1]) << i;
  }
  EXPECT_EQ(0u, BASS_ChannelGetPosition(rev, BASS_POS_BYTE));  // backwards play ends at 0
  int16_t after[2];
  EXPECT_EQ(DWORD(-1), BASS_ChannelGetData(rev, after, 4));
  EXPECT_EQ(BASS_ERROR_ENDED, BASS_ErrorGetCode());
  EXPECT_EQ(0u, BASS_ChannelGetPosition(rev, BASS_POS_BYTE));

  // forwards 5000 frames, then backwards from there
  ASSERT_TRUE(BASS_ChannelSetAttribute(rev, BASS_ATTRIB_REVERSE_DIR, 1));
  drain(rev, 5000 * 4);
  const QWORD here = BASS_ChannelGetPosition(rev, BASS_POS_BYTE);
  ASSERT_TRUE(BASS_ChannelSetAttribute(rev, BASS_ATTRIB_REVERSE_DIR, -1));
  int16_t frame[2];
  ASSERT_EQ(4u, BASS_ChannelGetData(rev, frame, 4));
  EXPECT_EQ(int(here / 4) - 1 - 10000, frame[0]);
  EXPECT_EQ(here - 4, BASS_ChannelGetPosition(rev, BASS_POS_BYTE));
  BASS_StreamFree(rev);
}

TEST(BfxsApi, PeakingEqualiserBandsLiveInOneEffect) {
  const float centres[] = {40, 63, 100, 160, 250, 400, 630, 1000, 1600, 2500, 4000, 6300, 10000, 14000, 16000};
  for (DWORD rate : {44100u, 32000u}) {
    const size_t frames = rate * 2;
    const auto in = tone(1000, rate, frames, 2);
    const DWORD dec = make_pcm_stream(rate, 2, in, kDecoderFlags);
    const HSTREAM tempo = BASS_FX_TempoCreate(dec, kStageFlags);
    const HFX eq = BASS_ChannelSetFX(tempo, BASS_FX_BFX_PEAKEQ, 0);
    ASSERT_NE(0u, eq);
    for (int b = 0; b < 15; ++b) {
      BASS_BFX_PEAKEQ band = eq_band(b, centres[b], 0);
      const bool below_half_rate = centres[b] < rate / 2.0f;
      EXPECT_EQ(below_half_rate, bool(BASS_FXSetParameters(eq, &band))) << rate << " " << centres[b];
      BASS_BFX_PEAKEQ got = eq_band(b, 0, 0);
      EXPECT_EQ(below_half_rate, bool(BASS_FXGetParameters(eq, &got)));  // refused bands cannot be read
      if (below_half_rate) {
        EXPECT_EQ(centres[b], got.fCenter);
        EXPECT_EQ(2.5f, got.fBandwidth);
        EXPECT_EQ(-1, got.lChannel);
      }
    }
    // all bands at 0 dB: the samples go through unchanged
    const auto flat = drain(tempo, 44100 * 4);
    ASSERT_TRUE(BASS_ChannelSetPosition(tempo, 0, BASS_POS_BYTE));
    const DWORD plain_dec = make_pcm_stream(rate, 2, in, kDecoderFlags);
    const HSTREAM plain = BASS_FX_TempoCreate(plain_dec, kStageFlags);
    EXPECT_EQ(flat, drain(plain, 44100 * 4));
    BASS_StreamFree(plain);

    // the 1 kHz band at +12 dB lifts a 1 kHz tone by 12 dB
    BASS_BFX_PEAKEQ band = eq_band(7, 0, 0);
    ASSERT_TRUE(BASS_FXGetParameters(eq, &band));
    band.fGain = 12;
    ASSERT_TRUE(BASS_FXSetParameters(eq, &band));
    const auto lifted = drain(tempo, frames * 4);
    const size_t n = std::min(lifted.size(), flat.size());
    EXPECT_NEAR(20 * std::log10(rms(lifted, n / 2, n) / rms(flat, n / 2, n)), 12.0, 0.5);
    BASS_StreamFree(tempo);
  }
}

TEST(BfxsApi, PhaserParametersRoundTripAndWetZeroIsDry) {
  const auto in = tone(700, 44100, 44100, 2);
  const DWORD dec = make_pcm_stream(44100, 2, in, kDecoderFlags);
  const HSTREAM rev = BASS_FX_ReverseCreate(dec, 2.0f, kStageFlags);
  const HFX ph = BASS_ChannelSetFX(rev, BASS_FX_BFX_PHASER, 1);
  ASSERT_NE(0u, ph);
  BASS_BFX_PHASER p{};
  ASSERT_TRUE(BASS_FXGetParameters(ph, &p));
  EXPECT_EQ(-1, p.lChannel);  // a fresh effect covers every channel

  p.fDryMix = 1.0f;
  p.fWetMix = 0.0f;
  p.fFeedback = -0.06f;
  p.fRate = 0.2f;
  p.fRange = 6.0f;
  p.fFreq = 100.0f;
  ASSERT_TRUE(BASS_FXSetParameters(ph, &p));
  BASS_BFX_PHASER back{};
  ASSERT_TRUE(BASS_FXGetParameters(ph, &back));
  EXPECT_EQ(0, std::memcmp(&p, &back, sizeof p));
  EXPECT_EQ(in, drain(rev));

  BASS_BFX_PHASER bad = p;
  bad.fFeedback = 3;
  EXPECT_FALSE(BASS_FXSetParameters(ph, &bad));
  ASSERT_TRUE(BASS_FXGetParameters(ph, &back));
  EXPECT_EQ(-0.06f, back.fFeedback);
  BASS_StreamFree(rev);
}


// The player's chain: decoder -> reverse stage -> tempo stage, the direction
// switched on the tempo stage's source while it plays.
TEST(BfxsApi, PlayerChainPlaysBackwardsFromWhereItIsAndEndsAtZero) {
  // 1.5 s at 440 Hz, then 1.5 s at 880 Hz
  const size_t half = 66150, frames = 2 * half;
  auto pcm = tone(440, 44100, half, 2);
  const auto high = tone(880, 44100, half, 2);
  pcm.insert(pcm.end(), high.begin(), high.end());
  const DWORD dec = make_pcm_stream(44100, 2, pcm, kDecoderFlags);
  const HSTREAM rev = BASS_FX_ReverseCreate(dec, 2.0f, kStageFlags);
  const HSTREAM stage = BASS_FX_TempoCreate(rev, kStageFlags);
  ASSERT_NE(0u, stage);
  ASSERT_EQ(rev, BASS_FX_TempoGetSource(stage));
  ASSERT_TRUE(BASS_ChannelSetAttribute(rev, BASS_ATTRIB_REVERSE_DIR, BASS_FX_RVS_FORWARD));
  ASSERT_TRUE(BASS_ChannelSetAttribute(stage, BASS_ATTRIB_TEMPO, 20));
  EXPECT_EQ(frames * 4, BASS_ChannelGetLength(stage, BASS_POS_BYTE));

  // forwards into the high half, then backwards
  drain(stage, size_t(2.25 * 44100 / 1.2) * 4);
  const QWORD turn = BASS_ChannelGetPosition(stage, BASS_POS_BYTE);
  EXPECT_NEAR(turn / 4.0 / 44100, 2.25, 0.05);
  ASSERT_TRUE(BASS_ChannelSetAttribute(rev, BASS_ATTRIB_REVERSE_DIR, BASS_FX_RVS_REVERSE));
  const auto back = drain(stage);
  EXPECT_NEAR(back.size() / 2 / (turn / 4 / 1.2), 1.0, 0.01);  // from where it was
  EXPECT_EQ(0u, BASS_ChannelGetPosition(stage, BASS_POS_BYTE));  // ends at 0

  // what comes out backwards: the high tone first, the low tone last
  const size_t n = back.size();
  const std::vector<int16_t> first(back.begin() + n / 10, back.begin() + n / 4);
  const std::vector<int16_t> last(back.end() - n / 3, back.end() - n / 10);
  EXPECT_NEAR(zero_crossing_frequency(first, 2, 44100), 880, 880 * 0.005);
  EXPECT_NEAR(zero_crossing_frequency(last, 2, 44100), 440, 440 * 0.005);

  // with the loop flag on the tempo stage, backwards play wraps to the end
  ASSERT_TRUE(BASS_ChannelSetPosition(stage, frames * 2, BASS_POS_BYTE));
  BASS_ChannelFlags(stage, BASS_SAMPLE_LOOP, BASS_SAMPLE_LOOP);
  EXPECT_GE(drain(stage, frames * 4 * 2).size() * 2, frames * 4 * 2);  // twice round and on
  BASS_ChannelFlags(stage, 0, BASS_SAMPLE_LOOP);
  drain(stage);
  EXPECT_EQ(0u, BASS_ChannelGetPosition(stage, BASS_POS_BYTE));

  // forwards, play ends with the position at the length (the player's end-of-track test)
  ASSERT_TRUE(BASS_ChannelSetAttribute(rev, BASS_ATTRIB_REVERSE_DIR, BASS_FX_RVS_FORWARD));
  ASSERT_TRUE(BASS_ChannelSetPosition(stage, frames * 3, BASS_POS_BYTE));
  EXPECT_NEAR(drain(stage).size() / 2 / (frames / 4 / 1.2), 1.0, 0.01);
  EXPECT_EQ(frames * 4, BASS_ChannelGetPosition(stage, BASS_POS_BYTE));

  ASSERT_TRUE(BASS_StreamFree(stage));
  BASS_CHANNELINFO info;
  EXPECT_FALSE(BASS_ChannelGetInfo(dec, &info));  // the whole chain went with the top stage
}

namespace {
// A DSP procedure that adds up the energy of the 16-bit samples it sees.
struct EnergyTap {
  double sum = 0;
  size_t count = 0;
  static void BASSCALLBACK proc(HDSP, DWORD, void* buffer, DWORD length, void* user) {
    auto* tap = static_cast<EnergyTap*>(user);
    const auto* s = static_cast<const int16_t*>(buffer);
    for (DWORD i = 0; i < length / 2; ++i) tap->sum += double(s[i]) * s[i];
    tap->count += length / 2;
  }
  double db_against(const EnergyTap& other) const { return 10 * std::log10((sum / count) / (other.sum / other.count)); }
};
}  // namespace

// The equaliser and the phaser take their places in the chain by priority,
// among the channel's DSP procedures: higher priority first.
TEST(BfxsApi, EffectsRunInTheChainByPriority) {
  const DWORD dec = make_pcm_stream(44100, 2, tone(1000, 44100, 44100 * 2, 2, 2000), kDecoderFlags);
  const HSTREAM stage = BASS_FX_TempoCreate(dec, kStageFlags);
  EnergyTap before, after;
  ASSERT_NE(0u, BASS_ChannelSetDSP(stage, &EnergyTap::proc, &before, 2));
  ASSERT_NE(0u, BASS_ChannelSetDSP(stage, &EnergyTap::proc, &after, -1));
  const HFX eq = BASS_ChannelSetFX(stage, BASS_FX_BFX_PEAKEQ, 0);
  const HFX ph = BASS_ChannelSetFX(stage, BASS_FX_BFX_PHASER, 1);
  ASSERT_NE(0u, eq);
  ASSERT_NE(0u, ph);
  BASS_BFX_PEAKEQ band = eq_band(0, 1000, 12);
  ASSERT_TRUE(BASS_FXSetParameters(eq, &band));
  BASS_BFX_PHASER halve{0.5f, 0.0f, 0.0f, 0.2f, 6.0f, 100.0f, -1};  // dry only, at half level
  ASSERT_TRUE(BASS_FXSetParameters(ph, &halve));

  drain(stage, 44100 * 4 / 2);
  before = after = {};
  drain(stage, 44100 * 4 / 2);
  EXPECT_NEAR(after.db_against(before), 12.0 - 6.02, 0.5);

  ASSERT_TRUE(BASS_ChannelRemoveFX(stage, eq));
  before = after = {};
  drain(stage, 44100 * 4 / 4);
  EXPECT_NEAR(after.db_against(before), -6.02, 0.1);
  BASS_StreamFree(stage);
}

namespace {
// A decoding channel whose answers the test scripts, as a network stream's could come:
// it gives `available` frames (left = the frame number, right = 0), then nothing. Until
// `ended`, a read that gave nothing is a stall, but only the first question after it hears
// so: asked again, the channel has already recovered (the download thread's answer changed
// between two checks). A seek lands on a whole thousand of frames, or is refused with
// `refuse_code`.
struct ScriptedChannel {
  size_t available = 0;
  uint64_t pos = 0;
  bool ended = false;
  bool asked_since_read = false;
  int refuse_code = 0;

  static DWORD TAVCDECL read(void* state, float* buffer, DWORD frames) {
    auto* s = static_cast<ScriptedChannel*>(state);
    const size_t n = std::min<size_t>(frames, s->available);
    for (size_t i = 0; i < n; ++i) {
      buffer[2 * i] = float((s->pos + i) % 30000) / 32768.0f;
      buffer[2 * i + 1] = 0.0f;
    }
    s->pos += n;
    s->available -= n;
    s->asked_since_read = false;
    return static_cast<DWORD>(n);
  }
  static QWORD TAVCDECL length(void*) { return ~QWORD{0}; }
  static QWORD TAVCDECL position(void* state) { return static_cast<ScriptedChannel*>(state)->pos * 4; }
  static BOOL TAVCDECL seek(void* state, QWORD bytes) {
    auto* s = static_cast<ScriptedChannel*>(state);
    if (s->refuse_code) {
      BASS_TAV_SetError(s->refuse_code);
      return FALSE;
    }
    s->pos = bytes / 4 / 1000 * 1000;
    return TRUE;
  }
  static BOOL TAVCDECL stalled(void* state) {
    auto* s = static_cast<ScriptedChannel*>(state);
    const bool first = !s->asked_since_read;
    s->asked_since_read = true;
    return !s->ended && s->available == 0 && first;
  }
};

const TAV_STREAM_FUNCS kScriptedFuncs = {sizeof(TAV_STREAM_FUNCS), ScriptedChannel::read, ScriptedChannel::length,
                                         ScriptedChannel::position, ScriptedChannel::seek, nullptr, nullptr, nullptr,
                                         nullptr, ScriptedChannel::stalled};

// The player's chain over a scripted channel; returns the tempo stage (the reverse stage in `rev`).
HSTREAM scripted_chain(ScriptedChannel& source, HSTREAM* rev) {
  const HSTREAM dec = BASS_TAV_StreamCreateCustom(44100, 2, BASS_STREAM_DECODE, 0, &kScriptedFuncs, &source);
  *rev = BASS_FX_ReverseCreate(dec, 2.0f, kStageFlags);
  return BASS_FX_TempoCreate(*rev, kStageFlags);
}

// Reads until a read gives 0 (a stall) or -1 (the end); returns the bytes and the last answer.
std::pair<size_t, DWORD> read_until_dry(DWORD chan) {
  std::vector<int16_t> buf(4608 / 2);
  size_t total = 0;
  for (;;) {
    const DWORD got = BASS_ChannelGetData(chan, buf.data(), 4608);
    if (got == 0 || got == DWORD(-1)) return {total, got};
    total += got;
  }
}
}  // namespace

// The source's state may change between two questions (its download recovers or ends
// meanwhile): each stage answers by what its source's read said, so a stall stays a stall.
TEST(BfxsApi, AStallIsAStallThroughTheStagesWhateverTheSourceSaysWhenAskedAgain) {
  ScriptedChannel source;
  source.available = 44100;
  HSTREAM rev = 0;
  const HSTREAM tempo = scripted_chain(source, &rev);
  ASSERT_NE(0u, tempo);
  auto [first, answer] = read_until_dry(tempo);
  EXPECT_GT(first, 0u);
  EXPECT_EQ(0u, answer) << "the stall became the end";
  EXPECT_EQ(BASS_ACTIVE_STALLED, BASS_ChannelIsActive(tempo));
  source.available = 44100;  // the data comes: the chain plays on
  auto [more, dry] = read_until_dry(tempo);
  EXPECT_EQ(0u, dry);
  source.ended = true;  // and ends
  auto [rest, end] = read_until_dry(tempo);
  EXPECT_EQ(DWORD(-1), end);
  EXPECT_NEAR(double(first + more + rest) / 4, 2 * 44100, 44100 * 0.05) << "all of it comes out";
  BASS_StreamFree(tempo);
}

// A seek of the player's chain moves the source at once: refused by the source, it fails
// with the source's error and the stream plays on from where it was; accepted, the
// position is where the source landed.
TEST(BfxsApi, ASeekThroughTheReverseStageMovesTheSourceAtOnce) {
  ScriptedChannel source;
  source.available = 10 * 44100;
  HSTREAM rev = 0;
  const HSTREAM tempo = scripted_chain(source, &rev);
  ASSERT_NE(0u, tempo);
  std::vector<int16_t> buf(4608 / 2);
  ASSERT_EQ(4608u, BASS_ChannelGetData(rev, buf.data(), 4608));  // 1152 frames

  source.refuse_code = BASS_ERROR_NOTAVAIL;
  for (HSTREAM h : {rev, tempo}) {
    EXPECT_FALSE(BASS_ChannelSetPosition(h, 4 * 44100, BASS_POS_BYTE));
    EXPECT_EQ(BASS_ERROR_NOTAVAIL, BASS_ErrorGetCode()) << "the source's own error";
  }
  EXPECT_EQ(1152u * 4, BASS_ChannelGetPosition(rev, BASS_POS_BYTE));
  ASSERT_EQ(4608u, BASS_ChannelGetData(rev, buf.data(), 4608));  // plays on from where it was
  EXPECT_EQ(1152, buf[0]);

  source.refuse_code = 0;
  ASSERT_TRUE(BASS_ChannelSetPosition(tempo, 4 * 44321, BASS_POS_BYTE));
  EXPECT_EQ(44000u * 4, BASS_ChannelGetPosition(tempo, BASS_POS_BYTE)) << "where the source landed";
  EXPECT_EQ(44000u * 4, BASS_ChannelGetPosition(rev, BASS_POS_BYTE));
  ASSERT_EQ(4608u, BASS_ChannelGetData(rev, buf.data(), 4608));
  EXPECT_EQ(44000 % 30000, buf[0]);
  BASS_StreamFree(tempo);
}
