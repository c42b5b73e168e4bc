#include <windows.h>

#include <cstring>

#include "include/cef_base.h"

namespace {
void FreeString(char16* str) { delete[] str; }
}  // namespace

int cef_string_utf16_set(const char16* src, size_t src_len, cef_string_utf16_t* output, int copy) {
  if (!output) return 0;
  cef_string_utf16_clear(output);
  if (!src || src_len == 0) return 1;
  if (copy) {
    char16* buffer = new char16[src_len + 1];
    std::memcpy(buffer, src, src_len * sizeof(char16));
    buffer[src_len] = 0;
    output->str = buffer;
    output->dtor = FreeString;
  } else {
    output->str = const_cast<char16*>(src);
    output->dtor = nullptr;
  }
  output->length = src_len;
  return 1;
}

void cef_string_utf16_clear(cef_string_utf16_t* str) {
  if (!str) return;
  if (str->str && str->dtor) str->dtor(str->str);
  str->str = nullptr;
  str->length = 0;
  str->dtor = nullptr;
}

CefString::CefString(CefString&& other) noexcept : owned_(other.ToWString()) {}

CefString& CefString::operator=(const CefString& other) {
  if (this == &other) return *this;
  std::wstring copy = other.ToWString();  // |other| may refer to the same record
  return Assign(copy.data(), copy.size());
}

CefString& CefString::operator=(CefString&& other) noexcept {
  if (this == &other) return *this;
  std::wstring copy = other.ToWString();
  Assign(copy.data(), copy.size());
  return *this;
}

CefString& CefString::Assign(const wchar_t* data, size_t length) {
  if (attached_) {
    cef_string_utf16_set(data, length, attached_, 1);
  } else {
    owned_.assign(data, length);
  }
  return *this;
}

const wchar_t* CefString::c_str() const {
  if (attached_) return attached_->str ? attached_->str : L"";
  return owned_.c_str();
}

size_t CefString::length() const { return attached_ ? (attached_->str ? attached_->length : 0) : owned_.size(); }

std::wstring CefString::ToWString() const {
  if (attached_) return attached_->str ? std::wstring(attached_->str, attached_->length) : std::wstring();
  return owned_;
}

std::string CefString::ToString() const {
  std::wstring wide = ToWString();
  if (wide.empty()) return std::string();
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string out(n > 0 ? n : 0, '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), &out[0], n, nullptr, nullptr);
  return out;
}

bool CefString::FromString(const std::string& utf8) {
  std::wstring wide;
  if (!utf8.empty()) {
    int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    wide.resize(n > 0 ? n : 0);
    if (n > 0) MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), &wide[0], n);
  }
  Assign(wide.data(), wide.size());
  return true;
}

bool CefString::FromASCII(const char* ascii) {
  std::wstring wide;
  for (const char* p = ascii; p && *p; ++p) wide.push_back(static_cast<unsigned char>(*p) & 0x7F);
  Assign(wide.data(), wide.size());
  return true;
}

namespace {
void CopyString(const cef_string_t& src, cef_string_t* dst) {
  *dst = cef_string_t();
  cef_string_utf16_set(src.str, src.length, dst, 1);
}
}  // namespace

#define SETTINGS_STRINGS(X)                                                                                \
  X(browser_subprocess_path) X(cache_path) X(root_cache_path) X(user_data_path) X(user_agent)           \
  X(product_version) X(locale) X(log_file) X(javascript_flags) X(resources_dir_path) X(locales_dir_path) \
  X(accept_language_list)

void cef_settings_copy_strings(const cef_settings_t* src, cef_settings_t* dst) {
#define COPY_ONE(f) CopyString(src->f, &dst->f);
  SETTINGS_STRINGS(COPY_ONE)
#undef COPY_ONE
}

void cef_settings_clear_strings(cef_settings_t* s) {
#define CLEAR_ONE(f) cef_string_utf16_clear(&s->f);
  SETTINGS_STRINGS(CLEAR_ONE)
#undef CLEAR_ONE
}

void cef_browser_settings_copy_strings(const cef_browser_settings_t* src, cef_browser_settings_t* dst) {
  CopyString(src->standard_font_family, &dst->standard_font_family);
  CopyString(src->default_encoding, &dst->default_encoding);
  CopyString(src->accept_language_list, &dst->accept_language_list);
}

void cef_browser_settings_clear_strings(cef_browser_settings_t* s) {
  cef_string_utf16_clear(&s->standard_font_family);
  cef_string_utf16_clear(&s->default_encoding);
  cef_string_utf16_clear(&s->accept_language_list);
}
