#include "toolkit/win32/streams.h"

namespace tav {

namespace {
std::string Why(const char* what, const std::wstring& file) {
  return std::string(what) + " \"" + Narrow(file) + "\" (system error " + std::to_string(GetLastError()) + ")";
}
}  // namespace

TFileStream::TFileStream(const std::wstring& fileName, TFileMode mode) : fileName_(fileName) {
  DWORD access = GENERIC_READ, disposition = OPEN_EXISTING, share = FILE_SHARE_READ;
  switch (mode) {
    case fmCreate: access = GENERIC_READ | GENERIC_WRITE, disposition = CREATE_ALWAYS; break;
    case fmOpenRead: access = GENERIC_READ, share = FILE_SHARE_READ | FILE_SHARE_WRITE; break;
    case fmOpenWrite: access = GENERIC_WRITE; break;
    case fmOpenReadWrite: access = GENERIC_READ | GENERIC_WRITE; break;
  }
  handle_ = CreateFileW(fileName.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle_ == INVALID_HANDLE_VALUE) {
    if (mode == fmCreate) throw EFCreateError(Why("Cannot create file", fileName));
    throw EFOpenError(Why("Cannot open file", fileName));
  }
}

TFileStream::~TFileStream() {
  if (handle_ != INVALID_HANDLE_VALUE) CloseHandle(handle_);
}

size_t TFileStream::Read(void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    DWORD got = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
    if (!ReadFile(handle_, static_cast<char*>(buffer) + done, chunk, &got, nullptr))
      throw EReadError(Why("Stream read error in", fileName_));
    if (got == 0) break;
    done += got;
  }
  return done;
}

size_t TFileStream::Write(const void* buffer, size_t count) {
  size_t done = 0;
  while (done < count) {
    DWORD put = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(count - done, 1u << 30));
    if (!WriteFile(handle_, static_cast<const char*>(buffer) + done, chunk, &put, nullptr) || put == 0) break;
    done += put;
  }
  return done;
}

void TFileStream::ReadBuffer(void* buffer, size_t count) {
  if (Read(buffer, count) != count) throw EReadError("Stream read error in \"" + Narrow(fileName_) + "\"");
}

void TFileStream::WriteBuffer(const void* buffer, size_t count) {
  if (Write(buffer, count) != count) throw EWriteError(Why("Stream write error in", fileName_));
}

int64_t TFileStream::Seek(int64_t offset, TSeekOrigin origin) {
  LARGE_INTEGER to, now;
  to.QuadPart = offset;
  const DWORD how = origin == soBeginning ? FILE_BEGIN : origin == soCurrent ? FILE_CURRENT : FILE_END;
  if (!SetFilePointerEx(handle_, to, &now, how)) throw EStreamError(Why("Seek failed in", fileName_));
  return now.QuadPart;
}

int64_t TFileStream::Size() {
  LARGE_INTEGER s;
  if (!GetFileSizeEx(handle_, &s)) throw EStreamError(Why("Cannot read the size of", fileName_));
  return s.QuadPart;
}

void TFileStream::SetSize(int64_t size) {
  const int64_t pos = Position();
  Seek(size, soBeginning);
  if (!SetEndOfFile(handle_)) throw EWriteError(Why("Cannot set the size of", fileName_));
  Seek(std::min(pos, size), soBeginning);
}

}  // namespace tav
