// User streams on a device driven by hand: what the procedure is asked for, what the
// mixer makes of it (exact at equal rates, resampled otherwise), END, restart, stop.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <future>
#include <new>
#include <thread>

#include "device.h"
#include "error.h"
#include "library.h"
#include "library_config.h"
#include "user_stream.h"
#include "wait_hook.h"

namespace tav::audio {
namespace {

class FakeOutput : public OutputBackend {
 public:
  size_t room = 0;  // frames the next update may write
  std::vector<int16_t> written;
  size_t audible = 0;
  unsigned rate() const override { return 44100; }
  unsigned channels() const override { return 2; }
  size_t writable_frames(unsigned) override { return std::exchange(room, 0); }
  void write(const int16_t* f, size_t count, size_t a) override {
    written.insert(written.end(), f, f + count * 2);
    audible += a;
  }
  unsigned latency_ms() const override { return 0; }
  void pause() override { ++pauses; }
  bool resume() override {
    ++resumes;
    return true;
  }
  int pauses = 0;
  int resumes = 0;
};

// A stereo ramp; END after `end_after` frames when set.
struct Ramp {
  int16_t next = 1;
  size_t frames = 0;
  size_t end_after = 0;
  std::vector<DWORD> requests;
  int sleep_ms = 0;
  std::atomic<bool> inside{false};
};

DWORD BASSCALLBACK ramp_proc(HSTREAM, void* buffer, DWORD length, void* user) {
  auto* r = static_cast<Ramp*>(user);
  r->inside = true;
  if (r->sleep_ms) std::this_thread::sleep_for(std::chrono::milliseconds(r->sleep_ms));
  r->requests.push_back(length);
  auto* s = static_cast<int16_t*>(buffer);
  size_t n = length / 4;
  bool end = false;
  if (r->end_after && r->frames + n >= r->end_after) n = r->end_after - r->frames, end = true;
  for (size_t i = 0; i < n; ++i, ++r->frames) {
    s[2 * i] = r->next;
    s[2 * i + 1] = static_cast<int16_t>(-r->next);
    r->next = static_cast<int16_t>(r->next == 32767 ? 1 : r->next + 1);
  }
  r->inside = false;
  return static_cast<DWORD>(n * 4) | (end ? BASS_STREAMPROC_END : 0);
}

struct Rig {
  LibraryConfig config;
  FakeOutput* out;
  std::unique_ptr<Device> device;
  std::shared_ptr<UserStream> stream;
  Ramp ramp;

