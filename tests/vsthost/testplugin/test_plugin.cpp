// The test plug-in (see test_plugin.h).
#include "test_plugin.h"

#include "tav/vst/vst_common.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <list>
#include <stdexcept>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#endif

namespace tav::vst::testplugin {

namespace {

TTestPlugInState state;

// A fault as a plug-in makes one: an access violation in the Windows
// variants; natively (where a hardware fault cannot be resumed from) an
// exception.
[[noreturn]] void Fault() {
#ifdef _WIN32
  *static_cast<volatile int*>(nullptr) = 1;
  __builtin_unreachable();
#else
  throw std::runtime_error("test plug-in fault");
#endif
}

TTestCall& Log(std::int32_t kind, std::int32_t opcode = 0, std::int32_t index = 0,
               std::int64_t value = 0, float opt = 0.0f) {
  static TTestCall overflow;
  TTestCall& call = state.callCount < kMaxLoggedCalls ? state.calls[state.callCount] : overflow;
  ++state.callCount;
  call = TTestCall{};
  call.kind = kind;
  call.opcode = opcode;
  call.index = index;
  call.value = value;
  call.opt = opt;
  call.fpuControl = CurrentFpuControlWord();
  return call;
}

struct Program {
  char name[25];
  float values[kMaxParams];
};

struct Instance {
  AEffect effect;  // first member: the record the host holds
  AudioMasterCallbackFunc audioMaster;
  std::vector<Program> programs;
  std::int32_t current = 0;
  ERect rect{};
  std::vector<std::uint8_t> chunk;
  std::int32_t shellLeft = 0;
  std::int32_t shellNext = 0;
  float sampleRate = 0, blockSize = 0;
  std::vector<std::vector<float>> delayLine;  // per channel, state.delayFrames long
  std::size_t delayAt = 0;
#ifdef _WIN32
  HWND editor = nullptr;
#endif
};

std::list<Instance> instances;

Instance& Of(AEffect* effect) { return *reinterpret_cast<Instance*>(effect); }

void CopyText(void* ptr, const char* text) {
  if (state.textsUnwritten) return;
  // Published limits are far below the host's 255-byte buffer.
  std::snprintf(static_cast<char*>(ptr), 64, "%s", text);
}

// Chunk layout: "TPC1", program count, then per program its 25-byte name and
// kMaxParams floats.
void BuildChunk(Instance& in, bool preset) {
  in.chunk.assign({'T', 'P', 'C', '1'});
  const auto first = preset ? in.programs.begin() + in.current : in.programs.begin();
  const auto last = preset ? first + 1 : in.programs.end();
  in.chunk.push_back(static_cast<std::uint8_t>(last - first));
  for (auto p = first; p != last; ++p) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(&*p);
    in.chunk.insert(in.chunk.end(), bytes, bytes + sizeof(Program));
  }
}

void TakeChunk(Instance& in, const std::uint8_t* data, std::int32_t size, bool preset) {
  state.lastChunkSize = size;
  state.lastChunkIsPreset = preset;
  std::memcpy(state.lastChunk, data, std::min<std::size_t>(sizeof state.lastChunk, std::max(size, 0)));
  if (size < 5 || std::memcmp(data, "TPC1", 4) != 0) return;
  const int count = data[4];
  if (size < 5 + count * static_cast<std::int32_t>(sizeof(Program))) return;
  for (int i = 0; i < count; ++i) {
    const std::size_t target = preset ? static_cast<std::size_t>(in.current) : static_cast<std::size_t>(i);
    if (target >= in.programs.size()) break;
    std::memcpy(&in.programs[target], data + 5 + i * sizeof(Program), sizeof(Program));
  }
}

#ifdef _WIN32
HINSTANCE ThisModule() {
  HMODULE module = nullptr;
  GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                     reinterpret_cast<LPCWSTR>(&ThisModule), &module);
  return module;
}
const wchar_t kEditorClass[] = L"TavolenTestPlugInEditor";

