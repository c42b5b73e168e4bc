// Engine strings: UTF-16 (wchar_t on Windows). cef_string_t is the plain record used inside
// settings structures; CefString is the C++ wrapper. A CefString made from a cef_string_t*
// refers to that record, so `CefString(&settings.locale) = L"zh-CN";` writes into the settings.
#pragma once
#include <cstddef>
#include <string>

typedef wchar_t char16;

typedef struct _cef_string_utf16_t {
  char16* str;
  size_t length;
  void (*dtor)(char16* str);
} cef_string_utf16_t;
typedef cef_string_utf16_t cef_string_t;
typedef cef_string_utf16_t* cef_string_userfree_t;

// copy != 0 makes a private copy owned by |output|; otherwise |output| refers to |src|.
int cef_string_utf16_set(const char16* src, size_t src_len, cef_string_utf16_t* output, int copy);
void cef_string_utf16_clear(cef_string_utf16_t* str);
#define cef_string_set cef_string_utf16_set
#define cef_string_clear cef_string_utf16_clear

class CefString {
 public:
  CefString() = default;
  CefString(const std::wstring& src) : owned_(src) {}
  CefString(const wchar_t* src) : owned_(src ? src : L"") {}
  CefString(const wchar_t* src, size_t length) : owned_(src ? std::wstring(src, length) : std::wstring()) {}
  CefString(const std::string& utf8) { FromString(utf8); }
  CefString(const char* utf8) { FromString(std::string(utf8 ? utf8 : "")); }
  // Refers to |src| (not owned): reads and writes go to that record.
  CefString(const cef_string_t* src) : attached_(const_cast<cef_string_t*>(src)) {}
  CefString(const CefString& other) : owned_(other.ToWString()) {}
  CefString(CefString&& other) noexcept;
  ~CefString() = default;

  CefString& operator=(const CefString& other);
  CefString& operator=(CefString&& other) noexcept;
  CefString& operator=(const std::wstring& s) { return Assign(s.data(), s.size()); }
  CefString& operator=(const wchar_t* s) { return s ? Assign(s, std::char_traits<wchar_t>::length(s)) : Assign(L"", 0); }
  CefString& operator=(const std::string& utf8) { FromString(utf8); return *this; }
  CefString& operator=(const char* utf8) { FromString(std::string(utf8 ? utf8 : "")); return *this; }

  const wchar_t* c_str() const;
  size_t length() const;
  size_t size() const { return length(); }
  bool empty() const { return length() == 0; }
  void clear() { Assign(L"", 0); }
  int compare(const CefString& other) const { return ToWString().compare(other.ToWString()); }

  std::wstring ToWString() const;
  std::string ToString() const;  // UTF-8
  bool FromWString(const std::wstring& s) { Assign(s.data(), s.size()); return true; }
  bool FromString(const std::string& utf8);  // UTF-8
  bool FromASCII(const char* ascii);
  operator std::wstring() const { return ToWString(); }

  // The attached record, or nullptr for a string that owns its text.
  cef_string_t* GetWritableStruct() const { return attached_; }

 private:
  CefString& Assign(const wchar_t* data, size_t length);

  std::wstring owned_;
  cef_string_t* attached_ = nullptr;
};

inline bool operator==(const CefString& a, const CefString& b) { return a.compare(b) == 0; }
inline bool operator!=(const CefString& a, const CefString& b) { return a.compare(b) != 0; }
inline bool operator<(const CefString& a, const CefString& b) { return a.compare(b) < 0; }
inline bool operator==(const CefString& a, const wchar_t* b) { return a.ToWString() == (b ? b : L""); }
inline bool operator!=(const CefString& a, const wchar_t* b) { return !(a == b); }
