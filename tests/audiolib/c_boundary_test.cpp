// No C++ exception crosses the C interface: with the n-th allocation made to fail, for
// every n until the call succeeds, each opening call answers with its failure value and
// BASS_ERROR_MEM (or succeeds), never with a crash or an escaping exception.
//
// The failing allocator replaces the program's operator new, which the shared library's
// allocations reach as well.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <future>
#include <functional>
#include <new>
#include <vector>

#include "bass.h"
#include "bass_ext.h"
#ifdef TAV_WITH_BFXS
#include "bass_fx.h"
#include "fx_effects.h"
#include "fx_streams.h"
#endif
#include "pcm_files.h"
#include "tav/test/module_files.h"

namespace {
// Allocations the test's own thread may still make before one fails; -1: none fails. The
// library's threads (the device's update thread) allocate as usual.
thread_local long g_allocations_left = -1;
// While set, every allocation of at least kLarge bytes on another thread than the test's
// fails: the update thread must not size buffers.
std::atomic<bool> g_fail_large_elsewhere{false};
thread_local bool t_test_thread = false;
constexpr std::size_t kLarge = 64 * 1024;
}

// SoundTouch's constructors and libopenmpt's C interface lose what they had allocated
// when an allocation inside them fails. Those are their leaks, not the library's: the
// leak checker of the sanitizer build is told to pass over allocations made inside them.
extern "C" const char* __lsan_default_suppressions() { return "leak:libSoundTouch\nleak:libopenmpt\n"; }

