// TVstPlugIn: one VST 2 effect plug-in held by the host.  Every dispatcher
// request goes through CallDispatcher (FPU reset, fault guard, failures give
// 0); the processing and parameter entry points are called straight through
// and report a fault inside the plug-in as TVstPlugInFault.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tav/vst/vst_common.h"
#include "tav/vst/vst_interface.h"

namespace tav::vst {

class TVstPlugIns;

enum TReplaceOrAccumulate : std::int32_t { roa0NotSupported, roa1Replace, roa2Accumulate };
enum TCurrentProcessLevel : std::int32_t {
  cpl0NotSupported,
  cpl1UserThread,
  cpl2AudioThread,
  cpl3Sequencer,
  cpl4OfflineProcessing
};
enum TAutomationState : std::int32_t { as0NotSupported, as1Off, as2Read, as3Write, as4ReadWrite };
enum TGUIStyle : std::int32_t { gsDefault, gsOld, gsList };

// The parameter form of an fxp program, integers already in file byte order.
struct TFxProgramRecord {
  std::uint32_t chunkMagic = 0, byteSize = 0, fxMagic = 0, version = 0, fxID = 0, fxVersion = 0,
                numParams = 0;
  char prgName[28] = {};
  std::vector<std::uint32_t> params;  // big-endian float bits
};

class TVstPlugIn {
 public:
  explicit TVstPlugIn(TVstPlugIns* collection = nullptr);
  virtual ~TVstPlugIn();
  TVstPlugIn(const TVstPlugIn&) = delete;
  TVstPlugIn& operator=(const TVstPlugIn&) = delete;

  TVstPlugIns* Collection() const { return collection_; }

  // --- events ---
  std::function<void(TVstPlugIn& sender, std::int32_t paramIndex, std::int32_t paramValue)>
      OnAudioMasterAutomate;
  std::function<void(TVstPlugIn& sender)> OnAudioMasterIdle, OnAudioMasterNeedIdle,
      OnAudioMasterIOChanged, OnAudioMasterWantMidi, OnAudioMasterOfflineStart,
      OnAudioMasterOfflineGetCurrentPass, OnAudioMasterOfflineGetCurrentMetaPass,
      OnAudioMasterUpdateDisplay, OnCloseEdit, OnAfterLoad;
  std::function<void(TVstPlugIn& sender, void* offlineTask)> OnAudioMasterOfflineRead,
      OnAudioMasterOfflineWrite;
  std::function<void(TVstPlugIn& sender, float sampleRate)> OnAudioMasterSetOutputSampleRate;
  std::function<void(TVstPlugIn& sender, std::int32_t parameterIndex)> OnAudioMasterBeginEdit,
      OnAudioMasterEndEdit;
  std::function<bool(TVstPlugIn& sender, std::int32_t pinNr, bool isInput)>
      OnAudioMasterPinConnected;
  std::function<std::int32_t(std::int32_t opcode, std::int32_t index, VstIntPtr value, void* ptr,
                             float opt)>
      OnVendorSpecific;
  std::function<void(TVstPlugIn& sender, void* events)> OnProcessEvents;
  // audioMasterSizeWindow: the editor asks for a client of this size. True
  // when the window that holds the editor took it (the plug-in is answered 1).
  std::function<bool(TVstPlugIn& sender, std::int32_t width, std::int32_t height)> OnAudioMasterSizeWindow;

  // --- state ---
  const std::string& DisplayName() const { return displayName_; }
  void SetDisplayName(std::string name) { displayName_ = std::move(name); }
  std::string GetDisplayName() const { return displayName_; }
  void* ModuleHandle() const { return moduleHandle_; }
  AEffect* VstEffect() const { return effect_; }
  bool Active() const { return active_; }
  void SetActive(bool active);
  bool EditVisible() const { return editVisible_; }
  bool WantsIdle() const { return wantsIdle_; }
  void SetWantsIdle() { wantsIdle_ = true; }
  std::int32_t numInputs() const;
  std::int32_t numOutputs() const;
  std::int32_t numPrograms() const;
  std::int32_t numParams() const;
  // Takes the counts of the calling record again (audioMasterIOChanged).
  void RefreshCachedCounts();
  std::int32_t Version() const { return version_; }
  std::int32_t InitialDelay() const;
  const std::string& uID() const { return uID_; }
  std::int32_t PluginVstVersion() const { return pluginVstVersion_; }
  TVstPluginCategory PlugCategory() const { return plugCategory_; }
  TEffFlags EffectOptions() const;
  const std::wstring& DLLFileName() const { return dllFileName_; }
  void SetDLLFileName(std::wstring path) { dllFileName_ = std::move(path); }
  TReplaceOrAccumulate ReplaceOrAccumulate = roa0NotSupported;
  TCurrentProcessLevel CurrentProcessLevel = cpl0NotSupported;
  TAutomationState AutomationState = as0NotSupported;
  TGUIStyle GUIStyle() const { return guiStyle_; }
  // Raises "请先关闭编辑器!" while the editor is open.
  void SetGUIStyle(TGUIStyle style);

