// The window: geometry, painting, click routing, keys, message boxes, the event pump, the clock
// and the end of the program.
#include "platform/win32/window.h"

#include "app/errors.h"
#include "platform/win32/resource.h"
#include "platform/win32/system_dll.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <windowsx.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>

namespace pikorina::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"PikorinaMain";
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;

// Thrown by End() under the end seam, caught where the event was dispatched. Not derived from
// std::exception, so the launch handler's catch-all cannot swallow it.
struct EndUnwind {};

// The pictures that are part of the program, loaded from its resources once. The image
// controls show the 32 x 32 image of an icon, whatever the dpi: a larger rendering is the
// same picture stretched, as the explosion's later frames are.
struct PictureHandles {
    HICON flag, dynamite, burst;
};

const PictureHandles& Pictures() {
    static const PictureHandles pictures = [] {
        const HINSTANCE module = GetModuleHandleW(nullptr);
        auto icon = [module](int id) {
            return static_cast<HICON>(
                LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR));
        };
        return PictureHandles{icon(IDI_FLAG), icon(IDI_DYNAMITE), icon(IDI_BURST)};
    }();
    return pictures;
}

struct SwirlBitmap {
    HBITMAP bitmap;
    SIZE size;
};

// The background is loaded when it is first wanted: at 900 KB it would otherwise cost every
// start-up, though many runs never switch it on.
const SwirlBitmap& Swirl() {
    static const SwirlBitmap swirl = [] {
        SwirlBitmap s{
            static_cast<HBITMAP>(LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDB_SWIRL),
                                            IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)),
            {0, 0}};
        BITMAP info{};
        if (s.bitmap && GetObjectW(s.bitmap, sizeof info, &info)) {
            s.size = {info.bmWidth, info.bmHeight};
        }
        return s;
    }();
    return swirl;
}

HICON IconOf(Picture picture) {
    switch (picture) {
    case Picture::Flag: return Pictures().flag;
    case Picture::Dynamite: return Pictures().dynamite;
    case Picture::Burst: return Pictures().burst;
    default: return nullptr;
    }
}

// A picture's own size in twips, so that it grows with the dpi like everything else.
SIZE PictureTwips(Picture picture) {
    if (picture == Picture::Swirl) {
        const SIZE px = Swirl().size;
        return {px.cx * kTwipsPerPixelAt96Dpi, px.cy * kTwipsPerPixelAt96Dpi};
    }
    if (picture == Picture::None) return {0, 0};
    return {32 * kTwipsPerPixelAt96Dpi, 32 * kTwipsPerPixelAt96Dpi};
}

void DrawPicture(HDC dc, Picture picture, const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    if (w <= 0 || h <= 0) return;
    if (HICON icon = IconOf(picture)) {
        // DI_NORMAL applies the icon's mask, so its transparent pixels show what lies behind.
        DrawIconEx(dc, r.left, r.top, icon, w, h, 0, nullptr, DI_NORMAL);
    } else if (picture == Picture::Swirl && Swirl().bitmap) {
        HDC source = CreateCompatibleDC(dc);
        HGDIOBJ old = SelectObject(source, Swirl().bitmap);
        const SIZE s = Swirl().size;
        if (s.cx == w && s.cy == h) {
            BitBlt(dc, r.left, r.top, w, h, source, 0, 0, SRCCOPY);
        } else {
            SetStretchBltMode(dc, COLORONCOLOR);
            StretchBlt(dc, r.left, r.top, w, h, source, 0, 0, s.cx, s.cy, SRCCOPY);
        }
        SelectObject(source, old);
        DeleteDC(source);
    }
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
    HDC screen = GetDC(nullptr);
    EnumFontFamiliesExW(screen, &query, NoteFontFound, reinterpret_cast<LPARAM>(&found), 0);
    ReleaseDC(nullptr, screen);
    return found;
}

