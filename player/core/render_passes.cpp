#include "player/core/render_passes.h"

#include <algorithm>
#include <chrono>

#include "tav/engine/dsp_host.h"
#include "tav/engine/globals.h"
#include "tav/engine/output_pump.h"
#include "tav/engine/sent_messages.h"
#include "tav/vst/vst_host.h"

namespace tav::player {

int32_t TVstRenderPass::Process(uint8_t* samples, int32_t bytes, int32_t, const TWavFormat& format) {
  const auto channels = static_cast<int32_t>(std::max<uint32_t>(format.channels, 2));
  engine::VstPassBlock(channels, reinterpret_cast<int16_t*>(samples), bytes, engine::TPassCaller::Render, format.rate);
  return bytes;
}

int32_t TDspRenderPass::Process(uint8_t* samples, int32_t bytes, int32_t roomBytes, const TWavFormat& format) {
  const auto frameBytes = static_cast<int32_t>(format.BlockAlign());
  if (frameBytes <= 0) return bytes;
  const int32_t frames = engine::DspPassBlock(reinterpret_cast<int16_t*>(samples), bytes / frameBytes,
                                              static_cast<int32_t>(format.channels),
                                              static_cast<int32_t>(format.rate), roomBytes / frameBytes,
                                              engine::TPassCaller::Render);
  return frames * frameBytes;
}

bool TEngineRenderLock::Acquire() {
  rateBefore_ = 0.0f;
  engine::PassState.VstRateAfterRender = 0.0f;
  engine::PassState.RenderRunning.store(true);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs_);
  // Both counts within the one bound.
  const auto left = [&] {
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return static_cast<int32_t>(std::max<int64_t>(0, ms.count()));
  };
  if (engine::WaitForCallsToEnd(engine::DspHostState.DspCallsInFlight, left()) &&
      engine::WaitForCallsToEnd(engine::PassState.VstCallsInFlight, left()))
    return true;
  engine::PassState.RenderRunning.store(false);
  return false;
}

void TEngineRenderLock::RenderRate(uint32_t rate) {
  vst::TVstHost* host = engine::PassState.VstHost;
  if (host == nullptr || rate == 0) return;
  rateBefore_ = vst::HostSampleRate;
  renderRate_ = static_cast<float>(rate);
  // Suspended and resumed even at the same rate: what the plug-in still
  // holds of playback's sound does not go into the file.
  host->RestartPlugIns(renderRate_);
}

bool TEngineRenderLock::DeferStreamRate(float rate) {
  if (!engine::PassState.RenderRunning.load()) return false;
  engine::PassState.VstRateAfterRender = rate;
  return true;
}

void TEngineRenderLock::Release() {
  vst::TVstHost* host = engine::PassState.VstHost;
  const float deferred = engine::PassState.VstRateAfterRender;
  // Playback gets the plug-in back suspended and resumed once more: the
  // render's tail does not play on.
  if (host != nullptr) {
    if (deferred > 0.0f)
      host->RestartPlugIns(deferred);  // the stream that plays now
    else if (rateBefore_ > 0.0f)       // the render took the plug-in
      host->RestartPlugIns(vst::HostSampleRate == renderRate_ ? rateBefore_
                                                              : vst::HostSampleRate);  // unless changed past the render
  }
  rateBefore_ = 0.0f;
  engine::PassState.VstRateAfterRender = 0.0f;
  engine::PassState.RenderRunning.store(false);
}

}  // namespace tav::player