  explicit Rig(unsigned buffer_ms = 100, unsigned rate = 44100) {
    auto backend = std::make_unique<FakeOutput>();
    out = backend.get();
    device = std::make_unique<Device>(std::move(backend), config);
    config.float_dsp = true;
    stream = std::make_shared<UserStream>(rate, 2, 0, ramp_proc, &ramp, buffer_ms, 0, &config);
    device->attach(stream);
  }
  void update(size_t room) {
    out->room = room;
    device->update();
  }
};

TEST(UserStream, AsksForTheWholeBufferFirstThenForWhatWasConsumed) {
  Rig rig(100);  // 4410 frames
  rig.update(0);
  EXPECT_TRUE(rig.ramp.requests.empty()) << "no procedure calls before play";
  rig.stream->play(false);
  rig.update(1000);
  rig.update(300);
  ASSERT_EQ(rig.ramp.requests.size(), 2u);
  EXPECT_EQ(rig.ramp.requests[0], 4410u * 4);
  EXPECT_EQ(rig.ramp.requests[1], 1000u * 4);
  EXPECT_EQ(rig.stream->activity(), static_cast<uint32_t>(BASS_ACTIVE_PLAYING));
}

TEST(UserStream, MixAtTheDeviceRateIsExactlyTheRamp) {
  Rig rig(100);
  rig.stream->play(false);
  for (int i = 0; i < 20; ++i) rig.update(1000);
  ASSERT_EQ(rig.out->written.size(), 40000u);
  for (size_t i = 0; i < 20000; ++i) {
    ASSERT_EQ(rig.out->written[2 * i], static_cast<int16_t>(i + 1)) << i;
    ASSERT_EQ(rig.out->written[2 * i + 1], static_cast<int16_t>(-(int)(i + 1))) << i;
  }
}

TEST(UserStream, RateAttributeResamplesAndVolumeScales) {
  Rig rig(100);
  rig.stream->set_attribute(BASS_ATTRIB_FREQ, 88200);  // twice as fast: every other frame
  rig.stream->play(false);
  rig.update(1000);
  for (size_t i = 0; i < 1000; ++i) ASSERT_EQ(rig.out->written[2 * i], static_cast<int16_t>(2 * i + 1)) << i;

  rig.stream->set_attribute(BASS_ATTRIB_FREQ, 22050);  // half speed: each input frame, then a midpoint
  rig.update(20);
  const int16_t* w = rig.out->written.data() + 2 * 1000;
  for (int k = 0; k < 20; k += 2) EXPECT_EQ(w[2 * k], 2001 + k / 2) << k;
  for (int k = 1; k < 20; k += 2) EXPECT_NEAR(w[2 * k], 2001 + k / 2.0, 0.5) << k;

  // volume acts at the mix: the block after a change ramps to it, later blocks hold it
  rig.stream->set_attribute(BASS_ATTRIB_FREQ, 44100);
  rig.stream->set_attribute(BASS_ATTRIB_VOL, 0.25f);
  rig.update(100);
  rig.update(100);
  const int16_t* v = rig.out->written.data() + 2 * 1120;
  for (int k = 0; k < 100; ++k) EXPECT_EQ(v[2 * k], static_cast<int16_t>(std::nearbyint(0.25 * (2111 + k)))) << k;
}

TEST(UserStream, EndPlaysTheTailThenStops) {
  Rig rig(100);
  rig.ramp.end_after = 1500;
  rig.stream->play(false);
  rig.update(1000);
  EXPECT_EQ(rig.stream->activity(), static_cast<uint32_t>(BASS_ACTIVE_PLAYING));
  rig.update(1000);
  EXPECT_EQ(rig.stream->activity(), static_cast<uint32_t>(BASS_ACTIVE_STOPPED));
  EXPECT_EQ(rig.ramp.requests.size(), 1u) << "no call after the end flag";
  EXPECT_EQ(rig.out->audible, 1500u);
  EXPECT_EQ(rig.out->written[2 * 1499], 1500);
  EXPECT_EQ(rig.out->written[2 * 1500], 0);
}

TEST(UserStream, RestartAndStopFlushPauseKeeps) {
  Rig rig(100);
  rig.stream->play(false);
  rig.update(1000);  // frames 1..4410 buffered, 1..1000 played
  rig.stream->pause();
  EXPECT_EQ(rig.stream->activity(), static_cast<uint32_t>(BASS_ACTIVE_PAUSED));
  rig.update(500);
  rig.stream->play(false);
  rig.update(10);
  EXPECT_EQ(rig.out->written[2 * 1500], 1001) << "resume continues with the buffered data";
  rig.stream->play(true);
  rig.update(10);
  EXPECT_EQ(rig.ramp.requests.back(), 4410u * 4) << "a restart refills the whole buffer";
  EXPECT_EQ(rig.out->written[2 * 1510], 5411) << "what was buffered before the restart is dropped";

  // a stop drops the buffer too: the next play starts with what the procedure writes then
  rig.stream->stop();
  EXPECT_EQ(rig.stream->activity(), static_cast<uint32_t>(BASS_ACTIVE_STOPPED));
  rig.stream->play(false);
  rig.update(10);
  EXPECT_EQ(rig.ramp.requests.back(), 4410u * 4);
  EXPECT_EQ(rig.out->written[2 * 1520], 9821) << "nothing buffered before the stop is heard";
}

// A device with nothing playing pauses its output after the grace time and writes nothing
// more; the next play resumes it, and the first block written after that is the stream's.
TEST(UserStream, DeviceRestsWhileNothingPlaysAndResumesWithTheFirstBlock) {
  Rig rig(100);
  rig.config.update_period_ms = 10;  // 50 ms queued ahead of the play position
  rig.update(100);
  EXPECT_FALSE(rig.device->resting()) << "silence is written during the grace time";
  EXPECT_EQ(rig.out->written.size(), 200u);
  std::this_thread::sleep_for(std::chrono::milliseconds(Device::kRestGraceMs + 100));
  rig.update(100);
  rig.update(100);
  EXPECT_TRUE(rig.device->resting());
  EXPECT_EQ(rig.out->pauses, 1);
  EXPECT_EQ(rig.out->written.size(), 200u) << "nothing written at rest";

  rig.stream->play(false);
  rig.update(100);
  EXPECT_FALSE(rig.device->resting());
  EXPECT_EQ(rig.out->resumes, 1);
  ASSERT_EQ(rig.out->written.size(), 400u);
  EXPECT_EQ(rig.out->written[200], 1) << "the first block is the stream's first frame on";
  EXPECT_EQ(rig.out->audible, 100u);

  rig.stream->pause();  // a paused stream lets the device rest again
  rig.update(100);
  std::this_thread::sleep_for(std::chrono::milliseconds(Device::kRestGraceMs + 100));
  rig.update(100);
  EXPECT_TRUE(rig.device->resting());
  EXPECT_EQ(rig.out->pauses, 2);
  rig.stream->play(false);
  rig.update(100);
  EXPECT_EQ(rig.out->resumes, 2);
  EXPECT_EQ(rig.out->written[rig.out->written.size() - 200], 101) << "resumes where the stream paused";
}

void BASSCALLBACK halve(HDSP, DWORD, void* buffer, DWORD bytes, void*) {
  auto* s = static_cast<float*>(buffer);
  for (DWORD i = 0; i < bytes / 4; ++i) s[i] *= 0.5f;
}

TEST(UserStream, ItsChainRunsOnWhatTheProcedureWrote) {
  Rig rig(100);
  rig.stream->chain.add_procedure(1, 0, halve, nullptr);
  rig.stream->play(false);
  rig.update(1000);
  for (size_t i = 0; i < 1000; ++i)
    ASSERT_EQ(rig.out->written[2 * i], static_cast<int16_t>(std::nearbyint((i + 1) * 0.5))) << i;
}

TEST(UserStream, StopWaitsForARunningProcedureCall) {
  Rig rig(100);
  rig.ramp.sleep_ms = 150;
  rig.stream->play(false);
  std::thread update([&] { rig.update(100); });
  while (!rig.ramp.inside) std::this_thread::yield();
  rig.stream->stop();
  EXPECT_FALSE(rig.ramp.inside) << "stop returned while the procedure was running";
  update.join();
  const size_t calls = rig.ramp.requests.size();
  rig.update(100);
  EXPECT_EQ(rig.ramp.requests.size(), calls);
}

// A procedure that holds its call open until the test lets it go.
struct Gate {
  std::promise<void> entered;
  std::shared_future<void> open;
  std::atomic<int> calls{0};
};

DWORD BASSCALLBACK gated_proc(HSTREAM, void* buffer, DWORD length, void* user) {
  auto* g = static_cast<Gate*>(user);
  if (g->calls++ == 0) {
    g->entered.set_value();
    g->open.wait();
  }
  std::memset(buffer, 0, length);
  return length;
}

// The wait hook runs while an API call waits for the update thread: the test learns from
// it that the call is waiting, without guessing with sleeps.
std::atomic<int> g_hook_calls{0};
void count_hook() { ++g_hook_calls; }

TEST(UserStream, PauseWaitsForARunningFillThenNoneFollows) {
  Rig rig(100);
  Gate gate;
  std::promise<void> opener;
  gate.open = opener.get_future().share();
  auto stream = std::make_shared<UserStream>(44100, 2, 0, gated_proc, &gate, 100, 0, &rig.config);
  rig.device->attach(stream);
  stream->play(false);
  std::thread update([&] { rig.update(100); });
  gate.entered.get_future().wait();  // the fill is running

  g_hook_calls = 0;
  set_wait_hook(count_hook);
  auto paused = std::async(std::launch::async, [&] { stream->pause(); });
  // either the pause waits for the fill (the hook runs), or it returned while the fill ran
  while (g_hook_calls == 0 && paused.wait_for(std::chrono::milliseconds(0)) != std::future_status::ready)
    std::this_thread::yield();
  const bool returned_during_fill = paused.wait_for(std::chrono::milliseconds(0)) == std::future_status::ready;
  opener.set_value();
  paused.get();
  update.join();
  set_wait_hook(nullptr);
  EXPECT_FALSE(returned_during_fill) << "BASS_ChannelPause returned while a fill was running";
  EXPECT_EQ(stream->activity(), static_cast<uint32_t>(BASS_ACTIVE_PAUSED));
  rig.update(100);
  EXPECT_EQ(gate.calls, 1) << "no fill while paused";
}

// A procedure that calls back into its own stream (pause or stop) returns, and the stream
// is paused or stopped when it has.
struct Self {
  std::shared_ptr<UserStream> stream;
  bool stop;
  bool returned = false;
};

DWORD BASSCALLBACK stops_itself(HSTREAM, void* buffer, DWORD length, void* user) {
  auto* me = static_cast<Self*>(user);
  if (me->stop)
    me->stream->stop();
  else
    me->stream->pause();
  me->returned = true;
  std::memset(buffer, 0, length);
  return length;
}

TEST(UserStream, PauseAndStopFromInsideItsOwnProcedureReturn) {
  for (const bool stop : {false, true}) {
    Rig rig(100);
    Self self{nullptr, stop};
    self.stream = std::make_shared<UserStream>(44100, 2, 0, stops_itself, &self, 100, 0, &rig.config);
    rig.device->attach(self.stream);
    self.stream->play(false);
    auto done = std::async(std::launch::async, [&] { rig.update(100); });
    if (done.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
      std::fprintf(stderr, "%s from inside the procedure hangs\n", stop ? "stop" : "pause");
      std::abort();  // the update cannot be joined
    }
    EXPECT_TRUE(self.returned);
    EXPECT_EQ(self.stream->activity(), stop ? static_cast<uint32_t>(BASS_ACTIVE_STOPPED)
                                            : static_cast<uint32_t>(BASS_ACTIVE_PAUSED));
    self.stream.reset();
  }
}

DWORD BASSCALLBACK throwing_proc(HSTREAM, void*, DWORD, void*) { throw std::bad_alloc(); }

// An exception on the update thread stops the stream it came from, with its error; the
// device and its other streams go on.
TEST(UserStream, AFaultOnTheUpdateThreadStopsOnlyItsStream) {
  Rig rig(100);
  auto bad = std::make_shared<UserStream>(44100, 2, 0, throwing_proc, nullptr, 100, 0, &rig.config);
  rig.device->attach(bad);
  bad->play(false);
  rig.stream->play(false);
  EXPECT_NO_THROW(rig.update(1000));
  EXPECT_EQ(bad->activity(), static_cast<uint32_t>(BASS_ACTIVE_STOPPED));
  EXPECT_EQ(bad->fault(), BASS_ERROR_MEM);
  EXPECT_EQ(rig.stream->activity(), static_cast<uint32_t>(BASS_ACTIVE_PLAYING));
  ASSERT_EQ(rig.out->written.size(), 2000u);
  EXPECT_EQ(rig.out->written[2 * 999], 1000) << "the other stream plays on";
  bad->play(false);
  EXPECT_EQ(bad->fault(), BASS_OK) << "a new play clears the fault";
}

// The mixer reads the volume while the window thread slides it (ThreadSanitizer checks
// that both hold the same lock).
TEST(UserStream, AttributesChangeWhileTheDeviceMixes) {
  Rig rig(100);
  rig.stream->play(false);
  std::atomic<bool> done{false};
  std::thread gui([&] {
    for (int i = 0; !done; ++i) {
      ChannelGuard guard(*rig.stream);  // as every API call holds it
      rig.stream->slide_attribute(BASS_ATTRIB_VOL, (i % 2) ? 1.0f : 0.0f, 50);
      rig.stream->set_attribute(BASS_ATTRIB_FREQ, (i % 2) ? 44100.0f : 48000.0f);
    }
  });
  for (int i = 0; i < 200; ++i) rig.update(100);
  done = true;
  gui.join();
  EXPECT_EQ(rig.out->written.size(), 40000u);
}

// A backend that plays on nothing; its output can be made to fail to open again.
class ReopenOutput : public OutputBackend {
 public:
  explicit ReopenOutput(std::atomic<bool>& fail) : fail_(fail) {}
  unsigned rate() const override { return 44100; }
  unsigned channels() const override { return 2; }
  size_t writable_frames(unsigned) override { return 64; }
  void write(const int16_t*, size_t, size_t) override {}
  unsigned latency_ms() const override { return 0; }
  bool resume() override { return !fail_; }

