// Which module an address belongs to, and whether it is the server's login page.
#pragma once
#include <string>

struct AddressRoute {
    enum Kind { None, LoginPage, Module } kind = None;
    int module = -1;  // 0..5 when kind is Module
};

// The server's login page: the address starts with base + "/login", followed by its end, "?",
// "#" or "/" (letter case counting). Nothing else in an address (a query naming the login
// page, "/login2", another host whose name begins like the server's) makes a page end the
// client.
bool IsServerLoginPage(const std::wstring& base, const std::wstring& url);

// The login page first; otherwise the first module, in a fixed order, whose path appears in
// the address's path after the base (the address starting with the base; query and fragment
// left out), case-sensitive.
AddressRoute RouteAddress(const std::wstring& base, const std::wstring& url);

// Popups are admitted while fewer than this many browsers exist (the first tab included).
constexpr size_t kMaxBrowsers = 10;
inline bool PopupAllowed(size_t liveBrowsers) { return liveBrowsers < kMaxBrowsers; }
