#include "network_source.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <thread>
#include <vector>

#include "bass.h"

namespace tav::audio {

namespace {
constexpr size_t kFetchBytes = 16 * 1024;
constexpr auto kStopWait = std::chrono::milliseconds(20);
}  // namespace

// One connection and its ring buffer, shared by the stream and its download thread; a
// thread that outlives its stream (a read that does not return at once when aborted)
// holds only this.
struct NetworkSource::Transfer {
  Transfer(std::unique_ptr<NetReader> r, uint64_t from, size_t capacity, Progress p)
      : reader(std::move(r)), ring(capacity), start(from), end(from), reader_pos(from), progress(std::move(p)) {}

  std::unique_ptr<NetReader> reader;
  std::mutex mutex;
  std::condition_variable changed;
  std::vector<uint8_t> ring;  // the byte at stream offset o is ring[o % size]
  uint64_t start, end;        // the stream's bytes held: [start, end)
  uint64_t reader_pos;        // where the decoder reads
  bool ended = false;
  bool stopping = false;
  bool finished = false;  // the thread has left
  Progress progress;
  // Held while the progress procedure runs; recursive, so the procedure may free its stream.
  std::recursive_mutex progress_mutex;
  bool progress_closed = false;  // the stream is gone: the procedure is not called again

  void report(const void* data, size_t n) {
    std::lock_guard gate(progress_mutex);
    if (!progress_closed) progress(data, n);
  }
  // Returns once a running progress call has ended; none follows.
  void close_progress() {
    std::lock_guard gate(progress_mutex);
    progress_closed = true;
  }

  size_t capacity() const { return ring.size(); }
  // Bytes behind the reader kept for short seeks back.
  size_t keep_behind() const { return capacity() / 4; }
  // Room for new bytes: free space, plus old bytes far enough behind the reader.
  size_t writable() const {
    const size_t free = capacity() - static_cast<size_t>(end - start);
    const uint64_t keep_from = reader_pos > keep_behind() ? reader_pos - keep_behind() : 0;
    return free + static_cast<size_t>(keep_from > start ? std::min<uint64_t>(keep_from - start, end - start) : 0);
  }

  void run() {
    std::unique_lock lock(mutex);
    while (!stopping) {
      changed.wait(lock, [&] { return stopping || writable() > 0; });
      if (stopping) break;
      const size_t at = static_cast<size_t>(end % capacity());
      const size_t n = std::min({kFetchBytes, writable(), capacity() - at});
      const size_t free = capacity() - static_cast<size_t>(end - start);
      if (n > free) start += n - free;  // those bytes lie behind the reader
      lock.unlock();
      const size_t got = reader->read(ring.data() + at, n);
      if (got && progress) report(ring.data() + at, got);
      lock.lock();
      if (stopping) break;
      if (got == 0) {
        ended = true;
        reader.reset();  // nothing more will come: the connection is closed now
        changed.notify_all();
        lock.unlock();
        if (progress) report(nullptr, 0);
        lock.lock();
        break;
      }
      end += got;
      changed.notify_all();
    }
    finished = true;
    changed.notify_all();
  }

