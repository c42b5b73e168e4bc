// Drawing helpers shared by the controls (internal to the library).
#pragma once

#include <windows.h>

namespace DuiLib {

class CPaintManagerUI;

namespace Render {

// Both are idempotent and thread-safe. StartWarmUp starts GDI+ and the image decoders on a
// worker; StartGdiplus waits for a start in progress.
void StartGdiplus();
void StartWarmUp();
// Colours are 0xAARRGGBB; alpha 0 means "not set" and draws nothing.
void FillRect(HDC hDC, const RECT& rc, DWORD color, int round = 0);
void DrawBorder(HDC hDC, const RECT& rc, int size, DWORD color, int round = 0);
// Draws an image description: a plain relative path, or `file='x.png' source='l,t,r,b'
// dest='l,t,r,b' corner='l,t,r,b' fade='0..255'` (dest is relative to rcItem, unscaled).
bool DrawImage(HDC hDC, CPaintManagerUI* pm, const RECT& rcItem, LPCTSTR desc);
// Text in a font of the manager; color 0xAARRGGBB.
void DrawText(HDC hDC, CPaintManagerUI* pm, RECT rc, LPCTSTR text, DWORD color, int font, UINT style);
// A check mark in the given colour.
void DrawCheck(HDC hDC, const RECT& rc, DWORD color);

} // namespace Render
} // namespace DuiLib
