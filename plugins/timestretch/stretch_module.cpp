#include "stretch_module.h"

#include <algorithm>
#include <cstring>

namespace lentaro {

int frameSizeForRate(int srate) {
  if (srate >= 44100) return 2048;
  if (srate >= 22050) return 1024;
  return 512;
}

StretchModule::StretchModule(Clock clock, Notice notice)
    : clock_(std::move(clock)), notice_(std::move(notice)) {}

bool StretchModule::initEngines() {
  if (busy_.exchange(true)) return false;
  bool ok = true;
  for (auto& e : engines_) ok = ok && e.setup(stretch.load(), pitch.load(), curSrate_, curBps_) != 0;
  for (auto& e : engines_) e.setFrameParams(TimeStretcher::kOverlap, kInitialFrameSize);
  // the first block after Init starts a fresh stream, with nothing carried over
  dirty.store(1);
  busy_.store(false);
  return ok;
}

void StretchModule::resetEngines(int srate, int bps, int nch) {
  curSrate_ = srate;
  curBps_ = bps;
  curNch_ = nch;
  dirty.store(0);
  const float s = stretch.load(), p = pitch.load();
  for (auto& e : engines_) {
    e.setFrameParams(TimeStretcher::kOverlap, frameSizeForRate(srate));
    e.setup(s, p, srate, bps);
  }
  for (auto& c : channels_) c.carry = c.queued = 0;
  watchdog_ = Watchdog{};
  watchdog_.lastCall = clock_ ? clock_() : 0;
  if (notice_) notice_();
}

void StretchModule::checkCallGap(int srate, int bps, int nch) {
  Watchdog& w = watchdog_;
  w.calls += 1;
  const uint32_t now = clock_ ? clock_() : 0;
  const int gap = int32_t(now - w.lastCall);
  if (gap > (srate <= 8000 ? 2000 : 1000) ||
      (w.calls > 10 && gap > 10 * w.smallest + 5 * w.average + 2 * w.largest + 400)) {
    resetEngines(srate, bps, nch);
    watchdog_.lastCall = now;
    return;
  }
  if (gap > w.largest) {
    w.newLargest += 1;
    w.largest = gap;
    w.average = (w.average + gap) / w.newLargest;
  }
  if (gap < w.smallest) w.smallest = gap;
  w.lastCall = now;
}

int StretchModule::runEngine(int channel, const uint8_t* block, int bytes) {
  Channel& c = channels_[channel];
  std::memcpy(c.input.data() + c.carry, block, size_t(bytes));
  int carried = 0;
  const int written = engines_[channel].process(c.queue.data() + c.queued, kQueueBytes - c.queued,
                                                c.input.data(), c.carry + bytes, &carried,
                                                c.input.data());
  c.carry = carried;
  if (written > 0) c.queued += written;
  return c.queued;
}

void StretchModule::dropQueued(int channel, int bytes) {
  Channel& c = channels_[channel];
  c.queued -= bytes;
  std::memmove(c.queue.data(), c.queue.data() + bytes, size_t(c.queued));
}

int StretchModule::processMono(uint8_t* samples, int n, int b, int nch) {
  if (nch == 2) {
    if (b == 2) {
      for (int i = 0; i < n; ++i) {
        int16_t l, r;
        std::memcpy(&l, samples + 4 * i, 2);
        std::memcpy(&r, samples + 4 * i + 2, 2);
        const int16_t m = int16_t((int(l) + int(r)) / 2);
        std::memcpy(samples + 2 * i, &m, 2);
      }
    } else {
      for (int i = 0; i < n; ++i) samples[i] = uint8_t((samples[2 * i] + samples[2 * i + 1]) >> 1);
    }
  }
  const int queued = runEngine(0, samples, n * b);
  const int frames = std::min(queued / b, 2 * n);
  const uint8_t* q = channels_[0].queue.data();
  if (nch == 1) {
    std::memcpy(samples, q, size_t(frames * b));
  } else {
    for (int i = 0; i < frames; ++i) {
      std::memcpy(samples + 2 * b * i, q + b * i, size_t(b));
      std::memcpy(samples + 2 * b * i + b, q + b * i, size_t(b));
    }
  }
  dropQueued(0, frames * b);
  return frames;
}

int StretchModule::processStereo(uint8_t* samples, int n, int b) {
  std::array<uint8_t, kMaxBlockBytes / 2> split;
  int queued[2];
  for (int ch = 0; ch < 2; ++ch) {
    for (int i = 0; i < n; ++i) std::memcpy(split.data() + b * i, samples + 2 * b * i + b * ch, size_t(b));
    queued[ch] = runEngine(ch, split.data(), n * b);
  }
  const int frames = std::min({queued[0] / b, queued[1] / b, 2 * n});
  for (int ch = 0; ch < 2; ++ch) {
    const uint8_t* q = channels_[ch].queue.data();
    for (int i = 0; i < frames; ++i) std::memcpy(samples + 2 * b * i + b * ch, q + b * i, size_t(b));
    dropQueued(ch, frames * b);
  }
  return frames;
}

int StretchModule::modifySamples(void* samples, int n, int bps, int nch, int srate) {
  if ((bps != 8 && bps != 16) || (nch != 1 && nch != 2) || n < 1 || srate < 1) return n;
  const int b = bps / 8;
  if (int64_t(n) * b * nch > kMaxBlockBytes || quitting.load() || bypass.load()) return n;
  if (busy_.exchange(true)) return n;
  if (dirty.load() || srate != curSrate_ || bps != curBps_ || nch != curNch_)
    resetEngines(srate, bps, nch);
  checkCallGap(srate, bps, nch);
  auto* block = static_cast<uint8_t*>(samples);
  const int frames = (nch == 1 || mono.load()) ? processMono(block, n, b, nch) : processStereo(block, n, b);
  busy_.store(false);
  return frames;
}

}  // namespace lentaro
