#include "player/core/playlist_file.h"

#include <cstdio>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <system_error>

#include "player/core/replace_file.h"

namespace tav::player {

std::vector<std::string> ParsePlayList(std::string_view text) {
  std::vector<std::string> lines;
  size_t start = 0;
  while (start < text.size()) {
    const size_t end = text.find_first_of("\r\n", start);
    if (end == std::string_view::npos) {
      lines.emplace_back(text.substr(start));
      break;
    }
    lines.emplace_back(text.substr(start, end - start));
    start = end + 1;
    if (text[end] == '\r' && start < text.size() && text[start] == '\n') ++start;
  }
  return lines;
}

std::string FormatPlayList(const std::vector<std::string>& paths) {
  std::string text;
  for (const auto& p : paths) {
    text += p;
    text += "\r\n";
  }
  return text;
}

std::vector<std::string> ReadPlayListFile(const std::filesystem::path& file) {
  std::error_code ec;
  if (!std::filesystem::exists(file, ec)) return {};
  std::ifstream in(file, std::ios::binary);
  if (!in) throw std::runtime_error("Cannot open file \"" + file.string() + "\"");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) throw std::runtime_error("Cannot read file \"" + file.string() + "\"");
  return ParsePlayList(text);
}

void ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes) {
  std::filesystem::path temp = file;
  temp += ".tmp";
  bool written = false;
  {
    std::ofstream out(temp, std::ios::binary | std::ios::trunc);
    if (out) {
      out.write(bytes.data(), std::streamsize(bytes.size()));
      out.close();
      written = !out.fail();
    }
  }
  if (!written) {
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    throw std::runtime_error("Cannot write file \"" + file.string() + "\"");
  }
  if (!MoveOver(temp, file)) {
    std::error_code ec;
    std::filesystem::remove(temp, ec);
    throw std::runtime_error("Cannot replace file \"" + file.string() + "\"");
  }
}

void WritePlayListFile(const std::filesystem::path& file, const std::vector<std::string>& paths) {
  ReplaceFileContents(file, FormatPlayList(paths));
}

}  // namespace tav::player
