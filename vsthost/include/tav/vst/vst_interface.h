// The VST 2 plug-in interface as the host uses it: the records a plug-in and
// the host exchange, the dispatcher and host-callback opcodes and the flag
// bits.  Every field the host reads is declared here from its published
// layout for 32-bit code; the value and return types of the dispatcher and of
// the host callback are pointer-sized, so the same declarations serve 64-bit
// builds (the native tests) and are the 32-bit values on i686.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tav::vst {

using VstInt32 = std::int32_t;
using VstIntPtr = std::intptr_t;

struct AEffect;

using AudioMasterCallbackFunc = VstIntPtr (*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                               VstIntPtr value, void* ptr, float opt);
using DispatcherFunc = VstIntPtr (*)(AEffect* effect, VstInt32 opcode, VstInt32 index,
                                      VstIntPtr value, void* ptr, float opt);
using ProcessFunc = void (*)(AEffect* effect, float** inputs, float** outputs,
                             VstInt32 sampleFrames);
using ProcessDoubleFunc = void (*)(AEffect* effect, double** inputs, double** outputs,
                                   VstInt32 sampleFrames);
using SetParameterFunc = void (*)(AEffect* effect, VstInt32 index, float value);
using GetParameterFunc = float (*)(AEffect* effect, VstInt32 index);
// The library entry: called with the host callback, returns the plug-in record.
using PluginEntryFunc = AEffect* (*)(AudioMasterCallbackFunc audioMaster);

// 'VstP', the record's magic.
inline constexpr VstInt32 kEffectMagic = 0x56737450;

struct AEffect {
  VstInt32 magic;
  DispatcherFunc dispatcher;
  ProcessFunc process;
  SetParameterFunc setParameter;
  GetParameterFunc getParameter;
  VstInt32 numPrograms;
  VstInt32 numParams;
  VstInt32 numInputs;
  VstInt32 numOutputs;
  VstInt32 flags;
  VstIntPtr resvd1;
  VstIntPtr resvd2;
  VstInt32 initialDelay;
  VstInt32 realQualities;
  VstInt32 offQualities;
  float ioRatio;
  void* object;
  void* user;
  VstInt32 uniqueID;
  VstInt32 version;
  ProcessFunc processReplacing;
  ProcessDoubleFunc processDoubleReplacing;
  char future[56];
};

// Editor rectangle in pixels.
struct ERect {
  std::int16_t top;
  std::int16_t left;
  std::int16_t bottom;
  std::int16_t right;
};

// Transport and time information handed to plug-ins (audioMasterGetTime).
struct VstTimeInfo {
  double samplePos;
  double sampleRate;
  double nanoSeconds;
  double ppqPos;
  double tempo;
  double barStartPos;
  double cycleStartPos;
  double cycleEndPos;
  VstInt32 timeSigNumerator;
  VstInt32 timeSigDenominator;
  VstInt32 smpteOffset;
  VstInt32 smpteFrameRate;
  VstInt32 samplesToNextClock;
  VstInt32 flags;
};

// audioMasterOpenWindow's request.
struct VstWindow {
  char title[128];
  std::int16_t xPos;
  std::int16_t yPos;
  std::int16_t width;
  std::int16_t height;
  VstInt32 style;
  void* parent;
};

struct VstFileType {
  char name[128];
  char reserved1[8];
  char dosType[8];
  char reserved2[264];
};

enum VstFileSelectCommand : VstInt32 {
  kVstFileLoad = 0,
  kVstFileSave = 1,
  kVstMultipleFilesLoad = 2,
  kVstDirectorySelect = 3,
};

