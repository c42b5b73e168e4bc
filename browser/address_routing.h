// Which module an address belongs to, and whether it is the server's login page.
#pragma once
#include <string>

struct AddressRoute {
    enum Kind { None, LoginPage, Module } kind = None;
    int module = -1;  // 0..5 when kind is Module
};

// Tests, in a fixed order, whether `url` contains base + path anywhere (plain, case-sensitive
// substring search of the whole address); the first match decides.
AddressRoute RouteAddress(const std::wstring& base, const std::wstring& url);

// Popups are admitted while fewer than this many browsers exist (the first tab included).
constexpr size_t kMaxBrowsers = 10;
inline bool PopupAllowed(size_t liveBrowsers) { return liveBrowsers < kMaxBrowsers; }
