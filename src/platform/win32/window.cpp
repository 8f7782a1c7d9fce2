// The window: the list and buttons kept in step with the core's surface, painting through an
// off-screen bitmap, keys and mouse into the core, message boxes, the event pump, the clock and
// the end of the program.
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

// The pictures that are part of the program, loaded from its resources when first shown: the
// 900 KB background would otherwise cost every start-up, though many runs never switch it on.
// The image controls show the 32 x 32 image of an icon, whatever the dpi: a larger rendering
// is the same picture stretched, as the explosion's later frames are.
HANDLE PictureHandle(Picture picture) {
    static std::array<HANDLE, 5> handles{};
    static constexpr int kResources[] = {0, IDI_FLAG, IDB_SWIRL, IDI_DYNAMITE, IDI_BURST};
    HANDLE& handle = handles[static_cast<std::size_t>(picture)];
    if (!handle && picture != Picture::None) {
        const HINSTANCE module = GetModuleHandleW(nullptr);
        const auto id = MAKEINTRESOURCEW(kResources[static_cast<int>(picture)]);
        handle = picture == Picture::Swirl
                     ? LoadImageW(module, id, IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION)
                     : LoadImageW(module, id, IMAGE_ICON, 32, 32, LR_DEFAULTCOLOR);
    }
    return handle;
}

