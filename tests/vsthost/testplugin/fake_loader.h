// Native stand-in for the operating system's library loader: file names map
// to the test plug-in's variants, linked into the test program.
#pragma once

#include <map>
#include <string>

#include "tav/vst/vst_platform.h"

namespace tav::vst::testplugin {

enum class TVariant {
  Both,             // "main" and "VSTPluginMain"
  VstMainOnly,      // "VSTPluginMain" only
  BadMagic,         // both entries; the record carries another magic
  NoEntry,          // a library without plug-in entry
  Factory,          // "GetPluginFactory" and "VSTPluginMain" (another interface's library)
  NotALibrary,      // a file that is no library at all
};

class TFakeLoader final : public TVstLibraryLoader {
 public:
  // Installs itself as the host's loader; the destructor restores the default.
  TFakeLoader();
  ~TFakeLoader() override;

  void Add(const std::string& path, TVariant variant) { files_[path] = variant; }

  bool FileExists(const std::string& path) override;
  void* Load(const std::string& path, std::string& error) override;
  void* FindEntry(void* module, const char* name) override;
  void Free(void* module) override;

  int loads = 0;
  int frees = 0;
  bool editorOpenAtFree = false;  // the test plug-in still had an editor when its library was freed

 private:
  std::map<std::string, TVariant> files_;
};

}  // namespace tav::vst::testplugin
