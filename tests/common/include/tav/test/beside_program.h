// A file or folder beside the test program that a test lets the code under
// test create afresh: a plug-in writes its settings beside its host's program
// ("winamp.ini" beside the test host). Whatever lay there is set aside when
// the fixture is made and put back when it goes, and what the test left
// there is removed. Header only (Windows).
//
// Tests of one program that use the same name must not run at the same time
// (give them a RESOURCE_LOCK).
#pragma once
#ifdef _WIN32

#include <filesystem>
#include <string>
#include <system_error>

#include "tav/test/win32_process.h"

namespace tav::test {

class SavedBesideProgram {
 public:
  explicit SavedBesideProgram(const std::wstring& name)
      : path_(ExeDir() / name), saved_(ExeDir() / (name + L".tav-saved")) {
    std::error_code ec;
    if (std::filesystem::exists(saved_, ec)) {
      // An earlier run ended before it could put the saved one back: what
      // lies at the path now is that run's own.
      std::filesystem::remove_all(path_, ec);
    } else if (std::filesystem::exists(path_, ec)) {
      std::filesystem::rename(path_, saved_, ec);
    }
  }
  ~SavedBesideProgram() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
    if (std::filesystem::exists(saved_, ec)) std::filesystem::rename(saved_, path_, ec);
  }
  SavedBesideProgram(const SavedBesideProgram&) = delete;
  SavedBesideProgram& operator=(const SavedBesideProgram&) = delete;

  const std::filesystem::path& path() const { return path_; }

 private:
  std::filesystem::path path_, saved_;
};

}  // namespace tav::test

#endif  // _WIN32
