// TVstHost, its item collection and the time information.
#include "tav/vst/vst_host.h"

#include <cmath>

#include "tav/vst/vst_platform.h"

namespace tav::vst {

const char* const kHostCanDoTexts[18] = {
    "sendVstEvents",  "sendVstMidiEvent",      "sendVstTimeInfo",  "receiveVstEvents",
    "receiveVstMidiEvent", "receiveVstTimeInfo", "reportConnectionChanges", "acceptIOChanges",
    "sizeWindow",     "asyncProcessing",       "offline",          "supplyIdle",
    "supportShell",   "openFileSelector",      "closeFileSelector", "editFile",
    "shellCategory",  "startStopProcess",
};

// --- TVstTimeInformation ---

TVstTimeInformation::TVstTimeInformation() : info_{} {
  info_.sampleRate = 44100.0;
  info_.timeSigNumerator = 4;
  info_.timeSigDenominator = 4;
  info_.smpteFrameRate = 1;
  info_.flags = 0xEF02;
}

double* TVstTimeInformation::DoubleField(int index) {
  double* fields[] = {&info_.samplePos,   &info_.sampleRate,    &info_.nanoSeconds,
                      &info_.ppqPos,      &info_.tempo,         &info_.barStartPos,
                      &info_.cycleStartPos, &info_.cycleEndPos};
  return index >= 0 && index < 8 ? fields[index] : nullptr;
}

std::int32_t* TVstTimeInformation::IntegerField(int index) {
  std::int32_t* fields[] = {&info_.timeSigNumerator, &info_.timeSigDenominator, &info_.smpteOffset,
                            &info_.smpteFrameRate, &info_.samplesToNextClock};
  return index >= 0 && index < 5 ? fields[index] : nullptr;
}

double TVstTimeInformation::GetDoubleValue(int index) const {
  const double* field = const_cast<TVstTimeInformation*>(this)->DoubleField(index);
  return field ? *field : 0.0;
}

void TVstTimeInformation::SetDoubleValue(int index, double value) {
  double* field = DoubleField(index);
  if (!field || *field == value || std::isnan(*field) || std::isnan(value)) return;
  *field = value;
  if (index == 1) HostSampleRate = static_cast<float>(value);
  Changed();
}

std::int32_t TVstTimeInformation::GetIntegerValue(int index) const {
  const std::int32_t* field = const_cast<TVstTimeInformation*>(this)->IntegerField(index);
  return field ? *field : 0;
}

void TVstTimeInformation::SetIntegerValue(int index, std::int32_t value) {
  std::int32_t* field = IntegerField(index);
  if (!field || *field == value) return;
  *field = value;
  Changed();
}

void TVstTimeInformation::Changed() {
  if (OnChanged) OnChanged(*this);
}

void TVstTimeInformation::AssignTo(TVstTimeInformation& target) const {
  target.info_ = info_;
  target.Changed();
}

bool TVstHost::ChangeSampleRate(float rate) {
  if (!std::isfinite(rate) || !(rate > 0.0f) || rate == HostSampleRate) return false;
  RestartPlugIns(rate);
  return true;
}

void TVstHost::RestartPlugIns(float rate) {
  if (!std::isfinite(rate) || !(rate > 0.0f)) return;
  HostSampleRate = rate;
  timeInfo_->SetSampleRate(rate);
  for (int i = 0; i < plugIns_->Count(); ++i) {
    TVstPlugIn& item = plugIns_->Items(i);
    if (!item.Active() || !item.VstEffect()) continue;
    item.MainsChanged(false);
    item.SetSampleRate(rate);
    item.MainsChanged(true);
  }
}

// --- TVstPlugIns ---

TVstPlugIns::~TVstPlugIns() {
  while (!items_.empty()) Delete(0);
}

TVstPlugIn& TVstPlugIns::Add() {
  items_.push_back(std::make_unique<TVstPlugIn>(this));
  return *items_.back();
}

void TVstPlugIns::Delete(int index) {
  TVstPlugIn& item = *items_.at(static_cast<std::size_t>(index));
  if (!item.DLLFileName().empty() || item.ModuleHandle() || item.VstEffect()) {
    // Unloaded while the item is still found by the host callback.
    if (item.EditVisible()) item.CloseEditor();
    item.UnloadModule();
  }
  items_.erase(items_.begin() + index);
}

TVstPlugIn* TVstPlugIns::FindByEffect(const AEffect* effect) const {
  if (!effect) return nullptr;
  for (const auto& item : items_)
    if (item && item->VstEffect() == effect) return item.get();
  return nullptr;
}

// --- TVstHost ---

TVstHost::TVstHost(std::function<void(TVstHost&)> onCreate)
    : OnCreate(std::move(onCreate)), guiThread_(std::this_thread::get_id()) {
  CurrentVstHost = this;
  HostSampleRate = 44100.0f;
  HostBlockSize = 2048;
  Language = kVstLangEnglish;
  HostCanDoSet = kDefaultHostCanDos;
  plugIns_ = std::make_unique<TVstPlugIns>(this);
  timeInfo_ = std::make_unique<TVstTimeInformation>();
  timeInfo_->OnChanged = [](TVstTimeInformation&) {};
  if (OnCreate) OnCreate(*this);
}

TVstHost::~TVstHost() {
  try {
    if (OnDestroy) OnDestroy(*this);
  } catch (...) {
  }
  while (plugIns_->Count() > 0) plugIns_->Delete(0);
  plugIns_.reset();
  timeInfo_.reset();
  if (CurrentVstHost == this) CurrentVstHost = nullptr;
  fileDialog_.reset();
  for (void* window : windows_) VstHostUi().DestroyPlugInWindow(window);
}

void TVstHost::SetBlockSize(std::int32_t size) {
  HostBlockSize = size;
  for (int i = 0; i < plugIns_->Count(); ++i) {
    TVstPlugIn& item = plugIns_->Items(i);
    if (item.VstEffect()) item.SetBlockSize(size);
  }
}

void TVstHost::SetTempo(float tempo) {
  HostTempo = tempo;
  timeInfo_->SetTempo(tempo);
}

TVstHost::TFileDialog& TVstHost::MakeFileDialog(std::string title) {
  fileDialog_ = std::make_unique<TFileDialog>();
  fileDialog_->title = std::move(title);
  return *fileDialog_;
}

}  // namespace tav::vst
