// Window handles written as numbers between the two programs. A handle is 32-bit significant on
// 64-bit Windows as well, so it travels as a signed 32-bit decimal and is sign-extended when read
// back: the same text names the same window in a 32-bit and a 64-bit process.
#pragma once
#include <windows.h>

#include <cstdint>

inline int32_t HandleNumber(HWND window) {
    return static_cast<int32_t>(static_cast<uint32_t>(reinterpret_cast<uintptr_t>(window)));
}

// `number` as written by HandleNumber, or its unsigned 32-bit reading (0..0xFFFFFFFF).
inline HWND WindowFromHandleNumber(int64_t number) {
    const int32_t low = static_cast<int32_t>(static_cast<uint32_t>(number));
    return reinterpret_cast<HWND>(static_cast<intptr_t>(low));
}