HFONT CreatePointFont(std::wstring_view face, int points, BYTE charset, int dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(points, dpi, 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = charset;
    font.lfQuality = DEFAULT_QUALITY;
    face.copy(font.lfFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
}

// The label's face: the first of the design's faces that is installed. Where none is, the
// first is asked for anyway and the Shift-JIS character set steers the font mapper to a face
// with Japanese glyphs.
std::wstring LabelFace() {
    for (std::string_view face : kLabelFontFaces) {
        std::wstring wide = Widen(face);
        if (FontInstalled(wide)) return wide;
    }
    return Widen(kLabelFontFaces.front());
}

const std::wstring& LabelText() {
    static const std::wstring text = Widen(Design(ControlId::Label).caption);
    return text;
}

int ChildId(ControlId id) {
    switch (id) {
    case ControlId::ListBox: return IDC_LISTBOX;
    case ControlId::終了: return IDC_EXIT_BUTTON;
    case ControlId::キャンセル: return IDCANCEL;
    case ControlId::シャットダウン: return IDC_SHUTDOWN_BUTTON;
    default: return 0;
    }
}

constexpr std::array<int, 3> kButtonIds{IDC_EXIT_BUTTON, IDCANCEL, IDC_SHUTDOWN_BUTTON};

// Posted to ourselves: put the default frame where the focus is now.
constexpr UINT kSyncDefaultButton = WM_APP + 1;

} // namespace

std::function<int(HWND, std::wstring_view, std::wstring_view, UINT)> Window::msgBoxSeam;
std::function<void(int)> Window::endSeam;

Window::Window(HINSTANCE instance, std::optional<std::string> appPath)
    : instance_(instance), appPath_(std::move(appPath)), defaultId_(IDC_EXIT_BUTTON) {
    // Waits in the event pump end within a millisecond of their deadline rather than at the
    // next tick of the default 15.6 ms timer.
    winmm::timeBeginPeriod(1);
    LARGE_INTEGER frequency;
    QueryPerformanceFrequency(&frequency);
    performanceFrequency_ = static_cast<double>(frequency.QuadPart);
}

Window::~Window() {
    form_ = nullptr;
    if (hwnd_) DestroyWindow(hwnd_);
    if (dialogFont_) DeleteObject(dialogFont_);
    if (labelFont_) DeleteObject(labelFont_);
    winmm::timeEndPeriod(1);
}

void Window::Attach(frmMain& form) {
    form_ = &form;
    // The manifest asks for Common Controls 6; loading it here makes the themed buttons and
    // list the ones created below.
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    comctl32::InitCommonControlsEx(&controls);
    static const ATOM windowClass = [this] {
        WNDCLASSEXW wc{};
        wc.cbSize = sizeof wc;
        // Double-clicks are told apart so that the second press of one is not a second click.
        wc.style = CS_DBLCLKS;
        wc.lpfnWndProc = WindowProc;
        wc.hInstance = instance_;
        wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        wc.lpszClassName = kWindowClass;
        return RegisterClassExW(&wc);
    }();
    (void)windowClass;

    hwnd_ = CreateWindowExW(kWindowExStyle, kWindowClass, Widen(kWindowCaption).c_str(),
                            kWindowStyle, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                            CW_USEDEFAULT, nullptr, nullptr, instance_, this);
    if (!hwnd_) throw RuntimeError(kErrOutOfMemory);
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(Pictures().flag));
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(Pictures().flag));

    // Child windows are created in tab order: the dialog manager's Tab follows the order in
    // which they were created. Label (tab index 1) has no window and takes no focus.
    auto create = [this](ControlId id, const wchar_t* windowClass, DWORD style, DWORD exStyle) {
        const ControlDesign& d = Design(id);
        HWND child = CreateWindowExW(
            exStyle, windowClass, Widen(d.caption).c_str(),
            WS_CHILD | WS_TABSTOP | (d.visible ? WS_VISIBLE : 0) | style, 0, 0, 0, 0, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ChildId(id))), instance_, nullptr);
        if (!child) throw RuntimeError(kErrOutOfMemory);
        children_[static_cast<int>(id)] = child;
    };
    // Exact heights, as designed, rather than a whole number of lines.
    create(ControlId::ListBox, L"LISTBOX", WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
           WS_EX_CLIENTEDGE);
    // BS_NOTIFY: the buttons report focus changes, which move the default-button frame.
    create(ControlId::シャットダウン, L"BUTTON", BS_PUSHBUTTON | BS_NOTIFY, 0);
    create(ControlId::キャンセル, L"BUTTON", BS_PUSHBUTTON | BS_NOTIFY, 0);
    create(ControlId::終了, L"BUTTON", BS_DEFPUSHBUTTON | BS_NOTIFY, 0);

    ApplyDpi(static_cast<int>(GetDpiForWindow(hwnd_)));
}

