// A custom stream (a stage of bfxs, an add-on's decoder) freed while another caller waits
// for its lock: the waiting caller must not reach the owner's state, which is gone.
#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <thread>
#include <vector>

#include "custom_stream.h"
#include "library.h"
#include "wait_hook.h"

namespace tav::audio {
namespace {

struct OwnerState {
  std::promise<void> reading;
  std::shared_future<void> let_read_end;
  std::atomic<bool> freed{false};
  std::atomic<int> calls_after_free{0};
};

DWORD TAVCDECL held_read(void* state, float* buffer, DWORD frames) {
  auto* s = static_cast<OwnerState*>(state);
  s->reading.set_value();
  s->let_read_end.wait();
  std::fill(buffer, buffer + frames * 2, 0.0f);
  return frames;
}
QWORD TAVCDECL position(void* state) {
  auto* s = static_cast<OwnerState*>(state);
  if (s->freed) ++s->calls_after_free;
  return 0;
}
void TAVCDECL release_state(void* state) { static_cast<OwnerState*>(state)->freed = true; }

// Who waits for the channel's lock on this thread; the wait hook tells the test, and
// holds the waiting caller back until the free has finished.
enum class Role { None, Caller, Freer };
thread_local Role t_role = Role::None;
std::promise<void>* g_caller_waits;
std::promise<void>* g_freer_waits;
std::shared_future<void> g_free_done;
std::atomic<bool> g_caller_told{false}, g_freer_told{false};

void sequencing_hook() {
  if (t_role == Role::Caller) {
    if (!g_caller_told.exchange(true)) g_caller_waits->set_value();
    g_free_done.wait();
  } else if (t_role == Role::Freer) {
    if (!g_freer_told.exchange(true)) g_freer_waits->set_value();
  }
}

TEST(CustomStream, ACallerWaitingForTheLockWhileTheStreamIsFreedDoesNotReachItsState) {
  Library lib(nullptr);
  OwnerState state;
  std::promise<void> let_read_end, caller_waits, freer_waits, free_done;
  state.let_read_end = let_read_end.get_future().share();
  g_caller_waits = &caller_waits;
  g_freer_waits = &freer_waits;
  g_free_done = free_done.get_future().share();
  TAV_STREAM_FUNCS funcs{};
  funcs.size = sizeof funcs;
  funcs.read = held_read;
  funcs.get_position = position;
  funcs.free = release_state;
  const uint32_t h = lib.create_custom_stream(44100, 2, 0, 0, funcs, &state);
  ASSERT_NE(h, 0u);
  set_wait_hook(sequencing_hook);

  std::thread reader([&] {  // holds the lock inside the owner's read
    auto ch = lib.channel(h);
    ChannelGuard guard(*ch);
    std::vector<int16_t> pcm(512 * 2);
    ch->get_data(pcm.data(), static_cast<uint32_t>(pcm.size() * 2), lib.config);
  });
  state.reading.get_future().wait();

  uint64_t seen = 0;
  std::thread caller([&] {  // took the channel before its handle went, then waits for its lock
    t_role = Role::Caller;
    auto ch = lib.channel(h);
    ChannelGuard guard(*ch);
    seen = ch->position_bytes();
  });
  caller_waits.get_future().wait();
  std::thread freer([&] {
    t_role = Role::Freer;
    EXPECT_TRUE(lib.free_channel(h));
    free_done.set_value();
  });
  freer_waits.get_future().wait();
  let_read_end.set_value();  // the free goes first: the caller is held in the wait hook
  freer.join();
  caller.join();
  reader.join();
  set_wait_hook(nullptr);
  EXPECT_TRUE(state.freed);
  EXPECT_EQ(state.calls_after_free, 0) << "a waiting caller called into the freed state";
  EXPECT_EQ(seen, Channel::kNoValue);
}

}  // namespace
}  // namespace tav::audio
