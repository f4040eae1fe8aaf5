// User streams played in real time, through the exported C functions only, as the
// player uses them: a ramp procedure on device 0 (whose discarded sound is captured into
// a WAV file by the test hook) and on the first DirectSound device; the end flag, restart,
// a volume slide to 0 and freeing a stream whose procedure sleeps.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "bass.h"
#include "tav/test/files.h"

namespace {

using Clock = std::chrono::steady_clock;
constexpr DWORD kRate = 44100;
constexpr DWORD kUpdateMs = 24;
constexpr DWORD kBufferMs = 250;
constexpr DWORD kBufferFrames = kRate * kBufferMs / 1000;

void sleep_ms(int ms) { std::this_thread::sleep_for(std::chrono::milliseconds(ms)); }

// Stereo frames that carry their own number (1, 2, ...): left = low 15 bits, right = the rest.
struct Ramp {
  std::atomic<int64_t> next{1};
  std::atomic<int64_t> end_after{0};  // return count|END once this many frames are written
  std::atomic<int> sleep_ms{0};
  std::atomic<bool> inside{false};
  std::atomic<int> calls{0};
  struct Call {
    Clock::time_point at;
    DWORD length;
    int64_t first;
    bool end;
  };
  std::mutex mutex;
  std::vector<Call> log;

  std::vector<Call> snapshot() {
    std::lock_guard lock(mutex);
    return log;
  }
};

DWORD BASSCALLBACK ramp_proc(HSTREAM, void* buffer, DWORD length, void* user) {
  auto* r = static_cast<Ramp*>(user);
  r->inside = true;
  if (int ms = r->sleep_ms.load()) sleep_ms(ms);
  auto* s = static_cast<int16_t*>(buffer);
  int64_t n = length / 4;
  const int64_t first = r->next;
  bool end = false;
  if (const int64_t stop = r->end_after.load(); stop && first - 1 + n >= stop) n = stop - (first - 1), end = true;
  for (int64_t i = 0; i < n; ++i) {
    const int64_t v = first + i;
    s[2 * i] = static_cast<int16_t>(v & 0x7FFF);
    s[2 * i + 1] = static_cast<int16_t>(v >> 15);
  }
  r->next = first + n;
  {
    std::lock_guard lock(r->mutex);
    r->log.push_back({Clock::now(), length, first, end});
  }
  ++r->calls;
  r->inside = false;
  return static_cast<DWORD>(n * 4) | (end ? BASS_STREAMPROC_END : 0);
}

std::string temp_path(const char* name) {
#ifdef _WIN32
  char dir[MAX_PATH];
  GetTempPathA(MAX_PATH, dir);
  return std::string(dir) + name;
#else
  return ::testing::TempDir() + name;
#endif
}

void set_capture(const std::string& path) {
  static std::string setting;  // putenv keeps the pointer
  setting = "TAVOLEN_NOSOUND_CAPTURE=" + path;
#ifdef _WIN32
  _putenv(setting.c_str());
#else
  putenv(setting.data());
#endif
}

// The frame numbers in a capture file, in the order they were heard.
std::vector<int64_t> read_capture(const std::string& path) {
  const std::string bytes = tav::test::ReadFileBytes(path);
  std::vector<int64_t> frames;
  for (size_t at = 44; at + 4 <= bytes.size(); at += 4) {
    int16_t l, r;
    std::memcpy(&l, &bytes[at], 2);
    std::memcpy(&r, &bytes[at + 2], 2);
    frames.push_back(int64_t{l} | (int64_t{r} << 15));
  }
  return frames;
}

// Where the capture leaves the ramp: the index of each frame that does not follow its predecessor.
std::vector<size_t> jumps(const std::vector<int64_t>& frames) {
  std::vector<size_t> at;
  for (size_t i = 1; i < frames.size(); ++i)
    if (frames[i] != frames[i - 1] + 1) at.push_back(i);
  return at;
}

int device_count() {
  BASS_DEVICEINFO info;
  int n = 0;
  while (BASS_GetDeviceInfo(static_cast<DWORD>(n), &info)) ++n;
  return n;
}

// One initialised device for a test; device 0 captures into `capture` when given.
class Output {
 public:
  explicit Output(int device, const std::string& capture = "") : device_(device) {
    set_capture(capture);
    BASS_SetConfig(BASS_CONFIG_UPDATEPERIOD, kUpdateMs);
    BASS_SetConfig(BASS_CONFIG_BUFFER, kBufferMs);
    ok_ = BASS_Init(device, kRate, 0, nullptr, nullptr);
    set_capture("");
  }
  ~Output() {
    if (ok_) {
      BASS_SetDevice(static_cast<DWORD>(device_));
      BASS_Free();
    }
  }
  bool ok() const { return ok_; }

