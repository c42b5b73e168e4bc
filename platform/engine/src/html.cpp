#include "src/html.h"

#include <windows.h>

#include <cwctype>
#include <map>

#include "src/text.h"

namespace engine {
namespace {

bool IsSpace(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == L'\f'; }

struct Tag {
  std::wstring name;  // lower case
  bool closing = false;
  std::map<std::wstring, std::wstring> attrs;  // names lower case, values decoded
  bool Has(const wchar_t* n) const { return attrs.count(n) != 0; }
  std::wstring Get(const wchar_t* n) const {
    auto it = attrs.find(n);
    return it == attrs.end() ? std::wstring() : it->second;
  }
};

// Parses the tag starting at html[pos] == '<'; returns the position after '>'.
size_t ReadTag(const std::wstring& html, size_t pos, Tag* tag) {
  size_t i = pos + 1;
  if (i < html.size() && html[i] == L'/') {
    tag->closing = true;
    ++i;
  }
  size_t nameStart = i;
  while (i < html.size() && !IsSpace(html[i]) && html[i] != L'>' && html[i] != L'/') ++i;
  tag->name = CrtLower(html.substr(nameStart, i - nameStart));
  while (i < html.size() && html[i] != L'>') {
    if (IsSpace(html[i]) || html[i] == L'/') {
      ++i;
      continue;
    }
    size_t ns = i;
    while (i < html.size() && !IsSpace(html[i]) && html[i] != L'=' && html[i] != L'>' && html[i] != L'/') ++i;
    std::wstring name = CrtLower(html.substr(ns, i - ns));
    while (i < html.size() && IsSpace(html[i])) ++i;
    std::wstring value;
    if (i < html.size() && html[i] == L'=') {
      ++i;
      while (i < html.size() && IsSpace(html[i])) ++i;
      if (i < html.size() && (html[i] == L'"' || html[i] == L'\'')) {
        wchar_t q = html[i++];
        size_t vs = i;
        while (i < html.size() && html[i] != q) ++i;
        value = html.substr(vs, i - vs);
        if (i < html.size()) ++i;
      } else {
        size_t vs = i;
        while (i < html.size() && !IsSpace(html[i]) && html[i] != L'>') ++i;
        value = html.substr(vs, i - vs);
      }
    }
    if (!name.empty() && !tag->attrs.count(name)) tag->attrs[name] = DecodeEntities(value);
  }
  return i < html.size() ? i + 1 : html.size();
}

// Position of "</name" (any letter case) at or after |from|; html.size() when absent.
size_t FindCloseTag(const std::wstring& html, size_t from, const std::wstring& name) {
  for (size_t p = html.find(L"</", from); p != std::wstring::npos; p = html.find(L"</", p + 2)) {
    if (p + 2 + name.size() > html.size()) break;
    bool same = true;
    for (size_t k = 0; k < name.size() && same; ++k) same = std::towlower(html[p + 2 + k]) == name[k];
    if (same) return p;
  }
  return html.size();
}

bool IsBlock(const std::wstring& n) {
  static const wchar_t* kBlocks[] = {L"p", L"div", L"br", L"h1", L"h2", L"h3", L"h4", L"h5", L"h6", L"li", L"tr",
                                     L"table", L"ul", L"ol", L"section", L"header", L"footer", L"form", L"hr",
                                     L"article", L"nav", L"main", L"aside", L"pre", L"blockquote", L"dl", L"dt",
                                     L"dd", L"fieldset", L"body", L"center", L"address"};
  for (auto b : kBlocks) {
    if (n == b) return true;
  }
  return false;
}

class Builder {
 public:
  explicit Builder(HtmlDocument* doc) : doc_(doc) {}

  void Text(const std::wstring& raw) {
    std::wstring decoded = DecodeEntities(raw);
    for (wchar_t c : decoded) {
      if (IsSpace(c) || c == 0xA0) {
        pendingSpace_ = true;
        continue;
      }
      if (pendingSpace_ && !current_.empty()) current_.push_back(L' ');
      pendingSpace_ = false;
      current_.push_back(c);
    }
  }

  void Break() {
    Flush();
    if (!doc_->items.empty() && doc_->items.back().kind != PageItem::kBreak) {
      PageItem br;
      br.kind = PageItem::kBreak;
      doc_->items.push_back(br);
    }
  }

  void StartLink(const Tag& tag) {
    Flush();
    inLink_ = true;
    link_ = PageItem();
    link_.kind = PageItem::kLink;
    link_.href = tag.Get(L"href");
    link_.target = tag.Get(L"target");
    link_.download = tag.Has(L"download");
    link_.downloadName = tag.Get(L"download");
  }

  void EndLink() {
    if (!inLink_) return;
    inLink_ = false;
    link_.text = current_;
    current_.clear();
    pendingSpace_ = false;
    if (link_.text.empty()) link_.text = link_.href.empty() ? L"[link]" : link_.href;
    doc_->items.push_back(link_);
    pendingSpace_ = true;
  }

