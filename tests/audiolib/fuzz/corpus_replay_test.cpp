// Replays a kept fuzzing corpus through its target's LLVMFuzzerTestOneInput in every
// build: each file must pass (the target aborts on a broken rule). The folder comes from
// TAV_FUZZ_CORPUS; linked with one fuzzer's source.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

TEST(FuzzCorpus, EveryKeptInputPasses) {
  size_t files = 0;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(TAV_FUZZ_CORPUS)) {
    if (!entry.is_regular_file()) continue;
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<uint8_t> bytes{std::istreambuf_iterator<char>(in), {}};
    SCOPED_TRACE(entry.path().string());
    EXPECT_EQ(LLVMFuzzerTestOneInput(bytes.data(), bytes.size()), 0);
    ++files;
  }
  EXPECT_GT(files, 0u);
}
