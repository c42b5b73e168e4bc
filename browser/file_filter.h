// Where downloads go and which files the open-file dialog offers.
#pragma once
#include <string>
#include <vector>

// The longest full path the client hands out for a download (MAX_PATH less its terminator).
constexpr size_t kMaxDownloadPath = 259;

// A name that is safe as one file name in one folder, whatever the engine suggests: the last
// part after "/" or "\", without control or bidirectional-formatting characters (controls and
// the characters Windows forbids in names become "_"), without leading dots or blanks and
// without trailing dots or blanks; a reserved device name (CON, NUL, COM1 ...) gets a "_" in
// front. "download" when nothing is left. A plain name comes back unchanged.
std::wstring SafeDownloadName(const std::wstring& suggestedName);

// documents + "\" + the safe name, with ".zip" added when the name has no dot at all. When the
// whole would not fit kMaxDownloadPath (or the name 255 characters), the stem is shortened and
// the extension kept.
std::wstring DownloadTarget(const std::wstring& documentsFolder, const std::wstring& suggestedName);

// Only "open one file" and "open several files", each with the overwrite-prompt and
// hide-read-only flags, get the client's own dialog.
bool HandlesFileDialogMode(int mode);
bool IsMultipleFileMode(int mode);

// The open-file dialog's filter (pairs of NUL-terminated strings, ended by a second NUL):
// 自定义文件(.a,.b) / *.a;*.b, then 所有文件 / *.*. MIME types the table knows become their
// extension, "type/*" every extension of that type in the table, an extension gets a dot in
// front when missing; repeats, unknown MIME types and texts no pattern can hold are left out.
// With no usable type at all the filter is 所有文件(*.*) / *.* alone. The whole filter stays
// within 500 characters: extensions that would not fit are left out.
std::wstring BuildOpenFileFilter(const std::vector<std::wstring>& acceptFilters);

// The paths in an open-file dialog's result buffer of `size` characters: one full path, or (with
// several files chosen) the folder followed by each name, NUL-separated and ended by two NULs.
std::vector<std::wstring> ChosenFiles(const wchar_t* buffer, size_t size);
