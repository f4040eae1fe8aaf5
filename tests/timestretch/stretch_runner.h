// Feeds a stretcher block by block the way the module does: carried bytes in
// front of every block.
#pragma once

#include <cstdint>
#include <cstring>
#include <functional>
#include <vector>

#include "time_stretcher.h"

namespace lentaro::test {

class StretchRunner {
 public:
  explicit StretchRunner(TimeStretcher& engine) : engine_(engine) {}

  // Processes one block of 16-bit samples and appends the output; returns the
  // samples this call wrote.
  int feed(const int16_t* samples, int count) {
    input_.resize(size_t(carry_) + size_t(count) * 2);
    std::memcpy(input_.data() + carry_, samples, size_t(count) * 2);
    std::vector<uint8_t> out(size_t(count) * 8 + 65536);
    int carried = 0;
    const int written = engine_.process(out.data(), int(out.size()), input_.data(), int(input_.size()),
                                        &carried, input_.data());
    carry_ = carried;
    if (written > 0) {
      const size_t old = output.size();
      output.resize(old + size_t(written) / 2);
      std::memcpy(output.data() + old, out.data(), size_t(written));
    }
    return written / 2;
  }

  // Feeds the whole signal in blocks whose sizes come from nextSize.
  void feedAll(const std::vector<int16_t>& in, const std::function<int()>& nextSize) {
    size_t pos = 0;
    while (pos < in.size()) {
      const int n = int(std::min<size_t>(size_t(nextSize()), in.size() - pos));
      feed(in.data() + pos, n);
      pos += size_t(n);
    }
  }

  std::vector<double> outputAsDouble() const { return {output.begin(), output.end()}; }

  std::vector<int16_t> output;

 private:
  TimeStretcher& engine_;
  std::vector<uint8_t> input_;
  int carry_ = 0;
};

}  // namespace lentaro::test
