#include "src/cookies.h"

#include <wininet.h>

#include <algorithm>
#include <cctype>
#include <sstream>

#include "src/text.h"
#include "src/url.h"

namespace engine {
namespace {

int64_t SystemTimeToUnix(const SYSTEMTIME& st) {
  FILETIME ft;
  if (!SystemTimeToFileTime(&st, &ft)) return -1;
  ULARGE_INTEGER u;
  u.LowPart = ft.dwLowDateTime;
  u.HighPart = ft.dwHighDateTime;
  return static_cast<int64_t>(u.QuadPart / 10000000ULL) - 11644473600LL;
}

bool DomainMatches(const std::wstring& host, const Cookie& c) {
  if (c.hostOnly) return host == c.domain;
  if (host == c.domain) return true;
  return host.size() > c.domain.size() && host.compare(host.size() - c.domain.size(), c.domain.size(), c.domain) == 0 &&
         host[host.size() - c.domain.size() - 1] == L'.';
}

bool PathMatches(const std::string& requestPath, const std::string& cookiePath) {
  if (requestPath == cookiePath) return true;
  if (requestPath.compare(0, cookiePath.size(), cookiePath) != 0) return false;
  return cookiePath.back() == '/' || (requestPath.size() > cookiePath.size() && requestPath[cookiePath.size()] == '/');
}

std::string DefaultPath(const std::string& path) {
  std::string p = path.substr(0, path.find('?'));
  if (p.empty() || p[0] != '/') return "/";
  size_t slash = p.rfind('/');
  return slash == 0 ? "/" : p.substr(0, slash);
}

bool IsIpAddress(const std::wstring& host) {
  return host.find_first_not_of(L"0123456789.") == std::wstring::npos || host.find(L':') != std::wstring::npos;
}

}  // namespace

CookieStore::~CookieStore() { Close(); }

int64_t CookieStore::Now() {
  SYSTEMTIME st;
  GetSystemTime(&st);
  return SystemTimeToUnix(st);
}

bool CookieStore::Open(const std::wstring& path, bool persistSession) {
  std::lock_guard<std::mutex> lock(mutex_);
  persistSession_ = persistSession;
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  // No FILE_SHARE_DELETE: the file stays while the engine runs, as a real cookie database does.
  file_ = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                      OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file_ == INVALID_HANDLE_VALUE) return false;
  LoadLocked();
  SaveLocked();  // drops what expired meanwhile
  return true;
}

void CookieStore::Close() {
  std::lock_guard<std::mutex> lock(mutex_);
  if (file_ != INVALID_HANDLE_VALUE) CloseHandle(file_);
  file_ = INVALID_HANDLE_VALUE;
}

void CookieStore::SetFromHeader(const std::wstring& url, const std::string& header, int64_t now) {
  UrlParts u = ParseUrl(url);
  if (!u.valid) return;
  std::vector<std::string> parts;
  std::stringstream ss(header);
  std::string part;
  while (std::getline(ss, part, ';')) parts.push_back(part);
  if (parts.empty()) return;
  size_t eq = parts[0].find('=');
  if (eq == std::string::npos) return;
  Cookie c;
  c.name = TrimHeaderSpace(parts[0].substr(0, eq));
  c.value = TrimHeaderSpace(parts[0].substr(eq + 1));
  if (c.name.empty() || c.name.find_first_of("\r\n\t") != std::string::npos ||
      c.value.find_first_of("\r\n") != std::string::npos)
    return;
  c.domain = u.host;
  c.path = DefaultPath(WideToAscii(u.path));
  bool hasMaxAge = false;
  bool remove = false;
  for (size_t i = 1; i < parts.size(); ++i) {
    std::string attr = TrimHeaderSpace(parts[i]);
    size_t e = attr.find('=');
    std::string key = AsciiLower(TrimHeaderSpace(attr.substr(0, e)));
    std::string val = e == std::string::npos ? std::string() : TrimHeaderSpace(attr.substr(e + 1));
    if (key == "domain" && !val.empty()) {
      std::wstring d = Latin1ToWide(AsciiLower(val));
      while (!d.empty() && d[0] == L'.') d.erase(0, 1);
      if (d.empty()) continue;
      Cookie probe;
      probe.domain = d;
      probe.hostOnly = false;
      // A server may only set cookies for its own domain (not a sibling or an IP's suffix).
      if (!DomainMatches(u.host, probe) || (IsIpAddress(u.host) && d != u.host)) return;
      c.domain = d;
      c.hostOnly = false;
    } else if (key == "path" && !val.empty() && val[0] == '/') {
      c.path = val;
    } else if (key == "secure") {
      c.secure = true;
    } else if (key == "httponly") {
      c.httpOnly = true;
    } else if (key == "max-age") {
      char* end = nullptr;
      long long secs = std::strtoll(val.c_str(), &end, 10);
      if (val.empty() || (end && *end)) continue;
      hasMaxAge = true;
      if (secs <= 0) {
        remove = true;
      } else {
        c.expires = now + secs;
        remove = false;
      }
    } else if (key == "expires" && !hasMaxAge) {
      SYSTEMTIME st;
      if (InternetTimeToSystemTimeA(val.c_str(), &st, 0)) {
        int64_t t = SystemTimeToUnix(st);
        if (t >= 0 && t <= now) {
          remove = true;
        } else if (t > now) {
          c.expires = t;
        }
      }
    }
  }
  std::lock_guard<std::mutex> lock(mutex_);
  auto same = [&](const Cookie& o) { return o.name == c.name && o.domain == c.domain && o.path == c.path; };
  auto it = std::find_if(cookies_.begin(), cookies_.end(), same);
  if (remove) {
    if (it == cookies_.end()) return;
    cookies_.erase(it);
  } else if (it != cookies_.end()) {
    *it = c;
  } else {
    cookies_.push_back(c);
  }
  SaveLocked();
}