HWND Window::ControlWindow(ControlId id) const {
    return children_[static_cast<int>(id)];
}

RECT Window::ControlRect(ControlId id) const {
    const ControlState& s = State(id);
    const ControlDesign& d = Design(id);
    Twips width = s.width, height = s.height;
    if (d.kind == ControlKind::Image && !d.stretch && s.picture != Picture::None) {
        // Without stretch an image control is exactly as large as its picture.
        const SIZE own = PictureTwips(s.picture);
        width = own.cx;
        height = own.cy;
    }
    const int left = Px(s.left), top = Px(s.top);
    return {left, top, left + Px(width), top + Px(height)};
}

bool Window::IsShown(ControlId id) const {
    if (HWND child = ControlWindow(id)) return IsWindowVisible(child) != FALSE;
    return State(id).visible;
}

// Geometry.

void Window::PlaceChild(ControlId id) {
    if (HWND child = ControlWindow(id)) {
        const RECT r = ControlRect(id);
        SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                     SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

void Window::ApplyWindowSize() {
    // The design measures the outer size with a frame of its own; whatever frame this system
    // draws, the client area is the outer size less the design's frame.
    RECT r{0, 0, Px(ClientWidthFor(outerWidth_)), Px(ClientHeightFor(outerHeight_))};
    AdjustWindowRectExForDpi(&r, kWindowStyle, FALSE, kWindowExStyle, static_cast<UINT>(dpi_));
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::ApplyDpi(int dpi) {
    dpi_ = dpi;
    if (dialogFont_) DeleteObject(dialogFont_);
    if (labelFont_) DeleteObject(labelFont_);
    // "MS Shell Dlg" is the system's dialog face: MS UI Gothic on a Japanese system.
    dialogFont_ = CreatePointFont(L"MS Shell Dlg", kLabelFontPoints, DEFAULT_CHARSET, dpi_);
    labelFont_ =
        CreatePointFont(LabelFace(), kLabelFontPoints, static_cast<BYTE>(kLabelFontCharset), dpi_);
    for (HWND child : children_) {
        if (child) SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_), TRUE);
    }
    for (const ControlDesign& d : kControls)
        PlaceChild(d.id);
    ApplyWindowSize();
    Invalidate();
}

void Window::SetWindowWidth(Twips width) {
    outerWidth_ = width;
    ApplyWindowSize();
}

void Window::SetWindowHeight(Twips height) {
    outerHeight_ = height;
    ApplyWindowSize();
}

void Window::ShowCentred() {
    RECT outer;
    GetWindowRect(hwnd_, &outer);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof monitor;
    GetMonitorInfoW(MonitorFromPoint({0, 0}, MONITOR_DEFAULTTOPRIMARY), &monitor);
    const RECT& area = monitor.rcWork;
    const int w = outer.right - outer.left, h = outer.bottom - outer.top;
    SetWindowPos(hwnd_, nullptr, area.left + (area.right - area.left - w) / 2,
                 area.top + (area.bottom - area.top - h) / 2, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    ShowWindow(hwnd_, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd_);
    SetFocus(ControlWindow(ControlId::ListBox));
    UpdateWindow(hwnd_);
}

void Window::SetGeometry(ControlId id, Geometry which, Twips v) {
    State(id)[which] = v;
    PlaceChild(id);
    Invalidate();
}

void Window::SetVisible(ControlId id, bool visible) {
    State(id).visible = visible;
    if (HWND child = ControlWindow(id)) {
        // A hidden control keeps the focus, so keys would reach a list or a button nobody
        // sees in the explosion's red pause. The window holds the focus while its control is
        // hidden, and gives it back when the control returns.
        if (!visible && GetFocus() == child) {
            if (!focusBeforeHiding_) focusBeforeHiding_ = child;
            SetFocus(hwnd_);
        }
        ShowWindow(child, visible ? SW_SHOWNA : SW_HIDE);
        if (visible && child == focusBeforeHiding_) {
            focusBeforeHiding_ = nullptr;
            SetFocus(child);
        }
    } else {
        Invalidate();
    }
}

// Pictures and colours.

COLORREF Window::ColorOf(OleColor color) const {
    if (IsSystemColor(color)) return GetSysColor(SystemColorIndex(color));
    // 0x00BBGGRR is already how Windows lays out a colour.
    return RGB(RedOf(color), GreenOf(color), BlueOf(color));
}

void Window::SetBackColor(OleColor color) {
    backColor_ = color;
    Invalidate();
}

void Window::SetWindowPicture(ControlId image) {
    windowPicture_ = State(image).picture;
    Invalidate();
}

void Window::SetImagePicture(ControlId target, ControlId source) {
    State(target).picture = State(source).picture;
    Invalidate();
}

void Window::Invalidate(const RECT* area) {
    // The whole surface is painted through one off-screen bitmap, so repainting all of it
    // costs little and never flickers.
    if (hwnd_) InvalidateRect(hwnd_, area, FALSE);
}

void Window::Paint(HDC target, const RECT& area) {
    RECT client;
    GetClientRect(hwnd_, &client);
    const int w = client.right, h = client.bottom;
    if (w <= 0 || h <= 0) return;
    HDC dc = CreateCompatibleDC(target);
    HBITMAP surface = CreateCompatibleBitmap(target, w, h);
    HGDIOBJ oldBitmap = SelectObject(dc, surface);

    HBRUSH back = CreateSolidBrush(ColorOf(backColor_));
    FillRect(dc, &client, back);
    DeleteObject(back);
    if (windowPicture_ != Picture::None) {
        // Drawn from the top-left at the picture's own size; what lies beyond the client area
        // is cut off.
        const SIZE own = PictureTwips(windowPicture_);
        DrawPicture(dc, windowPicture_, {0, 0, Px(own.cx), Px(own.cy)});
    }
    if (State(ControlId::Label).visible) {
        // The label has no background of its own, so a background picture shows behind it.
        RECT r = ControlRect(ControlId::Label);
        HGDIOBJ oldFont = SelectObject(dc, labelFont_);
        SetBkMode(dc, TRANSPARENT);
        SetTextColor(dc, ColorOf(kLabelForeColor));
        DrawTextW(dc, LabelText().c_str(), static_cast<int>(LabelText().size()), &r,
                  DT_LEFT | DT_TOP | DT_WORDBREAK | DT_NOPREFIX);
        SelectObject(dc, oldFont);
    }
    for (const ControlDesign& d : kControls) {
        if (d.kind != ControlKind::Image || !State(d.id).visible) continue;
        DrawPicture(dc, State(d.id).picture, ControlRect(d.id));
    }

    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, dc,
           area.left, area.top, SRCCOPY);
    SelectObject(dc, oldBitmap);
    DeleteObject(surface);
    DeleteDC(dc);
}

// The list box.

void Window::AddListItems(std::span<const std::string> items) {
    HWND list = ControlWindow(ControlId::ListBox);
    SendMessageW(list, LB_INITSTORAGE, items.size(), static_cast<LPARAM>(items.size() * 32));
    SendMessageW(list, WM_SETREDRAW, FALSE, 0);
    for (const std::string& item : items) {
        const LRESULT added =
            SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(Widen(item).c_str()));
        if (added == LB_ERR || added == LB_ERRSPACE) {
            SendMessageW(list, WM_SETREDRAW, TRUE, 0);
            throw RuntimeError(kErrOutOfMemory);
        }
    }
    SendMessageW(list, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(list, nullptr, TRUE);
}

void Window::SelectListItem(int index) {
    HWND list = ControlWindow(ControlId::ListBox);
    const LRESULT count = SendMessageW(list, LB_GETCOUNT, 0, 0);
    if (index < 0 || index >= count) throw RuntimeError(kErrInvalidPropertyIndex);
    SendMessageW(list, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
}

int Window::ListIndex() const {
    const LRESULT index = SendMessageW(ControlWindow(ControlId::ListBox), LB_GETCURSEL, 0, 0);
    return index == LB_ERR ? -1 : static_cast<int>(index);
}

// Keys and the default button.

void Window::SyncDefaultButton() {
    // A plain window has no dialog manager to move the default frame: the focused button is
    // the one that Enter presses, and 終了 is whenever no button has the focus.
    HWND focus = GetFocus();
    int id = IDC_EXIT_BUTTON;
    for (int button : kButtonIds) {
        if (focus && focus == GetDlgItem(hwnd_, button)) id = button;
    }
    SetDefaultButton(id);
}

void Window::SetDefaultButton(int id) {
    defaultId_ = id;
    for (int button : kButtonIds) {
        const WPARAM style = (button == id ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_NOTIFY;
        SendMessageW(GetDlgItem(hwnd_, button), BM_SETSTYLE, style, TRUE);
    }
}

// Events.

LRESULT CALLBACK Window::WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        static_cast<Window*>(create->lpCreateParams)->hwnd_ = hwnd;
    }
    auto* self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, message, wParam, lParam);
    return self->Handle(message, wParam, lParam);
}

