// Reading a whole file in a test, natively and under Wine alike.
#pragma once

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace tav::test {

// Every byte of `file`, in a std::string or any container of bytes
// (std::vector<char>, std::vector<uint8_t>); empty when it cannot be read.
template <class Bytes = std::string>
Bytes ReadFileBytes(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

}  // namespace tav::test