  // Copies what is held from `pos`; waits up to `wait` for bytes that have not arrived.
  size_t copy(uint64_t pos, uint8_t* dst, size_t n, std::chrono::milliseconds wait) {
    std::unique_lock lock(mutex);
    const auto deadline = std::chrono::steady_clock::now() + wait;
    size_t done = 0;
    while (done < n) {
      const uint64_t at = pos + done;
      if (at < start) break;
      if (at >= end) {
        if (ended || wait.count() == 0) break;
        if (!changed.wait_until(lock, deadline, [&] { return ended || end > at || stopping; })) break;
        if (stopping) break;
        continue;
      }
      const size_t index = static_cast<size_t>(at % capacity());
      const size_t piece = static_cast<size_t>(std::min<uint64_t>({n - done, end - at, capacity() - index}));
      std::memcpy(dst + done, ring.data() + index, piece);
      done += piece;
      // a reader waiting for more also lets the thread reuse what lies behind it
      reader_pos = at + piece;
      changed.notify_all();
    }
    reader_pos = pos + done;
    changed.notify_all();
    return done;
  }
};

NetworkSource::NetworkSource(std::unique_ptr<NetReader> reader, Reconnect reconnect, NetBufferOptions options,
                             Progress progress)
    : reconnect_(std::move(reconnect)), options_(options), progress_(std::move(progress)) {
  options_.capacity = std::max(options_.capacity, 2 * kMinAhead);
  options_.prebuffer = std::clamp(options_.prebuffer, kMinAhead, options_.capacity - options_.capacity / 4);
  total_ = reader->content_length();
  start(std::make_shared<Transfer>(std::move(reader), 0, options_.capacity, progress_));
}

NetworkSource::~NetworkSource() { stop(); }

void NetworkSource::start(std::shared_ptr<Transfer> transfer) {
  transfer_ = std::move(transfer);
  std::thread([t = transfer_] { t->run(); }).detach();
}

void NetworkSource::stop() {
  if (!transfer_) return;
  std::unique_lock lock(transfer_->mutex);
  transfer_->stopping = true;
  if (transfer_->reader) transfer_->reader->abort();
  transfer_->changed.notify_all();
  lock.unlock();
  transfer_->close_progress();  // the stream's owner hears nothing more once it is freed
  lock.lock();
  // A client that gives up at once lets the thread end here; one that does not is left
  // to end by itself, holding only its own transfer.
  transfer_->changed.wait_for(lock, kStopWait, [&] { return transfer_->finished; });
  lock.unlock();
  transfer_.reset();
}

void NetworkSource::opened() { live_ = true; }

size_t NetworkSource::read(void* dst, size_t n) {
  if (!transfer_) return 0;
  const auto wait = live_ ? std::chrono::milliseconds(0) : std::chrono::milliseconds(options_.timeout_ms);
  const size_t got = transfer_->copy(pos_, static_cast<uint8_t*>(dst), n, wait);
  pos_ += got;
  return got;
}

bool NetworkSource::seek(uint64_t pos) {
  if (!transfer_) return false;
  {
    std::unique_lock lock(transfer_->mutex);
    Transfer& t = *transfer_;
    // Ahead on this connection while the decoder is opened: wait until the bytes are there
    // (a transfer that ends before them refuses the seek).
    if (!live_ && pos > t.end && pos - t.end <= options_.capacity / 2) {
      t.reader_pos = pos;
      t.changed.notify_all();
      t.changed.wait_for(lock, std::chrono::milliseconds(options_.timeout_ms),
                         [&] { return t.end >= pos || t.ended || t.stopping; });
      if (t.end < pos) {
        t.reader_pos = pos_;
        return false;
      }
    }
    if (pos >= t.start && pos <= t.end) {  // inside what is held
      pos_ = t.reader_pos = pos;
      t.changed.notify_all();
      return true;
    }
    if (total_ != NetReader::kUnknownLength && pos > total_) return false;
  }
  int error = BASS_ERROR_NOTAVAIL;
  auto reader = reconnect_ ? reconnect_(pos, error) : nullptr;
  if (!reader) {
    seek_error_ = error;
    return false;
  }
  stop();
  start(std::make_shared<Transfer>(std::move(reader), pos, options_.capacity, progress_));
  pos_ = pos;
  stalled_ = live_;  // the new connection fills its prebuffer first
  return true;
}

uint64_t NetworkSource::size() const {
  if (total_ != NetReader::kUnknownLength) return total_;  // a transfer cut short ends the stream early
  if (transfer_) {
    std::lock_guard lock(transfer_->mutex);
    if (transfer_->ended) return transfer_->end;
  }
  return kOpenEndedSize;
}

bool NetworkSource::stalled() {
  if (!transfer_) return false;
  std::lock_guard lock(transfer_->mutex);
  const uint64_t ahead = transfer_->end > pos_ ? transfer_->end - pos_ : 0;
  if (transfer_->ended) stalled_ = false;
  else if (stalled_) stalled_ = ahead < options_.prebuffer;
  else stalled_ = ahead < kMinAhead;
  return stalled_;
}

size_t NetworkSource::held_bytes() const {
  if (!transfer_) return 0;
  std::lock_guard lock(transfer_->mutex);
  return transfer_->ring.size();
}

}  // namespace tav::audio