// audioMasterOpenFileSelector's and audioMasterCloseFileSelector's request.
struct VstFileSelect {
  VstInt32 command;
  VstInt32 reserved1;
  VstInt32 reserved2;
  VstInt32 nbFileTypes;
  VstFileType* fileTypes;
  char title[1024];
  char* initialPath;
  char* returnPath;        // the plug-in's buffer, or none: the host's
  VstInt32 sizeReturnPath; // the plug-in's buffer size; the path's length for the host's
  char** returnMultiplePaths;  // kVstMultipleFilesLoad: the host's list of paths
  VstInt32 nbReturnPath;
  VstIntPtr reserved;
  char future[116];
};

// Sent with effBeginLoadProgram before a preset's parameters.
struct VstPatchChunkInfo {
  VstInt32 version;
  VstInt32 pluginUniqueID;
  VstInt32 pluginVersion;
  VstInt32 numElements;
  char reserved[48];
};

// Dispatcher requests the host sends.
enum TDispatcherOpcode : VstInt32 {
  effOpen = 0,
  effClose = 1,
  effSetProgram = 2,
  effGetProgram = 3,
  effSetProgramName = 4,
  effGetProgramName = 5,
  effSetSampleRate = 10,
  effSetBlockSize = 11,
  effMainsChanged = 12,
  effEditGetRect = 13,
  effEditOpen = 14,
  effEditClose = 15,
  effEditIdle = 19,
  effIdentify = 22,
  effGetChunk = 23,
  effSetChunk = 24,
  effGetPlugCategory = 35,
  effSetBlockSizeAndSampleRate = 43,
  effSetBypass = 44,
  effGetEffectName = 45,
  effGetVendorString = 47,
  effGetProductString = 48,
  effGetVendorVersion = 49,
  effCanDo = 51,
  effIdle = 53,
  effGetVstVersion = 58,
  effShellGetNextPlugin = 70,
  effBeginLoadProgram = 76,
};

// Requests a plug-in sends through the host callback.
enum TAudioMasterOpcode : VstInt32 {
  audioMasterAutomate = 0,
  audioMasterVersion,
  audioMasterCurrentId,
  audioMasterIdle,
  audioMasterPinConnected,
  audioMasterUnused,
  audioMasterWantMidi,
  audioMasterGetTime,
  audioMasterProcessEvents,
  audioMasterSetTime,
  audioMasterTempoAt,
  audioMasterGetNumAutomatableParameters,
  audioMasterGetParameterQuantization,
  audioMasterIOChanged,
  audioMasterNeedIdle,
  audioMasterSizeWindow,
  audioMasterGetSampleRate,
  audioMasterGetBlockSize,
  audioMasterGetInputLatency,
  audioMasterGetOutputLatency,
  audioMasterGetPreviousPlug,
  audioMasterGetNextPlug,
  audioMasterWillReplaceOrAccumulate,
  audioMasterGetCurrentProcessLevel,
  audioMasterGetAutomationState,
  audioMasterOfflineStart,
  audioMasterOfflineRead,
  audioMasterOfflineWrite,
  audioMasterOfflineGetCurrentPass,
  audioMasterOfflineGetCurrentMetaPass,
  audioMasterSetOutputSampleRate,
  audioMasterGetOutputSpeakerArrangement,
  audioMasterGetVendorString,
  audioMasterGetProductString,
  audioMasterGetVendorVersion,
  audioMasterVendorSpecific,
  audioMasterSetIcon,
  audioMasterCanDo,
  audioMasterGetLanguage,
  audioMasterOpenWindow,
  audioMasterCloseWindow,
  audioMasterGetDirectory,
  audioMasterUpdateDisplay,
  audioMasterBeginEdit,
  audioMasterEndEdit,
  audioMasterOpenFileSelector,
  audioMasterCloseFileSelector,
  audioMasterEditFile,
  audioMasterGetChunkFile,
  audioMasterGetInputSpeakerArrangement,
};

// Bits of AEffect::flags (bit number = ordinal).
enum TEffFlag : int {
  effFlagsHasEditor = 0,
  effFlagsHasClip,
  effFlagsHasVu,
  effFlagsCanMono,
  effFlagsCanReplacing,
  effFlagsProgramChunks,
  effFlagsUnused1,
  effFlagsUnused2,
  effFlagsIsSynth,
  effFlagsNoSoundInStop,
  effFlagsExtIsAsync,
  effFlagsExtHasBuffer,
  effFlagsCanDoubleReplacing,
};

