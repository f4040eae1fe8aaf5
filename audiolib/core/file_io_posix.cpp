#include "file_io.h"

#include <sys/types.h>

namespace tav::audio {

bool file_seek(std::FILE* f, uint64_t pos) { return fseeko(f, static_cast<off_t>(pos), SEEK_SET) == 0; }

int64_t file_length(std::FILE* f) {
  if (fseeko(f, 0, SEEK_END) != 0) return -1;
  return static_cast<int64_t>(ftello(f));
}

}  // namespace tav::audio
