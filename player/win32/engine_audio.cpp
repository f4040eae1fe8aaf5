#include "player/win32/engine_audio.h"

#include <windows.h>

#include "bass.h"
#include "bass_fx.h"
#include "tav/engine/globals.h"
#include "tav/engine/output_pump.h"
#include "tav/engine/stream_chain.h"
#include "tav/vst/vst_host.h"

namespace tav::player {

namespace eng = tav::engine;

namespace {
constexpr int32_t kMeterOffset = 114;  // the meter's height
constexpr int32_t kMeterScale = 28;
constexpr const char* kAddressPath = "URL Files";
}  // namespace

bool TEngineAudio::HasDecodeStream() { return eng::StreamState.DecodeStream != 0; }
bool TEngineAudio::HasOutStream() { return eng::StreamState.OutStream != 0; }
bool TEngineAudio::OpenFile(const std::string& path) { return eng::OpenStream(path, false); }

int64_t TEngineAudio::DecodeLengthBytes() {
  return int64_t(BASS_ChannelGetLength(eng::StreamState.DecodeStream, BASS_POS_BYTE));
}

double TEngineAudio::DecodeBytesToSeconds(int64_t bytes) {
  if (bytes < 0) return -1;  // unknown length
  return BASS_ChannelBytes2Seconds(eng::StreamState.DecodeStream, QWORD(bytes));
}

double TEngineAudio::DecodePositionSeconds() {
  const QWORD pos = BASS_ChannelGetPosition(eng::StreamState.DecodeStream, BASS_POS_BYTE);
  if (pos == QWORD(-1)) return 0;
  return BASS_ChannelBytes2Seconds(eng::StreamState.DecodeStream, pos);
}

void TEngineAudio::RewindDecode() { BASS_ChannelSetPosition(eng::StreamState.DecodeStream, 0, BASS_POS_BYTE); }

void TEngineAudio::SetDecodeLoop(bool on) {
  if (eng::StreamState.DecodeStream)
    BASS_ChannelFlags(eng::StreamState.DecodeStream, on ? BASS_SAMPLE_LOOP : 0, BASS_SAMPLE_LOOP);
}

void TEngineAudio::SeekTenths(int32_t tenths) { eng::SeekTenths(tenths); }
uint32_t TEngineAudio::StreamRate() { return eng::StreamState.DecodeStream ? eng::StreamState.ChannelInfo.freq : 0; }
uint32_t TEngineAudio::StreamChannels() {
  return eng::StreamState.DecodeStream ? eng::StreamState.ChannelInfo.chans : 0;
}
void TEngineAudio::SetOutVolume(float volume) {
  BASS_ChannelSetAttribute(eng::StreamState.OutStream, BASS_ATTRIB_VOL, volume);
}

float TEngineAudio::OutVolume() {
  float v = 0;
  BASS_ChannelGetAttribute(eng::StreamState.OutStream, BASS_ATTRIB_VOL, &v);
  return v;
}

void TEngineAudio::SlideOutVolume(float volume, uint32_t ms) {
  BASS_ChannelSlideAttribute(eng::StreamState.OutStream, BASS_ATTRIB_VOL, volume, ms);
}

void TEngineAudio::SlideOutRate(float hz, uint32_t ms) {
  BASS_ChannelSlideAttribute(eng::StreamState.OutStream, BASS_ATTRIB_FREQ, hz, ms);
}

uint32_t TEngineAudio::OutActivity() {
  return eng::StreamState.OutStream ? BASS_ChannelIsActive(eng::StreamState.OutStream) : 0;
}
void TEngineAudio::PlayCommand(std::string_view command, bool restart) { eng::PlayCommand(command, restart); }
void TEngineAudio::StopOut() { BASS_ChannelStop(eng::StreamState.OutStream); }
bool TEngineAudio::CompatActive() { return eng::StreamState.CompatActive; }
bool TEngineAudio::StreamIsAddress() { return eng::StreamState.CurrentPath == kAddressPath; }

float TEngineAudio::Direction() {
  float d = 1;
  BASS_ChannelGetAttribute(BASS_FX_TempoGetSource(eng::StreamState.DecodeStream), BASS_ATTRIB_REVERSE_DIR, &d);
  return d;
}

void TEngineAudio::SetDirection(float direction) {
  BASS_ChannelSetAttribute(BASS_FX_TempoGetSource(eng::StreamState.DecodeStream), BASS_ATTRIB_REVERSE_DIR, direction);
}

void TEngineAudio::FreeStreams() {
  BASS_StreamFree(eng::StreamState.OutStream);
  BASS_StreamFree(eng::StreamState.DecodeStream);
  eng::StreamState.OutStream = 0;
  eng::StreamState.DecodeStream = 0;
}

void TEngineAudio::FreeAllDevices() {
  // Every listed device is tried: one that fails (never initialised) does not
  // keep the others from being freed.
  BASS_DEVICEINFO info{};
  for (DWORD device = 0; BASS_GetDeviceInfo(device, &info); ++device) {
    if (BASS_SetDevice(device)) BASS_Free();
  }
}

void TEngineAudio::Wait(uint32_t ms) { Sleep(ms); }
bool TEngineAudio::VstActive() { return eng::PassState.VstActive.load(std::memory_order_relaxed) != 0; }

void TEngineAudio::SetVstTime(double samplePosition, double quarterNotes) {
  // The engine's VST host (the main window's) receives the transport time.
  if (!eng::PassState.VstHost) return;
  eng::PassState.VstHost->VstTimeInfo().SetSamplePos(samplePosition);
  eng::PassState.VstHost->VstTimeInfo().SetPpqPos(quarterNotes);
}

int32_t TEngineAudio::VuLevel(std::string_view side) { return eng::GetVuLevel(side, kMeterOffset, kMeterScale); }
std::string TEngineAudio::VuDbText(std::string_view side) { return eng::GetVuDbText(side); }

std::string TEngineAudio::CurrentFile() const { return eng::StreamState.CurrentFile; }

void TEngineAudio::SetRenderRange(int64_t start, int64_t end) {
  eng::StreamState.RenderStart = start;
  eng::StreamState.RenderEnd = end;
}

}  // namespace tav::player
