// TVstHost: the host towards VST 2 plug-ins.  It owns the plug-in items
// (TVstPlugIns), the time information handed to plug-ins and the host-wide
// answers of the host callback; the program-wide settings below are shared by
// every host object.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tav/vst/vst_interface.h"
#include "tav/vst/vst_plugin.h"

namespace tav::vst {

class TVstHost;

// Members of THostCanDos (bit = ordinal).
enum THostCanDo : int {
  hcdSendVstEvents,
  hcdSendVstMidiEvent,
  hcdSendVstTimeInfo,
  hcdReceiveVstEvents,
  hcdReceiveVstMidiEvent,
  hcdReceiveVstTimeInfo,
  hcdReportConnectionChanges,
  hcdAcceptIOChanges,
  hcdSizeWindow,
  hcdAsyncProcessing,
  hcdOffline,
  hcdSupplyIdle,
  hcdSupportShell,
  hcdOpenFileSelector,
  hcdCloseFileSelector,
  hcdEditFile,
  hcdShellCategory,
  hcdStartStopProcess,
};
using THostCanDos = std::uint32_t;
inline constexpr THostCanDos kDefaultHostCanDos = 0x20FFF;
// The can-do text of each member, in bit order.
extern const char* const kHostCanDoTexts[18];

enum TVstHostLanguage : std::int32_t {
  kVstLangUnknown,
  kVstLangEnglish,
  kVstLangGerman,
  kVstLangFrench,
  kVstLangItalian,
  kVstLangSpanish,
  kVstLangJapanese,
};

VstIntPtr HostCallback(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr,
                       float opt);

// Program-wide host settings.
inline std::int32_t HostBlockSize = 2048;
inline float HostSampleRate = 44100.0f;
inline float HostTempo = 120.0f;
inline std::int32_t HostVstVersion = 2300;
inline THostCanDos HostCanDoSet = kDefaultHostCanDos;
inline TVstHost* CurrentVstHost = nullptr;
inline AudioMasterCallbackFunc AudioMasterCallback = &HostCallback;

// Bits of VstTimeInfo::flags.
enum TVstTimeInfoFlag : int {
  vtiTransportChanged,
  vtiTransportPlaying,
  vtiTransportCycleActive,
  vtiTransportRecording,
  vtiTransportUnused1,
  vtiTransportUnused2,
  vtiAutomationWriting,
  vtiAutomationReading,
  vtiNanosValid,
  vtiPpqPosValid,
  vtiTempoValid,
  vtiBarsValid,
  vtiCyclePosValid,
  vtiTimeSigValid,
  vtiSmpteValid,
  vtiClockValid,
};

class TVstTimeInformation {
 public:
  TVstTimeInformation();
  std::function<void(TVstTimeInformation& sender)> OnChanged;

  // Indices 0..7: SamplePos, SampleRate, NanoSeconds, PpqPos, Tempo, BarStartPos,
  // CycleStartPos, CycleEndPos.  Others read 0 and write nothing.
  double GetDoubleValue(int index) const;
  void SetDoubleValue(int index, double value);
  // Indices 0..4: TimeSigNumerator, TimeSigDenominator, SmpteOffset, SmpteFrameRate,
  // SamplesToNextClock.
  std::int32_t GetIntegerValue(int index) const;
  void SetIntegerValue(int index, std::int32_t value);
  std::uint16_t Flags() const { return static_cast<std::uint16_t>(info_.flags); }
  void SetFlags(std::uint16_t flags) { info_.flags = flags; }
  void Changed();
  void AssignTo(TVstTimeInformation& target) const;

  double SamplePos() const { return info_.samplePos; }
  void SetSamplePos(double v) { SetDoubleValue(0, v); }
  double SampleRate() const { return info_.sampleRate; }
  void SetSampleRate(double v) { SetDoubleValue(1, v); }
  double PpqPos() const { return info_.ppqPos; }
  void SetPpqPos(double v) { SetDoubleValue(3, v); }
  double Tempo() const { return info_.tempo; }
  void SetTempo(double v) { SetDoubleValue(4, v); }

  // The record handed to plug-ins for audioMasterGetTime.
  VstTimeInfo* Record() { return &info_; }