  void Add(const PageItem& item) {
    Flush();
    doc_->items.push_back(item);
  }

  void Finish() {
    EndLink();
    Flush();
    while (!doc_->items.empty() && doc_->items.back().kind == PageItem::kBreak) doc_->items.pop_back();
  }

  bool inLink() const { return inLink_; }

 private:
  void Flush() {
    if (inLink_) return;  // link text collects until </a>
    if (current_.empty()) return;
    PageItem t;
    t.kind = PageItem::kText;
    t.text = current_;
    doc_->items.push_back(t);
    current_.clear();
  }

  HtmlDocument* doc_;
  std::wstring current_;
  bool pendingSpace_ = false;
  bool inLink_ = false;
  PageItem link_;
};

std::wstring CollapseSpaces(const std::wstring& s) {
  std::wstring out;
  bool space = false;
  for (wchar_t c : s) {
    if (IsSpace(c) || c == 0xA0) {
      space = !out.empty();
      continue;
    }
    if (space) out.push_back(L' ');
    space = false;
    out.push_back(c);
  }
  return out;
}

}  // namespace

std::wstring DecodeEntities(const std::wstring& text) {
  if (text.find(L'&') == std::wstring::npos) return text;
  static const std::map<std::wstring, wchar_t> kNamed = {
      {L"amp", L'&'}, {L"lt", L'<'}, {L"gt", L'>'}, {L"quot", L'"'}, {L"apos", L'\''}, {L"nbsp", 0xA0},
      {L"copy", 0xA9}, {L"reg", 0xAE}, {L"middot", 0xB7}, {L"laquo", 0xAB}, {L"raquo", 0xBB}, {L"hellip", 0x2026},
      {L"mdash", 0x2014}, {L"ndash", 0x2013}, {L"times", 0xD7}, {L"yen", 0xA5}};
  std::wstring out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != L'&') {
      out.push_back(text[i]);
      continue;
    }
    size_t semi = text.find(L';', i);
    if (semi == std::wstring::npos || semi - i > 10) {
      out.push_back(text[i]);
      continue;
    }
    std::wstring name = text.substr(i + 1, semi - i - 1);
    unsigned long code = 0;
    bool ok = false;
    if (name.size() > 1 && name[0] == L'#') {
      wchar_t* end = nullptr;
      bool hex = name[1] == L'x' || name[1] == L'X';
      std::wstring digits = name.substr(hex ? 2 : 1);
      if (!digits.empty()) {
        code = std::wcstoul(digits.c_str(), &end, hex ? 16 : 10);
        ok = end && *end == 0 && code > 0 && code <= 0x10FFFF && !(code >= 0xD800 && code <= 0xDFFF);
      }
    } else {
      auto it = kNamed.find(name);
      if (it != kNamed.end()) {
        code = it->second;
        ok = true;
      }
    }
    if (!ok) {
      out.push_back(text[i]);
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<wchar_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<wchar_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<wchar_t>(code));
    }
    i = semi;
  }
  return out;
}

