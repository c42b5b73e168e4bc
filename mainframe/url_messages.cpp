#include "mainframe/url_messages.h"

std::mutex& UrlMessages::Lock() {
    static std::mutex lock;
    return lock;
}

std::set<std::wstring*>& UrlMessages::Live() {
    static std::set<std::wstring*> live;
    return live;
}

WPARAM UrlMessages::Create(const std::wstring& url) {
    auto* copy = new std::wstring(url);
    std::lock_guard<std::mutex> guard(Lock());
    Live().insert(copy);
    return reinterpret_cast<WPARAM>(copy);
}

bool UrlMessages::Take(WPARAM param, std::wstring* url) {
    std::unique_ptr<std::wstring> owned;
    {
        std::lock_guard<std::mutex> guard(Lock());
        auto it = Live().find(reinterpret_cast<std::wstring*>(param));
        if (it == Live().end()) return false;
        owned.reset(*it);
        Live().erase(it);
    }
    if (url) *url = *owned;
    return true;
}
