// HostCallback: the one function through which plug-ins ask the host.
#include <algorithm>
#include <cmath>
#include <cstring>

#include "tav/seh_guard.h"
#include "tav/vst/vst_host.h"
#include "tav/vst/vst_platform.h"
#include "tav/vst/vst_text.h"

namespace tav::vst {

namespace {

constexpr std::size_t kCanDoLimit = 255;
constexpr std::size_t kHostTextLimit = 63;  // the plug-in's buffer holds 64 bytes
constexpr std::int32_t kMaxFileTypes = 1024;
constexpr std::size_t kPathLimit = 32767;
const char* const kContactMessage = "Please contact me if this happens: tavolen-support@example.com";

void CopyHostText(const std::string& text, void* ptr) {
  if (!ptr) return;
  const std::size_t n = std::min(text.size(), kHostTextLimit);
  std::memcpy(ptr, text.data(), n);
  static_cast<char*>(ptr)[n] = '\0';
}

VstIntPtr CanDoAnswer(const void* ptr) {
  const std::string text = BoundedText(static_cast<const char*>(ptr), kCanDoLimit);
  for (int bit = 0; bit < 18; ++bit)
    if (text == kHostCanDoTexts[bit]) return (HostCanDoSet >> bit) & 1u;
  return 0;
}

void OpenWindow(TVstHost& host, const VstWindow& request) {
  TPlugInWindowRequest window;
  window.title = PlugInTextToWide(BoundedText(request.title, sizeof request.title));
  window.left = request.xPos;
  window.top = request.yPos;
  window.width = request.width;
  window.height = request.height;
  window.style = request.style;
  window.parent = request.parent;
  if (void* made = VstHostUi().CreatePlugInWindow(window)) host.AddPlugInWindow(made);
  VstHostUi().ShowMessage(kContactMessage);
}

// Answers 1 only when the user chose a file. A plug-in that brings its own
// buffer (returnPath) gets the path copied into it, cut to its size, and the
// selector is closed at once; without one it gets the host's, which lives
// until the plug-in closes the selector.
VstIntPtr OpenFileSelector(TVstHost& host, VstFileSelect& select) {
  if (host.HostFileDialog()) return 0;
  if (select.command != kVstFileLoad && select.command != kVstFileSave &&
      select.command != kVstMultipleFilesLoad)
    return 0;
  const bool multiple = select.command == kVstMultipleFilesLoad;
  char* const ownBuffer = multiple ? nullptr : select.returnPath;
  if (ownBuffer && select.sizeReturnPath <= 0) return 0;  // a buffer of no size holds no path
  TFileDialogRequest request;
  request.save = select.command == kVstFileSave;
  request.multiple = multiple;
  const std::string title = BoundedText(select.title, sizeof select.title);
  request.title = PlugInTextToWide(title);
  request.initialFolder = PlugInTextToWide(BoundedText(select.initialPath, kPathLimit));
  const std::int32_t types = std::clamp(select.nbFileTypes, 0, kMaxFileTypes);
  std::string filter;
  for (std::int32_t i = 0; select.fileTypes && i < types; ++i) {
    const VstFileType& type = select.fileTypes[i];
    const std::string name = BoundedText(type.name, sizeof type.name);
    const std::string ext = BoundedText(type.dosType, sizeof type.dosType);
    filter += name + " (*." + ext + ")|*." + ext + "|";
  }
  request.filter = PlugInTextToWide(filter);
  TVstHost::TFileDialog& dialog = host.MakeFileDialog(title);
  std::vector<std::wstring> chosen;
  if (!VstHostUi().RunFileDialog(request, chosen) || chosen.empty()) {
    host.FreeFileDialog();
    return 0;
  }
  if (multiple) {
    for (const std::wstring& file : chosen) dialog.files.push_back(PathToPlugInText(file));
    for (std::string& file : dialog.files) dialog.paths.push_back(file.data());
    select.returnMultiplePaths = dialog.paths.data();
    select.nbReturnPath = static_cast<VstInt32>(dialog.paths.size());
    return 1;
  }
  dialog.fileName = PathToPlugInText(chosen.front());
  if (ownBuffer) {
    const std::size_t n = std::min(dialog.fileName.size(), static_cast<std::size_t>(select.sizeReturnPath) - 1);
    std::memcpy(ownBuffer, dialog.fileName.data(), n);
    ownBuffer[n] = '\0';
    // Nothing of ours is left with the plug-in, and it need not close.
    host.FreeFileDialog();
    return 1;
  }
  select.returnPath = dialog.fileName.data();
  select.sizeReturnPath = static_cast<VstInt32>(dialog.fileName.size());
  return 1;
}

void CloseFileSelector(TVstHost& host, const VstFileSelect& select) {
  TVstHost::TFileDialog* dialog = host.HostFileDialog();
  if (!dialog) return;
  if (select.command < kVstFileLoad || select.command > kVstMultipleFilesLoad) return;
  if (BoundedText(select.title, sizeof select.title) == dialog->title) host.FreeFileDialog();
}

VstIntPtr Answer(TVstHost& host, TVstPlugIn* item, AEffect* effect, VstInt32 opcode, VstInt32 index,
                 VstIntPtr value, void* ptr, float opt) {
  switch (opcode) {
    case audioMasterAutomate:
      if (item && item->OnAudioMasterAutomate)
        item->OnAudioMasterAutomate(*item, index, SaturateToInt32(static_cast<std::int64_t>(value)));
      return 0;
    case audioMasterVersion:
      return HostVstVersion;
    case audioMasterCurrentId:
      // No particular sub-plug-in is asked for.
      if (item) item->Identify();
      return 0;
    case audioMasterIdle:
      if (!item) return 0;
      item->SetWantsIdle();
      if (item->OnAudioMasterIdle) item->OnAudioMasterIdle(*item);
      if (host.ManageIdleAutomaticly) {
        item->EditIdle();
        for (int i = 0; i < host.VstPlugIns().Count(); ++i) {
          TVstPlugIn& other = host.Items(i);
          if (other.EditVisible()) other.EditIdle();
        }
      }
      return 0;
    case audioMasterPinConnected:
      if (item && item->OnAudioMasterPinConnected)
        return item->OnAudioMasterPinConnected(*item, index, value == 0) ? 0 : 1;
      return 0;
    case audioMasterWantMidi:
      if (item && item->OnAudioMasterWantMidi) item->OnAudioMasterWantMidi(*item);
      return 0;
    case audioMasterGetTime:
      return reinterpret_cast<VstIntPtr>(host.VstTimeInfo().Record());
    case audioMasterProcessEvents:
      if (item && item->OnProcessEvents) item->OnProcessEvents(*item, ptr);
      return 0;
    case audioMasterTempoAt:
      return SaturateToInt32(static_cast<std::int64_t>(RoundHalfEvenToInt32(HostTempo)) * 10000);
    case audioMasterGetNumAutomatableParameters:
      return host.NumAutomatableParameters;
    case audioMasterGetParameterQuantization:
      return value == -1 ? host.ParameterQuantization : 0;
    case audioMasterIOChanged:
      if (!item) return 0;
      item->RefreshCachedCounts();
      if (item->OnAudioMasterIOChanged) item->OnAudioMasterIOChanged(*item);
      return 0;
    case audioMasterNeedIdle:
      if (!item) return 0;
      item->SetWantsIdle();
      if (item->OnAudioMasterNeedIdle) item->OnAudioMasterNeedIdle(*item);
      if (host.ManageIdleAutomaticly) item->Idle();
      return 0;
    case audioMasterSizeWindow:
      // The window that holds the editor resizes its client to the size asked for.
      if (item && item->OnAudioMasterSizeWindow)
        return item->OnAudioMasterSizeWindow(*item, index, SaturateToInt32(static_cast<std::int64_t>(value))) ? 1 : 0;
      return 0;
    case audioMasterGetSampleRate:
      return RoundHalfEvenToInt32(HostSampleRate);
    case audioMasterGetBlockSize:
      return HostBlockSize;
    case audioMasterGetInputLatency:
      return host.LatencyInput;
    case audioMasterGetOutputLatency:
      return host.LatencyOutput;
    case audioMasterWillReplaceOrAccumulate:
      return item ? item->ReplaceOrAccumulate : 0;
    case audioMasterGetCurrentProcessLevel:
      return item ? item->CurrentProcessLevel : 0;
    case audioMasterGetAutomationState:
      return item ? item->AutomationState : 0;
    case audioMasterOfflineStart:
      if (item && item->OnAudioMasterOfflineStart) item->OnAudioMasterOfflineStart(*item);
      return 0;
    case audioMasterOfflineRead:
      if (item && item->OnAudioMasterOfflineRead) item->OnAudioMasterOfflineRead(*item, ptr);
      return 0;
    case audioMasterOfflineWrite:
      if (item && item->OnAudioMasterOfflineWrite) item->OnAudioMasterOfflineWrite(*item, ptr);
      return 0;
    case audioMasterOfflineGetCurrentPass:
      if (item && item->OnAudioMasterOfflineGetCurrentPass) item->OnAudioMasterOfflineGetCurrentPass(*item);
      return 0;
    case audioMasterOfflineGetCurrentMetaPass:
      if (item && item->OnAudioMasterOfflineGetCurrentMetaPass)
        item->OnAudioMasterOfflineGetCurrentMetaPass(*item);
      return 0;
    case audioMasterSetOutputSampleRate:
      if (item && item->OnAudioMasterSetOutputSampleRate) item->OnAudioMasterSetOutputSampleRate(*item, opt);
      // A rate that is not a positive number is ignored.
      if (std::isfinite(opt) && opt > 0.0f) HostSampleRate = opt;
      return 0;
    case audioMasterGetVendorString:
      CopyHostText(host.VendorString, ptr);
      return 0;
    case audioMasterGetProductString:
      CopyHostText(host.ProductString, ptr);
      return 0;
    case audioMasterGetVendorVersion:
      return host.VendorVersion;
    case audioMasterVendorSpecific:
      if (item && item->OnVendorSpecific) return item->OnVendorSpecific(opcode, index, value, ptr, opt);
      return 0;
    case audioMasterCanDo:
      return CanDoAnswer(ptr);
    case audioMasterGetLanguage:
      return host.Language;
    case audioMasterOpenWindow:
      // Windows belong to the GUI thread; a request from elsewhere gets nothing.
      if (ptr && host.OnGuiThread()) OpenWindow(host, *static_cast<VstWindow*>(ptr));
      return 0;
    case audioMasterGetDirectory:
      return reinterpret_cast<VstIntPtr>(host.PlugInDir.c_str());
    case audioMasterUpdateDisplay:
      if (item && item->OnAudioMasterUpdateDisplay) item->OnAudioMasterUpdateDisplay(*item);
      return 0;
    case audioMasterBeginEdit:
      if (item && item->OnAudioMasterBeginEdit) item->OnAudioMasterBeginEdit(*item, index);
      return 0;
    case audioMasterEndEdit:
      if (item && item->OnAudioMasterEndEdit) item->OnAudioMasterEndEdit(*item, index);
      return 0;
    case audioMasterOpenFileSelector:
      if (!ptr || !host.OnGuiThread()) return 0;
      return OpenFileSelector(host, *static_cast<VstFileSelect*>(ptr));
    case audioMasterCloseFileSelector:
      if (ptr && host.OnGuiThread()) CloseFileSelector(host, *static_cast<VstFileSelect*>(ptr));
      return 0;
    default:
      (void)effect;
      return 0;
  }
}

}  // namespace

VstIntPtr HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt) {
  TVstHost* host = CurrentVstHost;
  TVstPlugIn* item = host ? host->VstPlugIns().FindByEffect(effect) : nullptr;
  ResetFpu();
  if (!host) return 0;
  VstIntPtr answer = 0;
  // Nothing leaves the callback: a C++ exception (an event handler's too) or a
  // fault on a bad record from the plug-in gives the answer 0.
  if (!tav::Guarded([&] { answer = Answer(*host, item, effect, opcode, index, value, ptr, opt); }))
    return 0;
  return answer;
}

}  // namespace tav::vst