 private:
  int device_;
  bool ok_ = false;
};

double seconds_since(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

// The rate at which the device took frames over about two seconds, measured from the
// procedure calls after the first one (which fills the whole buffer).
double consumption_rate(Ramp& ramp) {
  const auto calls = ramp.snapshot();
  if (calls.size() < 3) return 0;
  const auto& from = calls[1];
  const auto& to = calls.back();
  int64_t frames = 0;
  for (size_t i = 2; i < calls.size(); ++i) frames += calls[i].length / 4;
  return frames / std::chrono::duration<double>(to.at - from.at).count();
}

// How far below real time a device may run: our own device 0 keeps the wall clock,
// while DirectSound under Wine runs on its mixer thread, which lags when the machine is
// busy. Running faster than real time is always a fault of ours (a cursor wrap counted twice).
void play_ramp_for_two_seconds(int device, const std::string& capture, double may_lag) {
  Output out(device, capture);
  ASSERT_TRUE(out.ok()) << "device " << device << " error " << BASS_ErrorGetCode();
  Ramp ramp;
  const HSTREAM h = BASS_StreamCreate(kRate, 2, 0, ramp_proc, &ramp);
  ASSERT_NE(h, 0u) << BASS_ErrorGetCode();
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_PLAYING));
  sleep_ms(2100);
  EXPECT_TRUE(BASS_ChannelStop(h));
  const auto calls = ramp.snapshot();
  ASSERT_GE(calls.size(), 20u);
  EXPECT_EQ(calls[0].length, kBufferFrames * 4) << "the first call after play asks for the whole buffer";
  for (const auto& c : calls) EXPECT_EQ(c.length % 4, 0u) << "whole frames";
  const double rate = consumption_rate(ramp);
  std::printf("device %d: consumed %.0f frames/s (%.2f %% off real time) in %zu calls\n", device, rate,
              100.0 * (rate - kRate) / kRate, calls.size());
  EXPECT_LE(rate, kRate * 1.05);
  EXPECT_GE(rate, kRate * (1.0 - may_lag));
  EXPECT_TRUE(BASS_StreamFree(h));
}

TEST(BassPlayback, RampOnDeviceZeroIsConsumedInRealTimeAndHeardExactly) {
  const std::string capture = temp_path("tav_ramp_capture.wav");
  std::remove(capture.c_str());
  play_ramp_for_two_seconds(0, capture, 0.05);
  const auto heard = read_capture(capture);
  ASSERT_GT(heard.size(), size_t{kRate});
  EXPECT_EQ(heard.front(), 1);
  const auto gaps = jumps(heard);
  EXPECT_TRUE(gaps.empty()) << "the ramp breaks at captured frame " << gaps.front() << " ("
                            << heard[gaps.front() - 1] << " -> " << heard[gaps.front()] << ")";
}

TEST(BassPlayback, RampOnTheDirectSoundDeviceIsConsumedInRealTime) {
  if (device_count() < 2) GTEST_SKIP() << "no DirectSound output device here";
  play_ramp_for_two_seconds(1, "", 0.20);
}

// Play, pause, leave the device long enough to rest, play again: the device takes the
// stream's sound at once after the second play (the procedure is called again for what
// was consumed, at real-time pace).
void play_after_the_device_rested(int device, const std::string& capture, double may_lag) {
  Output out(device, capture);
  ASSERT_TRUE(out.ok()) << "device " << device << " error " << BASS_ErrorGetCode();
  Ramp ramp;
  const HSTREAM h = BASS_StreamCreate(kRate, 2, 0, ramp_proc, &ramp);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  sleep_ms(300);
  ASSERT_TRUE(BASS_ChannelPause(h));
  sleep_ms(1500);  // past the grace time after which the device pauses its output
  const int64_t before = ramp.next;
  const auto replay = Clock::now();
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  while (ramp.next == before && seconds_since(replay) < 1) sleep_ms(1);
  const double first_call = seconds_since(replay);
  sleep_ms(500);
  const double consumed = static_cast<double>(ramp.next - before) / kRate;  // seconds taken since the replay
  const double elapsed = seconds_since(replay);
  std::printf("device %d after rest: first refill %.1f ms after play, %.0f ms of sound taken in %.0f ms\n", device,
              first_call * 1000, consumed * 1000, elapsed * 1000);
  EXPECT_LT(first_call, 0.15) << "the device takes sound at once after the play";
  EXPECT_GE(consumed, (elapsed - 0.1) * (1.0 - may_lag)) << "and at real-time pace from then on";
  EXPECT_LE(consumed, elapsed * 1.05 + 0.15) << "never faster than real time (beyond what is queued ahead)";
  EXPECT_TRUE(BASS_StreamFree(h));
}

