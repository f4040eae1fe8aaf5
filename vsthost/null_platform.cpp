// Builds for other systems load no plug-in libraries and show no windows;
// their tests install their own services.
#include <filesystem>

#include "platform_defaults.h"

namespace tav::vst {

namespace {

class TNoLibraryLoader final : public TVstLibraryLoader {
 public:
  bool FileExists(const std::string& path) override {
    std::error_code error;
    return std::filesystem::is_regular_file(path, error);
  }
  void* Load(const std::string&, std::string& error) override {
    error = "plug-in libraries are not loaded in this build";
    return nullptr;
  }
  void* FindEntry(void*, const char*) override { return nullptr; }
  void Free(void*) override {}
};

class TNoHostUi final : public TVstHostUi {
 public:
  void* CreatePlugInWindow(const TPlugInWindowRequest&) override { return nullptr; }
  void DestroyPlugInWindow(void*) override {}
  void ShowMessage(const std::string&) override {}
  bool RunFileDialog(const TFileDialogRequest&, std::vector<std::wstring>&) override { return false; }
};

}  // namespace

TVstLibraryLoader& DefaultVstLibraryLoader() {
  static TNoLibraryLoader loader;
  return loader;
}

TVstHostUi& DefaultVstHostUi() {
  static TNoHostUi ui;
  return ui;
}

}  // namespace tav::vst