void* operator new(std::size_t size) {
  if (g_allocations_left >= 0 && g_allocations_left-- == 0) throw std::bad_alloc();
  if (size >= kLarge && !t_test_thread && g_fail_large_elsewhere) throw std::bad_alloc();
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

using tav::audio::test::Container;
using tav::audio::test::Sample;

// Runs `call` with the n-th allocation failing, n = 0, 1, ... until it succeeds (at most
// `limit` tries); every failure must carry BASS_ERROR_MEM.
void sweep(const char* what, const std::function<DWORD()>& call, const std::function<void(DWORD)>& release,
           int limit = 400) {
  for (int n = 0; n < limit; ++n) {
    g_allocations_left = n;
    const DWORD result = call();
    const int error = BASS_ErrorGetCode();
    const bool injected = g_allocations_left < 0;
    g_allocations_left = -1;
    if (result) {
      release(result);
      if (!injected) return;  // got through without meeting the failure: done
      continue;               // the failure was met and handled inside
    }
    ASSERT_TRUE(injected) << what << ": failed on its own at n=" << n << " with " << error;
    EXPECT_EQ(error, BASS_ERROR_MEM) << what << " at n=" << n;
  }
  ADD_FAILURE() << what << " never succeeded";
}

TEST(CBoundary, AllocationFailuresBecomeMemErrors) {
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
  const auto wav = tav::audio::test::make_pcm_file(Container::Wav, Sample::S16, 44100, 2, 20000);
  const auto mod = tav::test::make_mod();
  const auto free_stream = [](DWORD h) { BASS_StreamFree(h); };

  sweep("StreamCreateFile", [&]() -> DWORD {
    return BASS_StreamCreateFile(TRUE, wav.bytes.data(), 0, wav.bytes.size(), BASS_STREAM_DECODE | BASS_STREAM_PRESCAN);
  }, free_stream);
  sweep("MusicLoad", [&]() -> DWORD {
    return BASS_MusicLoad(TRUE, mod.data(), 0, static_cast<DWORD>(mod.size()), BASS_MUSIC_DECODE | BASS_MUSIC_PRESCAN, 44100);
  }, [](DWORD h) { BASS_MusicFree(h); });
  sweep("StreamCreate", []() -> DWORD {
    return BASS_StreamCreate(44100, 2, 0, [](HSTREAM, void*, DWORD, void*) -> DWORD { return 0; }, nullptr);
  }, free_stream);

  const HSTREAM file = BASS_StreamCreateFile(TRUE, wav.bytes.data(), 0, wav.bytes.size(), BASS_STREAM_DECODE);
  ASSERT_NE(file, 0u);
  sweep("ChannelSetFX", [&]() -> DWORD { return BASS_ChannelSetFX(file, BASS_FX_DX8_REVERB, 0); },
        [&](DWORD fx) { BASS_ChannelRemoveFX(file, fx); });
  sweep("ChannelSetDSP", [&]() -> DWORD {
    return BASS_ChannelSetDSP(file, [](HDSP, DWORD, void*, DWORD, void*) {}, nullptr, 0);
  }, [&](DWORD dsp) { BASS_ChannelRemoveDSP(file, dsp); });
  // decoding a block of a stream with an effect on it
  const HFX fx = BASS_ChannelSetFX(file, BASS_FX_DX8_ECHO, 0);
  ASSERT_NE(fx, 0u);
  std::vector<char> block(65536);
  sweep("ChannelGetData", [&]() -> DWORD {
    const DWORD got = BASS_ChannelGetData(file, block.data(), static_cast<DWORD>(block.size()));
    return got == static_cast<DWORD>(-1) ? 0 : got;
  }, [](DWORD) {});
#ifdef TAV_WITH_BFXS
  // the tempo stage of bfxs over a decoding stream
  sweep("FX_TempoCreate", [&]() -> DWORD {
    const HSTREAM source = BASS_StreamCreateFile(TRUE, wav.bytes.data(), 0, wav.bytes.size(), BASS_STREAM_DECODE);
    if (!source) return HSTREAM{0};
    const HSTREAM tempo = BASS_FX_TempoCreate(source, BASS_STREAM_DECODE | BASS_FX_FREESOURCE);
    if (!tempo) {
      const int error = BASS_ErrorGetCode();
      BASS_StreamFree(source);
      BASS_TAV_SetError(error);
    }
    return tempo;
  }, free_stream);
#endif
  BASS_StreamFree(file);
  BASS_Free();
}

#ifdef TAV_WITH_BFXS
// The functions bass.dll calls in bfxs (its stages' reads, seeks and attributes, its
// effects' parameters) catch what they meet: in the Windows build each library unwinds
// only its own frames, so an exception leaving one would end the process. Each answers
// with its failure value and BASS_ERROR_MEM.
TEST(CBoundary, CallbacksBetweenTheLibrariesCatchAllocationFailures) {
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
  const auto wav = tav::audio::test::make_pcm_file(Container::Wav, Sample::S16, 44100, 2, 200000);
  std::vector<float> buffer(8192 * 2);
  // `call` with the n-th allocation failing, for every n until it goes through untouched
  auto sweep_callback = [](const char* what, const std::function<bool()>& call) {
    for (int n = 0; n < 400; ++n) {
      g_allocations_left = n;
      bool ok = false;
      EXPECT_NO_THROW(ok = call()) << what << " at n=" << n;
      const bool injected = g_allocations_left < 0;
      g_allocations_left = -1;
      if (!injected) return;
      if (!ok) EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_MEM) << what << " at n=" << n;
    }
    ADD_FAILURE() << what << " never went through";
  };
  for (const bool reverse : {false, true}) {
    const HSTREAM source = BASS_StreamCreateFile(TRUE, wav.bytes.data(), 0, wav.bytes.size(), BASS_STREAM_DECODE);
    ASSERT_NE(source, 0u);
    const HSTREAM stage = reverse ? BASS_FX_ReverseCreate(source, 2.0f, BASS_STREAM_DECODE | BASS_FX_FREESOURCE)
                                  : BASS_FX_TempoCreate(source, BASS_STREAM_DECODE | BASS_FX_FREESOURCE);
    ASSERT_NE(stage, 0u);
    const TAV_STREAM_FUNCS& funcs = reverse ? tav::bfxs::reverse_stream_funcs() : tav::bfxs::tempo_stream_funcs();
    void* state = BASS_TAV_StreamGetState(stage, &funcs);
    ASSERT_NE(state, nullptr);
    if (!reverse) ASSERT_TRUE(funcs.set_attribute(state, BASS_ATTRIB_TEMPO, 20.0f));
    sweep_callback(reverse ? "reverse read" : "tempo read",
                   [&] { return funcs.read(state, buffer.data(), 8192) != 0; });
    sweep_callback("set position", [&] { return funcs.set_position(state, 40000) != FALSE; });
    sweep_callback("read after the seek", [&] { return funcs.read(state, buffer.data(), 8192) != 0; });
    BASS_StreamFree(stage);
  }
  const TAV_FX_FUNCS& fx = tav::bfxs::effect_funcs();
  void* eq = fx.create(BASS_FX_BFX_PEAKEQ, 44100, 2);
  ASSERT_NE(eq, nullptr);
  int band = 0;
  sweep_callback("equaliser band", [&] {
    const BASS_BFX_PEAKEQ p{band++, 2.5f, 0.0f, 1000.0f, 6.0f, -1};
    return fx.set_parameters(eq, &p) != FALSE;
  });
  fx.destroy(eq);
  BASS_Free();
}
#endif

