// Address handling for the engine: splitting, resolving relative references, and the file
// name that a Content-Disposition header suggests.
#pragma once
#include <string>

namespace engine {

struct UrlParts {
  std::wstring scheme;  // lower case, without ':'
  std::wstring host;    // lower case
  int port = 0;         // the scheme's default when absent
  std::wstring path;    // from the first '/', query included, fragment dropped; "/" at least
  bool valid = false;
};

UrlParts ParseUrl(const std::wstring& url);
// |reference| resolved against |base| (absolute references are returned as they are, minus
// leading and trailing blanks).
std::wstring ResolveUrl(const std::wstring& base, const std::wstring& reference);
// Scheme of an address ("http", "javascript" ...), lower case; empty when it has none.
std::wstring UrlScheme(const std::wstring& url);
// File name offered for a download: the Content-Disposition filename* or filename, else the
// last path segment of |url|, else "download". Never contains path separators, control or
// bidirectional-formatting characters, leading dots or trailing dots and blanks; a device name
// (CON, NUL ...) gets a "_" in front; at most kMaxFileNameLength characters.
std::wstring SuggestedFileName(const std::string& contentDisposition, const std::wstring& url,
                               const std::wstring& preferred);
constexpr size_t kMaxFileNameLength = 255;
// |name| cut to |room| characters by shortening the part before the extension.
std::wstring FitFileName(const std::wstring& name, size_t room);
bool IsAttachment(const std::string& contentDisposition);
std::wstring PercentDecode(const std::wstring& text, bool utf8);

}  // namespace engine