LRESULT Window::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_PAINT: {
        PAINTSTRUCT ps;
        HDC dc = BeginPaint(hwnd_, &ps);
        Paint(dc, ps.rcPaint);
        EndPaint(hwnd_, &ps);
        return 0;
    }
    case WM_PRINTCLIENT: {
        RECT client;
        GetClientRect(hwnd_, &client);
        Paint(reinterpret_cast<HDC>(wParam), client);
        return 0;
    }
    case WM_ERASEBKGND: return 1; // WM_PAINT covers every pixel
    case WM_LBUTTONDOWN:
        clicks_.Press(HitTest({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
        SetCapture(hwnd_);
        return 0;
    case WM_LBUTTONDBLCLK:
        // The second press of a double-click: the first one's release was the click.
        clicks_.Cancel();
        return 0;
    case WM_LBUTTONUP: {
        const frmMain::Handler handler =
            clicks_.Release(HitTest({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}));
        if (GetCapture() == hwnd_) ReleaseCapture();
        if (handler) Raise(handler);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd_) clicks_.Cancel();
        return 0;
    case WM_COMMAND:
        OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam));
        return 0;
    case kSyncDefaultButton: SyncDefaultButton(); return 0;
    case DM_GETDEFID: return MAKELRESULT(defaultId_, DC_HASDEFID);
    case WM_ACTIVATE:
        // The dialog manager's habit: the focus comes back to where it was when the window
        // was last active, instead of to the window itself.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(hwnd_, focus)) savedFocus_ = focus;
        } else {
            HWND focus = savedFocus_;
            if (!focus || !IsWindowVisible(focus)) focus = ControlWindow(ControlId::ListBox);
            if (!IsWindowVisible(focus)) focus = hwnd_;
            SetFocus(focus);
        }
        return 0;
    case WM_DPICHANGED: {
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        ApplyDpi(HIWORD(wParam));
        return 0;
    }
    case WM_CLOSE:
        // The title bar's close button and Alt+F4 end the program like キャンセル does.
        try {
            End(0);
        } catch (const EndUnwind&) {
        }
        return 0;
    default: return DefWindowProcW(hwnd_, message, wParam, lParam);
    }
}

