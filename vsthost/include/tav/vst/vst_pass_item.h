// A plug-in item as the engine's VST pass drives it: the block requests and
// the in-place processing over the engine's float planes.
#pragma once

#include <algorithm>
#include <atomic>

#include "tav/engine/vst_pass.h"
#include "tav/vst/vst_plugin.h"

namespace tav::vst {

class TVstPlugInPassItem final : public tav::engine::TVstPassItem {
 public:
  explicit TVstPlugInPassItem(TVstPlugIn& item) : item_(item) {}
  void SetBlockSizeAndSampleRate(int32_t frames, float sampleRate) override {
    item_.SetBlockSizeAndSampleRate(frames, sampleRate);
  }
  int32_t numInputs() override { return item_.numInputs(); }
  int32_t numOutputs() override { return item_.numOutputs(); }
  // A fault inside the plug-in raises TVstPlugInFault (and is kept for Fault).
  //
  // A plug-in with one input and one output gets the mix of every channel of
  // the block, and its output goes to every channel: so a stereo stream is
  // processed in both ears, with the same settings, by the one instance the
  // editor and the presets act on.
  void ProcessReplacing(TAVDArrayOfSingleDynArray& inputs, TAVDArrayOfSingleDynArray& outputs,
                        int32_t frames) override {
    const std::size_t channels = inputs.size();
    const bool mixed = channels >= 2 && outputs.size() >= 1 && item_.numInputs() == 1 && item_.numOutputs() == 1;
    if (mixed) {
      float* mono = inputs[0].data();
      const float scale = 1.0f / static_cast<float>(channels);
      for (int32_t j = 0; j < frames; ++j) {
        float sum = 0.0f;
        for (std::size_t c = 0; c < channels; ++c) sum += inputs[c][static_cast<std::size_t>(j)];
        mono[j] = sum * scale;
      }
    }
    try {
      item_.ProcessReplacing(inputs.Table(), outputs.Table(), frames);
    } catch (const TVstPlugInFault& fault) {
      unsigned none = 0;
      fault_.compare_exchange_strong(none, fault.ExceptionCode() ? fault.ExceptionCode() : 1u);
      throw;
    }
    if (mixed)
      for (std::size_t c = 1; c < outputs.size(); ++c)
        std::copy(outputs[0].begin(), outputs[0].begin() + frames, outputs[c].begin());
  }
  bool Active() override { return item_.Active(); }

  // The exception code of the first fault inside the plug-in's processing
  // (the pass then switches itself off); 0 while there was none.
  unsigned Fault() const { return fault_.load(); }
  void ClearFault() { fault_.store(0); }

 private:
  TVstPlugIn& item_;
  std::atomic<unsigned> fault_{0};
};

}  // namespace tav::vst
