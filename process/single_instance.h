// The single-instance rule: one named mutex per session, held by the running client.
#pragma once
#include <windows.h>

class SingleInstance {
public:
    // True when this process now holds the name; false when another instance has it (the
    // handle obtained is closed again then).
    static bool Acquire();
    // Gives the name up, so that a new instance started right now is not turned away.
    static void Release();
    // Restores (or shows) the other instance's window and brings it forward; false when no
    // window with the client's title exists yet.
    static bool BringOtherForward();
};