 private:
  std::atomic<bool>& fail_;
};

class ReopenPlatform : public OutputPlatform {
 public:
  std::atomic<bool> fail{false};
  std::vector<DeviceDescription> enumerate() override { return {DeviceDescription{"Fake", "fake", true}}; }
  std::unique_ptr<OutputBackend> open(size_t, unsigned, void*, int&) override {
    return std::make_unique<ReopenOutput>(fail);
  }
  unsigned directsound_version() const override { return 9; }
};

DWORD BASSCALLBACK silence_proc(HSTREAM, void* buffer, DWORD length, void*) {
  std::memset(buffer, 0, length);
  return length;
}

// A resting device opens its output in the play call: a device that cannot fails the play
// with an error code instead of reporting a play that nothing hears.
TEST(UserStream, APlayOnARestingDeviceThatCannotOpenFails) {
  ReopenPlatform platform;
  Library lib(&platform);
  lib.config.update_period_ms = 10;
  ASSERT_TRUE(lib.init_device(1, 44100, nullptr));
  Device* device = lib.current_device();
  ASSERT_NE(device, nullptr);
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!device->resting() && std::chrono::steady_clock::now() < give_up) std::this_thread::yield();
  ASSERT_TRUE(device->resting());
  const uint32_t h = lib.create_user_stream(44100, 2, 0, silence_proc, nullptr);
  ASSERT_NE(h, 0u);
  auto stream = std::dynamic_pointer_cast<UserStream>(lib.channel(h));

  platform.fail = true;
  set_error(BASS_OK);
  EXPECT_FALSE(lib.play(h, false)) << "the play reported success and nothing plays";
  EXPECT_EQ(last_error(), BASS_ERROR_DRIVER);
  EXPECT_EQ(stream->activity(), static_cast<uint32_t>(BASS_ACTIVE_STOPPED));
  EXPECT_TRUE(device->resting());

  platform.fail = false;
  EXPECT_TRUE(lib.play(h, false));
  EXPECT_FALSE(device->resting()) << "the play opened the output";
  EXPECT_EQ(stream->activity(), static_cast<uint32_t>(BASS_ACTIVE_PLAYING));
  EXPECT_TRUE(lib.free_current());
}

}  // namespace
}  // namespace tav::audio