// The set of TEffFlag, stored in 16 bits.
struct TEffFlags {
  std::uint16_t bits = 0;
  constexpr bool Contains(TEffFlag f) const { return (bits >> f) & 1u; }
  friend constexpr bool operator==(TEffFlags, TEffFlags) = default;
};
constexpr VstInt32 FlagBit(TEffFlag f) { return VstInt32(1) << f; }

enum TVstPluginCategory : VstInt32 {
  vpcUnknown = 0,
  vpcEffect,
  vpcSynth,
  vpcAnalysis,
  vpcMastering,
  vpcSpacializer,
  vpcRoomFx,
  vpcSurroundFx,
  vpcRestoration,
  vpcOfflineProcess,
  vpcShell,
  vpcGenerator,
};

#if defined(__i386__) || defined(_M_IX86)
// The published 32-bit layouts.
static_assert(sizeof(void*) == 4);
static_assert(offsetof(AEffect, dispatcher) == 4 && offsetof(AEffect, process) == 8);
static_assert(offsetof(AEffect, setParameter) == 12 && offsetof(AEffect, getParameter) == 16);
static_assert(offsetof(AEffect, numPrograms) == 20 && offsetof(AEffect, numParams) == 24);
static_assert(offsetof(AEffect, numInputs) == 28 && offsetof(AEffect, numOutputs) == 32);
static_assert(offsetof(AEffect, flags) == 36 && offsetof(AEffect, resvd1) == 40);
static_assert(offsetof(AEffect, initialDelay) == 48 && offsetof(AEffect, ioRatio) == 60);
static_assert(offsetof(AEffect, object) == 64 && offsetof(AEffect, user) == 68);
static_assert(offsetof(AEffect, uniqueID) == 72 && offsetof(AEffect, version) == 76);
static_assert(offsetof(AEffect, processReplacing) == 80);
static_assert(offsetof(AEffect, processDoubleReplacing) == 84);
static_assert(offsetof(AEffect, future) == 88 && sizeof(AEffect) == 144);
static_assert(offsetof(VstWindow, xPos) == 128 && offsetof(VstWindow, height) == 134);
static_assert(offsetof(VstWindow, style) == 136 && offsetof(VstWindow, parent) == 140);
static_assert(offsetof(VstFileSelect, nbFileTypes) == 12 && offsetof(VstFileSelect, fileTypes) == 16);
static_assert(offsetof(VstFileSelect, title) == 20 && offsetof(VstFileSelect, initialPath) == 1044);
static_assert(offsetof(VstFileSelect, returnPath) == 1048);
static_assert(offsetof(VstFileSelect, sizeReturnPath) == 1052);
static_assert(offsetof(VstFileSelect, returnMultiplePaths) == 1056 && offsetof(VstFileSelect, nbReturnPath) == 1060);
static_assert(sizeof(VstFileSelect) == 1184);
static_assert(sizeof(VstIntPtr) == 4);
#endif
// Layouts without pointers are the same in every build.
static_assert(sizeof(ERect) == 8 && offsetof(ERect, left) == 2 && offsetof(ERect, right) == 6);
static_assert(sizeof(VstTimeInfo) == 88 && offsetof(VstTimeInfo, timeSigNumerator) == 64);
static_assert(offsetof(VstTimeInfo, samplesToNextClock) == 80 && offsetof(VstTimeInfo, flags) == 84);
static_assert(sizeof(VstFileType) == 408 && offsetof(VstFileType, dosType) == 136);
static_assert(sizeof(VstPatchChunkInfo) == 64 && offsetof(VstPatchChunkInfo, numElements) == 12);

}  // namespace tav::vst
