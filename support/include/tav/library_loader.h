// Loading of plug-in libraries behind one small interface. The Winamp DSP
// host and the VST host each hold one: the Win32 loader in the Windows build,
// one that loads nothing elsewhere (each chosen by CMake, file by file), and
// fakes in tests.
#pragma once

#include <string>

namespace tav {

class TLibraryLoader {
 public:
  virtual ~TLibraryLoader() = default;
  // Loads the library; on failure returns null and the system's text for the
  // error (or its number) in `error`.
  virtual void* Load(const std::string& path, std::string& error) = 0;
  // The library's entry of that name, or null.
  virtual void* FindEntry(void* library, const char* name) = 0;
  virtual void Free(void* library) = 0;
};

}  // namespace tav