void Window::OnCommand(int id, int code, HWND control) {
    if (id == IDC_LISTBOX) {
        if (code == LBN_DBLCLK) Raise(&frmMain::ListBox_DblClick);
        return;
    }
    if (std::find(kButtonIds.begin(), kButtonIds.end(), id) == kButtonIds.end()) return;
    switch (code) {
    case BN_SETFOCUS:
    case BN_KILLFOCUS:
        // The dialog manager's Tab also restyles the buttons it moves the focus between, after
        // telling us; so the frame is set again once the focus has settled.
        SyncDefaultButton();
        PostMessageW(hwnd_, kSyncDefaultButton, 0, 0);
        break;
    case BN_CLICKED:
        // Enter and Esc reach a button through the dialog manager even while it is hidden (the
        // explosion's red pause); a hidden button is not there to be pressed.
        if (!control) control = GetDlgItem(hwnd_, id);
        if (!control || !IsWindowVisible(control)) break;
        if (id == IDC_EXIT_BUTTON) Raise(&frmMain::終了_Click);
        if (id == IDC_SHUTDOWN_BUTTON) Raise(&frmMain::シャットダウン_Click);
        if (id == IDCANCEL) Raise(&frmMain::キャンセル_Click);
        break;
    default: break;
    }
}

SurfaceClicks::Target Window::HitTest(POINT client) const {
    return SurfaceClicks::At(controls_, [&](ControlId id) {
        const RECT r = ControlRect(id);
        return PtInRect(&r, client) != FALSE;
    });
}

