#include "src/url.h"

#include <windows.h>

#include <algorithm>
#include <cwctype>
#include <vector>

#include "src/text.h"

namespace engine {
namespace {

// Removes "." and ".." segments of an absolute path (query kept apart).
std::wstring RemoveDotSegments(const std::wstring& path) {
  std::vector<std::wstring> out;
  size_t i = 0;
  bool trailingSlash = false;
  while (i <= path.size()) {
    size_t j = path.find(L'/', i);
    if (j == std::wstring::npos) j = path.size();
    std::wstring seg = path.substr(i, j - i);
    trailingSlash = false;
    if (seg == L".") {
      trailingSlash = true;
    } else if (seg == L"..") {
      if (!out.empty()) out.pop_back();
      trailingSlash = true;
    } else if (!(seg.empty() && i == 0)) {
      out.push_back(seg);
    }
    i = j + 1;
  }
  std::wstring result;
  for (size_t k = 0; k < out.size(); ++k) result += L"/" + out[k];
  if (trailingSlash || result.empty()) result += L"/";
  return result;
}

int DefaultPort(const std::wstring& scheme) {
  if (scheme == L"https") return 443;
  if (scheme == L"http") return 80;
  if (scheme == L"ftp") return 21;
  return 0;
}

}  // namespace

std::wstring UrlScheme(const std::wstring& url) {
  std::wstring u = Trim(url);
  size_t colon = u.find(L':');
  if (colon == std::wstring::npos || colon == 0) return std::wstring();
  if (!std::iswalpha(u[0])) return std::wstring();
  for (size_t i = 0; i < colon; ++i) {
    wchar_t c = u[i];
    if (!(std::iswalnum(c) || c == L'+' || c == L'-' || c == L'.') || c > 0x7F) return std::wstring();
  }
  return CrtLower(u.substr(0, colon));
}

UrlParts ParseUrl(const std::wstring& input) {
  UrlParts parts;
  std::wstring url = Trim(input);
  parts.scheme = UrlScheme(url);
  if (parts.scheme.empty()) return parts;
  size_t rest = parts.scheme.size() + 1;
  if (url.compare(rest, 2, L"//") != 0) return parts;
  rest += 2;
  size_t end = url.find_first_of(L"/?#", rest);
  std::wstring authority = url.substr(rest, end == std::wstring::npos ? std::wstring::npos : end - rest);
  size_t at = authority.rfind(L'@');
  if (at != std::wstring::npos) authority = authority.substr(at + 1);
  std::wstring host = authority;
  parts.port = DefaultPort(parts.scheme);
  size_t colon = authority.rfind(L':');
  size_t bracket = authority.rfind(L']');
  if (colon != std::wstring::npos && (bracket == std::wstring::npos || colon > bracket)) {
    host = authority.substr(0, colon);
    std::wstring portText = authority.substr(colon + 1);
    if (!portText.empty()) {
      if (portText.size() > 5 || portText.find_first_not_of(L"0123456789") != std::wstring::npos) return parts;
      int port = std::stoi(portText);
      if (port <= 0 || port > 65535) return parts;
      parts.port = port;
    }
  }
  if (host.empty()) return parts;
  parts.host = CrtLower(host);
  std::wstring path = end == std::wstring::npos ? std::wstring() : url.substr(end);
  size_t hash = path.find(L'#');
  if (hash != std::wstring::npos) path.erase(hash);
  if (path.empty() || path[0] != L'/') path = L"/" + path;
  parts.path = path;
  parts.valid = true;
  return parts;
}

std::wstring ResolveUrl(const std::wstring& baseIn, const std::wstring& referenceIn) {
  std::wstring ref = Trim(referenceIn);
  std::wstring base = Trim(baseIn);
  if (!UrlScheme(ref).empty()) return ref;
  std::wstring scheme = UrlScheme(base);
  if (scheme.empty()) return ref;
  size_t hashPos = base.find(L'#');
  std::wstring baseNoFrag = hashPos == std::wstring::npos ? base : base.substr(0, hashPos);
  if (ref.empty()) return baseNoFrag;
  if (ref[0] == L'#') return baseNoFrag + ref;
  if (ref.compare(0, 2, L"//") == 0) return scheme + L":" + ref;

  size_t authStart = scheme.size() + 1;
  if (baseNoFrag.compare(authStart, 2, L"//") != 0) return ref;  // opaque base such as about:blank
  size_t pathStart = baseNoFrag.find_first_of(L"/?", authStart + 2);
  std::wstring origin = pathStart == std::wstring::npos ? baseNoFrag : baseNoFrag.substr(0, pathStart);
  std::wstring basePath = pathStart == std::wstring::npos ? L"/" : baseNoFrag.substr(pathStart);
  size_t q = basePath.find(L'?');
  std::wstring baseQueryless = q == std::wstring::npos ? basePath : basePath.substr(0, q);
  if (baseQueryless.empty()) baseQueryless = L"/";

  if (ref[0] == L'?') return origin + baseQueryless + ref;

  std::wstring refPath = ref, refQuery;
  size_t rq = ref.find_first_of(L"?#");
  if (rq != std::wstring::npos) {
    refPath = ref.substr(0, rq);
    refQuery = ref.substr(rq);
  }
  std::wstring merged;
  if (refPath[0] == L'/') {
    merged = refPath;
  } else {
    size_t slash = baseQueryless.rfind(L'/');
    merged = baseQueryless.substr(0, slash + 1) + refPath;
  }
  return origin + RemoveDotSegments(merged) + refQuery;
}

std::wstring PercentDecode(const std::wstring& text, bool utf8) {
  std::string bytes;
  for (size_t i = 0; i < text.size(); ++i) {
    wchar_t c = text[i];
    if (c == L'%' && i + 2 < text.size() + 0 && std::iswxdigit(text[i + 1]) && std::iswxdigit(text[i + 2])) {
      bytes.push_back(static_cast<char>(std::stoi(text.substr(i + 1, 2), nullptr, 16)));
      i += 2;
    } else if (c < 0x80) {
      bytes.push_back(static_cast<char>(c));
    } else {
      // Not plain ASCII: keep the character as UTF-8 so the whole can be decoded at once.
      char buf[8];
      int n = WideCharToMultiByte(CP_UTF8, 0, &c, 1, buf, sizeof buf, nullptr, nullptr);
      bytes.append(buf, n > 0 ? n : 0);
    }
  }
  UINT cp = utf8 ? CP_UTF8 : 936;
  int n = MultiByteToWideChar(cp, utf8 ? MB_ERR_INVALID_CHARS : 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0 && utf8) {
    cp = 936;
    n = MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  }
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
  return out;
}

bool IsAttachment(const std::string& cd) {
  size_t b = cd.find_first_not_of(" \t");
  if (b == std::string::npos) return false;
  std::string type = cd.substr(b, cd.find(';', b) == std::string::npos ? std::string::npos : cd.find(';', b) - b);
  while (!type.empty() && (type.back() == ' ' || type.back() == '\t')) type.pop_back();
  return AsciiLower(type) == "attachment";
}

namespace {

std::wstring BytesToWide(const std::string& bytes) {
  int n = MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  UINT cp = CP_UTF8;
  if (n <= 0) {
    cp = 936;  // servers of this region send GBK names
    n = MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  }
  std::wstring out(n > 0 ? n : 0, L'\0');
  if (n > 0) MultiByteToWideChar(cp, 0, bytes.data(), static_cast<int>(bytes.size()), &out[0], n);
  return out;
}

// Value of a parameter of a header such as Content-Disposition (quotes removed).
bool HeaderParam(const std::string& header, const std::string& name, std::string* value) {
  size_t pos = 0;
  while ((pos = header.find(';', pos)) != std::string::npos) {
    ++pos;
    size_t b = header.find_first_not_of(" \t", pos);
    if (b == std::string::npos) return false;
    size_t eq = header.find('=', b);
    if (eq == std::string::npos) return false;
    std::string key = header.substr(b, eq - b);
    while (!key.empty() && (key.back() == ' ' || key.back() == '\t')) key.pop_back();
    key = AsciiLower(key);
    size_t v = header.find_first_not_of(" \t", eq + 1);
    std::string val;
    if (v != std::string::npos && header[v] == '"') {
      size_t i = v + 1;
      for (; i < header.size() && header[i] != '"'; ++i) {
        // Only \" and \\ are escapes, as browsers read them: a backslash before anything else
        // stays, so "..\..\evil.exe" still shows its path separators to the name check.
        if (header[i] == '\\' && i + 1 < header.size() && (header[i + 1] == '"' || header[i + 1] == '\\')) ++i;
        val.push_back(header[i]);
      }
      pos = i;
    } else if (v != std::string::npos) {
      size_t e = header.find(';', v);
      val = header.substr(v, e == std::string::npos ? std::string::npos : e - v);
      while (!val.empty() && (val.back() == ' ' || val.back() == '\t')) val.pop_back();
      pos = v;
    }
    if (key == name) {
      *value = val;
      return true;
    }
  }
  return false;
}

// Characters that change the order in which a name is displayed.
bool IsBidiFormatting(wchar_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069);
}

bool IsDeviceName(std::wstring stem) {
  while (!stem.empty() && stem.back() == L' ') stem.pop_back();
  for (auto& c : stem) c = static_cast<wchar_t>(std::towupper(c));
  if (stem == L"CON" || stem == L"PRN" || stem == L"AUX" || stem == L"NUL" || stem == L"CONIN$" ||
      stem == L"CONOUT$" || stem == L"CLOCK$")
    return true;
  return stem.size() == 4 && (stem.compare(0, 3, L"COM") == 0 || stem.compare(0, 3, L"LPT") == 0) &&
         ((stem[3] >= L'1' && stem[3] <= L'9') || stem[3] == 0xB9 || stem[3] == 0xB2 || stem[3] == 0xB3);
}

std::wstring SanitizeFileName(std::wstring name) {
  size_t slash = name.find_last_of(L"/\\");
  if (slash != std::wstring::npos) name = name.substr(slash + 1);
  std::wstring out;
  for (wchar_t c : name) {
    if (IsBidiFormatting(c)) continue;
    if (c < 0x20 || c == 0x7F || wcschr(L"<>:\"|?*", c)) {
      out.push_back(L'_');
    } else {
      out.push_back(c);
    }
  }
  // No leading dots (hidden or relative names) and no trailing dots or blanks (dropped by Windows).
  size_t b = out.find_first_not_of(L". ");
  if (b == std::wstring::npos) return std::wstring();
  out = out.substr(b, out.find_last_not_of(L". ") - b + 1);
  if (IsDeviceName(out.substr(0, out.find(L'.')))) out = L"_" + out;
  return FitFileName(out, kMaxFileNameLength);
}

}  // namespace

