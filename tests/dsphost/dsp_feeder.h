// The audio side of a Winamp DSP host for tests: a thread of its own calls a
// module's ModifySamples block after block, as a host's playback thread does,
// while the test's thread goes on with the user-interface side (Init, Config,
// Quit, the plug-in's window and timers).
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include "tav/winamp_dsp.h"

namespace tav::test {

class DspFeeder {
 public:
  struct Blocks {
    int frames = 576;  // frames per block
    int bps = 16;
    int nch = 2;
    int srate = 44100;
    int pauseMs = 0;  // between blocks; 0 feeds as fast as the module takes them
  };
  // Writes a block's input: `frames` frames of `nch` interleaved samples. The
  // default is a sine of 441 Hz at a quarter of full scale on every channel.
  using Fill = std::function<void(short* samples, int frames, int nch, long long block)>;

  // Starts feeding at once.
  explicit DspFeeder(winampDSPModule* module, Blocks blocks, Fill fill = {});
  explicit DspFeeder(winampDSPModule* module) : DspFeeder(module, Blocks{}) {}
  ~DspFeeder() { Stop(); }
  DspFeeder(const DspFeeder&) = delete;
  DspFeeder& operator=(const DspFeeder&) = delete;

  // Ends feeding once the block in progress has returned.
  void Stop();
  // Waits until `count` blocks have returned, dispatching this thread's
  // messages meanwhile (the plug-in's window lives on it); false on timeout.
  bool WaitForBlocks(long long count, int timeoutMs);

  long long BlocksDone() const { return blocks_; }
  long long FramesReturned() const { return frames_; }
  // Blocks that returned fewer than 0 frames or more than twice the frames passed.
  long long BadReturns() const { return bad_; }
  DWORD ThreadId() const { return threadId_; }
  // The newest 16-bit block as the module returned it (as many frames as it said).
  std::vector<short> LastBlock() const;

 private:
  void Run();
  winampDSPModule* module_;
  Blocks format_;
  Fill fill_;
  std::atomic<bool> stop_{false};
  std::atomic<long long> blocks_{0}, frames_{0}, bad_{0};
  std::atomic<DWORD> threadId_{0};
  mutable std::mutex lastMutex_;
  std::vector<short> last_;
  std::thread thread_;  // last: starts once the rest is built
};

}  // namespace tav::test
