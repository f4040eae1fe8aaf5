#include "fake_modules.h"

#include <chrono>
#include <cstring>
#include <stdexcept>
#include <thread>

namespace fake {

namespace {

std::mutex CallsLock;
std::vector<std::string> Calls;
std::string Kind(winampDSPModule* m) { return m->description; }
void Record(const std::string& what, winampDSPModule* m) {
  std::lock_guard<std::mutex> hold(CallsLock);
  Calls.push_back(what + " " + Kind(m));
}

void WINAMP_DSP_CALL Config(winampDSPModule* m) { Record("Config", m); }
int WINAMP_DSP_CALL Init(winampDSPModule* m) {
  Record("Init", m);
  return -1;  // a failure code the host does not act on
}
void WINAMP_DSP_CALL Quit(winampDSPModule* m) { Record("Quit", m); }

int WINAMP_DSP_CALL Modify(winampDSPModule* m, short* samples, int frames, int bps, int nch, int srate) {
  const std::string kind = Kind(m);
  if (kind == "halve") return frames / 2;
  if (kind == "double") {
    for (int f = frames - 1; f >= 0; --f) {
      std::memcpy(samples + (2 * f + 1) * nch, samples + f * nch, sizeof(short) * nch);
      std::memcpy(samples + (2 * f) * nch, samples + f * nch, sizeof(short) * nch);
    }
    return frames * 2;
  }
  if (kind == "zero") return 0;
  if (kind == "huge") return 1 << 30;
  if (kind == "negative") return -7;
  if (kind == "throw") throw std::runtime_error("module fault");
  if (kind == "invert") {
    for (int i = 0; i < frames * nch; ++i) samples[i] = static_cast<short>(-samples[i]);
    return frames;
  }
  if (kind == "sleep") {
    SleeperInside = true;
    Record("Modify-begin", m);
    std::this_thread::sleep_for(std::chrono::milliseconds(SleepMs.load()));
    Record("Modify-end", m);
    SleeperInside = false;
    return frames;
  }
  return frames;  // keep
}

TFakeLibrary* Current = nullptr;

winampDSPModule* WINAMP_DSP_CALL GetModule(int index) {
  if (index == Current->faultAt) throw std::runtime_error("getModule fault");
  if (Current->endless) return &Current->modules[0];
  if (index < 0 || index >= static_cast<int>(Current->modules.size())) return nullptr;
  return &Current->modules[index];
}
winampDSPHeader* WINAMP_DSP_CALL GetHeader() { return &Current->header; }

TFakeLoader* Installed = nullptr;

}  // namespace

std::atomic<int> SleepMs{0};
std::atomic<bool> SleeperInside{false};

std::vector<std::string> ModuleCalls() {
  std::lock_guard<std::mutex> hold(CallsLock);
  return Calls;
}
void ClearModuleCalls() {
  std::lock_guard<std::mutex> hold(CallsLock);
  Calls.clear();
}

winampDSPModule MakeModule(const std::string& kind) {
  static std::map<std::string, std::string> names;  // keeps the text alive
  names[kind] = kind;
  winampDSPModule m{};
  m.description = names[kind].data();
  m.Config = &Config;
  m.Init = &Init;
  m.ModifySamples = &Modify;
  m.Quit = &Quit;
  return m;
}

void* TFakeLoader::Load(const std::string& path, std::string& error) {
  log.push_back("Load " + path);
  auto it = libraries.find(path);
  if (it == libraries.end()) {
    error = "not found";
    return nullptr;
  }
  TFakeLibrary& lib = it->second;
  lib.header.version = WINAMP_DSP_HEADER_VERSION;
  lib.header.description = lib.description.data();
  lib.header.getModule = &GetModule;
  return &lib;
}

void* TFakeLoader::FindEntry(void* library, const char* name) {
  auto* lib = static_cast<TFakeLibrary*>(library);
  if (!lib->hasExport || std::strcmp(name, "winampDSPGetHeader2") != 0) return nullptr;
  Current = lib;
  return reinterpret_cast<void*>(&GetHeader);
}

void TFakeLoader::Free(void* library) {
  for (auto& [path, lib] : libraries)
    if (&lib == library) log.push_back("Free " + path);
}

TFakeLoader& InstallLoader() {
  static TFakeLoader* loader = nullptr;
  tav::engine::SetDspLibraryLoader(nullptr);
  delete loader;
  loader = new TFakeLoader;
  Installed = loader;
  tav::engine::SetDspLibraryLoader(loader);
  return *loader;
}

}  // namespace fake
