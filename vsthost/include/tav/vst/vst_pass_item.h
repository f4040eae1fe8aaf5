// A plug-in item as the engine's VST pass drives it: the block requests and
// the in-place processing over the engine's float planes.
#pragma once

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
  // A fault inside the plug-in raises TVstPlugInFault.
  void ProcessReplacing(TAVDArrayOfSingleDynArray& inputs, TAVDArrayOfSingleDynArray& outputs,
                        int32_t frames) override {
    item_.ProcessReplacing(inputs.Table(), outputs.Table(), frames);
  }
  bool Active() override { return item_.Active(); }

 private:
  TVstPlugIn& item_;
};

}  // namespace tav::vst