TEST(BassPlayback, PlayAfterTheDeviceRestedIsHeardAtOnceFromItsFirstBlock) {
  const std::string capture = temp_path("tav_rest_capture.wav");
  std::remove(capture.c_str());
  play_after_the_device_rested(0, capture, 0.05);
  const auto heard = read_capture(capture);
  ASSERT_GT(heard.size(), size_t{kRate * 3 / 4});
  EXPECT_EQ(heard.front(), 1);
  const auto gaps = jumps(heard);
  EXPECT_TRUE(gaps.empty()) << "the sound breaks at captured frame " << gaps.front() << " ("
                            << heard[gaps.front() - 1] << " -> " << heard[gaps.front()] << ")";
}

TEST(BassPlayback, PlayAfterTheDirectSoundDeviceRestedStartsAtOnce) {
  if (device_count() < 2) GTEST_SKIP() << "no DirectSound output device here";
  play_after_the_device_rested(1, "", 0.20);
}

TEST(BassPlayback, EndFlagPlaysTheTailThenTheStreamStops) {
  const std::string capture = temp_path("tav_end_capture.wav");
  std::remove(capture.c_str());
  {
    Output out(0, capture);
    ASSERT_TRUE(out.ok());
    Ramp ramp;
    ramp.end_after = kBufferFrames + 5000;  // a later call ends the stream with a count
    const HSTREAM h = BASS_StreamCreate(kRate, 2, 0, ramp_proc, &ramp);
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    const auto start = Clock::now();
    Clock::time_point end_call{};
    while (seconds_since(start) < 3 && BASS_ChannelIsActive(h) == BASS_ACTIVE_PLAYING) {
      if (end_call == Clock::time_point{}) {
        auto calls = ramp.snapshot();
        if (!calls.empty() && calls.back().end) end_call = calls.back().at;
      }
      sleep_ms(2);
    }
    const auto stopped = Clock::now();
    EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
    const auto calls = ramp.snapshot();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_TRUE(calls.back().end);
    EXPECT_EQ(calls.size(), static_cast<size_t>(ramp.calls.load())) << "no call after the end flag";
    // the tail of one buffer length plays after the last call before the stream stops
    const double tail = std::chrono::duration<double>(stopped - calls.back().at).count();
    std::printf("stopped %.0f ms after the end call (buffer %u ms)\n", tail * 1000, static_cast<unsigned>(kBufferMs));
    EXPECT_GT(tail, kBufferMs / 1000.0 * 0.6);
    EXPECT_LT(tail, kBufferMs / 1000.0 + 0.2);
    sleep_ms(100);
    EXPECT_EQ(ramp.calls.load(), static_cast<int>(calls.size()));
    EXPECT_TRUE(BASS_StreamFree(h));
  }
  const auto heard = read_capture(capture);
  ASSERT_EQ(heard.size(), size_t{kBufferFrames + 5000}) << "every frame written with the end flag is heard";
  EXPECT_EQ(heard.back(), int64_t{kBufferFrames + 5000});
  EXPECT_TRUE(jumps(heard).empty());
}

