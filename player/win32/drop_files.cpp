#include "player/win32/drop_files.h"

#include <shellapi.h>

namespace tav::player {

int GetDropFileCount(HDROP drop) { return int(DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0)); }

std::string GetDropFileName(HDROP drop, int n) {
  if (n < 1 || n > GetDropFileCount(drop)) return {};
  const UINT index = UINT(n - 1);
  const UINT length = DragQueryFileA(drop, index, nullptr, 0);
  std::string name(size_t(length) + 1, '\0');
  const UINT got = DragQueryFileA(drop, index, name.data(), length + 1);
  name.resize(got);
  return name;
}

}  // namespace tav::player
