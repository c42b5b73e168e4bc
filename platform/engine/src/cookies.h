// The engine's cookie jar. With a file it is kept in "<cache>\Cookies", rewritten whenever a
// cookie changes and held open without delete sharing while the engine runs (so another
// process's attempt to delete it fails harmlessly). Used from worker threads: locked inside.
#pragma once
#include <windows.h>

#include <cstdint>
#include <mutex>
#include <string>
#include <vector>

namespace engine {

struct Cookie {
  std::string name;
  std::string value;
  std::wstring domain;  // lower case, no leading dot
  bool hostOnly = true;
  std::string path = "/";
  bool secure = false;
  bool httpOnly = false;
  int64_t expires = 0;  // seconds since 1970; 0 = session cookie
};

class CookieStore {
 public:
  CookieStore() = default;
  ~CookieStore();
  CookieStore(const CookieStore&) = delete;
  CookieStore& operator=(const CookieStore&) = delete;

  // Opens (creating) the file and loads what it holds. Session cookies are written to the
  // file only when |persistSession| is set.
  bool Open(const std::wstring& path, bool persistSession);
  void Close();

  // One Set-Cookie header value received from |url|; malformed or foreign-domain cookies are
  // ignored. An expiry in the past deletes the cookie.
  void SetFromHeader(const std::wstring& url, const std::string& header, int64_t now);
  // The Cookie header value for a request to |url| ("" when none applies).
  std::string HeaderFor(const std::wstring& url, int64_t now);
  std::vector<Cookie> All();

  static int64_t Now();

 private:
  void SaveLocked();
  void LoadLocked();

  std::mutex mutex_;
  std::vector<Cookie> cookies_;
  HANDLE file_ = INVALID_HANDLE_VALUE;
  bool persistSession_ = false;
};

}  // namespace engine
