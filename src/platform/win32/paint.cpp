// Painting: the core's surface drawn with GDI through an off-screen bitmap, the program's
// pictures from its resources, and the fonts at the window's dpi.
#include "platform/win32/paint.h"

#include "app/picture_cache.h"

#include "platform/win32/resource.h"
#include "platform/win32/text.h"
#include "platform/win32/window.h"

namespace pikorina::win32 {
namespace {

int ResourceOf(Picture picture) {
    switch (picture) {
    case Picture::None: return 0;
    case Picture::Flag: return IDI_FLAG;
    case Picture::Swirl: return IDB_SWIRL;
    case Picture::Dynamite: return IDI_DYNAMITE;
    case Picture::Burst: return IDI_BURST;
    }
    return 0;
}

void Draw(HDC dc, Picture picture, const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    HANDLE handle = PictureHandle(picture);
    if (w <= 0 || h <= 0 || !handle) return;
    if (Design(picture).icon) {
        // DI_NORMAL applies the icon's mask, so its transparent pixels show what lies behind.
        DrawIconEx(dc, r.left, r.top, static_cast<HICON>(handle), w, h, 0, nullptr, DI_NORMAL);
        return;
    }
    const ScopedDC source(CreateCompatibleDC(dc));
    const ScopedSelection selected(source.get(), handle);
    const PictureDesign& own = Design(picture);
    if (own.width == w && own.height == h) {
        BitBlt(dc, r.left, r.top, w, h, source.get(), 0, 0, SRCCOPY);
    } else {
        SetStretchBltMode(dc, COLORONCOLOR);
        StretchBlt(dc, r.left, r.top, w, h, source.get(), 0, 0, own.width, own.height, SRCCOPY);
    }
}

COLORREF ColorOf(OleColor color) {
    if (IsSystemColor(color)) return GetSysColor(SystemColorIndex(color));
    // 0x00BBGGRR is already how Windows lays out a colour.
    return RGB(RedOf(color), GreenOf(color), BlueOf(color));
}

int CALLBACK NoteFontFound(const LOGFONTW*, const TEXTMETRICW*, DWORD, LPARAM found) {
    *reinterpret_cast<bool*>(found) = true;
    return 0;
}

bool FontInstalled(std::wstring_view face) {
    LOGFONTW query{};
    query.lfCharSet = DEFAULT_CHARSET;
    face.copy(query.lfFaceName, LF_FACESIZE - 1);
    bool found = false;
    const ScopedScreenDC screen(GetDC(nullptr));
    EnumFontFamiliesExW(screen.get(), &query, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    return found;
}

// A font's face: the first of the design's faces that is installed. Where none is, the first
// is asked for anyway and the character set steers the font mapper to a face with the glyphs.
std::wstring FaceOf(const Font& font) {
    for (std::string_view face : font.faces) {
        std::wstring wide = Widen(face);
        if (FontInstalled(wide)) return wide;
    }
    return Widen(font.faces.front());
}

} // namespace

// The program's own resources, which live as long as the process.
HANDLE PictureHandle(Picture picture) {
    static PictureCache<HANDLE> handles([](const PictureDesign& design) {
        const HINSTANCE module = GetModuleHandleW(nullptr);
        const auto id = MAKEINTRESOURCEW(ResourceOf(design.picture));
        return design.icon ? LoadImageW(module, id, IMAGE_ICON, kIconImagePixels, kIconImagePixels,
                                        LR_DEFAULTCOLOR)
                           : LoadImageW(module, id, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION);
    });
    return handles[picture];
}

HFONT CreatePointFont(std::wstring_view face, int points, int charset, int dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(points, dpi, 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = static_cast<BYTE>(charset);
    font.lfQuality = DEFAULT_QUALITY;
    face.copy(font.lfFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
}

HFONT Window::SurfaceFont(const Font& font) {
    if (!surfaceFont_ || surfaceFontDesign_ != &font) {
        surfaceFont_.reset(CreatePointFont(FaceOf(font), font.points, font.charset, dpi_));
        surfaceFontDesign_ = &font;
    }
    return surfaceFont_.get();
}

void Window::Paint(HDC target, const RECT& area) {
    RECT client;
    GetClientRect(hwnd_, &client);
    if (client.right <= 0 || client.bottom <= 0) return;
    const ScopedDC dc(CreateCompatibleDC(target));
    const ScopedGdiObject<HBITMAP> bitmap(
        CreateCompatibleBitmap(target, client.right, client.bottom));
    const ScopedSelection selected(dc.get(), bitmap.get());

    // GDI into the off-screen bitmap, in pixels at the window's dpi.
    struct GdiPainter final : Painter, TextPainter {
        Window& window;
        HDC dc;
        GdiPainter(Window& w, HDC d) : window(w), dc(d) {}
        void FillRect(const Rect& area, OleColor color) override {
            const RECT r = window.Px(area);
            const ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(ColorOf(color)));
            ::FillRect(dc, &r, brush.get());
        }
        void DrawPicture(const Rect& area, Picture picture) override {
            Draw(dc, picture, window.Px(area));
        }
        void DrawWrappedText(const Rect& area, std::string_view text, const Font& font,
                             OleColor color) override {
            RECT r = window.Px(area);
            const std::wstring wide = Widen(text);
            const ScopedSelection selected(dc, window.SurfaceFont(font));
            SetBkMode(dc, TRANSPARENT);
            SetTextColor(dc, ColorOf(color));
            DrawTextW(dc, wide.c_str(), static_cast<int>(wide.size()), &r,
                      DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
        }
    } painter(*this, dc.get());
    surface().Paint(painter);
    // The label control is drawn from this same picture (WM_DRAWITEM).
    surface().PaintLabel(painter);

    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, dc.get(),
           area.left, area.top, SRCCOPY);
}

} // namespace pikorina::win32
