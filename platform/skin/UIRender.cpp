#include "UIRender.h"

#include "UIManager.h"
#include "UIControls.h"
#include "UIInternal.h"

#include <algorithm>
#include <cstring>
#include <gdiplus.h>

namespace DuiLib {
namespace Render {

// A read-only stream over constant bytes: enough of IStream for GDI+ to decode from, without
// pulling in the COM or shell libraries at start-up.
class ConstStream final : public IStream {
public:
    ConstStream(const BYTE* data, ULONG size) : m_data(data), m_size(size) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID riid, void** out) override {
        if (!out) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IStream || riid == IID_ISequentialStream) {
            *out = static_cast<IStream*>(this);
            AddRef();
            return S_OK;
        }
        *out = NULL;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return (ULONG)::InterlockedIncrement(&m_refs); }
    ULONG STDMETHODCALLTYPE Release() override {
        LONG left = ::InterlockedDecrement(&m_refs);
        if (left == 0) delete this;
        return (ULONG)left;
    }
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG count, ULONG* read) override {
        ULONG n = m_pos >= m_size ? 0 : (ULONG)std::min<ULONGLONG>(count, m_size - m_pos);
        memcpy(buffer, m_data + m_pos, n);
        m_pos += n;
        if (read) *read = n;
        return n == count ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER move, DWORD origin, ULARGE_INTEGER* pos) override {
        LONGLONG base = origin == STREAM_SEEK_SET ? 0 : origin == STREAM_SEEK_CUR ? (LONGLONG)m_pos : (LONGLONG)m_size;
        LONGLONG to = base + move.QuadPart;
        if (origin > STREAM_SEEK_END || to < 0) return STG_E_INVALIDFUNCTION;
        m_pos = (ULONGLONG)to;
        if (pos) pos->QuadPart = m_pos;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return STG_E_ACCESSDENIED; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return S_OK; }
    HRESULT STDMETHODCALLTYPE Revert() override { return S_OK; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD) override {
        if (!stat) return E_POINTER;
        memset(stat, 0, sizeof *stat);
        stat->type = STGTY_STREAM;
        stat->cbSize.QuadPart = m_size;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

private:
    ~ConstStream() = default;
    const BYTE* m_data;
    ULONGLONG m_size;
    ULONGLONG m_pos = 0;
    LONG m_refs = 1;
};

// Loading GDI+ (and the libraries it needs) and the first image decode (its decoders) cost tens of
// milliseconds each under Wine. A worker pays both while the application is still starting: it
// starts GDI+ and decodes a throw-away 1x1 PNG. Nothing of it is kept or shown.
static DWORD WINAPI WarmUp(LPVOID) {
    StartGdiplus();
    static const BYTE kPixel[] = {
        0x89, 0x50, 0x4E, 0x47, 0x0D, 0x0A, 0x1A, 0x0A, 0x00, 0x00, 0x00, 0x0D, 0x49, 0x48, 0x44, 0x52, 0x00,
        0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x08, 0x06, 0x00, 0x00, 0x00, 0x1F, 0x15, 0xC4, 0x89, 0x00,
        0x00, 0x00, 0x0B, 0x49, 0x44, 0x41, 0x54, 0x78, 0x9C, 0x63, 0x60, 0x00, 0x02, 0x00, 0x00, 0x05, 0x00,
        0x01, 0x7A, 0x5E, 0xAB, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x49, 0x45, 0x4E, 0x44, 0xAE, 0x42, 0x60, 0x82};
    ConstStream* stream = new ConstStream(kPixel, sizeof kPixel);
    delete Gdiplus::Bitmap::FromStream(stream);
    stream->Release();
    Internal::Mark("decoders-ready");
    return 0;
}

static BOOL CALLBACK StartGdiplusOnce(PINIT_ONCE, PVOID, PVOID*) {
    ULONG_PTR token = 0;
    Gdiplus::GdiplusStartupInput input;
    // Started once for the life of the process (never shut down: images stay cached to the end).
    bool ok = Gdiplus::GdiplusStartup(&token, &input, NULL) == Gdiplus::Ok;
    Internal::Mark("gdiplus-started");
    return ok ? TRUE : FALSE;   // a failed start is tried again by the next caller
}