 private:
  double* DoubleField(int index);
  std::int32_t* IntegerField(int index);
  VstTimeInfo info_;
};

class TVstPlugIns {
 public:
  explicit TVstPlugIns(TVstHost* host) : host_(host) {}
  ~TVstPlugIns();
  TVstHost* Host() const { return host_; }
  TVstPlugIn& Add();
  TVstPlugIn& Items(int index) { return *items_.at(static_cast<std::size_t>(index)); }
  int Count() const { return static_cast<int>(items_.size()); }
  // Frees the item (which unloads its plug-in) and removes it.
  void Delete(int index);
  // The first item, in index order, whose plug-in record is `effect`.
  TVstPlugIn* FindByEffect(const AEffect* effect) const;

 private:
  TVstHost* host_;
  std::vector<std::unique_ptr<TVstPlugIn>> items_;
};

class TVstHost {
 public:
  explicit TVstHost(std::function<void(TVstHost& sender)> onCreate = {});
  ~TVstHost();
  TVstHost(const TVstHost&) = delete;
  TVstHost& operator=(const TVstHost&) = delete;

  std::int32_t LatencyInput = 0;
  std::int32_t LatencyOutput = 0;
  TVstHostLanguage Language = kVstLangEnglish;
  std::int32_t NumAutomatableParameters = 0;
  std::int32_t ParameterQuantization = 0;
  bool ManageIdleAutomaticly = false;
  std::string VendorString;
  std::int32_t VendorVersion = 0;
  std::string ProductString;
  std::string PlugInDir;
  std::function<void(TVstHost& sender)> OnCreate, OnDestroy;

  TVstPlugIns& VstPlugIns() { return *plugIns_; }
  TVstPlugIn& Items(int index) { return plugIns_->Items(index); }
  TVstTimeInformation& VstTimeInfo() { return *timeInfo_; }

  std::int32_t BlockSize() const { return HostBlockSize; }
  // Stores the size and sends it to every item whose plug-in record is present.
  void SetBlockSize(std::int32_t size);
  // A stream of another rate starts: the host's rate query answers it, the
  // time record carries it, and every open plug-in is suspended, told the
  // rate and resumed (plug-ins take their rate there, not from the block
  // requests). GUI thread, while the VST pass does not run. False, and
  // nothing sent, for the rate already set or a rate that is no positive number.
  bool ChangeSampleRate(float rate);
  // Every open plug-in is suspended, told the rate and resumed, whatever
  // rate it had: it starts afresh (a delay or a reverb forgets what it
  // held). The host's rate query and the time record answer the rate. GUI
  // thread, while the VST pass does not run. Nothing for a rate that is no
  // positive number.
  void RestartPlugIns(float rate);
  float Tempo() const { return HostTempo; }
  void SetTempo(float tempo);
  THostCanDos CanDos() const { return HostCanDoSet; }
  void SetCanDos(THostCanDos set) { HostCanDoSet = set; }
  std::int32_t VstVersion() const { return HostVstVersion; }
  void SetVstVersion(std::int32_t version) { HostVstVersion = version; }

  // --- state of the host callback's windows and file dialog ---
  // The thread that made the host; window and dialog requests come from it only.
  bool OnGuiThread() const { return std::this_thread::get_id() == guiThread_; }
  void AddPlugInWindow(void* window) { windows_.push_back(window); }
  std::size_t PlugInWindowCount() const { return windows_.size(); }
  // What a file selector handed the plug-in lives here until the plug-in
  // closes the selector.
  struct TFileDialog {
    std::string title;  // the plug-in's own text, to match its close
    std::string fileName;
    std::vector<std::string> files;
    std::vector<char*> paths;  // returnMultiplePaths
  };
  TFileDialog* HostFileDialog() { return fileDialog_.get(); }
  TFileDialog& MakeFileDialog(std::string title);
  void FreeFileDialog() { fileDialog_.reset(); }

 private:
  std::thread::id guiThread_;
  std::unique_ptr<TVstPlugIns> plugIns_;
  std::unique_ptr<TVstTimeInformation> timeInfo_;
  std::vector<void*> windows_;
  std::unique_ptr<TFileDialog> fileDialog_;
};

}  // namespace tav::vst
