#include <system_error>

#include "player/core/replace_file.h"

namespace tav::player {

bool MoveOver(const std::filesystem::path& from, const std::filesystem::path& to) {
  std::error_code ec;
  std::filesystem::rename(from, to, ec);
  return !ec;
}

}  // namespace tav::player
