#include <windows.h>

#include "player/core/replace_file.h"

namespace tav::player {

bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  return MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
}

}  // namespace tav::player
