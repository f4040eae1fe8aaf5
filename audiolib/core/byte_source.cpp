#include "byte_source.h"

#include <algorithm>
#include <cstring>

#include "bass.h"
#include "file_io.h"

namespace tav::audio {

namespace {

class FileSource : public ByteSource {
 public:
  FileSource(std::FILE* f, uint64_t begin, uint64_t size) : file_(f), begin_(begin), size_(size) {}
  ~FileSource() override { std::fclose(file_); }

  size_t read(void* dst, size_t n) override {
    n = static_cast<size_t>(std::min<uint64_t>(n, size_ - pos_));
    if (n == 0) return 0;
    if (!synced_ && !file_seek(file_, begin_ + pos_)) return 0;
    synced_ = true;
    const size_t got = std::fread(dst, 1, n, file_);
    pos_ += got;
    if (got < n) synced_ = false;
    return got;
  }
  bool seek(uint64_t pos) override {
    if (pos > size_) return false;
    if (pos != pos_) synced_ = false;
    pos_ = pos;
    return true;
  }
  uint64_t tell() const override { return pos_; }
  uint64_t size() const override { return size_; }

 private:
  std::FILE* file_;
  uint64_t begin_;
  uint64_t size_;
  uint64_t pos_ = 0;
  bool synced_ = false;
};

class MemorySource : public ByteSource {
 public:
  MemorySource(const void* data, uint64_t size) : data_(static_cast<const uint8_t*>(data)), size_(size) {}
  size_t read(void* dst, size_t n) override {
    n = static_cast<size_t>(std::min<uint64_t>(n, size_ - pos_));
    if (n) std::memcpy(dst, data_ + pos_, n);
    pos_ += n;
    return n;
  }
  bool seek(uint64_t pos) override {
    if (pos > size_) return false;
    pos_ = pos;
    return true;
  }
  uint64_t tell() const override { return pos_; }
  uint64_t size() const override { return size_; }

 private:
  const uint8_t* data_;
  uint64_t size_;
  uint64_t pos_ = 0;
};

// The first `size` bytes of another source.
class WindowSource : public ByteSource {
 public:
  WindowSource(std::unique_ptr<ByteSource> inner, uint64_t size) : inner_(std::move(inner)), size_(size) {}
  size_t read(void* dst, size_t n) override {
    const uint64_t at = inner_->tell();
    if (at >= size_) return 0;
    return inner_->read(dst, static_cast<size_t>(std::min<uint64_t>(n, size_ - at)));
  }
  bool seek(uint64_t pos) override { return pos <= size_ && inner_->seek(pos); }
  uint64_t tell() const override { return inner_->tell(); }
  uint64_t size() const override { return size_; }
  bool seekable() const override { return inner_->seekable(); }

 private:
  std::unique_ptr<ByteSource> inner_;
  uint64_t size_;
};

}  // namespace

std::unique_ptr<ByteSource> window_source(std::unique_ptr<ByteSource> inner, uint64_t size) {
  const uint64_t kept = std::min(size, inner->size());
  return std::make_unique<WindowSource>(std::move(inner), kept);
}

std::unique_ptr<ByteSource> open_file_source(const std::string& path, uint64_t offset, uint64_t length) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return nullptr;
  const int64_t file_size = file_length(f);
  if (file_size < 0 || offset > static_cast<uint64_t>(file_size)) {
    std::fclose(f);
    return nullptr;
  }
  const uint64_t rest = static_cast<uint64_t>(file_size) - offset;
  const uint64_t size = length == 0 ? rest : std::min(length, rest);
  return std::make_unique<FileSource>(f, offset, size);
}

std::unique_ptr<ByteSource> memory_source(const void* data, uint64_t size) {
  return std::make_unique<MemorySource>(data, size);
}

std::unique_ptr<ByteSource> call_source(bool in_memory, const void* file, uint64_t offset, uint64_t length, int& error) {
  error = BASS_ERROR_FILEOPEN;
  if (!file) return nullptr;
  if (in_memory) {
    if (length == 0) {
      error = BASS_ERROR_EMPTY;
      return nullptr;
    }
    return memory_source(static_cast<const char*>(file) + offset, length);
  }
  return open_file_source(static_cast<const char*>(file), offset, length);
}

}  // namespace tav::audio
