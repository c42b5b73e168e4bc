// The single-instance rule: one named mutex per session, held by the running client.
#pragma once
#include <windows.h>

#include <string>

class SingleInstance {
public:
    // True when this process now holds the name; false when another instance has it (the
    // handle obtained is closed again then).
    static bool Acquire();
    // Gives the name up, so that a new instance started right now is not turned away. Called
    // only when this process is about to end.
    static void Release();
    // Restores (or shows) the other instance's window and brings it forward; false when no
    // window with the client's title belongs to a process running this same program file.
    static bool BringOtherForward();
    // The first top-level window with the client's title whose process runs this program file
    // (full image paths compared, letter case ignored), or nullptr.
    static HWND FindOtherWindow();
    static bool SameProgramFile(const std::wstring& a, const std::wstring& b);
};
