#include "dsp_feeder.h"

#include <cmath>

#include "dsp_test_host.h"

namespace tav::test {

DspFeeder::DspFeeder(winampDSPModule* module, Blocks blocks, Fill fill)
    : module_(module), format_(blocks), fill_(std::move(fill)), thread_([this] { Run(); }) {}

void DspFeeder::Stop() {
  stop_ = true;
  if (thread_.joinable()) thread_.join();
}

void DspFeeder::Run() {
  threadId_ = GetCurrentThreadId();
  const int bytesPerSample = format_.bps > 16 ? (format_.bps + 7) / 8 : 2;
  // The host's buffer holds twice the frames it passes: a module may return that many.
  std::vector<short> buffer(size_t(2) * format_.frames * format_.nch * bytesPerSample / 2 + 1);
  for (long long block = 0; !stop_; ++block) {
    if (fill_) {
      fill_(buffer.data(), format_.frames, format_.nch, block);
    } else {
      for (int i = 0; i < format_.frames; ++i) {
        const double t = double(block * format_.frames + i) / format_.srate;
        const short v = short(8192 * std::sin(2 * 3.14159265358979 * 441 * t));
        for (int c = 0; c < format_.nch; ++c) buffer[size_t(i) * format_.nch + c] = v;
      }
    }
    const int out = module_->ModifySamples(module_, buffer.data(), format_.frames, format_.bps, format_.nch,
                                           format_.srate);
    if (out < 0 || out > 2 * format_.frames) {
      ++bad_;
    } else {
      frames_ += out;
      std::lock_guard<std::mutex> lock(lastMutex_);
      last_.assign(buffer.begin(), buffer.begin() + size_t(out) * format_.nch);
    }
    ++blocks_;
    if (format_.pauseMs > 0) Sleep(DWORD(format_.pauseMs));
  }
}

bool DspFeeder::WaitForBlocks(long long count, int timeoutMs) {
  const ULONGLONG end = GetTickCount64() + ULONGLONG(timeoutMs);
  while (blocks_ < count) {
    if (GetTickCount64() > end) return false;
    DspTestHost::pump();
    Sleep(1);
  }
  return true;
}

std::vector<short> DspFeeder::LastBlock() const {
  std::lock_guard<std::mutex> lock(lastMutex_);
  return last_;
}

}  // namespace tav::test