TEST(BassPlayback, RestartDropsWhatWasBuffered) {
  const std::string capture = temp_path("tav_restart_capture.wav");
  std::remove(capture.c_str());
  Ramp ramp;
  {
    Output out(0, capture);
    ASSERT_TRUE(out.ok());
    const HSTREAM h = BASS_StreamCreate(kRate, 2, 0, ramp_proc, &ramp);
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    sleep_ms(400);
    const int calls_before = ramp.calls;
    ASSERT_TRUE(BASS_ChannelPlay(h, TRUE));
    sleep_ms(400);
    ASSERT_TRUE(BASS_StreamFree(h));
    const auto calls = ramp.snapshot();
    bool refilled = false;
    for (size_t i = static_cast<size_t>(calls_before); i < calls.size(); ++i)
      refilled |= calls[i].length == kBufferFrames * 4;
    EXPECT_TRUE(refilled) << "a restart asks for the whole buffer again";
  }
  const auto heard = read_capture(capture);
  const auto gaps = jumps(heard);
  ASSERT_EQ(gaps.size(), 1u) << "one cut where the buffered frames were dropped";
  const int64_t skipped = heard[gaps[0]] - heard[gaps[0] - 1] - 1;
  std::printf("restart dropped %lld buffered frames\n", static_cast<long long>(skipped));
  EXPECT_GT(skipped, int64_t{kBufferFrames / 2});
  EXPECT_LE(skipped, int64_t{kBufferFrames + 3 * kRate * kUpdateMs / 1000}) << "at most a buffer and a running fill";
}

TEST(BassPlayback, VolumeSlideOf650MsReadsExactlyZeroAtItsEnd) {
  Output out(0);
  ASSERT_TRUE(out.ok());
  Ramp ramp;
  const HSTREAM h = BASS_StreamCreate(kRate, 2, 0, ramp_proc, &ramp);
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.8f));
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  const auto start = Clock::now();
  ASSERT_TRUE(BASS_ChannelSlideAttribute(h, BASS_ATTRIB_VOL, 0.0f, 650));
  float previous = 0.8f, value = 1;
  double zero_at = -1;
  bool mid_checked = false;
  while (seconds_since(start) < 1.2) {
    ASSERT_TRUE(BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &value));
    const double t = seconds_since(start);
    EXPECT_LE(value, previous) << "at " << t;
    previous = value;
    if (!mid_checked && t > 0.3 && t < 0.35) {
      EXPECT_NEAR(value, 0.8f * (1 - t / 0.65), 0.05) << "linear, readable mid-way";
      EXPECT_TRUE(BASS_ChannelIsSliding(h, BASS_ATTRIB_VOL));
      mid_checked = true;
    }
    if (value * 100 == 0 && zero_at < 0) zero_at = t;
    sleep_ms(5);
  }
  std::printf("volume read exactly 0 first %.1f ms after the slide began\n", zero_at * 1000);
  EXPECT_GE(zero_at, 0.649);
  EXPECT_LT(zero_at, 0.75);
  EXPECT_EQ(value, 0.0f);
  EXPECT_FALSE(BASS_ChannelIsSliding(h, BASS_ATTRIB_VOL));

  // a set replaces a running slide
  ASSERT_TRUE(BASS_ChannelSlideAttribute(h, BASS_ATTRIB_VOL, 1.0f, 650));
  sleep_ms(50);
  ASSERT_TRUE(BASS_ChannelSetAttribute(h, BASS_ATTRIB_VOL, 0.3f));
  sleep_ms(50);
  ASSERT_TRUE(BASS_ChannelGetAttribute(h, BASS_ATTRIB_VOL, &value));
  EXPECT_EQ(value, 0.3f);
  EXPECT_TRUE(BASS_StreamFree(h));
}

TEST(BassPlayback, StopAndFreeWaitForASleepingProcedure) {
  Output out(0);
  ASSERT_TRUE(out.ok());
  for (bool free_it : {false, true}) {
    Ramp ramp;
    const HSTREAM h = BASS_StreamCreate(kRate, 2, 0, ramp_proc, &ramp);
    ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
    sleep_ms(100);
    ramp.sleep_ms = 300;
    const auto start = Clock::now();
    while (!ramp.inside && seconds_since(start) < 2) std::this_thread::yield();
    ASSERT_TRUE(ramp.inside) << "the procedure was not called";
    EXPECT_TRUE(free_it ? BASS_StreamFree(h) : BASS_ChannelStop(h));
    EXPECT_FALSE(ramp.inside) << (free_it ? "StreamFree" : "ChannelStop") << " returned while the procedure ran";
    const int calls = ramp.calls;
    sleep_ms(150);
    EXPECT_EQ(ramp.calls.load(), calls) << "no call after it returned";
    if (free_it) {
      EXPECT_FALSE(BASS_ChannelPlay(h, FALSE));
      EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_HANDLE);
    } else {
      EXPECT_EQ(BASS_ChannelIsActive(h), static_cast<DWORD>(BASS_ACTIVE_STOPPED));
      EXPECT_TRUE(BASS_StreamFree(h));
    }
  }
}

}  // namespace
