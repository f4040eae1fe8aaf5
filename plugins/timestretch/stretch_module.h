// The glue between a Winamp DSP host's interleaved sample blocks and the two time
// stretchers: pass-through rules, re-initialisation, the call-gap watchdog, mono
// and stereo paths, the carried input and the output queues. No Win32 in here:
// the clock and the host notice come in as callbacks.
#pragma once

#include <array>
#include <atomic>
#include <cstdint>
#include <functional>

#include "time_stretcher.h"

namespace lentaro {

class StretchModule {
 public:
  static constexpr int kMaxBlockBytes = 9000;
  static constexpr int kInputBytes = 20000;   // carry plus one block, per channel
  static constexpr int kQueueBytes = 65536;   // output not yet returned, per channel
  static constexpr int kInitialFrameSize = 2048;

  using Clock = std::function<uint32_t()>;  // milliseconds
  using Notice = std::function<void()>;     // sent to the host at every re-initialisation

  StretchModule(Clock clock, Notice notice);

  // Shared with the control dialog: it writes a value and then sets dirty; the
  // audio thread applies it at its next block.
  std::atomic<float> stretch{1.0f};
  std::atomic<float> pitch{0.0f};
  std::atomic<int> bypass{0};
  std::atomic<int> mono{1};
  std::atomic<int> dirty{1};
  std::atomic<int> quitting{0};

  // Sets both engines up for the last format (the host's Init); false while a
  // block is being processed.
  bool initEngines();

  // The host's ModifySamples: processes the block in place and returns the new
  // frame count, at most 2 n; returns n with the block untouched when it is not
  // processed.
  int modifySamples(void* samples, int n, int bps, int nch, int srate);

  int currentRate() const { return curSrate_; }
  int currentBits() const { return curBps_; }
  int currentChannels() const { return curNch_; }
  const TimeStretcher& engine(int channel) const { return engines_[channel]; }

 private:
  struct Channel {
    int carry = 0;   // bytes carried at the start of input
    int queued = 0;  // bytes waiting in queue
    std::array<uint8_t, kInputBytes> input{};
    std::array<uint8_t, kQueueBytes> queue{};
  };
  struct Watchdog {
    uint32_t lastCall = 0;
    int calls = 0;
    int largest = -1;
    int smallest = 1000000;
    int average = 0;
    int newLargest = 0;
  };

  void resetEngines(int srate, int bps, int nch);
  void checkCallGap(int srate, int bps, int nch);
  int runEngine(int channel, const uint8_t* block, int bytes);
  void dropQueued(int channel, int bytes);
  int processMono(uint8_t* samples, int n, int b, int nch);
  int processStereo(uint8_t* samples, int n, int b);

  Clock clock_;
  Notice notice_;
  std::atomic<bool> busy_{false};
  int curSrate_ = 44100, curBps_ = 16, curNch_ = 2;
  Watchdog watchdog_;
  std::array<TimeStretcher, 2> engines_;
  std::array<Channel, 2> channels_;
};

// Frame size for a sample rate: 2048 from 44100 Hz, 1024 from 22050 Hz, else 512.
int frameSizeForRate(int srate);

}  // namespace lentaro
