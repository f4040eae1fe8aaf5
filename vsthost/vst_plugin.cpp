// TVstPlugIn: state, dispatcher requests, processing and parameter calls.
#include "tav/vst/vst_plugin.h"

#include <array>

#include "tav/seh_guard.h"

namespace tav::vst {

namespace {
// Texts are taken up to 255 characters; the buffer has room to spare for a
// plug-in that writes past the published limits.
constexpr std::size_t kTextLimit = 255;
constexpr std::size_t kTextBufferSize = 1024;
}

std::int32_t TVstPlugIn::numInputs() const {
  return effect_ ? ClampCount(effect_->numInputs) : cachedInputs_;
}
std::int32_t TVstPlugIn::numOutputs() const {
  return effect_ ? ClampCount(effect_->numOutputs) : cachedOutputs_;
}
std::int32_t TVstPlugIn::numPrograms() const {
  return effect_ ? ClampCount(effect_->numPrograms) : cachedPrograms_;
}
std::int32_t TVstPlugIn::numParams() const {
  return effect_ ? ClampCount(effect_->numParams) : cachedParams_;
}

void TVstPlugIn::RefreshCachedCounts() {
  if (!effect_) return;
  cachedInputs_ = ClampCount(effect_->numInputs);
  cachedOutputs_ = ClampCount(effect_->numOutputs);
  cachedPrograms_ = ClampCount(effect_->numPrograms);
  cachedParams_ = ClampCount(effect_->numParams);
}

void TVstPlugIn::ForgetCounts(std::int32_t value) {
  cachedInputs_ = cachedOutputs_ = cachedPrograms_ = cachedParams_ = value;
}

std::int32_t TVstPlugIn::InitialDelay() const { return effect_ ? effect_->initialDelay : 0; }

TEffFlags TVstPlugIn::EffectOptions() const {
  return effect_ ? TEffFlags{static_cast<std::uint16_t>(effect_->flags & 0xFFFF)} : TEffFlags{};
}

void TVstPlugIn::SetGUIStyle(TGUIStyle style) {
  if (editVisible_) throw TVstError("请先关闭编辑器!");
  guiStyle_ = style;
}

VstIntPtr TVstPlugIn::CallDispatcher(std::uint8_t opcode, std::int32_t index, VstIntPtr value,
                                     void* ptr, double opt, unsigned* faultCode) {
  if (faultCode) *faultCode = 0;
  ResetFpu();
  AEffect* effect = effect_;
  if (!effect) return 0;
  VstIntPtr answer = 0;
  const float opt32 = static_cast<float>(opt);
  if (!tav::Guarded([&] { answer = effect->dispatcher(effect, opcode, index, value, ptr, opt32); }, faultCode))
    return 0;
  return answer;
}

std::string TVstPlugIn::TextRequest(std::uint8_t opcode, bool whateverTheAnswer, VstIntPtr* answerOut) {
  // Zero-filled before every request: a plug-in that answers without
  // writing leaves an empty text.
  std::array<char, kTextBufferSize> buffer{};
  VstIntPtr answer = CallDispatcher(opcode, 0, 0, buffer.data());
  if (answerOut) *answerOut = answer;
  if (answer == 0 && !whateverTheAnswer) return {};
  return BoundedText(buffer.data(), kTextLimit);
}

std::int32_t TVstPlugIn::ProgramNr() {
  if (!active_) return -1;
  return SaturateToInt32(static_cast<std::int64_t>(CallDispatcher(effGetProgram)));
}

void TVstPlugIn::SetProgramNr(std::int32_t program) {
  if (active_) CallDispatcher(effSetProgram, 0, program);
}

std::string TVstPlugIn::ProgramName() {
  if (!active_) return {};
  // Plug-ins answer this request 0 or 1 alike; the text is what counts.
  return TextRequest(effGetProgramName, /*whateverTheAnswer=*/true);
}

void TVstPlugIn::SetProgramName(const std::string& name) {
  if (!active_) return;
  std::string text = name;  // a copy the plug-in may not keep
  CallDispatcher(effSetProgramName, 0, 0, text.data());
}

VstIntPtr TVstPlugIn::SetSampleRate(double rate) { return CallDispatcher(effSetSampleRate, 0, 0, nullptr, rate); }
VstIntPtr TVstPlugIn::SetBlockSize(std::int32_t size) { return CallDispatcher(effSetBlockSize, 0, size); }
VstIntPtr TVstPlugIn::MainsChanged(bool on) { return CallDispatcher(effMainsChanged, 0, on ? 1 : 0); }

void TVstPlugIn::EditGetRect(ERect& rect) {
  if (!active_) return;
  ERect* supplied = nullptr;
  CallDispatcher(effEditGetRect, 0, 0, &supplied);
  if (!supplied) return;
  ERect copy{};
  if (tav::Guarded([&] { copy = *supplied; })) rect = copy;
}

VstIntPtr TVstPlugIn::EditOpen(void* parentWindow) {
  VstIntPtr answer = CallDispatcher(effEditOpen, 0, 0, parentWindow, 0.0, &editOpenFault_);
  editVisible_ = answer > 0 && effect_ != nullptr;
  return answer;
}

void TVstPlugIn::EditClose() {
  if (!editVisible_) return;
  VstIntPtr answer = CallDispatcher(effEditClose);
  if ((answer & 0xFF) == 0) editVisible_ = false;
}

VstIntPtr TVstPlugIn::EditIdle() { return editVisible_ ? CallDispatcher(effEditIdle) : 0; }
VstIntPtr TVstPlugIn::Identify() { return CallDispatcher(effIdentify); }

std::int32_t TVstPlugIn::GetChunk(void** data, bool isPreset) {
  void* supplied = nullptr;
  VstIntPtr size = CallDispatcher(effGetChunk, isPreset ? 1 : 0, 0, &supplied);
  if (size <= 0 || !supplied) {
    *data = nullptr;
    return 0;
  }
  *data = supplied;
  return SaturateToInt32(static_cast<std::int64_t>(size));
}

VstIntPtr TVstPlugIn::SetChunk(void* data, std::int32_t size, bool isPreset) {
  return CallDispatcher(effSetChunk, isPreset ? 1 : 0, size, data);
}

VstIntPtr TVstPlugIn::GetPlugCategory() { return active_ ? CallDispatcher(effGetPlugCategory) : 0; }

VstIntPtr TVstPlugIn::SetBlockSizeAndSampleRate(std::int32_t size, float rate) {
  return CallDispatcher(effSetBlockSizeAndSampleRate, 0, size, nullptr, rate);
}

VstIntPtr TVstPlugIn::SetBypass(bool on) { return CallDispatcher(effSetBypass, 0, on ? 1 : 0); }

std::string TVstPlugIn::GetEffectName() {
  return active_ ? TextRequest(effGetEffectName, /*whateverTheAnswer=*/false) : std::string();
}
std::string TVstPlugIn::VendorString() {
  return active_ ? TextRequest(effGetVendorString, false) : std::string();
}
std::string TVstPlugIn::ProductString() {
  return active_ ? TextRequest(effGetProductString, false) : std::string();
}
std::int32_t TVstPlugIn::VendorVersion() {
  if (!active_) return -1;
  return SaturateToInt32(static_cast<std::int64_t>(CallDispatcher(effGetVendorVersion)));
}

VstIntPtr TVstPlugIn::CanDo(const std::string& text) {
  std::string copy = text;
  return CallDispatcher(effCanDo, 0, 0, copy.data());
}

VstIntPtr TVstPlugIn::Idle() { return wantsIdle_ ? CallDispatcher(effIdle) : 0; }
VstIntPtr TVstPlugIn::GetVstVersion() { return active_ ? CallDispatcher(effGetVstVersion) : -1; }

VstIntPtr TVstPlugIn::ShellGetNextPlugin(std::string& name) {
  if (!active_) return 0;
  VstIntPtr answer = 0;
  std::string text = TextRequest(effShellGetNextPlugin, false, &answer);
  if (answer != 0) name = text;
  return answer;
}

void TVstPlugIn::BeginLoadProgram(VstPatchChunkInfo& info) {
  if (active_) CallDispatcher(effBeginLoadProgram, 0, 0, &info);
}

// --- straight calls into the plug-in's entry points ---

namespace {
template <class Call>
void CallEntry(Call&& call) {
  unsigned code = 0;
  if (!tav::Guarded(call, &code)) throw TVstPlugInFault(code);
}
}  // namespace

void TVstPlugIn::SetParameter(std::int32_t index, float value) {
  AEffect* e = effect_;
  if (!e || !e->setParameter) return;
  CallEntry([&] { e->setParameter(e, index, value); });
}

float TVstPlugIn::GetParameter(std::int32_t index) {
  AEffect* e = effect_;
  if (!e || !e->getParameter) return 0.0f;
  float value = 0.0f;
  CallEntry([&] { value = e->getParameter(e, index); });
  return value;
}

void TVstPlugIn::Process(float** inputs, float** outputs, std::int32_t sampleFrames) {
  AEffect* e = effect_;
  if (!e || !e->process) return;
  CallEntry([&] { e->process(e, inputs, outputs, sampleFrames); });
}

void TVstPlugIn::ProcessReplacing(float** inputs, float** outputs, std::int32_t sampleFrames) {
  AEffect* e = effect_;
  if (!e || !e->processReplacing) return;
  CallEntry([&] { e->processReplacing(e, inputs, outputs, sampleFrames); });
}

void TVstPlugIn::ProcessDoubleReplacing(double** inputs, double** outputs, std::int32_t sampleFrames) {
  AEffect* e = effect_;
  if (!e || !e->processDoubleReplacing) return;
  CallEntry([&] { e->processDoubleReplacing(e, inputs, outputs, sampleFrames); });
}

void TVstPlugIn::AssignTo(TVstPlugIn& target) {
  target.displayName_ = displayName_;
  target.ReplaceOrAccumulate = ReplaceOrAccumulate;
  target.CurrentProcessLevel = CurrentProcessLevel;
  target.AutomationState = AutomationState;
  target.OnAudioMasterAutomate = OnAudioMasterAutomate;
  target.OnAudioMasterIdle = OnAudioMasterIdle;
  target.OnAudioMasterNeedIdle = OnAudioMasterNeedIdle;
  target.OnAudioMasterIOChanged = OnAudioMasterIOChanged;
  target.OnAudioMasterWantMidi = OnAudioMasterWantMidi;
  target.OnAudioMasterOfflineStart = OnAudioMasterOfflineStart;
  target.OnAudioMasterOfflineRead = OnAudioMasterOfflineRead;
  target.OnAudioMasterOfflineWrite = OnAudioMasterOfflineWrite;
  target.OnAudioMasterOfflineGetCurrentPass = OnAudioMasterOfflineGetCurrentPass;
  target.OnAudioMasterOfflineGetCurrentMetaPass = OnAudioMasterOfflineGetCurrentMetaPass;
  target.OnAudioMasterSetOutputSampleRate = OnAudioMasterSetOutputSampleRate;
  target.OnAudioMasterUpdateDisplay = OnAudioMasterUpdateDisplay;
  target.OnAudioMasterBeginEdit = OnAudioMasterBeginEdit;
  target.OnAudioMasterEndEdit = OnAudioMasterEndEdit;
  target.OnAudioMasterPinConnected = OnAudioMasterPinConnected;
  target.OnVendorSpecific = OnVendorSpecific;
  target.OnCloseEdit = OnCloseEdit;
  target.OnAfterLoad = OnAfterLoad;
  target.OnProcessEvents = OnProcessEvents;
  target.OnAudioMasterSizeWindow = OnAudioMasterSizeWindow;
  target.dllFileName_ = dllFileName_;
  target.SetActive(active_);
  void* bank = nullptr;
  std::int32_t size = GetChunk(&bank, /*isPreset=*/false);
  target.SetChunk(bank, size, /*isPreset=*/false);
}

}  // namespace tav::vst
