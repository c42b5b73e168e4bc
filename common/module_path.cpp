#include "common/module_path.h"

#include <vector>

std::wstring ModuleFileName(HMODULE module, DWORD step) {
    if (step == 0) step = 500;
    std::vector<wchar_t> buffer(step);
    // Paths stop at 32767 characters; past that something is wrong, not long.
    while (buffer.size() <= 32768 + step) {
        SetLastError(ERROR_SUCCESS);
        const DWORD size = static_cast<DWORD>(buffer.size());
        const DWORD length = GetModuleFileNameW(module, buffer.data(), size);
        if (length == 0 && GetLastError() != ERROR_INSUFFICIENT_BUFFER) return std::wstring();
        // A path that fills the buffer to the end was cut short (error 122).
        if (length != 0 && length < size) return std::wstring(buffer.data(), length);
        buffer.resize(buffer.size() + step);
    }
    return std::wstring();
}