  // --- dispatcher ---
  VstIntPtr CallDispatcher(std::uint8_t opcode, std::int32_t index = 0, VstIntPtr value = 0,
                           void* ptr = nullptr, double opt = 0.0, unsigned* faultCode = nullptr);
  std::int32_t ProgramNr();
  void SetProgramNr(std::int32_t program);
  // The name the plug-in wrote, whatever it answered.
  std::string ProgramName();
  void SetProgramName(const std::string& name);
  VstIntPtr SetSampleRate(double rate);
  VstIntPtr SetBlockSize(std::int32_t size);
  VstIntPtr MainsChanged(bool on);
  // Copies the plug-in's rectangle into `rect` when it supplies one.
  void EditGetRect(ERect& rect);
  VstIntPtr EditOpen(void* parentWindow);
  // The exception code of a fault inside the last effEditOpen; 0 when it
  // returned. The editor then counts as not open.
  unsigned EditOpenFault() const { return editOpenFault_; }
  void EditClose();
  VstIntPtr EditIdle();
  VstIntPtr Identify();
  // The chunk size (0 for none: a size <= 0 or a missing pointer is an empty chunk).
  std::int32_t GetChunk(void** data, bool isPreset);
  VstIntPtr SetChunk(void* data, std::int32_t size, bool isPreset);
  VstIntPtr GetPlugCategory();
  VstIntPtr SetBlockSizeAndSampleRate(std::int32_t size, float rate);
  VstIntPtr SetBypass(bool on);
  std::string GetEffectName();
  std::string VendorString();
  std::int32_t VendorVersion();
  std::string ProductString();
  VstIntPtr CanDo(const std::string& text);
  VstIntPtr Idle();
  VstIntPtr GetVstVersion();
  VstIntPtr ShellGetNextPlugin(std::string& name);
  void BeginLoadProgram(VstPatchChunkInfo& info);

  // --- processing and parameters (no FPU reset; faults raise TVstPlugInFault) ---
  virtual void SetParameter(std::int32_t index, float value);
  virtual float GetParameter(std::int32_t index);
  virtual void Process(float** inputs, float** outputs, std::int32_t sampleFrames);
  virtual void ProcessReplacing(float** inputs, float** outputs, std::int32_t sampleFrames);
  virtual void ProcessDoubleReplacing(double** inputs, double** outputs, std::int32_t sampleFrames);

  // --- lifecycle ---
  void Open();
  void Close();
  bool LoadPlugInFile(const std::wstring& path);
  // True means failure.
  bool LoadModule(const std::wstring& path);
  void UnloadModule();
  // Copies this item into `target` (names, answers, events, library, state, bank).
  void AssignTo(TVstPlugIn& target);

  // --- editor ---
  void CloseEditor();

  // --- fxp presets ---
  // The toolkit's file stream errors pass to the caller (in the Windows build).
  void SavePresetToFile(const std::wstring& fileName);
  void LoadPresetFromFile(const std::wstring& fileName);
  // The whole file as it would be written; empty without an open plug-in.
  std::vector<std::uint8_t> SavePresetToBytes();
  void LoadPresetFromBytes(const std::vector<std::uint8_t>& bytes);
  void BuildProgramRecord(std::int32_t program, TFxProgramRecord& record);

 private:
  std::string TextRequest(std::uint8_t opcode, bool whateverTheAnswer, VstIntPtr* answer = nullptr);
  void ForgetCounts(std::int32_t value);
  void FreeLibrary();

  TVstPlugIns* collection_;
  std::string displayName_ = "TVstPlugIn";
  void* moduleHandle_ = nullptr;
  PluginEntryFunc entryPoint_ = nullptr;
  AEffect* effect_ = nullptr;
  bool active_ = false;
  bool editVisible_ = false;
  bool wantsIdle_ = false;
  std::int32_t cachedInputs_ = -1, cachedOutputs_ = -1, cachedPrograms_ = -1, cachedParams_ = -1;
  std::int32_t version_ = -1;
  std::string uID_;
  std::int32_t pluginVstVersion_ = -1;
  TVstPluginCategory plugCategory_ = vpcUnknown;
  std::wstring dllFileName_;
  unsigned editOpenFault_ = 0;
  TGUIStyle guiStyle_ = gsDefault;
};

}  // namespace tav::vst
