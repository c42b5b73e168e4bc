// Traces of failures the programs cannot do anything about and would otherwise drop: one line
// each through OutputDebugStringW, which a debugger or a trace viewer shows and which costs
// nothing when nobody listens. Never a file, never read from the environment.
#pragma once
#include <windows.h>

#include <string>

// Every line starts with this, so that a viewer can filter the programs' own lines.
constexpr wchar_t kTracePrefix[] = L"quorvane: ";

// The line for a failed call: "<prefix><what> failed (<code>)", `code` as a decimal number.
inline std::wstring TraceLine(const wchar_t* what, unsigned long code) {
    return std::wstring(kTracePrefix) + (what ? what : L"?") + L" failed (" + std::to_wstring(code) + L")\n";
}

inline void TraceFailure(const wchar_t* what, unsigned long code) { OutputDebugStringW(TraceLine(what, code).c_str()); }

// ShellExecuteW reports failure as a value of 32 or less in place of an instance handle; traces
// that value when it is one.
inline void TraceShellExecute(const wchar_t* what, HINSTANCE result) {
    const INT_PTR value = reinterpret_cast<INT_PTR>(result);
    if (value <= 32) TraceFailure(what, static_cast<unsigned long>(value));
}
