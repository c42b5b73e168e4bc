// Scripts that other programs may ask the main window to run in the first tab's page
// (window message 0x472), at most one request per second.
#pragma once
#include <windows.h>

namespace page_script {

// Clicks the first button of class "ant-btn" whose text without blanks is 申报.
extern const wchar_t kClickDeclareButton[];
// Clicks the first element of class "ant-checkbox".
extern const wchar_t kClickFirstCheckbox[];

// The script for a request (3 or 4), or nullptr for any other value.
const wchar_t* ScriptFor(WPARAM request);

// One request per second. Counts on the 64-bit tick count, so the wrap of the 32-bit count
// every 49.7 days cannot lock the window out.
class Throttle {
public:
    // True, and the next second reserved, when a request may run at `now` (milliseconds).
    bool Admit(ULONGLONG now) {
        if (now <= deadline_) return false;
        deadline_ = now + 1000;
        return true;
    }

private:
    ULONGLONG deadline_ = 0;
};

}  // namespace page_script
