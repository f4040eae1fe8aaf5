#include "network_source.h"

#include <algorithm>
#include <cstring>

namespace tav::audio {

namespace {
constexpr size_t kFetchBytes = 64 * 1024;
}

NetworkSource::NetworkSource(std::unique_ptr<NetReader> reader, Progress progress)
    : reader_(std::move(reader)), progress_(std::move(progress)) {}

NetworkSource::~NetworkSource() = default;

bool NetworkSource::fetch() {
  if (ended_) return false;
  const size_t at = data_.size();
  data_.resize(at + kFetchBytes);
  const size_t got = reader_->read(data_.data() + at, kFetchBytes);
  data_.resize(at + got);
  if (got == 0) {
    ended_ = true;
    reader_.reset();  // nothing more will come: the connection is closed now
    if (progress_) progress_(nullptr, 0);
    return false;
  }
  if (progress_) progress_(data_.data() + at, got);
  return true;
}

size_t NetworkSource::read(void* dst, size_t n) {
  while (data_.size() - pos_ < n && fetch()) {
  }
  const size_t count = static_cast<size_t>(std::min<uint64_t>(n, data_.size() - pos_));
  if (count) std::memcpy(dst, data_.data() + pos_, count);
  pos_ += count;
  return count;
}

bool NetworkSource::seek(uint64_t pos) {
  if (pos > data_.size()) return false;
  pos_ = pos;
  return true;
}

uint64_t NetworkSource::size() const {
  if (ended_) return data_.size();
  const uint64_t announced = reader_ ? reader_->content_length() : NetReader::kUnknownLength;
  return announced == NetReader::kUnknownLength ? kOpenEndedSize : announced;
}

}  // namespace tav::audio
