#include "player/win32/drop_files.h"

#include <shellapi.h>

#include "player/win32/ansi_text.h"

namespace tav::player {

int GetDropFileCount(HDROP drop) { return int(DragQueryFileW(drop, 0xFFFFFFFFu, nullptr, 0)); }

std::string GetDropFileName(HDROP drop, int n) {
  if (n < 1 || n > GetDropFileCount(drop)) return {};
  const UINT index = UINT(n - 1);
  const UINT length = DragQueryFileW(drop, index, nullptr, 0);
  std::wstring name(size_t(length) + 1, L'\0');
  const UINT got = DragQueryFileW(drop, index, name.data(), length + 1);
  name.resize(got);
  return AnsiFileName(name);
}

}  // namespace tav::player