void Window::Raise(frmMain::Handler handler) {
    if (!form_ || ended_) return;
    try {
        form_->Raise(handler);
    } catch (const EndUnwind&) {
        // End() ran under the end seam; the loops see ended_ and stop.
    } catch (...) {
        // Raise turns every failure the program expects into a report. Anything else is a
        // defect, and an exception must never unwind into the system's code that called us.
        std::terminate();
    }
}

// The event pump.

bool Window::Translate(MSG& msg) {
    if (msg.message == WM_QUIT) return false;
    if (!IsDialogMessageW(hwnd_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return true;
}

bool Window::PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (!Translate(msg)) {
            // Leave the quit for the outermost loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            return false;
        }
        if (ended_) return false;
    }
    return true;
}

void Window::DoEvents(double maxWaitSeconds) {
    if (ended_) throw EndUnwind{};
    // Sleeps until input arrives or the time is up, instead of spinning on the clock.
    const double ms = std::ceil(std::clamp(maxWaitSeconds, 0.0, 86400.0) * 1000.0);
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(ms), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    PumpPending();
    // The program ended inside a nested handler: the handler that waits must not go on.
    if (ended_) throw EndUnwind{};
}

int Window::Run() {
    MSG msg;
    while (!ended_ && GetMessageW(&msg, nullptr, 0, 0) > 0)
        Translate(msg);
    return endStatus_;
}

// The clock.

double Window::Timer() const {
    SYSTEMTIME now;
    GetLocalTime(&now);
    return now.wHour * 3600.0 + now.wMinute * 60.0 + now.wSecond + now.wMilliseconds / 1000.0;
}

double Window::MonotonicSeconds() const {
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / performanceFrequency_;
}

// Message boxes and the end.

int Window::MsgBox(std::string_view text, int style, std::string_view title) {
    const std::wstring wideText = Widen(text), wideTitle = Widen(title);
    // The program's style values (0 OK, 1 OK and Cancel, 64 information) are MessageBox's own
    // flags, and its answers (1 OK, 2 Cancel) are IDOK and IDCANCEL.
    const UINT type = static_cast<UINT>(style);
    if (msgBoxSeam) return msgBoxSeam(hwnd_, wideText, wideTitle, type);
    return MessageBoxW(hwnd_, wideText.c_str(), wideTitle.c_str(), type);
}

void Window::End(int exitStatus) {
    if (endSeam) {
        ended_ = true;
        endStatus_ = exitStatus;
        endSeam(exitStatus);
        throw EndUnwind{};
    }
    // At once, from however deep a nested handler: unwinding through the nested message
    // loops would run the rest of the handlers that called them.
    std::fflush(nullptr);
    ExitProcess(static_cast<UINT>(exitStatus));
}

} // namespace pikorina::win32
