// A forgiving reader of the HTML that the platform's pages use: title, visible text, links,
// frames and file inputs, in document order. Scripts and styles are not shown.
#pragma once
#include <string>
#include <vector>

namespace engine {

struct PageItem {
  enum Kind { kText, kLink, kBreak, kFileInput, kFrame };
  Kind kind = kText;
  std::wstring text;       // text, link text, file input title, frame name
  std::wstring href;       // link address as written; frame src
  std::wstring target;     // link target
  bool download = false;   // link has a download attribute
  std::wstring downloadName;
  std::wstring accept;     // file input accept list as written
  bool multiple = false;   // file input allows several files
};

struct HtmlDocument {
  bool hasTitle = false;
  std::wstring title;
  std::wstring baseHref;
  std::vector<PageItem> items;
};

HtmlDocument ParseHtml(const std::wstring& html);
// Body bytes to text: the charset of |contentType|, else a <meta charset>, else UTF-8
// (GBK when the bytes are not valid UTF-8).
std::wstring DecodeBody(const std::string& body, const std::string& contentType);
std::wstring DecodeEntities(const std::wstring& text);

}  // namespace engine
