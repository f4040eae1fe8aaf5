#include "file_io.h"

namespace tav::audio {

bool file_seek(std::FILE* f, uint64_t pos) { return _fseeki64(f, static_cast<int64_t>(pos), SEEK_SET) == 0; }

int64_t file_length(std::FILE* f) {
  if (_fseeki64(f, 0, SEEK_END) != 0) return -1;
  return _ftelli64(f);
}

}  // namespace tav::audio
