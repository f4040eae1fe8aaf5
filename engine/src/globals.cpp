#include "tav/engine/globals.h"

namespace tav::engine {

std::string CurrentFile;
HSTREAM DecodeStream = 0;
HSTREAM OutStream = 0;
BASS_CHANNELINFO ChannelInfo{};
int8_t ProcChannels = 0;
bool CompatBuffer = false;
bool CompatActive = false;
std::string CurrentTitle;
std::string CurrentPath;
int32_t PlayIndex = 0;
int64_t RenderStart = 0;
int64_t RenderEnd = 0;

std::atomic<int32_t> VstActive{0};
std::atomic<int32_t> VstEnabled{0};
std::atomic<int32_t> VstLoaded{0};
tav::vst::TVstHost* VstHost = nullptr;
std::atomic<TVstPassItem*> VstPassItem{nullptr};
TVstEditorRect VstEditorRect{};
int32_t VstProgramCount = 0;
std::atomic<bool> DspActive{false};
std::atomic<int32_t> DspModuleIndex{0};

HDSP RotateDsp = 0;
HDSP EchoDsp = 0;
HDSP FlangerDsp = 0;
HFX EqFx = 0;
float RotateAngle = 0.0f;
std::array<TStereoSample, kEchoRingFrames> EchoRing{};
int32_t EchoPos = 0;
std::array<TStereoSample, kFlangerRingFrames> FlangerRing{};
int32_t FlangerPos = 0;
float FlangerDelay = 0.0f;
float FlangerStep = 0.0f;

alignas(16) uint8_t CarryBuf[kPumpBufferBytes];
int32_t CarryLen = 0;
alignas(16) uint8_t WorkBuf[kPumpBufferBytes];
int32_t LastBlockBytes = 0;
uint8_t* PumpOut = nullptr;
int32_t PumpWanted = 0;
int32_t PumpCarryTaken = 0;
int32_t PumpRawBytes = 0;

TAVDArrayOfSingleDynArray VstBuffers;
TAVDArrayOfSingleDynArray LevelBuffers;
std::atomic<float> PeakL{0.0f};
std::atomic<float> PeakR{0.0f};

std::string OpenFilter;
tav::TIniFile* IniFile = nullptr;
uint32_t SeekKeyLeft50 = 0;
uint32_t SeekKeyLeft5 = 0;
uint32_t SeekKeyRight50 = 0;
uint32_t SeekKeyRight5 = 0;

void ReleaseEngineState() {
  LevelBuffers.Clear();
  VstBuffers.Clear();
  CurrentPath.clear();
  CurrentPath.shrink_to_fit();
  CurrentTitle.clear();
  CurrentTitle.shrink_to_fit();
  CurrentFile.clear();
  CurrentFile.shrink_to_fit();
  OpenFilter.clear();
  OpenFilter.shrink_to_fit();
}

}  // namespace tav::engine