// The editor paints its name, its program and the program's parameters, so a
// screenshot shows it is there.
LRESULT CALLBACK EditorProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message != WM_PAINT) return DefWindowProcW(window, message, wParam, lParam);
  PAINTSTRUCT ps;
  HDC dc = BeginPaint(window, &ps);
  RECT r;
  GetClientRect(window, &r);
  HBRUSH back = CreateSolidBrush(RGB(24, 56, 88));
  FillRect(dc, &r, back);
  DeleteObject(back);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, RGB(240, 220, 120));
  auto* in = reinterpret_cast<Instance*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  char line[96];
  int y = 10;
  auto text = [&](const char* t) {
    TextOutA(dc, 12, y, t, static_cast<int>(std::strlen(t)));
    y += 18;
  };
  text("Test Halver: every sample x 0.5");
  if (in) {
    const Program& p = in->programs[static_cast<std::size_t>(in->current)];
    std::snprintf(line, sizeof line, "Program %d: %s", in->current, p.name);
    text(line);
    for (int i = 0; i < in->effect.numParams && i < kMaxParams; ++i) {
      std::snprintf(line, sizeof line, "Param %d = %.3f", i, static_cast<double>(p.values[i]));
      text(line);
    }
  }
  EndPaint(window, &ps);
  return 0;
}
#endif

bool OpenEditor(Instance& in, void* parent) {
  if (state.editorWidth <= 0) return false;
  state.editorParent = parent;
#ifdef _WIN32
  WNDCLASSW wc{};
  wc.lpfnWndProc = EditorProc;
  wc.hInstance = ThisModule();
  wc.lpszClassName = kEditorClass;
  RegisterClassW(&wc);
  in.editor = CreateWindowExW(0, kEditorClass, L"Test editor", WS_CHILD | WS_VISIBLE, 0, 0,
                              state.editorWidth, state.editorHeight, static_cast<HWND>(parent), nullptr,
                              wc.hInstance, nullptr);
  if (in.editor) SetWindowLongPtrW(in.editor, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(&in));
  state.editorWindow = in.editor;
  return in.editor != nullptr;
#else
  return true;
#endif
}

void CloseEditorWindow(Instance& in) {
#ifdef _WIN32
  if (in.editor) DestroyWindow(in.editor);
  in.editor = nullptr;
  UnregisterClassW(kEditorClass, ThisModule());
#endif
  state.editorParent = nullptr;
}

void AskForFile(Instance& in, std::int32_t command) {
  VstFileType wave{};
  std::snprintf(wave.name, sizeof wave.name, "Wave");
  std::snprintf(wave.dosType, sizeof wave.dosType, "wav");
  VstFileSelect select{};
  select.command = command;
  select.nbFileTypes = 1;
  select.fileTypes = &wave;
  std::snprintf(select.title, sizeof select.title, "%s", state.fileSelectorTitle);
  if (state.fileSelectorFolder[0]) select.initialPath = state.fileSelectorFolder;
  static char own[1024];
  std::memset(own, 0, sizeof own);
  if (state.fileSelectorOwnBuffer > 0) {
    select.returnPath = own;
    select.sizeReturnPath = state.fileSelectorOwnBuffer;
  }
  state.fileSelectorAnswer = in.audioMaster(&in.effect, audioMasterOpenFileSelector, 0, 0, &select, 0);
  state.fileSelectorReturnPathSet = select.returnPath != nullptr && select.returnPath != own;
  state.fileSelectorBufferKept = select.returnPath == own;
  state.fileSelectorSize = select.sizeReturnPath;
  state.fileSelectorPath[0] = '\0';
  if (select.returnPath) std::snprintf(state.fileSelectorPath, sizeof state.fileSelectorPath, "%s", select.returnPath);
  state.fileSelectorCount = select.returnMultiplePaths ? select.nbReturnPath : 0;
  for (int i = 0; i < state.fileSelectorCount && i < 4; ++i)
    std::snprintf(state.fileSelectorPaths[i], sizeof state.fileSelectorPaths[i], "%s", select.returnMultiplePaths[i]);
  if (state.fileSelectorAnswer) in.audioMaster(&in.effect, audioMasterCloseFileSelector, 0, 0, &select, 0);
}

