// The main window's title, shared with the login dialog; a second instance looks for it.
#pragma once

constexpr wchar_t kClientTitle[] = L"\x9752\x6749\x5de5\x4f5c\x53f0\x5ba2\x6237\x7aef";  // 青杉工作台客户端