void StartGdiplus() {
    static INIT_ONCE once = INIT_ONCE_STATIC_INIT;
    ::InitOnceExecuteOnce(&once, &StartGdiplusOnce, NULL, NULL);
}

void StartWarmUp() {
    static LONG started = 0;
    if (::InterlockedExchange(&started, 1) != 0) return;
    if (HANDLE worker = ::CreateThread(NULL, 0, &WarmUp, NULL, 0, NULL)) ::CloseHandle(worker);
}

static Gdiplus::Color ToColor(DWORD c) {
    return Gdiplus::Color((BYTE)(c >> 24), (BYTE)(c >> 16), (BYTE)(c >> 8), (BYTE)c);
}

static void RoundPath(Gdiplus::GraphicsPath& path, float x, float y, float w, float h, float r) {
    float d = r * 2;
    if (d > w) d = w;
    if (d > h) d = h;
    path.AddArc(x, y, d, d, 180, 90);
    path.AddArc(x + w - d, y, d, d, 270, 90);
    path.AddArc(x + w - d, y + h - d, d, d, 0, 90);
    path.AddArc(x, y + h - d, d, d, 90, 90);
    path.CloseFigure();
}

void FillRect(HDC hDC, const RECT& rc, DWORD color, int round) {
    if ((color >> 24) == 0 || rc.right <= rc.left || rc.bottom <= rc.top) return;
    if ((color >> 24) == 0xFF && round <= 0) {
        HBRUSH br = ::CreateSolidBrush(RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF));
        ::FillRect(hDC, &rc, br);
        ::DeleteObject(br);
        return;
    }
    Gdiplus::Graphics g(hDC);
    Gdiplus::SolidBrush brush(ToColor(color));
    if (round > 0) {
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        Gdiplus::GraphicsPath path;
        RoundPath(path, (float)rc.left, (float)rc.top, (float)(rc.right - rc.left), (float)(rc.bottom - rc.top),
                  (float)round);
        g.FillPath(&brush, &path);
    } else {
        g.FillRectangle(&brush, (INT)rc.left, (INT)rc.top, (INT)(rc.right - rc.left), (INT)(rc.bottom - rc.top));
    }
}

void DrawBorder(HDC hDC, const RECT& rc, int size, DWORD color, int round) {
    if (size <= 0 || (color >> 24) == 0 || rc.right <= rc.left || rc.bottom <= rc.top) return;
    Gdiplus::Graphics g(hDC);
    // Centre-aligned pen on a path inset by half its width: the stroke stays inside rc.
    Gdiplus::Pen pen(ToColor(color), (Gdiplus::REAL)size);
    // GDI+ pixel centres are at integer coordinates: a 1-pixel line at x covers pixel x.
    float half = (size - 1) / 2.0f;
    float x = rc.left + half, y = rc.top + half;
    float w = rc.right - rc.left - (float)size, h = rc.bottom - rc.top - (float)size;
    if (round > 0) {
        g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
        Gdiplus::GraphicsPath path;
        RoundPath(path, x, y, w, h, (float)round);
        g.DrawPath(&pen, &path);
    } else {
        g.DrawRectangle(&pen, x, y, w, h);
    }
}

// Reads `key='value'` pairs of an image description.
static bool ImageValue(const std::wstring& desc, const wchar_t* key, std::wstring& out) {
    std::wstring k = std::wstring(key) + L"='";
    size_t p = desc.find(k);
    if (p == std::wstring::npos) return false;
    p += k.size();
    size_t e = desc.find(L'\'', p);
    if (e == std::wstring::npos) return false;
    out = desc.substr(p, e - p);
    return true;
}

