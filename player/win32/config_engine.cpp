#include "player/win32/config_engine.h"

#include "bass.h"
#include "tav/engine/globals.h"

namespace tav::player {

namespace eng = tav::engine;

bool TConfigEngine::DeviceName(int32_t index, std::string& name) {
  BASS_DEVICEINFO info{};
  if (index < 0 || !BASS_GetDeviceInfo(DWORD(index), &info)) return false;
  name = info.name ? info.name : "";
  return true;
}

bool TConfigEngine::SetDevice(int32_t index) { return BASS_SetDevice(DWORD(index)) != FALSE; }

void TConfigEngine::SetBufferLength(int32_t ms) { BASS_SetConfig(BASS_CONFIG_BUFFER, DWORD(ms)); }

void TConfigEngine::SetCompatBuffer(bool on) { eng::StreamState.CompatBuffer = on; }

void TConfigEngine::ClearCompatActive() { eng::StreamState.CompatActive = false; }

SeekKeys TConfigEngine::ActiveSeekKeys() {
  return {eng::PlayerSettings.SeekKeyLeft50, eng::PlayerSettings.SeekKeyLeft5, eng::PlayerSettings.SeekKeyRight50,
          eng::PlayerSettings.SeekKeyRight5};
}

void TConfigEngine::SetActiveSeekKeys(const SeekKeys& keys) {
  eng::PlayerSettings.SeekKeyLeft50 = keys[size_t(SeekKey::Left50)];
  eng::PlayerSettings.SeekKeyLeft5 = keys[size_t(SeekKey::Left5)];
  eng::PlayerSettings.SeekKeyRight50 = keys[size_t(SeekKey::Right50)];
  eng::PlayerSettings.SeekKeyRight5 = keys[size_t(SeekKey::Right5)];
}

}  // namespace tav::player
