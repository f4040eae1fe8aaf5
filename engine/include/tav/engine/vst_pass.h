// What the engine's VST pass needs of the plug-in it drives (item 0 of the
// VST host). The VST host's plug-in object implements or adapts to this.
#pragma once

#include <cstdint>

#include "tav/engine/float_planes.h"

namespace tav::engine {

class TVstPassItem {
 public:
  virtual ~TVstPassItem() = default;
  virtual void SetBlockSizeAndSampleRate(int32_t frames, float sampleRate) = 0;
  virtual int32_t numInputs() = 0;
  virtual int32_t numOutputs() = 0;
  // May raise: the pass catches every exception and switches itself off.
  virtual void ProcessReplacing(TAVDArrayOfSingleDynArray& inputs, TAVDArrayOfSingleDynArray& outputs,
                                int32_t frames) = 0;
  // The plug-in is loaded and opened.
  virtual bool Active() = 0;
};

}  // namespace tav::engine
