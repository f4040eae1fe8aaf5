#include "device.h"

#include <algorithm>
#include <chrono>

#include "bass.h"
#include "c_boundary.h"
#include "library_config.h"
#include "sample_convert.h"

namespace tav::audio {

namespace {
// What the update thread queues at most: 2 update periods and 30 ms.
unsigned ahead_ms(unsigned period_ms) { return 2 * period_ms + 30; }
}  // namespace

Device::Device(std::unique_ptr<OutputBackend> backend, const LibraryConfig& config)
    : backend_(std::move(backend)), config_(config) {
  // the mix buffers are never allocated on the update thread
  const size_t samples =
      (size_t{backend_->rate()} * ahead_ms(LibraryConfig::kMaxUpdateMs) / 1000 + 1) * backend_->channels();
  acc_.reserve(samples);
  out_.reserve(samples);
}

Device::~Device() {
  {
    std::lock_guard lock(wake_mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void Device::attach(std::shared_ptr<MixSource> source) {
  std::lock_guard lock(sources_mutex_);
  sources_.push_back(std::move(source));
}

void Device::detach(const MixSource* source) {
  std::lock_guard lock(sources_mutex_);
  std::erase_if(sources_, [source](const auto& s) { return s.get() == source; });
}

void Device::wake() {
  {
    std::lock_guard lock(wake_mutex_);
    woken_ = true;
  }
  wake_.notify_all();
}

std::vector<std::shared_ptr<MixSource>> Device::sources() {
  std::lock_guard lock(sources_mutex_);
  return sources_;
}

bool Device::open_output() {
  if (resting_) {
    if (!backend_->resume()) return false;
    resting_ = false;
  }
  last_playing_ = std::chrono::steady_clock::now();
  return true;
}

void Device::update() {
  std::vector<std::shared_ptr<MixSource>> sources;
  {
    std::lock_guard lock(sources_mutex_);
    sources = sources_;
  }
  for (auto& s : sources) guarded([&](int error) { s->stop_after_fault(error); }, [&] { s->refill(); });

  std::lock_guard output(output_mutex_);
  const unsigned ahead = ahead_ms(config_.update_period_ms);
  const auto now = std::chrono::steady_clock::now();
  if (std::any_of(sources.begin(), sources.end(), [](auto& s) { return s->playing(); })) {
    // a play opened a resting output already; this reopens only one that rested meanwhile
    if (!open_output()) return;
  } else if (resting_) {
    return;
  } else if (now - last_playing_ >= std::chrono::milliseconds(kRestGraceMs + ahead)) {
    backend_->pause();  // what was queued after the last sound has been heard by now
    resting_ = true;
    return;
  }
  const unsigned chans = backend_->channels();
  const size_t frames = std::min(backend_->writable_frames(ahead), acc_.capacity() / chans);
  if (frames == 0) return;
  acc_.assign(frames * chans, 0.0f);
  size_t audible = 0;
  for (auto& s : sources)
    guarded([&](int error) { s->stop_after_fault(error); },
            [&] { audible = std::max(audible, s->mix_into(acc_.data(), frames, backend_->rate(), chans)); });
  out_.resize(frames * chans);
  float_to_int16(acc_.data(), out_.data(), frames * chans);
  backend_->write(out_.data(), frames, audible);
}

void Device::start_thread() {
  if (!thread_.joinable()) thread_ = std::thread([this] { run(); });
}

void Device::run() {
  auto next = std::chrono::steady_clock::now();
  std::unique_lock lock(wake_mutex_);
  while (!stopping_) {
    lock.unlock();
    try {
      update();
    } catch (...) {  // the device's own part failed (its list of sources): this round is skipped
    }
    lock.lock();
    if (resting_) {  // nothing to do until a play wakes the thread
      wake_.wait(lock, [this] { return stopping_ || woken_; });
      woken_ = false;
      next = std::chrono::steady_clock::now();
      continue;
    }
    next += std::chrono::milliseconds(config_.update_period_ms.load());
    const auto now = std::chrono::steady_clock::now();
    if (next < now) next = now;  // fell behind: do not try to catch up in a burst
    if (wake_.wait_until(lock, next, [this] { return stopping_ || woken_; }) && woken_) next = std::chrono::steady_clock::now();
    woken_ = false;
  }
}

}  // namespace tav::audio
