#include "player/core/render_passes.h"

#include <algorithm>

#include "tav/engine/dsp_host.h"
#include "tav/engine/globals.h"
#include "tav/engine/output_pump.h"

namespace tav::player {

int32_t TVstRenderPass::Process(uint8_t* samples, int32_t bytes, int32_t, const TWavFormat& format) {
  if (engine::PassState.VstActive.load(std::memory_order_relaxed) == 0) return bytes;
  const auto channels = static_cast<int32_t>(std::max<uint32_t>(format.channels, 2));
  engine::ProcessVstBlock(channels, reinterpret_cast<int16_t*>(samples), bytes);
  return bytes;
}

int32_t TDspRenderPass::Process(uint8_t* samples, int32_t bytes, int32_t roomBytes, const TWavFormat& format) {
  const auto frameBytes = static_cast<int32_t>(format.BlockAlign());
  if (frameBytes <= 0) return bytes;
  const int32_t frames = engine::DspPassBlock(reinterpret_cast<int16_t*>(samples), bytes / frameBytes,
                                              static_cast<int32_t>(format.channels),
                                              static_cast<int32_t>(format.rate), roomBytes / frameBytes);
  return frames * frameBytes;
}

}  // namespace tav::player
