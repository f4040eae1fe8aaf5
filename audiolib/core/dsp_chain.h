// A channel's chain of DSP procedures and effects. Higher priority runs first; among
// equal priorities an earlier entry runs before a later one. The owning channel's lock
// guards the chain: removal under that lock is synchronous with a running chain.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "bass.h"
#include "effect.h"

namespace tav::audio {

class DspChain {
 public:
  void add_procedure(uint32_t handle, int priority, DSPPROC* proc, void* user);
  void add_effect(uint32_t handle, int priority, std::unique_ptr<Effect> effect);
  // False when `handle` is not in this chain.
  bool remove(uint32_t handle);
  Effect* find_effect(uint32_t handle) const;
  bool empty() const { return entries_.empty(); }
  // Handles of every entry (to drop them from the handle table when the channel goes).
  std::vector<uint32_t> handles() const;
  void clear();
  // Room for `samples` samples of 16-bit procedures, so run() never allocates for them.
  void reserve(size_t samples) { pcm_.reserve(samples); }

  // Runs the chain over interleaved floats. With float_dsp off, procedures get 16-bit samples.
  void run(float* samples, size_t frames, unsigned channels, uint32_t channel_handle, bool float_dsp);
  void reset_effects();

 private:
  struct Entry {
    uint32_t handle;
    int priority;
    uint64_t order;
    DSPPROC* proc;
    void* user;
    std::unique_ptr<Effect> effect;
    bool removed = false;
  };
  void insert(Entry entry);
  void purge();

  std::vector<Entry> entries_;
  std::vector<Entry> pending_;  // added by a procedure while the chain runs
  std::vector<int16_t> pcm_;
  uint64_t next_order_ = 0;
  bool running_ = false;
};

}  // namespace tav::audio