std::string CookieStore::HeaderFor(const std::wstring& url, int64_t now) {
  UrlParts u = ParseUrl(url);
  if (!u.valid) return std::string();
  std::string path = WideToAscii(u.path.substr(0, u.path.find(L'?')));
  std::lock_guard<std::mutex> lock(mutex_);
  std::vector<const Cookie*> matching;
  for (const Cookie& c : cookies_) {
    if (c.expires != 0 && c.expires <= now) continue;
    if (c.secure && u.scheme != L"https") continue;
    if (!DomainMatches(u.host, c) || !PathMatches(path, c.path)) continue;
    matching.push_back(&c);
  }
  // Longer paths first, as browsers send them.
  std::stable_sort(matching.begin(), matching.end(),
                   [](const Cookie* a, const Cookie* b) { return a->path.size() > b->path.size(); });
  std::string out;
  for (const Cookie* c : matching) {
    if (!out.empty()) out += "; ";
    out += c->name + "=" + c->value;
  }
  return out;
}

std::vector<Cookie> CookieStore::All() {
  std::lock_guard<std::mutex> lock(mutex_);
  return cookies_;
}

// File format: one cookie per line, tab-separated:
// domain, host-only, path, secure, http-only, expires, name, value (UTF-8).
void CookieStore::SaveLocked() {
  if (file_ == INVALID_HANDLE_VALUE) return;
  int64_t now = Now();
  std::string text = "# cookies\n";
  for (const Cookie& c : cookies_) {
    if (c.expires == 0 && !persistSession_) continue;
    if (c.expires != 0 && c.expires <= now) continue;
    text += WideToAscii(c.domain) + "\t" + (c.hostOnly ? "1" : "0") + "\t" + c.path + "\t" + (c.secure ? "1" : "0") +
            "\t" + (c.httpOnly ? "1" : "0") + "\t" + std::to_string(c.expires) + "\t" + c.name + "\t" + c.value +
            "\n";
  }
  SetFilePointer(file_, 0, nullptr, FILE_BEGIN);
  DWORD written = 0;
  WriteFile(file_, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
  SetEndOfFile(file_);
  FlushFileBuffers(file_);
}

void CookieStore::LoadLocked() {
  cookies_.clear();
  LARGE_INTEGER size;
  if (!GetFileSizeEx(file_, &size) || size.QuadPart <= 0 || size.QuadPart > (16 << 20)) return;
  std::string text(static_cast<size_t>(size.QuadPart), '\0');
  SetFilePointer(file_, 0, nullptr, FILE_BEGIN);
  DWORD read = 0;
  if (!ReadFile(file_, &text[0], static_cast<DWORD>(text.size()), &read, nullptr)) return;
  text.resize(read);
  std::stringstream ss(text);
  std::string line;
  int64_t now = Now();
  while (std::getline(ss, line)) {
    if (line.empty() || line[0] == '#') continue;
    std::vector<std::string> f;
    size_t start = 0;
    for (int k = 0; k < 7; ++k) {
      size_t tab = line.find('\t', start);
      if (tab == std::string::npos) break;
      f.push_back(line.substr(start, tab - start));
      start = tab + 1;
    }
    if (f.size() != 7) continue;  // damaged line
    f.push_back(line.substr(start));
    Cookie c;
    c.domain = Latin1ToWide(f[0]);
    c.hostOnly = f[1] == "1";
    c.path = f[2].empty() ? "/" : f[2];
    c.secure = f[3] == "1";
    c.httpOnly = f[4] == "1";
    c.expires = std::strtoll(f[5].c_str(), nullptr, 10);
    c.name = f[6];
    c.value = f[7];
    if (c.domain.empty() || c.name.empty() || (c.expires != 0 && c.expires <= now)) continue;
    cookies_.push_back(c);
  }
}

}  // namespace engine
