// The INI-file object: a file on a full path, every write going through to
// the file at once. Values are decimal text.
#pragma once
#include <stdexcept>
#include <string>
#include <vector>

#include <windows.h>

#include "toolkit/win32/base.h"

namespace tav {

class EIniFileException : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

class TIniFile : public TObject {
 public:
  explicit TIniFile(std::wstring fileName) : fileName_(std::move(fileName)) {}
  const std::wstring& FileName() const { return fileName_; }

  std::wstring ReadString(std::wstring_view section, std::wstring_view key, std::wstring_view fallback) const;
  // Text that is not a decimal 32-bit integer gives the fallback.
  int32_t ReadInteger(std::wstring_view section, std::wstring_view key, int32_t fallback) const;
  // An integer other than 0 is true.
  bool ReadBool(std::wstring_view section, std::wstring_view key, bool fallback) const;

  // A failed write throws EIniFileException.
  void WriteString(std::wstring_view section, std::wstring_view key, std::wstring_view value);
  void WriteInteger(std::wstring_view section, std::wstring_view key, int32_t value);
  void WriteBool(std::wstring_view section, std::wstring_view key, bool value);

  bool SectionExists(std::wstring_view section) const;
  bool ValueExists(std::wstring_view section, std::wstring_view key) const;
  std::vector<std::wstring> ReadSection(std::wstring_view section) const;  // the keys
  void EraseSection(std::wstring_view section);
  void DeleteKey(std::wstring_view section, std::wstring_view key);

 private:
  void Write(const wchar_t* section, const wchar_t* key, const wchar_t* value);
  std::wstring fileName_;
};

}  // namespace tav