// A user stream whose device cannot make a handle for it half-way (its list of streams
// cannot grow) leaves no handle registered: every handle between two probes made before
// and after the failed call is unknown.
TEST(CBoundary, ACreateThatFailsHalfWayLeavesNoHandle) {
  const auto wav = tav::audio::test::make_pcm_file(Container::Wav, Sample::S16, 44100, 2, 2000);
  auto probe = [&] {
    const HSTREAM h = BASS_StreamCreateFile(TRUE, wav.bytes.data(), 0, wav.bytes.size(), BASS_STREAM_DECODE);
    EXPECT_NE(h, 0u);
    BASS_StreamFree(h);
    return h;
  };
  auto proc = [](HSTREAM, void*, DWORD, void*) -> DWORD { return 0; };
  for (int n = 0; n < 400; ++n) {
    ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();  // a fresh list of streams
    const HSTREAM before = probe();
    g_allocations_left = n;
    const HSTREAM made = BASS_StreamCreate(44100, 2, 0, proc, nullptr);
    const bool injected = g_allocations_left < 0;
    g_allocations_left = -1;
    const HSTREAM after = probe();
    BASS_CHANNELINFO info{};
    for (HSTREAM h = before + 1; h < after; ++h)
      if (h != made) EXPECT_FALSE(BASS_ChannelGetInfo(h, &info)) << "handle " << h << " left behind at n=" << n;
    if (made) BASS_StreamFree(made);
    ASSERT_TRUE(BASS_Free());
    if (!injected) return;
  }
  ADD_FAILURE() << "StreamCreate never succeeded";
}

// Tells the first request once a second one shows that the first fill went through.
DWORD BASSCALLBACK first_fill(HSTREAM, void* buffer, DWORD length, void* user) {
  auto* asked = static_cast<std::promise<DWORD>*>(user);
  static int calls = 0;
  static DWORD first = 0;
  if (++calls == 1) first = length;
  if (calls == 2) asked->set_value(first);
  std::memset(buffer, 0, length);
  return length;
}

// The update thread fills, runs the stream's chain and mixes in buffers sized when the
// stream was made: with every large allocation there failing, a stream still gets its
// first fill of the whole buffer and plays.
TEST(CBoundary, TheUpdateThreadDoesNotSizeAStreamsBuffers) {
  t_test_thread = true;
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
  std::promise<DWORD> asked;
  auto first = asked.get_future();
  const HSTREAM h = BASS_StreamCreate(44100, 2, 0, first_fill, &asked);  // a 500 ms buffer
  ASSERT_NE(h, 0u);
  // a procedure on its chain, given 16-bit samples (float DSP is off)
  ASSERT_NE(BASS_ChannelSetDSP(h, [](HDSP, DWORD, void*, DWORD, void*) {}, nullptr, 0), 0u);
  g_fail_large_elsewhere = true;
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  const bool filled = first.wait_for(std::chrono::seconds(20)) == std::future_status::ready;
  const DWORD active = BASS_ChannelIsActive(h);
  g_fail_large_elsewhere = false;
  ASSERT_TRUE(filled) << "the stream was never filled twice (it is " << active << ")";
  EXPECT_EQ(first.get(), 22050u * 4);
  EXPECT_EQ(active, static_cast<DWORD>(BASS_ACTIVE_PLAYING));
  EXPECT_TRUE(BASS_Free());
}

DWORD BASSCALLBACK fails_to_allocate(HSTREAM, void*, DWORD, void* user) {
  static_cast<std::promise<void>*>(user)->set_value();
  throw std::bad_alloc();
}

// A stream whose refill throws on the update thread stops; BASS_ChannelIsActive says so
// with its error, and the device plays on.
TEST(CBoundary, AStreamThatFaultsOnTheUpdateThreadStopsWithItsError) {
  ASSERT_TRUE(BASS_Init(0, 44100, 0, nullptr, nullptr)) << BASS_ErrorGetCode();
  std::promise<void> called;
  auto call = called.get_future();
  const HSTREAM h = BASS_StreamCreate(44100, 2, 0, fails_to_allocate, &called);
  ASSERT_NE(h, 0u);
  ASSERT_TRUE(BASS_ChannelPlay(h, FALSE));
  ASSERT_EQ(call.wait_for(std::chrono::seconds(20)), std::future_status::ready);
  DWORD active = BASS_ACTIVE_PLAYING;
  const auto give_up = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while ((active = BASS_ChannelIsActive(h)) == BASS_ACTIVE_PLAYING && std::chrono::steady_clock::now() < give_up) {
  }
  EXPECT_EQ(active, static_cast<DWORD>(BASS_ACTIVE_STOPPED));
  EXPECT_EQ(BASS_ErrorGetCode(), BASS_ERROR_MEM);
  EXPECT_TRUE(BASS_ChannelPlay(h, FALSE)) << "the device is still there";
  EXPECT_TRUE(BASS_Free());
}

}  // namespace