void Draw(HDC dc, Picture picture, const RECT& r) {
    const int w = r.right - r.left, h = r.bottom - r.top;
    HANDLE handle = PictureHandle(picture);
    if (w <= 0 || h <= 0 || !handle) return;
    if (picture != Picture::Swirl) {
        // DI_NORMAL applies the icon's mask, so its transparent pixels show what lies behind.
        DrawIconEx(dc, r.left, r.top, static_cast<HICON>(handle), w, h, 0, nullptr, DI_NORMAL);
        return;
    }
    const ScopedDC source(CreateCompatibleDC(dc));
    const ScopedSelection selected(source.get(), handle);
    const PictureSize own = OwnSize(picture);
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

HFONT CreatePointFont(std::wstring_view face, int points, int charset, int dpi) {
    LOGFONTW font{};
    font.lfHeight = -MulDiv(points, dpi, 72);
    font.lfWeight = FW_NORMAL;
    font.lfCharSet = static_cast<BYTE>(charset);
    font.lfQuality = DEFAULT_QUALITY;
    face.copy(font.lfFaceName, LF_FACESIZE - 1);
    return CreateFontIndirectW(&font);
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

int ChildId(ControlId id) {
    switch (id) {
    case ControlId::ListBox: return IDC_LISTBOX;
    case ControlId::終了: return IDC_EXIT_BUTTON;
    case ControlId::キャンセル: return IDCANCEL;
    case ControlId::シャットダウン: return IDC_SHUTDOWN_BUTTON;
    default: return 0;
    }
}

// Posted to ourselves: put the default frame where the focus is now.
constexpr UINT kSyncDefaultButton = WM_APP + 1;

} // namespace

std::function<int(HWND, std::wstring_view, std::wstring_view, UINT)> Window::msgBoxSeam;
std::function<void(int)> Window::endSeam;

Window::Window(HINSTANCE instance, std::optional<std::string> appPath)
    : instance_(instance), appPath_(std::move(appPath)) {
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
    const auto flag = reinterpret_cast<LPARAM>(PictureHandle(Picture::Flag));
    SendMessageW(hwnd_, WM_SETICON, ICON_BIG, flag);
    SendMessageW(hwnd_, WM_SETICON, ICON_SMALL, flag);

    // The list and the buttons are created in tab order: the dialog manager's Tab follows the
    // order in which they were created.
    for (ControlId id : kTabOrder) {
        const ControlDesign& d = Design(id);
        const bool list = d.kind == ControlKind::ListBox;
        // The list takes exact heights, as designed, rather than a whole number of lines. The
        // buttons report focus changes (BS_NOTIFY), which move the default-button frame.
        const DWORD style =
            list ? WS_VSCROLL | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT
                 : (id == defaultButton_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_NOTIFY;
        HWND child = CreateWindowExW(
            list ? WS_EX_CLIENTEDGE : 0, list ? L"LISTBOX" : L"BUTTON", Widen(d.caption).c_str(),
            WS_CHILD | WS_TABSTOP | (d.visible ? WS_VISIBLE : 0) | style, 0, 0, 0, 0, hwnd_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(ChildId(id))), instance_, nullptr);
        if (!child) throw RuntimeError(kErrOutOfMemory);
        children_[static_cast<int>(id)] = child;
    }
    ApplyDpi(static_cast<int>(GetDpiForWindow(hwnd_)));
}

HWND Window::ControlWindow(ControlId id) const {
    return children_[static_cast<int>(id)];
}

RECT Window::Px(const Rect& r) const {
    const int left = Px(r.left), top = Px(r.top);
    return {left, top, left + Px(r.width), top + Px(r.height)};
}

RECT Window::ControlRect(ControlId id) const {
    return Px(surface().RectOf(id));
}

bool Window::IsShown(ControlId id) const {
    if (HWND child = ControlWindow(id)) return IsWindowVisible(child) != FALSE;
    return surface()[id].visible;
}

void Window::ApplyDpi(int dpi) {
    dpi_ = dpi;
    // "MS Shell Dlg" is the system's dialog face: MS UI Gothic on a Japanese system.
    dialogFont_.reset(CreatePointFont(L"MS Shell Dlg", kLabelFont.points, DEFAULT_CHARSET, dpi_));
    surfaceFont_.reset();
    for (ControlId id : kTabOrder) {
        SendMessageW(ControlWindow(id), WM_SETFONT, reinterpret_cast<WPARAM>(dialogFont_.get()),
                     TRUE);
        PlaceControl(id);
    }
    ResizeWindow();
    Repaint();
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
    FocusControl(kTabOrder.front());
    UpdateWindow(hwnd_);
}

// The surface's native part.

void Window::ResizeWindow() {
    // The design measures the outer size with a frame of its own; whatever frame this system
    // draws, the client area is the outer size less the design's frame.
    RECT r = Px(surface().ClientRect());
    AdjustWindowRectExForDpi(&r, kWindowStyle, FALSE, kWindowExStyle, static_cast<UINT>(dpi_));
    SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::PlaceControl(ControlId id) {
    const RECT r = ControlRect(id);
    SetWindowPos(ControlWindow(id), nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void Window::ShowControl(ControlId id, bool visible) {
    ShowWindow(ControlWindow(id), visible ? SW_SHOWNA : SW_HIDE);
}

bool Window::HasFocus(ControlId id) const {
    return GetFocus() == ControlWindow(id);
}

void Window::FocusWindow() {
    SetFocus(hwnd_);
}

void Window::FocusControl(ControlId id) {
    SetFocus(ControlWindow(id));
}

void Window::Repaint() {
    // The whole surface is painted through one off-screen bitmap, so repainting all of it
    // costs little and never flickers.
    if (hwnd_) InvalidateRect(hwnd_, nullptr, FALSE);
}

// Painting.

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
    struct GdiPainter final : Painter {
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

    BitBlt(target, area.left, area.top, area.right - area.left, area.bottom - area.top, dc.get(),
           area.left, area.top, SRCCOPY);
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
    // A plain window has no dialog manager to move the default frame.
    HWND focus = GetFocus();
    std::optional<ControlId> focused;
    for (ControlId id : kTabOrder) {
        if (focus && focus == ControlWindow(id)) focused = id;
    }
    defaultButton_ = Surface::DefaultButton(focused);
    for (ControlId id : kTabOrder) {
        if (Design(id).kind != ControlKind::Button) continue;
        const WPARAM style = (id == defaultButton_ ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON) | BS_NOTIFY;
        SendMessageW(ControlWindow(id), BM_SETSTYLE, style, TRUE);
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
    // Whether the mouse message's point lies in a rectangle of the surface.
    const auto under = [this,
                        at = POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}](const Rect& r) {
        const RECT area = Px(r);
        return PtInRect(&area, at) != FALSE;
    };
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
        surface_.MouseDown(under);
        SetCapture(hwnd_);
        return 0;
    case WM_LBUTTONDBLCLK:
        // The second press of a double-click: the first one's release was the click.
        surface_.CancelClick();
        return 0;
    case WM_LBUTTONUP: {
        const frmMain::Handler handler = surface_.MouseUp(under);
        if (GetCapture() == hwnd_) ReleaseCapture();
        if (handler) Raise(handler);
        return 0;
    }
    case WM_CAPTURECHANGED:
        if (reinterpret_cast<HWND>(lParam) != hwnd_) surface_.CancelClick();
        return 0;
    case WM_COMMAND: OnCommand(LOWORD(wParam), HIWORD(wParam)); return 0;
    case kSyncDefaultButton: SyncDefaultButton(); return 0;
    case DM_GETDEFID: return MAKELRESULT(ChildId(defaultButton_), DC_HASDEFID);
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

void Window::OnCommand(int id, int code) {
    for (ControlId control : kTabOrder) {
        if (ChildId(control) != id) continue;
        if (control == ControlId::ListBox) {
            if (code == LBN_DBLCLK) Raise(&frmMain::ListBox_DblClick);
        } else if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
            // The dialog manager's Tab also restyles the buttons it moves the focus between,
            // after telling us; so the frame is set again once the focus has settled.
            SyncDefaultButton();
            PostMessageW(hwnd_, kSyncDefaultButton, 0, 0);
        } else if (code == BN_CLICKED) {
            PressButton(control);
        }
    }
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
