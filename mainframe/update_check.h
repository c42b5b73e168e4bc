// What the client tells the updater at every start: where to ask, with which header and body.
#pragma once
#include <windows.h>

#include <string>

// MD5 (lowercase hex) of "velmarix3071" followed by the date as YYYYMMDD.
std::wstring AcceptPointFor(const SYSTEMTIME& localDate);
std::wstring AcceptPointForToday();

// "%d.%d.%d.%d" of the product version in the module's version resource; "" without one.
std::wstring GetProductVersion(HINSTANCE module);

// The updater's command line: one JSON document without blanks, its values escaped as JSON strings.
std::wstring UpdaterCommandLine(HWND mainWindow, const std::wstring& serverBaseUrl, const std::wstring& acceptPoint,
                                const std::wstring& productVersion);
