// The main window's view of the engine and the audio library: the engine's
// streams and routines, the output stream's attributes and the VST host's
// transport time.
#pragma once

#include "player/core/main_controller.h"

namespace tav::player {

class TEngineAudio : public IMainAudio {
 public:
  bool HasDecodeStream() override;
  bool HasOutStream() override;
  bool OpenFile(const std::string& path) override;
  int64_t DecodeLengthBytes() override;
  double DecodeBytesToSeconds(int64_t bytes) override;
  double DecodePositionSeconds() override;
  void RewindDecode() override;
  void SetDecodeLoop(bool on) override;
  void SeekTenths(int32_t tenths) override;
  uint32_t StreamRate() override;
  uint32_t StreamChannels() override;
  void SetOutVolume(float volume) override;
  float OutVolume() override;
  void SlideOutVolume(float volume, uint32_t ms) override;
  void SlideOutRate(float hz, uint32_t ms) override;
  uint32_t OutActivity() override;
  void PlayCommand(std::string_view command, bool restart) override;
  void StopOut() override;
  bool CompatActive() override;
  bool StreamIsAddress() override;
  float Direction() override;
  void SetDirection(float direction) override;
  void FreeStreams() override;
  void FreeAllDevices() override;
  void Wait(uint32_t ms) override;
  bool VstActive() override;
  void SetVstTime(double samplePosition, double quarterNotes) override;
  int32_t VuLevel(std::string_view side) override;
  std::string VuDbText(std::string_view side) override;
  void SetRenderRange(int64_t start, int64_t end) override;

  // The last local file opened (8-bit path): what a WAV render reads.
  std::string CurrentFile() const;
};

}  // namespace tav::player
