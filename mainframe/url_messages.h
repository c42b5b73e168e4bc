// Addresses handed to the main window by pointer (window message 0x46D). Another process can
// post that message too, with any number in it, so the window only accepts pointers that this
// process created here and has not yet taken back.
#pragma once
#include <windows.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>

class UrlMessages {
public:
    // A message parameter that carries `url`; it stays valid until Take.
    static WPARAM Create(const std::wstring& url);
    // The address for a parameter made by Create (and forgets it), or false for anything else.
    static bool Take(WPARAM param, std::wstring* url);

private:
    static std::mutex& Lock();
    static std::set<std::wstring*>& Live();
};
