#include "browser/switch_policy.h"

#include <windows.h>
#include <shellapi.h>

namespace {

const wchar_t* const kRefusedSwitches[] = {
    L"browser-subprocess-path",
    L"renderer-cmd-prefix",
    L"gpu-launcher",
    L"utility-cmd-prefix",
    L"ppapi-plugin-launcher",
    L"plugin-launcher",
    L"nacl-gdb",
    L"load-extension",
    L"disable-extensions-except",
    L"register-pepper-plugins",
    L"remote-debugging-port",
    L"remote-debugging-pipe",
};

bool IsSwitch(const std::wstring& argument) {
    return argument.size() > 1 && (argument[0] == L'-' || argument[0] == L'/');
}

}  // namespace

std::wstring SwitchName(const std::wstring& argument) {
    size_t start = 0;
    if (argument.compare(0, 2, L"--") == 0) {
        start = 2;
    } else if (!argument.empty() && (argument[0] == L'-' || argument[0] == L'/')) {
        start = 1;
    }
    std::wstring name = argument.substr(
        start, argument.find(L'=') == std::wstring::npos ? std::wstring::npos : argument.find(L'=') - start);
    for (wchar_t& c : name) {
        if (c >= L'A' && c <= L'Z') c = static_cast<wchar_t>(c - L'A' + L'a');
    }
    return name;
}

std::wstring FindRefusedSwitch(const std::vector<std::wstring>& arguments) {
    for (const std::wstring& argument : arguments) {
        if (argument == L"--") break;
        if (!IsSwitch(argument)) continue;
        const std::wstring name = SwitchName(argument);
        for (const wchar_t* refused : kRefusedSwitches) {
            if (name == refused) return refused;
        }
    }
    return std::wstring();
}

std::wstring FindRefusedSwitchInCommandLine(const wchar_t* commandLine) {
    if (!commandLine || !*commandLine) return std::wstring();
    int count = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine, &count);
    if (!argv) return std::wstring();
    std::vector<std::wstring> arguments;
    for (int i = 1; i < count; ++i) arguments.emplace_back(argv[i]);
    LocalFree(argv);
    return FindRefusedSwitch(arguments);
}
