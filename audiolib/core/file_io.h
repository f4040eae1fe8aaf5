// 64-bit positions in C stdio files, which the platforms spell differently.
#pragma once

#include <cstdint>
#include <cstdio>

namespace tav::audio {

bool file_seek(std::FILE* f, uint64_t pos);
// The file's length in bytes (the position is left at the end), or -1.
int64_t file_length(std::FILE* f);

}  // namespace tav::audio
