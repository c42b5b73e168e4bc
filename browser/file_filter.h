// Where downloads go and which files the open-file dialog offers.
#pragma once
#include <string>
#include <vector>

// documents + "\" + suggested name, with ".zip" added when the name has no dot at all.
std::wstring DownloadTarget(const std::wstring& documentsFolder, const std::wstring& suggestedName);

// Only "open one file" and "open several files", each with the overwrite-prompt and
// hide-read-only flags, get the client's own dialog.
bool HandlesFileDialogMode(int mode);

// The open-file dialog's filter (pairs of NUL-terminated strings, ended by a second NUL):
// 自定义文件(.a,.b) / *.a;*.b, then 所有文件 / *.*. MIME types the table knows become their
// extension, anything else is taken verbatim; a dot is put in front when missing; repeats are
// skipped. The whole filter stays within 500 characters: extensions that would not fit are
// left out.
std::wstring BuildOpenFileFilter(const std::vector<std::wstring>& acceptFilters);
