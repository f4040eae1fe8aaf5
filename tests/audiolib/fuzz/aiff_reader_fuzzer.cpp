// libFuzzer target: the AIFF reader on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

#include "reader_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace tav::audio;
  auto source = memory_source(data, size);
  int error = BASS_OK;
  auto decoder = open_aiff(source, error);
  if (const char* broken = fuzz::check_reader_result(decoder, error)) {
    std::fprintf(stderr, "%s\n", broken);
    std::abort();
  }
  return 0;
}
