// Every file of the readers' fuzzing corpus (valid seeds and the damaged files the
// fuzzers found) goes through both readers: a refusal carries an error code, an opened
// file reads exactly its length and seeks within it; the whole decoder probe opens or
// refuses it with a code.
#include <gtest/gtest.h>

#include <filesystem>

#include "reader_check.h"
#include "tav/test/files.h"

namespace tav::audio {
namespace {

namespace fs = std::filesystem;

TEST(ReaderCorpus, EveryFileIsOpenedSoundlyOrRefusedWithACode) {
  size_t files = 0, opened = 0;
  for (const auto& entry : fs::recursive_directory_iterator(TAV_READER_CORPUS)) {
    if (!entry.is_regular_file()) continue;
    ++files;
    const std::vector<uint8_t> bytes = test::ReadFileBytes<std::vector<uint8_t>>(entry.path());
    using Open = std::unique_ptr<Decoder> (*)(std::unique_ptr<ByteSource>&, int&);
    for (Open open : {Open{open_wav}, Open{open_aiff}}) {
      auto source = memory_source(bytes.data(), bytes.size());
      int error = BASS_OK;
      auto decoder = open(source, error);
      opened += decoder != nullptr;
      const char* broken = fuzz::check_reader_result(decoder, error);
      EXPECT_EQ(broken, nullptr) << entry.path() << ": " << broken;
    }
    // the whole probe (the MPEG reader included) opens or refuses it with a code
    int error = BASS_OK;
    auto decoder = open_decoder(memory_source(bytes.data(), bytes.size()), {}, error);
    EXPECT_TRUE(decoder || error != BASS_OK) << entry.path();
  }
  EXPECT_GT(files, 10u);
  EXPECT_GT(opened, 0u);
}

}  // namespace
}  // namespace tav::audio
