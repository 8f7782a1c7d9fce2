// The window as the user first sees it: size and place, every control's rectangle and caption,
// the list filled from Setup.ini, and what is painted on the window's own surface.
#include "fixture.h"

#include "app/design.h"
#include "app/errors.h"
#include "platform/win32/resource.h"
#include "platform/win32/scoped.h"

#include <cstdio>

namespace pikorina::win32::test {
namespace {

using WindowLayout = WindowTest;

std::wstring TextOf(HWND hwnd) {
    wchar_t text[256] = {};
    GetWindowTextW(hwnd, text, 256);
    return text;
}

bool SameRect(const RECT& a, const RECT& b) {
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

std::string Describe(const RECT& r) {
    char text[64];
    std::snprintf(text, sizeof text, "(%ld,%ld)-(%ld,%ld)", r.left, r.top, r.right, r.bottom);
    return text;
}

TEST_F(WindowLayout, ClientAreaIsTheOuterSizeLessTheDesignFrameAtTheWindowsDpi) {
    StartWithDefaultList();
    const int dpi = static_cast<int>(GetDpiForWindow(window_->hwnd()));
    EXPECT_EQ(window_->Dpi(), dpi);
    RECT client;
    GetClientRect(window_->hwnd(), &client);
    EXPECT_EQ(client.right, TwipsToPixels(ClientWidthFor(5625), dpi));
    EXPECT_EQ(client.bottom, TwipsToPixels(ClientHeightFor(3945), dpi));
    if (dpi == 96) {
        EXPECT_EQ(client.right, 369);
        EXPECT_EQ(client.bottom, 238);
    }
}

TEST_F(WindowLayout, WindowIsCentredOnTheWorkAreaAndCannotBeResized) {
    StartWithDefaultList();
    RECT outer;
    GetWindowRect(window_->hwnd(), &outer);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromWindow(window_->hwnd(), MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& work = monitor.rcWork;
    EXPECT_LE(std::abs((outer.left - work.left) - (work.right - outer.right)), 1);
    EXPECT_LE(std::abs((outer.top - work.top) - (work.bottom - outer.bottom)), 1);

    const LONG_PTR style = GetWindowLongPtrW(window_->hwnd(), GWL_STYLE);
    EXPECT_TRUE(style & WS_VISIBLE);
    EXPECT_EQ(style & WS_CAPTION, WS_CAPTION);
    EXPECT_TRUE(style & WS_SYSMENU);
    EXPECT_FALSE(style & WS_THICKFRAME);
    EXPECT_FALSE(style & WS_MAXIMIZEBOX);
}

TEST_F(WindowLayout, EveryControlSitsWhereTheDesignPutsIt) {
    StartWithDefaultList();
    const int dpi = window_->Dpi();
    for (const ControlDesign& d : kControls) {
        SCOPED_TRACE(std::string(d.name));
        const int left = TwipsToPixels(d.left, dpi), top = TwipsToPixels(d.top, dpi);
        // Without stretch an image control is as large as its 32 x 32 or 640 x 480 picture.
        int width = TwipsToPixels(d.width, dpi), height = TwipsToPixels(d.height, dpi);
        if (d.kind == ControlKind::Image && !d.stretch && d.picture != Picture::None) {
            width = TwipsToPixels(d.picture == Picture::Swirl ? 640 * 15 : 32 * 15, dpi);
            height = TwipsToPixels(d.picture == Picture::Swirl ? 480 * 15 : 32 * 15, dpi);
        }
        const RECT expected{left, top, left + width, top + height};
        EXPECT_TRUE(SameRect(window_->ControlRect(d.id), expected))
            << Describe(window_->ControlRect(d.id)) << " instead of " << Describe(expected);
        if (window_->ControlWindow(d.id)) {
            EXPECT_TRUE(SameRect(ChildRect(d.id), expected))
                << Describe(ChildRect(d.id)) << " instead of " << Describe(expected);
        }
        EXPECT_EQ(window_->IsShown(d.id), d.visible);
    }
}

TEST_F(WindowLayout, CaptionsAreTheDesignsWithTheirAccessKeys) {
    StartWithDefaultList();
    EXPECT_EQ(TextOf(window_->hwnd()), L"プログラムの強制終了");
    const struct {
        ControlId id;
        const wchar_t* caption;
    } buttons[] = {
        {ControlId::終了, L"終了(&E)"},
        {ControlId::シャットダウン, L"シャットダウン(&S)"},
        {ControlId::キャンセル, L"キャンセル"},
    };
    for (const auto& b : buttons) {
        EXPECT_EQ(TextOf(window_->ControlWindow(b.id)), b.caption);
    }
}

TEST_F(WindowLayout, ButtonsHaveTheirRoles) {
    StartWithDefaultList();
    // Esc sends IDCANCEL; the default frame is on 終了 while the list has the focus.
    EXPECT_EQ(GetDlgCtrlID(window_->ControlWindow(ControlId::キャンセル)), IDCANCEL);
    const auto typeOf = [this](ControlId id) {
        return GetWindowLongPtrW(window_->ControlWindow(id), GWL_STYLE) & BS_TYPEMASK;
    };
    EXPECT_EQ(typeOf(ControlId::終了), BS_DEFPUSHBUTTON);
    EXPECT_EQ(typeOf(ControlId::シャットダウン), BS_PUSHBUTTON);
    EXPECT_EQ(typeOf(ControlId::キャンセル), BS_PUSHBUTTON);
    const LRESULT def = SendMessageW(window_->hwnd(), DM_GETDEFID, 0, 0);
    EXPECT_EQ(HIWORD(def), DC_HASDEFID);
    EXPECT_EQ(LOWORD(def), GetDlgCtrlID(window_->ControlWindow(ControlId::終了)));
}

TEST_F(WindowLayout, ListShowsTheEntriesInFileOrderWithTheFirstSelected) {
    // Bytes in the system's code page (932 under the test's Japanese locale): "日本", "ｶﾅ".
    Start("\"\x93\xfa\x96\x7b\",a.exe\r\n\"\xb6\xc5\",b.exe\r\nzeta,c.exe\r\n");
    HWND list = window_->ControlWindow(ControlId::ListBox);
    ASSERT_EQ(SendMessageW(list, LB_GETCOUNT, 0, 0), 3);
    const wchar_t* expected[] = {L"日本", L"ｶﾅ", L"zeta"};
    for (int i = 0; i < 3; ++i) {
        wchar_t item[64] = {};
        SendMessageW(list, LB_GETTEXT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(item));
        EXPECT_STREQ(item, expected[i]);
    }
    EXPECT_EQ(SendMessageW(list, LB_GETCURSEL, 0, 0), 0);
    EXPECT_EQ(window_->ListIndex(), 0);
    EXPECT_EQ(GetFocus(), list);
}

TEST_F(WindowLayout, SelectingAMissingItemIsError381) {
    StartWithDefaultList();
    for (int index : {-1, 3, 100}) {
        try {
            window_->SelectListItem(index);
            ADD_FAILURE() << "item " << index << " was selected";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), 381);
        }
    }
    window_->SelectListItem(2);
    EXPECT_EQ(window_->ListIndex(), 2);
}

TEST_F(WindowLayout, WindowCarriesTheFlagIcon) {
    StartWithDefaultList();
    const auto big =
        reinterpret_cast<HICON>(SendMessageW(window_->hwnd(), WM_GETICON, ICON_BIG, 0));
    ASSERT_NE(big, nullptr);
    // The same picture as the flag resource: compare the two drawn side by side.
    HICON flag = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_FLAG), IMAGE_ICON, 32, 32, 0));
    const ScopedScreenDC screen(GetDC(nullptr));
    const ScopedDC dc(CreateCompatibleDC(screen.get()));
    const ScopedGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), 64, 32));
    const ScopedSelection selected(dc.get(), bitmap.get());
    RECT all{0, 0, 64, 32};
    FillRect(dc.get(), &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
    DrawIconEx(dc.get(), 0, 0, big, 32, 32, 0, nullptr, DI_NORMAL);
    DrawIconEx(dc.get(), 32, 0, flag, 32, 32, 0, nullptr, DI_NORMAL);
    DestroyIcon(flag);
    int differing = 0, coloured = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            if (GetPixel(dc.get(), x, y) != GetPixel(dc.get(), x + 32, y)) ++differing;
            if (GetPixel(dc.get(), x, y) == RGB(255, 0, 0)) ++coloured;
        }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(coloured, 0) << "the flag's red pane is missing";
}

