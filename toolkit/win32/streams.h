// A file stream over a Windows file handle; every failure throws.
#pragma once
#include <cstdint>
#include <stdexcept>
#include <string>

#include <windows.h>

#include "toolkit/win32/base.h"

namespace tav {

class EStreamError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};
class EFCreateError : public EStreamError { public: using EStreamError::EStreamError; };
class EFOpenError : public EStreamError { public: using EStreamError::EStreamError; };
class EReadError : public EStreamError { public: using EStreamError::EStreamError; };
class EWriteError : public EStreamError { public: using EStreamError::EStreamError; };

enum TFileMode { fmCreate, fmOpenRead, fmOpenWrite, fmOpenReadWrite };
enum TSeekOrigin { soBeginning, soCurrent, soEnd };

class TFileStream : public TObject {
 public:
  // fmCreate creates the file or empties it.
  TFileStream(const std::wstring& fileName, TFileMode mode);
  ~TFileStream() override;
  TFileStream(const TFileStream&) = delete;
  TFileStream& operator=(const TFileStream&) = delete;

  // Returns the bytes moved (fewer at the end of the file).
  size_t Read(void* buffer, size_t count);
  size_t Write(const void* buffer, size_t count);
  // All or an exception.
  void ReadBuffer(void* buffer, size_t count);
  void WriteBuffer(const void* buffer, size_t count);
  int64_t Seek(int64_t offset, TSeekOrigin origin);
  int64_t Position() { return Seek(0, soCurrent); }
  void SetPosition(int64_t p) { Seek(p, soBeginning); }
  int64_t Size();
  void SetSize(int64_t size);
  const std::wstring& FileName() const { return fileName_; }

 private:
  std::wstring fileName_;
  HANDLE handle_ = INVALID_HANDLE_VALUE;
};

}  // namespace tav
