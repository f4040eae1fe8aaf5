// Float planes: one array of 32-bit floats per channel, full scale -1..1.
// The element table (one pointer per channel to its first sample) is what a
// VST plug-in's processing entry takes as its input and output channel table.
#pragma once

#include <cstddef>
#include <vector>

namespace tav::engine {

using TSingleDynArray = std::vector<float>;

class TAVDArrayOfSingleDynArray {
 public:
  // Resizes to `planes` arrays of `frames` floats each. Existing values are
  // kept where they fit; new room is zero. Nothing is reallocated when the
  // sizes do not change.
  void Resize(std::size_t planes, std::size_t frames) {
    if (planes_.size() != planes) planes_.resize(planes);
    for (auto& p : planes_)
      if (p.size() != frames) p.resize(frames, 0.0f);
    if (table_.size() != planes) table_.resize(planes);
    for (std::size_t i = 0; i < planes; ++i) table_[i] = planes_[i].data();
  }
  std::size_t size() const { return planes_.size(); }
  TSingleDynArray& operator[](std::size_t i) { return planes_[i]; }
  const TSingleDynArray& operator[](std::size_t i) const { return planes_[i]; }
  // The channel table: pointers to the first sample of each plane.
  float** Table() { return table_.data(); }
  void Clear() {
    planes_.clear();
    table_.clear();
  }

 private:
  std::vector<TSingleDynArray> planes_;
  std::vector<float*> table_;
};

// Limits value to min..max; not-a-number gives min.
inline float ClampSingle(float value, float min, float max) {
  if (!(value >= min)) return min;
  if (value > max) return max;
  return value;
}

}  // namespace tav::engine