VstIntPtr Dispatcher(AEffect* effect, VstInt32 opcode, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
  TTestCall& call = Log(kCallDispatcher, opcode, index, value, opt);
  call.hasPtr = ptr != nullptr;
  if ((opcode == effCanDo || opcode == effSetProgramName) && ptr)
    std::snprintf(call.text, sizeof call.text, "%s", static_cast<const char*>(ptr));
  if (opcode == state.faultOpcode) Fault();
  Instance& in = Of(effect);
  Program& program = in.programs[static_cast<std::size_t>(in.current)];
  switch (opcode) {
    case effClose:
#ifdef _WIN32
      CloseEditorWindow(in);
#endif
      for (auto it = instances.begin(); it != instances.end(); ++it)
        if (&*it == &in) {
          instances.erase(it);
          break;
        }
      state.liveInstances = static_cast<std::int32_t>(instances.size());
      return 0;
    case effSetProgram:
      if (value >= 0 && value < static_cast<VstIntPtr>(in.programs.size())) in.current = static_cast<std::int32_t>(value);
      return 0;
    case effGetProgram:
      return in.current;
    case effSetProgramName:
      std::snprintf(program.name, sizeof program.name, "%s", static_cast<const char*>(ptr));
      return 0;
    case effGetProgramName:
      CopyText(ptr, program.name);
      return state.programNameAnswer;
    case effSetSampleRate:
      in.sampleRate = opt;
      state.lastSampleRate = opt;
      return 0;
    case effMainsChanged:
      if (value == 1) {
        ++state.resumes;
        in.delayLine.clear();
        if (state.askRateAtResume)
          state.rateAtResume = in.audioMaster(effect, audioMasterGetSampleRate, 0, 0, nullptr, 0);
      }
      return 0;
    case effSetBlockSize:
      in.blockSize = static_cast<float>(value);
      return 0;
    case effEditGetRect:
      if (state.editorWidth <= 0) return 0;
      in.rect = ERect{0, 0, state.editorHeight, state.editorWidth};
      *static_cast<ERect**>(ptr) = &in.rect;
      return 1;
    case effEditOpen:
      return OpenEditor(in, ptr) ? 1 : 0;
    case effEditClose:
      CloseEditorWindow(in);
      return 0;
    case effEditIdle:
      ++state.editIdleCount;
      return 0;
    case effIdentify:
      return 0x4E764566;  // 'NvEf'
    case effGetChunk:
      BuildChunk(in, index == 1);
      *static_cast<void**>(ptr) = state.chunkNullPointer ? nullptr : in.chunk.data();
      return state.chunkAnswerSize != -1 ? state.chunkAnswerSize : static_cast<VstIntPtr>(in.chunk.size());
    case effSetChunk:
      TakeChunk(in, static_cast<const std::uint8_t*>(ptr), static_cast<std::int32_t>(value), index == 1);
      return 1;
    case effGetPlugCategory:
      return state.uniqueID == 0 ? 10 : 1;  // shell or effect
    case effGetEffectName:
      CopyText(ptr, "Halver");
      return 1;
    case effGetVendorString:
      CopyText(ptr, "Tavolen Tests");
      return 1;
    case effGetProductString:
      CopyText(ptr, "Test Halver");
      return 1;
    case effGetVendorVersion:
      return 1000;
    case kVendorSpecific:
      if (index == kHookFileSelector) AskForFile(in, static_cast<std::int32_t>(value));
      if (index == kHookSizeWindow)
        state.sizeWindowAnswer =
            in.audioMaster(effect, audioMasterSizeWindow, state.resizeWidth, state.resizeHeight, nullptr, 0);
      if (index == kHookCallbackFpu) {
        LoadFpuControlWord(static_cast<std::uint16_t>(value));
        in.audioMaster(effect, audioMasterGetSampleRate, 0, 0, nullptr, 0);
        state.fpuAfterCallback = CurrentFpuControlWord();
      }
      return 1;
    case effCanDo:
      return std::strcmp(static_cast<const char*>(ptr), "bypass") == 0 ? 1 : -1;
    case effIdle:
      ++state.idleCount;
      return 1;
    case effGetVstVersion:
      return 2400;
    case effShellGetNextPlugin:
      if (in.shellLeft == 0) return 0;
      if (in.shellLeft > 0) --in.shellLeft;
      std::snprintf(static_cast<char*>(ptr), 64, "Sub %d", in.shellNext);
      return 0x53756230 + (in.shellNext++ % 10);  // 'Sub0' ...
    case effBeginLoadProgram:
      std::memcpy(&state.lastPatchInfo, ptr, sizeof state.lastPatchInfo);
      return 0;
    default:
      return 0;
  }
}

