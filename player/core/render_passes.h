// The engine's two plug-in passes as the WAV render drives them: the VST pass
// (item 0 of the VST host, while VstActive) and the started Winamp DSP module
// (while DspActive).
#pragma once

#include "player/core/wav_render.h"

namespace tav::player {

// A mono block reaches the plug-in as pairs of samples; the byte count stays.
class TVstRenderPass final : public IRenderPass {
 public:
  int32_t Process(uint8_t* samples, int32_t bytes, int32_t roomBytes, const TWavFormat& format) override;
};

// The module's frame count, limited to the room, becomes the byte count; a
// fault inside the module switches DspActive off and leaves the block as read.
class TDspRenderPass final : public IRenderPass {
 public:
  int32_t Process(uint8_t* samples, int32_t bytes, int32_t roomBytes, const TWavFormat& format) override;
};

}  // namespace tav::player