using WindowReader = WindowTest;

// Screen readers find the system's own view of the child windows, in their order: the list, the
// warning text as a static holding the whole sentence, then the buttons in Tab order. The text
// takes no focus, and a click on it goes through to the window.
TEST_F(WindowReader, FindsTheListTheWarningTextAndTheButtonsInTabOrder) {
    StartWithDefaultList();
    const struct {
        const wchar_t* kind;
        std::wstring text;
    } children[] = {
        {L"ListBox", L""},
        {L"Static", L"警告 : Ctrl+Alt+Delキーをもう一度押すとコンピュータが再起動します。その場合､"
                    L"実行中のプログラムで保存されていないデータはすべて失われます。"},
        {L"Button", L"シャットダウン(&S)"},
        {L"Button", L"キャンセル"},
        {L"Button", L"終了(&E)"},
    };
    HWND child = GetWindow(window_->hwnd(), GW_CHILD);
    for (const auto& c : children) {
        ASSERT_TRUE(child) << "missing: " << Narrow(c.text);
        wchar_t kind[32] = {};
        GetClassNameW(child, kind, 32);
        EXPECT_EQ(_wcsicmp(kind, c.kind), 0) << Narrow(kind);
        EXPECT_EQ(TextOf(child), c.text);
        child = GetWindow(child, GW_HWNDNEXT);
    }
    EXPECT_FALSE(child);
    HWND label = window_->ControlWindow(ControlId::Label);
    EXPECT_EQ(GetWindowLongW(label, GWL_STYLE) & (WS_TABSTOP | SS_NOTIFY), 0);
    const RECT r = window_->ControlRect(ControlId::Label);
    POINT centre{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    ClientToScreen(window_->hwnd(), &centre);
    EXPECT_EQ(WindowFromPoint(centre), window_->hwnd());
}

using WindowSurface = WindowTest;

TEST_F(WindowSurface, LabelTextIsBlackAndWrapsOverThreeLines) {
    StartWithDefaultList();
    const RECT label = window_->ControlRect(ControlId::Label);
    // Black pixels by row: the text fills three separate bands of rows inside the label.
    int bands = 0;
    bool inBand = false;
    int blackOutside = 0;
    const Surface surface = Capture();
    for (int y = label.top - 4; y < label.bottom + 4; ++y) {
        bool black = false;
        for (int x = label.left; x < label.right; ++x) {
            if (surface.At(x, y) == RGB(0, 0, 0)) {
                black = true;
                if (y < label.top || y >= label.bottom) ++blackOutside;
            }
        }
        if (black && !inBand) ++bands;
        inBand = black;
    }
    EXPECT_EQ(bands, 3);
    EXPECT_EQ(blackOutside, 0);
}

TEST_F(WindowSurface, BackgroundIsTheButtonFaceUntilTheBareWindowIsClicked) {
    StartWithDefaultList();
    const POINT bare{4, 4};
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    EXPECT_EQ(window_->BackColor(), kButtonFace);
    EXPECT_EQ(Pixel(bare), face);

    // The swirl's own pixels, from the bitmap resource.
    HBITMAP swirl =
        static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_SWIRL),
                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
    HDC dc = CreateCompatibleDC(nullptr);
    HGDIOBJ old = SelectObject(dc, swirl);
    // Bare spots: a corner, between the list and the label, right of and below the buttons.
    const POINT probes[] = {{4, 4}, {200, 140}, {365, 230}};
    COLORREF expected[3];
    for (int i = 0; i < 3; ++i)
        expected[i] = GetPixel(dc, probes[i].x, probes[i].y);
    SelectObject(dc, old);
    DeleteDC(dc);
    DeleteObject(swirl);

    PostClick(bare);
    Pump();
    EXPECT_EQ(form_->backgroundOn, kTrue16);
    EXPECT_EQ(window_->WindowPicture(), Picture::Swirl);
    // Unscaled from the top-left; the label and the children stay above it.
    if (window_->Dpi() == 96) {
        for (int i = 0; i < 3; ++i)
            EXPECT_EQ(Pixel(probes[i]), expected[i]) << i;
    }

    PostClick(bare);
    Pump();
    EXPECT_EQ(form_->backgroundOn, kFalse16);
    EXPECT_EQ(Pixel(bare), face);
}

TEST_F(WindowSurface, FixedAndSystemColoursBothPaint) {
    StartWithDefaultList();
    const struct {
        OleColor color;
        COLORREF painted;
    } cases[] = {
        {kRed, RGB(255, 0, 0)},
        {0x00336699u, RGB(0x99, 0x66, 0x33)},
        {kSystemColorFlag | COLOR_WINDOW, GetSysColor(COLOR_WINDOW)},
        {kButtonFace, GetSysColor(COLOR_BTNFACE)},
    };
    for (const auto& c : cases) {
        window_->SetBackColor(c.color);
        EXPECT_EQ(window_->BackColor(), c.color); // a reference comes back as it went in
        EXPECT_EQ(Pixel({4, 4}), c.painted) << std::hex << c.color;
    }
}

} // namespace
} // namespace pikorina::win32::test
