// The network client of bass.dll: WinINet (the system's own http and ftp client).
//
// Connecting runs on a helper thread so the caller (the player's window thread) waits at
// most the network timeout: WinINet's own connect timeout is not honoured everywhere. When
// the time is up the caller returns and leaves the session to the helper, which closes it,
// and whatever it still gets back, once WinINet gives up (the session's own timeouts are set).
#include <atomic>
#include <cctype>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include <windows.h>
#include <wininet.h>

#include "bass.h"
#include "network_source.h"

namespace tav::audio {

namespace {

constexpr DWORD kReceiveTimeoutMs = 10000;

class WinInetReader : public NetReader {
 public:
  WinInetReader(HINTERNET session, HINTERNET request, uint64_t length)
      : session_(session), request_(request), length_(length) {}
  ~WinInetReader() override {
    abort();
    InternetCloseHandle(session_);
  }
  size_t read(void* dst, size_t n) override {
    HINTERNET request = request_.load();
    DWORD got = 0;
    if (!request || !InternetReadFile(request, dst, static_cast<DWORD>(n), &got)) return 0;  // lost: the end
    return got;
  }
  uint64_t content_length() const override { return length_; }
  // Closing the request handle makes a pending InternetReadFile give up.
  void abort() override {
    if (HINTERNET request = request_.exchange(nullptr)) InternetCloseHandle(request);
  }