template <class Sample>
void Halve(AEffect* effect, Sample** inputs, Sample** outputs, VstInt32 frames, bool accumulate) {
  const int channels = std::min(effect->numInputs, effect->numOutputs);
  for (int c = 0; c < channels; ++c)
    for (VstInt32 i = 0; i < frames; ++i) {
      const Sample half = inputs[c][i] * Sample(0.5);
      outputs[c][i] = accumulate ? outputs[c][i] + half : half;
    }
}

void ProcessAccumulating(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
  Log(kCallProcess, 0, 0, frames);
  if (state.faultInProcessing) Fault();
  Halve(effect, inputs, outputs, frames, true);
}

// out = half the input of delayFrames frames before; silence before the
// first input since the last resume.
void DelayAndHalve(Instance& in, float** inputs, float** outputs, VstInt32 frames) {
  const int channels = std::min(in.effect.numInputs, in.effect.numOutputs);
  const auto length = static_cast<std::size_t>(state.delayFrames);
  if (in.delayLine.size() != static_cast<std::size_t>(channels) ||
      (channels > 0 && in.delayLine[0].size() != length)) {
    in.delayLine.assign(static_cast<std::size_t>(channels), std::vector<float>(length, 0.0f));
    in.delayAt = 0;
  }
  for (VstInt32 i = 0; i < frames; ++i) {
    for (int c = 0; c < channels; ++c) {
      float& held = in.delayLine[static_cast<std::size_t>(c)][in.delayAt];
      const float x = inputs[c][i];
      outputs[c][i] = held * 0.5f;
      held = x;
    }
    in.delayAt = (in.delayAt + 1) % length;
  }
}

void ProcessReplacing(AEffect* effect, float** inputs, float** outputs, VstInt32 frames) {
  Log(kCallProcessReplacing, 0, 0, frames);
  if (state.faultInProcessing) Fault();
  if (state.delayFrames > 0)
    DelayAndHalve(Of(effect), inputs, outputs, frames);
  else
    Halve(effect, inputs, outputs, frames, false);
}

void ProcessDouble(AEffect* effect, double** inputs, double** outputs, VstInt32 frames) {
  Log(kCallProcessDouble, 0, 0, frames);
  if (state.faultInProcessing) Fault();
  Halve(effect, inputs, outputs, frames, false);
}

void SetParameter(AEffect* effect, VstInt32 index, float value) {
  Log(kCallSetParameter, 0, index, 0, value);
  if (state.faultInParameters) Fault();
  Instance& in = Of(effect);
  if (index >= 0 && index < effect->numParams) in.programs[static_cast<std::size_t>(in.current)].values[index] = value;
}

