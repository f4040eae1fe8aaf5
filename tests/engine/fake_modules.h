// Winamp DSP libraries made of plain records, handed out by a fake loader.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "tav/engine/dsp_host.h"

namespace fake {

// What the modules were asked, in order: "Init <description>", "Quit ..." etc.
std::vector<std::string> ModuleCalls();
void ClearModuleCalls();

// How long the "sleep" module sleeps in ModifySamples, and whether it is inside.
extern std::atomic<int> SleepMs;
extern std::atomic<bool> SleeperInside;

// Module kinds by description: "keep", "halve", "double", "zero", "huge"
// (returns far more frames than any buffer), "negative", "throw" (raises
// inside ModifySamples), "sleep", "invert" (negates the samples).
winampDSPModule MakeModule(const std::string& kind);

struct TFakeLibrary {
  std::string description;
  std::vector<winampDSPModule> modules;
  bool hasExport = true;
  bool endless = false;  // getModule never says "no more"
  int faultAt = -1;      // getModule raises at this index
  winampDSPHeader header{};
};

class TFakeLoader final : public tav::TLibraryLoader {
 public:
  std::map<std::string, TFakeLibrary> libraries;
  std::vector<std::string> log;  // "Load path", "Free path"
  void* Load(const std::string& path, std::string& error) override;
  void* FindEntry(void* library, const char* name) override;
  void Free(void* library) override;
};

// Sets a fresh loader with the given libraries for the DSP host.
TFakeLoader& InstallLoader();

}  // namespace fake
