#include "browser/address_routing.h"

AddressRoute RouteAddress(const std::wstring& base, const std::wstring& url) {
    static const struct {
        const wchar_t* path;
        AddressRoute::Kind kind;
        int module;
    } kRoutes[] = {
        {L"/login", AddressRoute::LoginPage, -1},
        {L"/dashboard", AddressRoute::Module, 0},
        {L"/crm/iframe", AddressRoute::Module, 1},
        {L"/oa/commercial-manager/index", AddressRoute::Module, 2},
        {L"/work/customer/index", AddressRoute::Module, 3},
        {L"/sys/employee/index", AddressRoute::Module, 4},
        {L"/user/space/index", AddressRoute::Module, 5},
    };
    for (const auto& route : kRoutes) {
        if (url.find(base + route.path) != std::wstring::npos) return AddressRoute{route.kind, route.module};
    }
    return AddressRoute{};
}
