#include "src/fetch.h"

#include <algorithm>

#include "include/internal/cef_types.h"
#include "src/engine_internal.h"
#include "src/text.h"
#include "src/url.h"

namespace engine {
namespace {

constexpr int kMaxRedirects = 20;
constexpr size_t kMaxPageBytes = 16u << 20;  // the page view shows text; more is cut off

std::string RawHeaders(HINTERNET request) {
  DWORD size = 0;
  HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, nullptr, &size, nullptr);
  if (size == 0) return std::string();
  // The size asked for first can fall short once non-ASCII header bytes (a raw UTF-8 file name)
  // go through the code page: grow and ask again rather than lose every header.
  for (int attempt = 0; attempt < 4; ++attempt) {
    std::string buffer(size + 1, '\0');
    DWORD got = size;
    if (HttpQueryInfoA(request, HTTP_QUERY_RAW_HEADERS_CRLF, &buffer[0], &got, nullptr)) {
      buffer.resize(std::min<size_t>(got, size));
      return buffer;
    }
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::string();
    size = std::max<DWORD>(got, size * 2);
  }
  return std::string();
}

// Every value of header |name| in |raw| (case-insensitive name).
std::vector<std::string> HeaderValues(const std::string& raw, const std::string& name) {
  std::vector<std::string> out;
  std::string wanted = AsciiLower(name) + ":";
  size_t pos = 0;
  while (pos < raw.size()) {
    size_t end = raw.find("\r\n", pos);
    if (end == std::string::npos) end = raw.size();
    std::string line = raw.substr(pos, end - pos);
    if (AsciiLower(line.substr(0, wanted.size())) == wanted) {
      std::string v = line.substr(wanted.size());
      size_t b = v.find_first_not_of(" \t");
      out.push_back(b == std::string::npos ? std::string() : v.substr(b));
    }
    pos = end + 2;
  }
  return out;
}

}  // namespace

bool IsDownloadResponse(const std::string& contentType, const std::string& contentDisposition) {
  if (IsAttachment(contentDisposition)) return true;
  std::string type = AsciiLower(contentType.substr(0, contentType.find(';')));
  type.erase(std::remove(type.begin(), type.end(), ' '), type.end());
  static const char* kDownloadTypes[] = {"application/octet-stream", "application/zip", "application/x-zip-compressed",
                                         "application/x-msdownload", "application/x-rar-compressed",
                                         "application/vnd.ms-excel", "application/msword"};
  for (auto t : kDownloadTypes) {
    if (type == t) return true;
  }
  return false;
}

Transfer::Transfer() : userAgent_(UserAgent()), acceptLanguage_(AcceptLanguage()), cookies_(Cookies()) {}

Transfer::~Transfer() { Finish(); }

int Transfer::MapError(DWORD code) {
  switch (code) {
    case ERROR_INTERNET_CANNOT_CONNECT: return ERR_CONNECTION_REFUSED;
    case ERROR_INTERNET_NAME_NOT_RESOLVED: return ERR_NAME_NOT_RESOLVED;
    case ERROR_INTERNET_TIMEOUT: return ERR_TIMED_OUT;
    case ERROR_INTERNET_OPERATION_CANCELLED: return ERR_ABORTED;
    case ERROR_INTERNET_CONNECTION_RESET: return ERR_CONNECTION_RESET;
    case ERROR_INTERNET_CONNECTION_ABORTED: return ERR_CONNECTION_ABORTED;
    case ERROR_INTERNET_INVALID_URL: return ERR_INVALID_URL;
    case ERROR_INTERNET_UNRECOGNIZED_SCHEME: return ERR_UNKNOWN_URL_SCHEME;
    case ERROR_INTERNET_INVALID_CA:
    case ERROR_INTERNET_SEC_CERT_CN_INVALID:
    case ERROR_INTERNET_SEC_CERT_DATE_INVALID: return ERR_CERT_AUTHORITY_INVALID;
    case ERROR_HTTP_INVALID_SERVER_RESPONSE: return ERR_INVALID_RESPONSE;
    default: return ERR_FAILED;
  }
}

