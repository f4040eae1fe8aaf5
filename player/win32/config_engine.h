// The configuration window's engine: the audio library's devices and buffer
// length, and the engine's compatibility switches and seek keys.
#pragma once

#include "player/core/config_controller.h"

namespace tav::player {

class TConfigEngine : public IConfigEngine {
 public:
  bool DeviceName(int32_t index, std::string& name) override;
  bool SetDevice(int32_t index) override;
  void SetBufferLength(int32_t ms) override;
  void SetCompatBuffer(bool on) override;
  void ClearCompatActive() override;
  SeekKeys ActiveSeekKeys() override;
  void SetActiveSeekKeys(const SeekKeys& keys) override;
};

}  // namespace tav::player
