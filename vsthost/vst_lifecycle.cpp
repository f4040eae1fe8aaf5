// TVstPlugIn: loading the library, opening with the start-up requests,
// closing, unloading, and the editor's close.
#include <algorithm>
#include <cwctype>

#include "tav/seh_guard.h"
#include "tav/vst/vst_host.h"
#include "tav/vst/vst_platform.h"
#include "tav/vst/vst_plugin.h"
#include "tav/vst/vst_text.h"

namespace tav::vst {

namespace {
// A shell plug-in that never answers "no more" is asked at most this often.
constexpr int kMaxShellPlugIns = 1024;

bool HasVst3Extension(const std::wstring& path) {
  if (path.size() < 5) return false;
  std::wstring ext = path.substr(path.size() - 5);
  std::transform(ext.begin(), ext.end(), ext.begin(),
                 [](wchar_t c) { return c < 0x80 ? static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c))) : c; });
  return ext == L".vst3";
}
}  // namespace

TVstPlugIn::TVstPlugIn(TVstPlugIns* collection) : collection_(collection) {}

TVstPlugIn::~TVstPlugIn() {
  try {
    if (!dllFileName_.empty() || moduleHandle_ || effect_) {
      if (editVisible_) CloseEditor();
      UnloadModule();
    }
  } catch (...) {
  }
}

void TVstPlugIn::SetActive(bool active) {
  if (active == active_) return;
  if (active)
    Open();
  else
    Close();
}

void TVstPlugIn::Open() {
  bool loaded = true;
  if (!effect_) loaded = LoadPlugInFile(dllFileName_);
  ResetFpu();
  editVisible_ = false;
  wantsIdle_ = false;
  if (!effect_) throw TVstError(loaded ? "VST插件加载错误!" : "不是一个有效的VST插件!");

  AEffect* effect = effect_;
  VstInt32 magic = 0;
  if (!tav::Guarded([&] { magic = effect->magic; }) || magic != kEffectMagic) {
    // Forget the record first: nothing at all is sent to it.
    effect_ = nullptr;
    UnloadModule();
    active_ = false;
    throw TVstError("There is no magic in it... failed!");
  }

  if (effect->uniqueID == 0) {
    std::string name;
    for (int i = 0; i < kMaxShellPlugIns && ShellGetNextPlugin(name) != 0; ++i) {
    }
  }
  CallDispatcher(effOpen);
  CanDo("bypass");
  SetSampleRate(HostSampleRate);
  SetBlockSize(HostBlockSize);
  SetBypass(false);
  active_ = true;

  const auto id = static_cast<std::uint32_t>(effect->uniqueID);
  uID_ = {static_cast<char>(id >> 24), static_cast<char>(id >> 16), static_cast<char>(id >> 8),
          static_cast<char>(id)};
  version_ = effect->version;
  pluginVstVersion_ = SaturateToInt32(static_cast<std::int64_t>(GetVstVersion()));
  VstIntPtr category = GetPlugCategory();
  plugCategory_ = (category >= vpcUnknown && category <= vpcGenerator)
                      ? static_cast<TVstPluginCategory>(category)
                      : vpcUnknown;
  RefreshCachedCounts();
  MainsChanged(true);
}

void TVstPlugIn::Close() {
  if (editVisible_) CloseEditor();
  if (active_) {
    CallDispatcher(effClose);
    effect_ = nullptr;
  }
  active_ = false;
  version_ = 0;
  plugCategory_ = vpcUnknown;
  ForgetCounts(0);
}

bool TVstPlugIn::LoadPlugInFile(const std::wstring& path) {
  UnloadModule();
  entryPoint_ = nullptr;
  try {
    if (!VstLibraryLoader().FileExists(WideToUtf8(path)) || LoadModule(path)) {
      UnloadModule();
      return false;
    }
    AEffect* effect = nullptr;
    PluginEntryFunc entry = entryPoint_;
    AudioMasterCallbackFunc callback = AudioMasterCallback;
    if (!tav::Guarded([&] { effect = entry(callback); }) || !effect) {
      UnloadModule();
      return false;
    }
    effect_ = effect;
    if (OnAfterLoad) OnAfterLoad(*this);
  } catch (...) {
    UnloadModule();
    return false;
  }
  active_ = true;
  dllFileName_ = path;
  return true;
}

bool TVstPlugIn::LoadModule(const std::wstring& path) {
  std::string error;
  void* module = VstLibraryLoader().Load(WideToUtf8(path), error);
  if (!module) throw TVstError(error);
  moduleHandle_ = module;
  const char* const names[2][2] = {{"main", "VSTPluginMain"}, {"GetPluginFactory", "VSTPluginMain"}};
  for (const char* name : names[HasVst3Extension(path) ? 1 : 0]) {
    if (void* entry = VstLibraryLoader().FindEntry(module, name)) {
      entryPoint_ = reinterpret_cast<PluginEntryFunc>(entry);
      return false;
    }
  }
  return true;
}

void TVstPlugIn::UnloadModule() {
  try {
    CloseEditor();
    Close();
  } catch (...) {
  }
  ForgetCounts(-1);
  version_ = -1;
  uID_.clear();
  if (moduleHandle_) {
    try {
      VstLibraryLoader().Free(moduleHandle_);
    } catch (...) {
    }
    moduleHandle_ = nullptr;
  }
  effect_ = nullptr;
}

void TVstPlugIn::CloseEditor() {
  if (!effect_) return;
  if (OnCloseEdit) OnCloseEdit(*this);
  // An editor that is open is closed even when the plug-in never declared one:
  // its window must not outlive the library.
  if ((EffectOptions().Contains(effFlagsHasEditor) || editVisible_) && guiStyle_ == gsDefault)
    EditClose();
  editVisible_ = false;
}

}  // namespace tav::vst
