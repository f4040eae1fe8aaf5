#include "byte_source.h"

#include <algorithm>
#include <cstring>

#include "bass.h"

namespace tav::audio {

namespace {

bool file_seek(std::FILE* f, uint64_t pos) {
#ifdef _WIN32
  return _fseeki64(f, static_cast<int64_t>(pos), SEEK_SET) == 0;
#else
  return fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0;
#endif
}

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

}  // namespace

std::unique_ptr<ByteSource> open_file_source(const std::string& path, uint64_t offset, uint64_t length) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) return nullptr;
#ifdef _WIN32
  const bool end_ok = _fseeki64(f, 0, SEEK_END) == 0;
  const int64_t file_size = end_ok ? _ftelli64(f) : -1;
#else
  const bool end_ok = fseeko(f, 0, SEEK_END) == 0;
  const int64_t file_size = end_ok ? static_cast<int64_t>(ftello(f)) : -1;
#endif
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
