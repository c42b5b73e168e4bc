#include "browser/address_routing.h"

namespace {

bool StartsWith(const std::wstring& text, const std::wstring& prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

bool IsServerLoginPage(const std::wstring& base, const std::wstring& url) {
    const std::wstring login = base + L"/login";
    if (base.empty() || !StartsWith(url, login)) return false;
    if (url.size() == login.size()) return true;
    const wchar_t next = url[login.size()];
    return next == L'?' || next == L'#' || next == L'/';
}

AddressRoute RouteAddress(const std::wstring& base, const std::wstring& url) {
    // One route a line.
    // clang-format off
    static const struct {
        const wchar_t* path;
        int module;
    } kModules[] = {
        {L"/dashboard", 0},
        {L"/crm/iframe", 1},
        {L"/oa/commercial-manager/index", 2},
        {L"/work/customer/index", 3},
        {L"/sys/employee/index", 4},
        {L"/user/space/index", 5},
    };
    // clang-format on
    if (IsServerLoginPage(base, url)) return AddressRoute{AddressRoute::LoginPage, -1};
    // Only the address's own path counts: a query or fragment is the page's to fill.
    const std::wstring path = url.substr(0, url.find_first_of(L"?#"));
    if (base.empty() || !StartsWith(path, base)) return AddressRoute{};
    // "http://server.other.host/dashboard" is not the server's.
    if (path.size() > base.size() && base.back() != L'/' && path[base.size()] != L'/') return AddressRoute{};
    for (const auto& route : kModules) {
        if (path.find(route.path, base.size()) != std::wstring::npos)
            return AddressRoute{AddressRoute::Module, route.module};
    }
    return AddressRoute{};
}