float GetParameter(AEffect* effect, VstInt32 index) {
  Log(kCallGetParameter, 0, index);
  if (state.faultInParameters) Fault();
  Instance& in = Of(effect);
  return index >= 0 && index < effect->numParams ? in.programs[static_cast<std::size_t>(in.current)].values[index]
                                                 : 0.0f;
}

AEffect* Create(AudioMasterCallbackFunc audioMaster, TTestEntry entry) {
  Log(kCallEntry, entry);
  state.audioMaster = audioMaster;
  if (state.faultInEntry) Fault();
  state.versionAskedInEntry = audioMaster(nullptr, audioMasterVersion, 0, 0, nullptr, 0);
  if (state.uniqueID == 0) audioMaster(nullptr, audioMasterCurrentId, 0, 0, nullptr, 0);
  if (state.entryReturnsNull) return nullptr;
  Instance& in = instances.emplace_back();
  state.liveInstances = static_cast<std::int32_t>(instances.size());
  in.audioMaster = audioMaster;
  AEffect& e = in.effect;
  std::memset(&e, 0, sizeof e);
  e.magic = state.badMagic ? 0x12345678 : kEffectMagic;
  e.dispatcher = &Dispatcher;
  e.process = &ProcessAccumulating;
  e.setParameter = &SetParameter;
  e.getParameter = &GetParameter;
  e.numPrograms = state.numPrograms;
  e.numParams = state.numParams;
  e.numInputs = state.numInputs;
  e.numOutputs = state.numOutputs;
  e.flags = state.flags;
  e.initialDelay = 7;
  e.uniqueID = state.uniqueID;
  e.version = state.version;
  e.processReplacing = &ProcessReplacing;
  e.processDoubleReplacing = &ProcessDouble;
  const int programs = std::clamp(state.numPrograms, 1, kMaxPrograms);
  in.programs.resize(static_cast<std::size_t>(programs));
  for (int p = 0; p < programs; ++p) {
    std::snprintf(in.programs[p].name, sizeof in.programs[p].name, "Program %d", p);
    for (int i = 0; i < kMaxParams; ++i) in.programs[p].values[i] = 0.125f * static_cast<float>(i + 1) + 0.0625f * p;
  }
  in.shellLeft = state.shellSubPlugIns;
  state.lastEffect = &e;
  return &e;
}

}  // namespace

extern "C" void TestPlugInReset() {
  instances.clear();
  std::memset(&state, 0, sizeof state);
  state.uniqueID = kTestUniqueId;
  state.version = kTestVersion;
  state.numParams = 3;
  state.numPrograms = 2;
  state.numInputs = 2;
  state.numOutputs = 2;
  state.flags = (1 << effFlagsHasEditor) | (1 << effFlagsCanReplacing);
  state.shellSubPlugIns = 3;
  state.editorWidth = kTestEditorWidth;
  state.editorHeight = kTestEditorHeight;
  state.faultOpcode = -1;
  state.chunkAnswerSize = -1;
  std::snprintf(state.fileSelectorTitle, sizeof state.fileSelectorTitle, "Test plug-in file");
#ifdef TAV_TEST_PLUGIN_BAD_MAGIC
  state.badMagic = 1;
#endif
}

extern "C" TTestPlugInState* TestPlugInState() { return &state; }

extern "C" AEffect* TestPlugInMain(AudioMasterCallbackFunc audioMaster) { return Create(audioMaster, kEntryMain); }
extern "C" AEffect* TestPlugInVstMain(AudioMasterCallbackFunc audioMaster) {
  return Create(audioMaster, kEntryVstPluginMain);
}

// Stands for another plug-in interface's factory: an object that is no VST 2 record.
extern "C" void* TestPlugInFactory(AudioMasterCallbackFunc) {
  static std::uint32_t factory[36] = {0x46616374};  // 'Fact'
  Log(kCallEntry, kEntryFactory);
  return factory;
}

namespace {
struct Defaults {
  Defaults() { TestPlugInReset(); }
} defaults;
}  // namespace

}  // namespace tav::vst::testplugin