std::wstring FitFileName(const std::wstring& name, size_t room) {
  if (name.size() <= room || room == 0) return name;
  size_t dot = name.rfind(L'.');
  std::wstring ext = dot == std::wstring::npos || dot == 0 ? std::wstring() : name.substr(dot);
  if (ext.size() + 1 > room) ext.clear();
  size_t keep = room - ext.size();
  if (keep > 0 && name[keep - 1] >= 0xD800 && name[keep - 1] <= 0xDBFF) --keep;  // whole pairs only
  std::wstring stem = name.substr(0, keep);
  while (!stem.empty() && (stem.back() == L' ' || stem.back() == L'.')) stem.pop_back();
  if (stem.empty()) stem = std::wstring(L"download").substr(0, std::max<size_t>(1, room - ext.size()));
  return stem + ext;
}

std::wstring SuggestedFileName(const std::string& cd, const std::wstring& url, const std::wstring& preferred) {
  std::wstring name = SanitizeFileName(preferred);
  std::string value;
  if (name.empty() && HeaderParam(cd, "filename*", &value)) {
    // RFC 5987: charset'language'percent-encoded
    size_t q1 = value.find('\'');
    size_t q2 = q1 == std::string::npos ? std::string::npos : value.find('\'', q1 + 1);
    if (q2 != std::string::npos) {
      std::string charset = AsciiLower(value.substr(0, q1));
      std::wstring encoded = BytesToWide(value.substr(q2 + 1));
      name = SanitizeFileName(PercentDecode(encoded, charset != "gbk" && charset != "gb2312" && charset != "gb18030"));
    }
  }
  if (name.empty() && HeaderParam(cd, "filename", &value)) {
    std::wstring raw = BytesToWide(value);
    name = SanitizeFileName(raw.find(L'%') != std::wstring::npos ? PercentDecode(raw, true) : raw);
  }
  if (name.empty()) {
    UrlParts parts = ParseUrl(url);
    std::wstring path = parts.path;
    size_t q = path.find(L'?');
    if (q != std::wstring::npos) path.erase(q);
    size_t slash = path.rfind(L'/');
    if (slash != std::wstring::npos) name = SanitizeFileName(PercentDecode(path.substr(slash + 1), true));
  }
  if (name.empty()) name = L"download";
  return name;
}

}  // namespace engine
