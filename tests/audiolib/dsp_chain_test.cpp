// The DSP/FX chain: order by priority (stable among equals), float and 16-bit procedures,
// removal while the chain runs.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "dsp_chain.h"
#include "sample_convert.h"

namespace tav::audio {
namespace {

struct Log {
  std::vector<int> calls;
};

struct Tag {
  Log* log;
  int id;
  DspChain* chain = nullptr;
  uint32_t remove = 0;
};

void BASSCALLBACK record(HDSP, DWORD, void*, DWORD, void* user) {
  auto* t = static_cast<Tag*>(user);
  t->log->calls.push_back(t->id);
  if (t->remove) t->chain->remove(t->remove);
}

void BASSCALLBACK add_one(HDSP, DWORD, void* buffer, DWORD bytes, void*) {
  auto* s = static_cast<int16_t*>(buffer);
  for (DWORD i = 0; i < bytes / 2; ++i) s[i] = static_cast<int16_t>(s[i] + 1);
}

class Gain : public Effect {
 public:
  explicit Gain(Log* log) : log_(log) {}
  void process(float* s, size_t frames) override {
    log_->calls.push_back(100);
    for (size_t i = 0; i < frames; ++i) s[i] *= 0.5f;
  }
  bool set_parameters(const void*) override { return true; }
  bool get_parameters(void*) override { return true; }

 private:
  Log* log_;
};

TEST(DspChain, HigherPriorityFirstAndEarlierFirstAmongEquals) {
  Log log;
  Tag p0{&log, 0}, p1a{&log, 11}, p2{&log, 2}, p1b{&log, 12};
  DspChain chain;
  chain.add_procedure(1, 0, record, &p0);
  chain.add_procedure(2, 1, record, &p1a);
  chain.add_procedure(3, 2, record, &p2);
  chain.add_effect(4, 1, std::make_unique<Gain>(&log));
  chain.add_procedure(5, 1, record, &p1b);
  float s[2] = {0.5f, -0.5f};
  chain.run(s, 1, 2, 77, true);
  EXPECT_EQ(log.calls, (std::vector<int>{2, 11, 100, 12, 0}));
  EXPECT_FLOAT_EQ(s[0], 0.25f);

  // removing and re-adding puts an entry behind its equals
  log.calls.clear();
  ASSERT_TRUE(chain.remove(2));
  EXPECT_FALSE(chain.remove(2));
  chain.add_procedure(6, 1, record, &p1a);
  chain.run(s, 1, 2, 77, true);
  EXPECT_EQ(log.calls, (std::vector<int>{2, 100, 12, 11, 0}));
}

TEST(DspChain, ProcedureRemovingItselfOrALaterOneDuringTheRun) {
  Log log;
  DspChain chain;
  Tag first{&log, 1, &chain, 2};  // removes the next one while the chain runs
  Tag second{&log, 2};
  Tag third{&log, 3, &chain, 3};  // removes itself
  chain.add_procedure(1, 5, record, &first);
  chain.add_procedure(2, 4, record, &second);
  chain.add_procedure(3, 3, record, &third);
  float s[2] = {};
  chain.run(s, 1, 2, 1, true);
  first.remove = 0;
  chain.run(s, 1, 2, 1, true);
  EXPECT_EQ(log.calls, (std::vector<int>{1, 3, 1}));
  EXPECT_EQ(chain.handles(), (std::vector<uint32_t>{1}));
}

TEST(DspChain, ProceduresGet16BitSamplesWhenFloatDspIsOff) {
  DspChain chain;
  chain.add_procedure(1, 0, add_one, nullptr);
  float s[2] = {100 / 32768.0f, -32768 / 32768.0f};
  chain.run(s, 1, 2, 1, false);
  EXPECT_EQ(float_to_int16(s[0]), 101);
  EXPECT_EQ(float_to_int16(s[1]), -32767);
}

}  // namespace
}  // namespace tav::audio
