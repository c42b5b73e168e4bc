// One HTTP(S) GET with WinINet, following redirects itself so that every address is known,
// with the engine's cookies and user agent. Runs on a worker thread; Cancel() may be called
// from any thread and makes a blocked call return.
#pragma once
#include <windows.h>
#include <wininet.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace engine {

struct FetchResult {
  int error = 0;  // cef_errorcode_t; 0 = a response arrived
  std::wstring errorText;
  int status = 0;
  std::vector<std::wstring> addresses;  // the start address and every redirect target
  std::wstring finalUrl;
  std::string contentType;
  std::string contentDisposition;
  int64_t contentLength = -1;
  std::string body;      // page responses only
  bool download = false; // the body is left unread for the download to stream
};

class CookieStore;

class Transfer {
 public:
  // Made on the UI thread: takes the engine's settings then, so the worker reads no globals.
  Transfer();
  ~Transfer();
  Transfer(const Transfer&) = delete;
  Transfer& operator=(const Transfer&) = delete;

  // Fetches |url|. With |asDownload| (or when the response is an attachment or a type the
  // page view cannot show) it stops after the headers with the request still open.
  FetchResult Fetch(const std::wstring& url, bool asDownload);
  // Reads the next piece of the body of a download; 0 at the end, -1 on failure or cancel.
  int ReadSome(char* buffer, DWORD size);
  void Cancel();
  bool cancelled() const { return cancelled_.load(); }
  // Releases the connection (worker side, when done).
  void Finish();

 private:
  static int MapError(DWORD code);

  std::wstring userAgent_;
  std::wstring acceptLanguage_;
  std::shared_ptr<CookieStore> cookies_;
  std::atomic<bool> cancelled_{false};
  std::mutex mutex_;
  HINTERNET session_ = nullptr;
  HINTERNET connect_ = nullptr;
  HINTERNET request_ = nullptr;
};

// Whether a response is handed to the download path instead of the page view.
bool IsDownloadResponse(const std::string& contentType, const std::string& contentDisposition);

}  // namespace engine
