// The play-list file: 8-bit text, one full path per line, every line ended by
// CR LF, no header. Reading takes every line as an entry; CR LF, LF and CR all
// end a line.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tav::player {

inline constexpr const char* kPlayListFileName = "PlayList.m3u";

std::vector<std::string> ParsePlayList(std::string_view text);
std::string FormatPlayList(const std::vector<std::string>& paths);

// The entries of the file; an empty list when the file does not exist.
// Throws std::runtime_error when it exists but cannot be read.
std::vector<std::string> ReadPlayListFile(const std::filesystem::path& file);

// Writes the list beside the old file first and puts it in the old one's
// place only when the whole text was written, so a failed save leaves the old
// list as it was. Throws std::runtime_error on failure.
void WritePlayListFile(const std::filesystem::path& file, const std::vector<std::string>& paths);

// The replacing write itself, for any text.
void ReplaceFileContents(const std::filesystem::path& file, std::string_view bytes);

// Where the play list is kept between runs.
class IPlayListStore {
 public:
  virtual ~IPlayListStore() = default;
  // The entries kept; none when nothing is kept. Throws when what is kept
  // cannot be read.
  virtual std::vector<std::string> Read() = 0;
  // Replaces what is kept. Throws when it cannot be written.
  virtual void Write(const std::vector<std::string>& paths) = 0;
};

// The play list kept in a play-list file.
class TPlayListFileStore : public IPlayListStore {
 public:
  explicit TPlayListFileStore(std::filesystem::path file) : file_(std::move(file)) {}
  std::vector<std::string> Read() override { return ReadPlayListFile(file_); }
  void Write(const std::vector<std::string>& paths) override { WritePlayListFile(file_, paths); }
  const std::filesystem::path& File() const { return file_; }

 private:
  std::filesystem::path file_;
};

}  // namespace tav::player
