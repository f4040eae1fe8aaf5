// The engine's two plug-in passes as the WAV render drives them: the VST pass
// (item 0 of the VST host, while VstActive) and the started Winamp DSP module
// (while DspActive).
#pragma once

#include "player/core/render_controller.h"
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

// The render's hold on the engine's plug-ins: RenderRunning set, then a
// bounded wait for playback's calls already inside a plug-in (the counts of
// the DSP pass and the VST pass); the VST plug-in suspended and resumed at
// the render stream's rate when the render takes it, and again when it
// gives it back, at the rate from before or at the rate of a stream that
// started meanwhile: neither sound carries the other's tail.
class TEngineRenderLock final : public IRenderPassLock {
 public:
  explicit TEngineRenderLock(int32_t waitMs = 2000) : waitMs_(waitMs) {}
  // A stream starting while a render holds the plug-ins: its rate waits for
  // the render's end, which hands the plug-in back at it. True when a render
  // holds them (the caller leaves the plug-in alone).
  static bool DeferStreamRate(float rate);
  bool Acquire() override;
  void RenderRate(uint32_t rate) override;
  void Release() override;

 private:
  int32_t waitMs_;
  float rateBefore_ = 0.0f;  // 0 while the render has not taken the plug-in
  float renderRate_ = 0.0f;
};

}  // namespace tav::player
