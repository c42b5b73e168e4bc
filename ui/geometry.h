// Where browser windows go inside the main window, and the DPI range of skinned windows.
#pragma once
#include <windows.h>

namespace geometry {

// Skinned windows keep their DPI within 96..200.
inline int ClampDpi(int dpi) { return dpi < 96 ? 96 : dpi > 200 ? 200 : dpi; }

// Top of the browser area: the bottom edge of the skin's browser marker, or 74 pixels scaled
// when the marker has not been laid out yet. `scale` is the DPI scale in percent.
inline int BrowserTop(int markerBottom, int scale) { return markerBottom > 0 ? markerBottom : 74 * scale / 100; }

// A new browser: the full client width from its left edge, down to one scaled pixel above the
// bottom.
inline RECT NewBrowserRect(const RECT& client, int markerBottom, int scale) {
    int y = BrowserTop(markerBottom, scale);
    return RECT{client.left, y, client.left + (client.right - client.left), client.bottom - scale / 100};
}

// A laid-out browser keeps a scaled one-pixel margin on the left, right and bottom.
inline RECT LaidOutBrowserRect(const RECT& client, int markerBottom, int scale) {
    int x = client.left + scale / 100;
    int width = client.right - client.left - (2 * scale) / 100;
    int y = BrowserTop(markerBottom, scale);
    int height = client.bottom - scale / 100 - y;
    return RECT{x, y, x + width, y + height};
}

// A popup's first place, before the tab layout moves it: below the caption strip.
inline RECT PopupRect(const RECT& client) {
    return RECT{client.left, 27, client.left + (client.right - client.left), 27 + (client.bottom - 54)};
}

}  // namespace geometry
