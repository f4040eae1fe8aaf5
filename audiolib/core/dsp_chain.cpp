#include "dsp_chain.h"

#include <algorithm>

#include "sample_convert.h"

namespace tav::audio {

void DspChain::insert(Entry entry) {
  entry.order = next_order_++;
  if (running_) {
    pending_.push_back(std::move(entry));
    return;
  }
  auto at = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& e) { return e.priority < entry.priority; });
  entries_.insert(at, std::move(entry));
}

void DspChain::add_procedure(uint32_t handle, int priority, DSPPROC* proc, void* user) {
  insert(Entry{handle, priority, 0, proc, user, nullptr});
}

void DspChain::add_effect(uint32_t handle, int priority, std::unique_ptr<Effect> effect) {
  insert(Entry{handle, priority, 0, nullptr, nullptr, std::move(effect)});
}

bool DspChain::remove(uint32_t handle) {
  for (auto* list : {&entries_, &pending_}) {
    auto it = std::find_if(list->begin(), list->end(), [&](const Entry& e) { return e.handle == handle && !e.removed; });
    if (it == list->end()) continue;
    if (running_)
      it->removed = true;  // erased when the running pass ends; it is skipped from now on
    else
      list->erase(it);
    return true;
  }
  return false;
}

Effect* DspChain::find_effect(uint32_t handle) const {
  for (auto* list : {&entries_, &pending_})
    for (auto& e : *list)
      if (e.handle == handle && !e.removed) return e.effect.get();
  return nullptr;
}

std::vector<uint32_t> DspChain::handles() const {
  std::vector<uint32_t> out;
  for (auto* list : {&entries_, &pending_})
    for (auto& e : *list)
      if (!e.removed) out.push_back(e.handle);
  return out;
}

void DspChain::clear() {
  entries_.clear();
  pending_.clear();
}

void DspChain::purge() {
  std::erase_if(entries_, [](const Entry& e) { return e.removed; });
  auto pending = std::move(pending_);
  pending_.clear();
  for (auto& e : pending)
    if (!e.removed) {
      const uint64_t order = e.order;
      auto at = std::find_if(entries_.begin(), entries_.end(), [&](const Entry& x) { return x.priority < e.priority; });
      at = entries_.insert(at, std::move(e));
      at->order = order;
    }
}

void DspChain::run(float* samples, size_t frames, unsigned channels, uint32_t channel_handle, bool float_dsp) {
  if (entries_.empty() || frames == 0) return;
  running_ = true;
  const size_t count = frames * channels;
  for (size_t i = 0; i < entries_.size(); ++i) {
    Entry& e = entries_[i];
    if (e.removed) continue;
    if (e.effect) {
      e.effect->process(samples, frames);
    } else if (float_dsp) {
      e.proc(e.handle, channel_handle, samples, static_cast<DWORD>(count * sizeof(float)), e.user);
    } else {
      pcm_.resize(count);
      float_to_int16(samples, pcm_.data(), count);
      e.proc(e.handle, channel_handle, pcm_.data(), static_cast<DWORD>(count * sizeof(int16_t)), e.user);
      int16_to_float(pcm_.data(), samples, count);
    }
  }
  running_ = false;
  purge();
}

void DspChain::reset_effects() {
  for (auto& e : entries_)
    if (e.effect && !e.removed) e.effect->reset();
}

}  // namespace tav::audio