void Transfer::Cancel() {
  cancelled_ = true;
  std::lock_guard<std::mutex> lock(mutex_);
  // Closing the handles makes WinINet calls blocked on the worker return (where WinINet can
  // interrupt them; otherwise the receive timeout ends them).
  if (request_) InternetCloseHandle(request_);
  if (connect_) InternetCloseHandle(connect_);
  if (session_) InternetCloseHandle(session_);
  request_ = connect_ = session_ = nullptr;
}

void Transfer::Finish() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (request_) InternetCloseHandle(request_);
  if (connect_) InternetCloseHandle(connect_);
  if (session_) InternetCloseHandle(session_);
  request_ = connect_ = session_ = nullptr;
}

int Transfer::ReadSome(char* buffer, DWORD size) {
  HINTERNET request;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    request = request_;
  }
  if (cancelled_ || !request) return -1;
  DWORD read = 0;
  if (!InternetReadFile(request, buffer, size, &read)) return -1;
  if (cancelled_) return -1;
  return static_cast<int>(read);
}

FetchResult Transfer::Fetch(const std::wstring& startUrl, bool asDownload) {
  FetchResult r;
  std::wstring url = startUrl;
  r.addresses.push_back(url);
  std::shared_ptr<CookieStore> cookies = cookies_;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    if (cancelled_) {
      r.error = ERR_ABORTED;
      return r;
    }
    session_ = InternetOpenW(userAgent_.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0);
    if (!session_) {
      r.error = ERR_FAILED;
      r.errorText = L"net::ERR_FAILED";
      return r;
    }
    DWORD timeout = 30000;
    InternetSetOptionW(session_, INTERNET_OPTION_CONNECT_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(session_, INTERNET_OPTION_RECEIVE_TIMEOUT, &timeout, sizeof timeout);
    InternetSetOptionW(session_, INTERNET_OPTION_SEND_TIMEOUT, &timeout, sizeof timeout);
  }
  for (int hop = 0;; ++hop) {
    UrlParts parts = ParseUrl(url);
    if (!parts.valid) {
      r.error = ERR_INVALID_URL;
      break;
    }
    if (parts.scheme != L"http" && parts.scheme != L"https") {
      r.error = ERR_UNKNOWN_URL_SCHEME;
      break;
    }
    HINTERNET session;
    {
      std::lock_guard<std::mutex> lock(mutex_);
      if (request_) InternetCloseHandle(request_);
      if (connect_) InternetCloseHandle(connect_);
      request_ = connect_ = nullptr;
      session = session_;
    }
    if (cancelled_ || !session) {
      r.error = ERR_ABORTED;
      break;
    }
    HINTERNET connect = InternetConnectW(session, parts.host.c_str(), static_cast<INTERNET_PORT>(parts.port), nullptr,
                                         nullptr, INTERNET_SERVICE_HTTP, 0, 0);
    if (!connect) {
      r.error = cancelled_ ? ERR_ABORTED : MapError(GetLastError());
      break;
    }
    DWORD flags = INTERNET_FLAG_NO_AUTO_REDIRECT | INTERNET_FLAG_NO_COOKIES | INTERNET_FLAG_NO_CACHE_WRITE |
                  INTERNET_FLAG_RELOAD | INTERNET_FLAG_PRAGMA_NOCACHE | INTERNET_FLAG_NO_UI |
                  INTERNET_FLAG_NO_AUTH;
    if (parts.scheme == L"https") flags |= INTERNET_FLAG_SECURE;
    const wchar_t* accept[] = {L"*/*", nullptr};
    HINTERNET request = HttpOpenRequestW(connect, L"GET", parts.path.c_str(), nullptr, nullptr, accept, flags, 0);
    {
      std::lock_guard<std::mutex> lock(mutex_);
      connect_ = connect;
      request_ = request;
    }
    if (!request) {
      r.error = cancelled_ ? ERR_ABORTED : MapError(GetLastError());
      break;
    }
    std::wstring headers = L"Accept-Language: " + acceptLanguage_ + L"\r\n";
    std::string cookie = cookies ? cookies->HeaderFor(url, CookieStore::Now()) : std::string();
    if (!cookie.empty()) headers += L"Cookie: " + Utf8ToWide(cookie) + L"\r\n";
    if (!HttpSendRequestW(request, headers.c_str(), static_cast<DWORD>(headers.size()), nullptr, 0)) {
      r.error = cancelled_ ? ERR_ABORTED : MapError(GetLastError());
      break;
    }
    DWORD status = 0, size = sizeof status;
    HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr);
    std::string raw = RawHeaders(request);
    if (cookies) {
      for (const std::string& sc : HeaderValues(raw, "Set-Cookie")) cookies->SetFromHeader(url, sc, CookieStore::Now());
    }
    r.status = static_cast<int>(status);
    std::vector<std::string> location = HeaderValues(raw, "Location");
    bool redirect = (status == 301 || status == 302 || status == 303 || status == 307 || status == 308) &&
                    !location.empty() && !location[0].empty();
    if (redirect) {
      if (hop >= kMaxRedirects) {
        r.error = ERR_TOO_MANY_REDIRECTS;
        break;
      }
      std::wstring next = ResolveUrl(url, Utf8ToWide(location[0]));
      std::wstring scheme = UrlScheme(next);
      if (scheme != L"http" && scheme != L"https") {
        r.error = ERR_UNSAFE_REDIRECT;  // e.g. a redirect to javascript: or file:
        break;
      }
      url = next;
      r.addresses.push_back(url);
      continue;
    }
    r.finalUrl = url;
    std::vector<std::string> ct = HeaderValues(raw, "Content-Type");
    r.contentType = ct.empty() ? std::string() : ct[0];
    std::vector<std::string> cd = HeaderValues(raw, "Content-Disposition");
    r.contentDisposition = cd.empty() ? std::string() : cd[0];
    std::vector<std::string> cl = HeaderValues(raw, "Content-Length");
    if (!cl.empty() && !cl[0].empty() && cl[0].find_first_not_of("0123456789") == std::string::npos && cl[0].size() < 16) {
      r.contentLength = std::stoll(cl[0]);
    }
    if (asDownload || IsDownloadResponse(r.contentType, r.contentDisposition)) {
      r.download = true;
      return r;  // the request stays open for the download
    }
    char buffer[16384];
    for (;;) {
      DWORD read = 0;
      if (!InternetReadFile(request, buffer, sizeof buffer, &read)) {
        if (cancelled_) r.error = ERR_ABORTED;
        break;  // keep what arrived, as a browser shows a cut-off page
      }
      if (read == 0) break;
      if (r.body.size() < kMaxPageBytes) r.body.append(buffer, std::min<size_t>(read, kMaxPageBytes - r.body.size()));
    }
    break;
  }
  if (r.error != 0 && r.errorText.empty()) {
    static const struct {
      int code;
      const wchar_t* text;
    } kNames[] = {{ERR_ABORTED, L"net::ERR_ABORTED"},
                  {ERR_CONNECTION_REFUSED, L"net::ERR_CONNECTION_REFUSED"},
                  {ERR_NAME_NOT_RESOLVED, L"net::ERR_NAME_NOT_RESOLVED"},
                  {ERR_TIMED_OUT, L"net::ERR_TIMED_OUT"},
                  {ERR_CONNECTION_RESET, L"net::ERR_CONNECTION_RESET"},
                  {ERR_CONNECTION_ABORTED, L"net::ERR_CONNECTION_ABORTED"},
                  {ERR_INVALID_URL, L"net::ERR_INVALID_URL"},
                  {ERR_UNKNOWN_URL_SCHEME, L"net::ERR_UNKNOWN_URL_SCHEME"},
                  {ERR_TOO_MANY_REDIRECTS, L"net::ERR_TOO_MANY_REDIRECTS"},
                  {ERR_UNSAFE_REDIRECT, L"net::ERR_UNSAFE_REDIRECT"},
                  {ERR_INVALID_RESPONSE, L"net::ERR_INVALID_RESPONSE"},
                  {ERR_CERT_AUTHORITY_INVALID, L"net::ERR_CERT_AUTHORITY_INVALID"}};
    r.errorText = L"net::ERR_FAILED";
    for (auto& n : kNames) {
      if (n.code == r.error) r.errorText = n.text;
    }
  }
  if (r.finalUrl.empty()) r.finalUrl = url;
  Finish();
  return r;
}

}  // namespace engine
