// The window: the list and buttons kept in step with the core's surface, keys and mouse into
// the core, message boxes and the event pump. Painting is paint.cpp's.
#include "platform/win32/window.h"

#include "app/errors.h"
#include "platform/win32/paint.h"
#include "platform/win32/resource.h"
#include "platform/win32/system_dll.h"
#include "platform/win32/text.h"

#include <commctrl.h>
#include <mmsystem.h>
#include <windowsx.h>

namespace pikorina::win32 {
namespace {

constexpr wchar_t kWindowClass[] = L"PikorinaMain";
constexpr DWORD kWindowStyle = WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr DWORD kWindowExStyle = 0;

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

Window::Window(HINSTANCE instance, pikorina::Host& host)
    : SurfaceWindowSystem(host), instance_(instance) {
    // Waits in the event pump end within a millisecond of their deadline rather than at the
    // next tick of the default 15.6 ms timer. Asked for at start, not at the first wait: Wine's
    // winmm imports ole32, which then comes from the system folder; otherwise Wine's own code
    // loads ole32 at the first paint by a search that passes over the restriction, and would
    // take a copy planted beside the program (the planted-DLL checks).
    winmm::timeBeginPeriod(1);
}

Window::~Window() {
    if (annotations_) {
        annotations_->ClearHwndProps(hwnd_, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                     &PROPID_ACC_ROLE, 1);
    }
    if (hwnd_) DestroyWindow(hwnd_);
    winmm::timeEndPeriod(1);
}

void Window::Create() {
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

    // The controls are created in reading order, which screen readers follow, and the dialog
    // manager's Tab follows it over those that take the focus.
    for (ControlId id : kReadingOrder) {
        const ControlDesign& d = Design(id);
        if (d.kind == ControlKind::Label) {
            // Drawn by the window, as it paints the surface. A static without SS_NOTIFY lets
            // clicks through to the window, whose surface routes them.
            children_[static_cast<int>(id)] =
                CreateWindowExW(0, L"STATIC", Widen(d.caption).c_str(),
                                WS_CHILD | (d.visible ? WS_VISIBLE : 0) | SS_OWNERDRAW, 0, 0, 0, 0,
                                hwnd_, nullptr, instance_, nullptr);
            if (!ControlWindow(id)) throw RuntimeError(kErrOutOfMemory);
            continue;
        }
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

// Screen readers: the window is a dialog box. Windows says so of a window of its own dialog
// class, and of this plain window through its annotation service, where the system has one that
// takes the role. Wine's does not: there the call fails, and the window is read as the plain
// window it is. Called when a reader first asks for the window (WM_GETOBJECT), so that COM is
// loaded only where someone reads the window, not at every start.
void Window::AnnounceAsDialog() {
    if (FAILED(ole32::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) return;
    IAccPropServices* services = nullptr;
    if (FAILED(ole32::CoCreateInstance(CLSID_AccPropServices, nullptr, CLSCTX_INPROC_SERVER,
                                       IID_IAccPropServices,
                                       reinterpret_cast<void**>(&services)))) {
        return;
    }
    annotations_.reset(services);
    VARIANT role{};
    role.vt = VT_I4;
    role.lVal = ROLE_SYSTEM_DIALOG;
    if (FAILED(services->SetHwndProp(hwnd_, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                     PROPID_ACC_ROLE, role))) {
        annotations_.reset();
    }
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
    // "MS Shell Dlg" is the system's dialog face: MS UI Gothic on a Japanese system. The old
    // font is deleted only once no control uses it any more.
    ScopedGdiObject<HFONT> font(
        CreatePointFont(L"MS Shell Dlg", kLabelFont.points, DEFAULT_CHARSET, dpi_));
    for (ControlId id : kReadingOrder)
        SendMessageW(ControlWindow(id), WM_SETFONT, reinterpret_cast<WPARAM>(font.get()), TRUE);
    dialogFont_ = std::move(font);
    surfaceFont_.reset();
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
    // The label shows the surface beneath its text.
    if (HWND label = ControlWindow(ControlId::Label)) InvalidateRect(label, nullptr, FALSE);
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

int Window::ListCount() const {
    return static_cast<int>(SendMessageW(ControlWindow(ControlId::ListBox), LB_GETCOUNT, 0, 0));
}

void Window::SelectListRow(int index) {
    SendMessageW(ControlWindow(ControlId::ListBox), LB_SETCURSEL, static_cast<WPARAM>(index), 0);
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
    case WM_DRAWITEM: {
        // The label: its part of the surface, with its text, as the window would paint it.
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->hwndItem != ControlWindow(ControlId::Label)) {
            return DefWindowProcW(hwnd_, message, wParam, lParam);
        }
        const RECT area = ControlRect(ControlId::Label);
        POINT origin;
        SetViewportOrgEx(item->hDC, -area.left, -area.top, &origin);
        Paint(item->hDC, area);
        SetViewportOrgEx(item->hDC, origin.x, origin.y, nullptr);
        return TRUE;
    }
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
        LayOut();
        return 0;
    }
    case WM_CLOSE: CloseWindow(); return 0;
    case WM_GETOBJECT:
        // The annotation is in place before the system builds the object it hands out.
        if (!annotationAsked_) {
            annotationAsked_ = true;
            AnnounceAsDialog();
        }
        return DefWindowProcW(hwnd_, message, wParam, lParam);
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

// The event pump.

void Window::Translate(MSG& msg) {
    if (!IsDialogMessageW(hwnd_, &msg)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

void Window::PumpPending() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        // Nothing in the program posts a quit; one from outside ends it, as it would end the
        // message loop, and not only the wait that happened to find it.
        if (msg.message == WM_QUIT) host_.End(static_cast<int>(msg.wParam));
        Translate(msg);
    }
}

void Window::Pump(int maxWaitMilliseconds) {
    // Sleeps until input arrives or the time is up, instead of spinning on the clock.
    MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(maxWaitMilliseconds), QS_ALLINPUT,
                                MWMO_INPUTAVAILABLE);
    PumpPending();
}

int Window::Run() {
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0)
        Translate(msg);
    return static_cast<int>(msg.wParam);
}

// Message boxes.

int Window::MsgBox(std::string_view text, int style, std::string_view title) {
    const std::wstring wideText = Widen(text), wideTitle = Widen(title);
    // The program's style values (0 OK, 1 OK and Cancel, 64 information) are MessageBox's own
    // flags, and its answers (1 OK, 2 Cancel) are IDOK and IDCANCEL.
    const UINT type = static_cast<UINT>(style);
    if (msgBoxSeam) return msgBoxSeam(hwnd_, wideText, wideTitle, type);
    return MessageBoxW(hwnd_, wideText.c_str(), wideTitle.c_str(), type);
}

} // namespace pikorina::win32