 private:
  HINTERNET session_;
  std::atomic<HINTERNET> request_;
  uint64_t length_;
};

// What the connecting thread and the caller share; whoever finishes last frees it.
struct Connect {
  std::mutex mutex;
  std::condition_variable done_cv;
  bool done = false;
  bool abandoned = false;
  HINTERNET request = nullptr;
  DWORD last_error = 0;
};

bool starts_with_nocase(const std::string& s, const char* prefix) {
  for (size_t i = 0; prefix[i]; ++i)
    if (i >= s.size() || std::tolower(static_cast<unsigned char>(s[i])) != prefix[i]) return false;
  return true;
}

void set_timeouts(HINTERNET h, DWORD connect) {
  DWORD receive = kReceiveTimeoutMs;
  InternetSetOptionW(h, INTERNET_OPTION_CONNECT_TIMEOUT, &connect, sizeof connect);
  InternetSetOptionW(h, INTERNET_OPTION_RECEIVE_TIMEOUT, &receive, sizeof receive);
  InternetSetOptionW(h, INTERNET_OPTION_SEND_TIMEOUT, &receive, sizeof receive);
  InternetSetOptionW(h, INTERNET_OPTION_DATA_RECEIVE_TIMEOUT, &receive, sizeof receive);
}

// An ftp file from a byte offset: a connection of its own, the restart offset, then the
// file (an address opened whole has no way to an offset). Null when the server refuses the
// restart; the connection then closes with the session.
HINTERNET open_ftp_from(HINTERNET session, const std::string& url, uint64_t offset) {
  char host[256] = {}, user[128] = {}, password[128] = {}, path[2048] = {};
  URL_COMPONENTSA parts{};
  parts.dwStructSize = sizeof parts;
  parts.lpszHostName = host;
  parts.dwHostNameLength = sizeof host;
  parts.lpszUserName = user;
  parts.dwUserNameLength = sizeof user;
  parts.lpszPassword = password;
  parts.dwPasswordLength = sizeof password;
  parts.lpszUrlPath = path;
  parts.dwUrlPathLength = sizeof path;
  if (!InternetCrackUrlA(url.c_str(), 0, 0, &parts)) return nullptr;
  HINTERNET connection = InternetConnectA(session, host, parts.nPort, user[0] ? user : nullptr,
                                          password[0] ? password : nullptr, INTERNET_SERVICE_FTP,
                                          INTERNET_FLAG_PASSIVE, 0);
  if (!connection) return nullptr;
  // servers restart binary transfers only
  const std::string restart = "REST " + std::to_string(offset);
  if (!FtpCommandA(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, "TYPE I", 0, nullptr) ||
      !FtpCommandA(connection, FALSE, FTP_TRANSFER_TYPE_BINARY, restart.c_str(), 0, nullptr)) {
    SetLastError(ERROR_NOT_SUPPORTED);
    return nullptr;
  }
  HINTERNET file = FtpOpenFileA(connection, path, GENERIC_READ, FTP_TRANSFER_TYPE_BINARY | INTERNET_FLAG_RELOAD, 0);
  if (!file && GetLastError() == 0) SetLastError(ERROR_NOT_SUPPORTED);
  return file;
}

}  // namespace

std::unique_ptr<NetReader> open_net_reader(const std::string& url, uint64_t offset, unsigned timeout_ms, int& error) {
  const bool http = starts_with_nocase(url, "http://") || starts_with_nocase(url, "https://");
  const bool ftp = starts_with_nocase(url, "ftp://");
  if (!http && !ftp) {
    error = BASS_ERROR_FILEOPEN;
    return nullptr;
  }
  HINTERNET session = InternetOpenA("Tavolen", INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
  if (!session) {
    error = BASS_ERROR_NONET;
    return nullptr;
  }
  set_timeouts(session, timeout_ms);

  std::string headers;
  if (offset && http) headers = "Range: bytes=" + std::to_string(offset) + "-\r\n";
  const DWORD flags = INTERNET_FLAG_NO_CACHE_WRITE | INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE |
                      INTERNET_FLAG_NO_UI | INTERNET_FLAG_NO_COOKIES | (ftp ? INTERNET_FLAG_PASSIVE : 0);
  auto shared = std::make_shared<Connect>();
  std::thread([shared, session, url, headers, flags, ftp, offset] {
    HINTERNET request = ftp && offset ? open_ftp_from(session, url, offset)
                                      : InternetOpenUrlA(session, url.c_str(), headers.empty() ? nullptr : headers.c_str(),
                                                         headers.empty() ? 0 : static_cast<DWORD>(-1), flags, 0);
    const DWORD last_error = request ? 0 : GetLastError();
    std::lock_guard lock(shared->mutex);
    if (shared->abandoned) {
      if (request) InternetCloseHandle(request);
      InternetCloseHandle(session);
      return;
    }
    shared->request = request;
    shared->last_error = last_error;
    shared->done = true;
    shared->done_cv.notify_all();
  }).detach();

  HINTERNET request = nullptr;
  DWORD last_error = 0;
  {
    std::unique_lock lock(shared->mutex);
    if (!shared->done_cv.wait_for(lock, std::chrono::milliseconds(timeout_ms), [&] { return shared->done; })) {
      shared->abandoned = true;  // the helper closes the session when WinINet gives up
      error = BASS_ERROR_TIMEOUT;
      return nullptr;
    }
    request = shared->request;
    last_error = shared->last_error;
  }
  if (!request) {
    InternetCloseHandle(session);
    error = last_error == ERROR_INTERNET_TIMEOUT ? BASS_ERROR_TIMEOUT
            : last_error == ERROR_NOT_SUPPORTED  ? BASS_ERROR_NOTAVAIL
                                                 : BASS_ERROR_FILEOPEN;
    return nullptr;
  }
  set_timeouts(request, timeout_ms);

  uint64_t length = NetReader::kUnknownLength;
  if (http) {
    DWORD status = 0, size = sizeof status;
    if (!HttpQueryInfoA(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr) ||
        status >= 400 || (offset && status != 206)) {
      InternetCloseHandle(request);
      InternetCloseHandle(session);
      // a server that answers a range request with the whole file cannot seek
      error = status < 400 ? BASS_ERROR_NOTAVAIL : BASS_ERROR_FILEOPEN;
      return nullptr;
    }
    char text[32] = {};
    size = sizeof text - 1;
    if (HttpQueryInfoA(request, HTTP_QUERY_CONTENT_LENGTH, text, &size, nullptr)) {
      char* end = nullptr;
      const unsigned long long v = std::strtoull(text, &end, 10);
      if (end != text) length = v;
    }
  } else {
    // not every WinINet knows the size of a file opened by its address: 0 means unknown here
    // (an empty file ends at once all the same)
    DWORD high = 0;
    const DWORD low = FtpGetFileSize(request, &high);
    const uint64_t size = (uint64_t{high} << 32) | low;
    if (low != INVALID_FILE_SIZE && size > offset) length = size - offset;  // what this transfer sends
  }
  return std::make_unique<WinInetReader>(session, request, length);
}

}  // namespace tav::audio
