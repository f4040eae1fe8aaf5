// Paths of the generated test media (scripts/make-test-media.sh), for native
// tests and for Windows tests under Wine alike.
#pragma once

#include <cstdlib>
#include <string>

namespace tav::test {

// The media folder, as a path the running program can open. Under Wine the
// Unix path of the build tree is reached through drive Z:.
inline std::string MediaDir() {
  const char* dir = std::getenv("TAV_TEST_MEDIA");
  std::string path = dir ? dir : "";
#ifdef _WIN32
  if (!path.empty() && path[0] == '/') {
    path = "Z:" + path;
    for (char& c : path)
      if (c == '/') c = '\\';
  }
  return path + "\\";
#else
  return path + "/";
#endif
}

inline std::string MediaPath(const std::string& name) { return MediaDir() + name; }

}  // namespace tav::test