bool DrawImage(HDC hDC, CPaintManagerUI* pm, const RECT& rcItem, LPCTSTR pdesc) {
    if (!pm || !pdesc || !*pdesc) return false;
    std::wstring desc(pdesc), file = desc, v;
    RECT rcSource = {0, 0, 0, 0}, rcDest = rcItem, rcCorner = {0, 0, 0, 0};
    bool hasSource = false;
    int fade = 255;
    if (desc.find(L"='") != std::wstring::npos) {
        if (!ImageValue(desc, L"file", file)) return false;
        if (ImageValue(desc, L"source", v)) { rcSource = CControlUI::ParseRect(v.c_str()); hasSource = true; }
        if (ImageValue(desc, L"dest", v)) {
            RECT d = pm->GetDPIObj()->Scale(CControlUI::ParseRect(v.c_str()));
            rcDest = RECT{rcItem.left + d.left, rcItem.top + d.top, rcItem.left + d.right, rcItem.top + d.bottom};
        }
        if (ImageValue(desc, L"corner", v)) rcCorner = CControlUI::ParseRect(v.c_str());
        if (ImageValue(desc, L"fade", v)) fade = std::max(0, std::min(255, _wtoi(v.c_str())));
    }
    Gdiplus::Bitmap* bmp = static_cast<Gdiplus::Bitmap*>(pm->GetImage(file.c_str()));
    if (!bmp) return false;
    int bw = (int)bmp->GetWidth(), bh = (int)bmp->GetHeight();
    if (!hasSource || rcSource.right <= rcSource.left || rcSource.bottom <= rcSource.top)
        rcSource = RECT{0, 0, bw, bh};
    Gdiplus::Graphics g(hDC);
    g.SetInterpolationMode(Gdiplus::InterpolationModeHighQualityBicubic);
    g.SetPixelOffsetMode(Gdiplus::PixelOffsetModeHalf);
    Gdiplus::ImageAttributes attrs;
    attrs.SetWrapMode(Gdiplus::WrapModeTileFlipXY);
    if (fade < 255) {
        Gdiplus::ColorMatrix m = {{{1, 0, 0, 0, 0}, {0, 1, 0, 0, 0}, {0, 0, 1, 0, 0},
                                   {0, 0, 0, fade / 255.0f, 0}, {0, 0, 0, 0, 1}}};
        attrs.SetColorMatrix(&m);
    }
    auto blit = [&](int dl, int dt, int dr, int db, int sl, int st, int sr, int sb) {
        if (dr <= dl || db <= dt || sr <= sl || sb <= st) return;
        g.DrawImage(bmp, Gdiplus::Rect(dl, dt, dr - dl, db - dt), sl, st, sr - sl, sb - st, Gdiplus::UnitPixel,
                    &attrs);
    };
    const RECT& d = rcDest;
    const RECT& s = rcSource;
    const RECT& c = rcCorner;
    if (c.left || c.top || c.right || c.bottom) {
        RECT dc = pm->GetDPIObj()->Scale(c);
        // Nine-grid: corners keep their size, edges and centre stretch.
        int dx[4] = {d.left, d.left + dc.left, d.right - dc.right, d.right};
        int dy[4] = {d.top, d.top + dc.top, d.bottom - dc.bottom, d.bottom};
        int sx[4] = {s.left, s.left + c.left, s.right - c.right, s.right};
        int sy[4] = {s.top, s.top + c.top, s.bottom - c.bottom, s.bottom};
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j) blit(dx[i], dy[j], dx[i + 1], dy[j + 1], sx[i], sy[j], sx[i + 1], sy[j + 1]);
    } else {
        blit(d.left, d.top, d.right, d.bottom, s.left, s.top, s.right, s.bottom);
    }
    return true;
}

void DrawText(HDC hDC, CPaintManagerUI* pm, RECT rc, LPCTSTR text, DWORD color, int font, UINT style) {
    if (!text || !*text || !pm) return;
    HFONT old = (HFONT)::SelectObject(hDC, pm->GetFont(font));
    ::SetBkMode(hDC, TRANSPARENT);
    ::SetTextColor(hDC, RGB((color >> 16) & 0xFF, (color >> 8) & 0xFF, color & 0xFF));
    ::DrawTextW(hDC, text, -1, &rc, style | DT_NOPREFIX);
    ::SelectObject(hDC, old);
}

void DrawCheck(HDC hDC, const RECT& rc, DWORD color) {
    Gdiplus::Graphics g(hDC);
    g.SetSmoothingMode(Gdiplus::SmoothingModeAntiAlias);
    float w = (float)(rc.right - rc.left), h = (float)(rc.bottom - rc.top);
    Gdiplus::Pen pen(ToColor(color), std::max(1.5f, w / 7.0f));
    Gdiplus::PointF pts[3] = {{rc.left + w * 0.22f, rc.top + h * 0.52f},
                              {rc.left + w * 0.42f, rc.top + h * 0.72f},
                              {rc.left + w * 0.78f, rc.top + h * 0.30f}};
    g.DrawLines(&pen, pts, 3);
}

} // namespace Render
} // namespace DuiLib
