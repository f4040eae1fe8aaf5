// The test plug-in: a small VST 2 effect of our own that halves the sound
// (and can delay it, keeping state as a delay or a reverb does), has
// parameters and programs, logs every call the host makes and can be
// told to fault.  One source serves the native tests (linked in, reached
// through a fake library loader) and the Windows DLL variants.
//
// Tests steer it through TTestPlugInState, a plain record that the plug-in
// exports (a DLL variant: GetProcAddress(module, "TestPlugInState")).
#pragma once

#include <cstdint>

#include "tav/vst/vst_interface.h"

namespace tav::vst::testplugin {

// What a logged call was.
enum TTestCallKind : std::int32_t {
  kCallEntry = 1,          // opcode: which entry (below)
  kCallDispatcher,         // opcode, index, value, opt, text
  kCallProcess,            // value = sample frames
  kCallProcessReplacing,   // value = sample frames
  kCallProcessDouble,      // value = sample frames
  kCallSetParameter,       // index, opt = value
  kCallGetParameter,       // index
};

enum TTestEntry : std::int32_t { kEntryMain = 0, kEntryVstPluginMain = 1, kEntryFactory = 2 };

struct TTestCall {
  std::int32_t kind;
  std::int32_t opcode;
  std::int32_t index;
  std::int64_t value;
  float opt;
  std::uint16_t fpuControl;  // the x87 control word the plug-in found when called
  bool hasPtr;
  char text[40];             // effCanDo / effSetProgramName text
};

inline constexpr int kMaxLoggedCalls = 4096;
inline constexpr int kMaxParams = 8;
inline constexpr int kMaxPrograms = 4;

// Vendor-specific requests (effVendorSpecific, 50) the test plug-in answers,
// by index: they make it call the host the way a real plug-in's editor would.
inline constexpr std::int32_t kVendorSpecific = 50;
inline constexpr std::int32_t kHookFileSelector = 1;  // value = command
inline constexpr std::int32_t kHookCallbackFpu = 2;   // value = control word to set first
inline constexpr std::int32_t kHookSizeWindow = 3;    // asks for resizeWidth x resizeHeight

struct TTestPlugInState {
  // --- settings, read when an entry creates a plug-in ---
  std::int32_t uniqueID;
  std::int32_t version;
  std::int32_t numParams;
  std::int32_t numPrograms;
  std::int32_t numInputs;
  std::int32_t numOutputs;
  std::int32_t flags;
  std::int32_t badMagic;          // the record carries another magic
  std::int32_t entryReturnsNull;
  std::int32_t faultInEntry;
  std::int32_t shellSubPlugIns;   // sub-plug-ins a shell (uniqueID 0) lists; -1: never ends
  std::int16_t editorWidth;       // 0: no editor
  std::int16_t editorHeight;
  // --- settings read on every call ---
  std::int32_t faultOpcode;       // dispatcher opcode that faults; -1: none
  std::int32_t faultInProcessing;
  std::int32_t faultInParameters;
  std::int32_t programNameAnswer; // answer to effGetProgramName (the name is written anyway)
  std::int32_t chunkAnswerSize;   // other than -1: effGetChunk answers this size, not the real one
  std::int32_t chunkNullPointer;  // effGetChunk leaves the data pointer empty
  std::int32_t textsUnwritten;    // text requests answer as done without writing
  // --- behaviours of third-party plug-ins, read on every call ---
  std::int32_t askRateAtResume;   // effMainsChanged 1 asks audioMasterGetSampleRate
  std::int16_t resizeWidth;       // the size kHookSizeWindow asks for
  std::int16_t resizeHeight;
  std::int32_t delayFrames;       // processReplacing delays by this many frames (then halves); its
                                  // line is cleared at every resume (effMainsChanged 1). 0: no delay
  std::int32_t fileSelectorOwnBuffer;  // the selector brings a buffer of this size (0: none)
  char fileSelectorTitle[64];          // 8-bit texts of the selector request
  char fileSelectorFolder[64];

  // --- what the plug-in saw ---
  std::int32_t callCount;
  TTestCall calls[kMaxLoggedCalls];
  std::int32_t liveInstances;
  AEffect* lastEffect;
  AudioMasterCallbackFunc audioMaster;
  std::int64_t versionAskedInEntry;  // audioMasterVersion's answer inside the entry
  std::uint16_t fpuAfterCallback;    // control word after the host callback returned (hook 2)
  std::int64_t fileSelectorAnswer;
  char fileSelectorPath[260];
  std::int32_t fileSelectorSize;
  std::int32_t fileSelectorReturnPathSet;
  std::int32_t fileSelectorBufferKept;  // returnPath still pointed at the plug-in's buffer
  std::int32_t fileSelectorCount;       // kVstMultipleFilesLoad: paths returned
  char fileSelectorPaths[4][260];
  float lastSampleRate;                 // of effSetSampleRate
  std::int32_t resumes;                 // effMainsChanged 1
  std::int64_t rateAtResume;            // what the host answered then
  std::int64_t sizeWindowAnswer;
  void* editorParent;
  void* editorWindow;                // the editor's own window (Windows)
  std::int32_t editIdleCount;
  std::int32_t idleCount;
  VstPatchChunkInfo lastPatchInfo;
  std::int32_t lastChunkSize;        // size handed to effSetChunk
  std::int32_t lastChunkIsPreset;
  std::uint8_t lastChunk[512];       // its first bytes
};

// Sets every setting to its default and forgets what was seen.
extern "C" void TestPlugInReset();
extern "C" TTestPlugInState* TestPlugInState();

// The entry points (exported by the DLL variants under the names "main",
// "VSTPluginMain" and "GetPluginFactory").
extern "C" AEffect* TestPlugInMain(AudioMasterCallbackFunc audioMaster);
extern "C" AEffect* TestPlugInVstMain(AudioMasterCallbackFunc audioMaster);
extern "C" void* TestPlugInFactory(AudioMasterCallbackFunc audioMaster);

// Defaults.
inline constexpr std::int32_t kTestUniqueId = 0x54737448;  // 'TstH'
inline constexpr std::int32_t kTestVersion = 1207;
inline constexpr std::int16_t kTestEditorWidth = 320;
inline constexpr std::int16_t kTestEditorHeight = 200;

}  // namespace tav::vst::testplugin
