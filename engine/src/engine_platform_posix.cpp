// The engine's services elsewhere: no plug-in library loads (tests install
// their own loader), the add-on folder is listed through the standard
// library, 8-bit texts are UTF-8 already, and no window messages are sent.
#include <filesystem>

#include "engine_platform.h"
#include "tav/engine/sent_messages.h"

namespace tav::engine {

namespace {

class TNoLibraryLoader final : public tav::TLibraryLoader {
 public:
  void* Load(const std::string&, std::string& error) override {
    error = "plug-in libraries are not loaded in this build";
    return nullptr;
  }
  void* FindEntry(void*, const char*) override { return nullptr; }
  void Free(void*) override {}
};

}  // namespace

tav::TLibraryLoader& DefaultDspLibraryLoader() {
  static TNoLibraryLoader loader;
  return loader;
}

std::vector<std::string> ListAddOnCandidates(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
    if (entry.is_regular_file(error)) names.push_back(entry.path().filename().string());
  }
  return names;
}

std::string CodePageToUtf8(std::string_view text) { return std::string(text); }

void DeliverSentMessages() {}

}  // namespace tav::engine