HtmlDocument ParseHtml(const std::wstring& html) {
  HtmlDocument doc;
  Builder b(&doc);
  int hidden = 0;  // depth inside <head> (its text is not shown)
  size_t i = 0;
  while (i < html.size()) {
    if (html[i] != L'<') {
      size_t next = html.find(L'<', i);
      if (next == std::wstring::npos) next = html.size();
      if (hidden == 0) b.Text(html.substr(i, next - i));
      i = next;
      continue;
    }
    if (html.compare(i, 4, L"<!--") == 0) {
      size_t end = html.find(L"-->", i + 4);
      i = end == std::wstring::npos ? html.size() : end + 3;
      continue;
    }
    if (i + 1 < html.size() && (html[i + 1] == L'!' || html[i + 1] == L'?')) {
      size_t end = html.find(L'>', i);
      i = end == std::wstring::npos ? html.size() : end + 1;
      continue;
    }
    if (i + 1 >= html.size() || !(std::iswalpha(html[i + 1]) || html[i + 1] == L'/')) {
      if (hidden == 0) b.Text(L"<");  // a lone '<' is text
      ++i;
      continue;
    }
    Tag tag;
    i = ReadTag(html, i, &tag);
    const std::wstring& n = tag.name;
    if (!tag.closing && (n == L"script" || n == L"style" || n == L"title" || n == L"textarea" || n == L"noscript")) {
      size_t end = FindCloseTag(html, i, n);
      std::wstring content = html.substr(i, end - i);
      size_t gt = end < html.size() ? html.find(L'>', end) : std::wstring::npos;
      i = gt == std::wstring::npos ? html.size() : gt + 1;
      if (n == L"title" && !doc.hasTitle) {
        doc.hasTitle = true;
        doc.title = CollapseSpaces(DecodeEntities(content));
      } else if (n == L"textarea" && hidden == 0) {
        b.Text(content);
      }
      continue;
    }
    if (n == L"head") {
      hidden += tag.closing ? (hidden > 0 ? -1 : 0) : 1;
      continue;
    }
    if (n == L"body" && !tag.closing) hidden = 0;  // a missing </head>
    if (n == L"base" && !tag.closing && doc.baseHref.empty()) doc.baseHref = tag.Get(L"href");
    if (hidden > 0) continue;
    if (n == L"a") {
      if (tag.closing) {
        b.EndLink();
      } else {
        b.EndLink();  // an unclosed link ends where the next one starts
        b.StartLink(tag);
      }
      continue;
    }
    if (n == L"iframe" || n == L"frame") {
      if (tag.closing) continue;
      b.EndLink();
      PageItem f;
      f.kind = PageItem::kFrame;
      f.href = tag.Get(L"src");
      f.text = tag.Get(L"name");
      b.Break();
      b.Add(f);
      b.Break();
      if (n == L"iframe") {  // fallback content is not shown
        size_t close = FindCloseTag(html, i, L"iframe");
        if (close != html.size()) {
          size_t gt = html.find(L'>', close);
          i = gt == std::wstring::npos ? html.size() : gt + 1;
        }
      }
      continue;
    }
    if (n == L"input" && !tag.closing) {
      std::wstring type = CrtLower(tag.Get(L"type"));
      if (type == L"file") {
        PageItem f;
        f.kind = PageItem::kFileInput;
        f.accept = tag.Get(L"accept");
        f.multiple = tag.Has(L"multiple");
        f.text = tag.Get(L"title");
        b.Add(f);
      } else if (type == L"button" || type == L"submit" || type == L"reset") {
        b.Text(L" [" + tag.Get(L"value") + L"] ");
      } else if (type != L"hidden") {
        b.Text(L" [" + tag.Get(L"value") + L"] ");
      }
      continue;
    }
    if (n == L"img" && !tag.closing) {
      std::wstring alt = tag.Get(L"alt");
      if (!alt.empty()) b.Text(L" " + alt + L" ");
      continue;
    }
    if (n == L"td" || n == L"th") {
      b.Text(L" ");
      continue;
    }
    if (IsBlock(n)) b.Break();
  }
  b.Finish();
  return doc;
}

namespace {

std::string CharsetOf(const std::string& text) {
  std::string lower = AsciiLower(text);
  size_t p = lower.find("charset");
  if (p == std::string::npos) return std::string();
  p = lower.find_first_not_of(" \t", p + 7);
  if (p == std::string::npos || lower[p] != '=') return std::string();
  p = lower.find_first_not_of(" \t\"'", p + 1);
  if (p == std::string::npos) return std::string();
  size_t e = lower.find_first_of(" \t\"';>/", p);
  return lower.substr(p, e == std::string::npos ? std::string::npos : e - p);
}

std::wstring Convert(const std::string& body, UINT cp, DWORD flags) {
  if (body.empty()) return std::wstring();
  int n = MultiByteToWideChar(cp, flags, body.data(), static_cast<int>(body.size()), nullptr, 0);
  if (n <= 0) return std::wstring();
  std::wstring out(n, L'\0');
  MultiByteToWideChar(cp, flags, body.data(), static_cast<int>(body.size()), &out[0], n);
  return out;
}

}  // namespace

std::wstring DecodeBody(const std::string& bodyIn, const std::string& contentType) {
  std::string body = bodyIn;
  if (body.size() >= 3 && body.compare(0, 3, "\xEF\xBB\xBF") == 0) body.erase(0, 3);
  std::string charset = CharsetOf(contentType);
  if (charset.empty()) {
    size_t head = std::min<size_t>(body.size(), 2048);
    std::string start = AsciiLower(body.substr(0, head));
    size_t meta = start.find("<meta");
    while (meta != std::string::npos && charset.empty()) {
      size_t end = start.find('>', meta);
      charset = CharsetOf(start.substr(meta, end == std::string::npos ? std::string::npos : end - meta));
      meta = start.find("<meta", meta + 5);
    }
  }
  if (charset == "gbk" || charset == "gb2312" || charset == "gb18030" || charset == "x-gbk") {
    return Convert(body, 936, 0);
  }
  if (charset.empty() || charset == "utf-8" || charset == "utf8") {
    std::wstring strict = Convert(body, CP_UTF8, MB_ERR_INVALID_CHARS);
    if (!strict.empty() || body.empty()) return strict;
    if (charset.empty()) return Convert(body, 936, 0);
    return Convert(body, CP_UTF8, 0);
  }
  if (charset == "iso-8859-1" || charset == "latin1" || charset == "us-ascii" || charset == "windows-1252") {
    return Convert(body, 1252, 0);
  }
  return Convert(body, CP_UTF8, 0);
}

}  // namespace engine
