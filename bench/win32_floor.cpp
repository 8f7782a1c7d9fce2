// The start-up floor under Wine: the least a Win32 program can do to show this window. A plain
// top-level window of the same fixed client size with a list box of ten entries and three
// buttons with the same captions, and nothing else: no fonts, icons, pictures or launch list.
// Timed from outside exactly like the program. Built by bench/run with mingw-w64, twice: as it
// is, and with the program's manifest and COMMON_CONTROLS_6 defined, where the list and buttons
// are the themed controls of Common Controls 6, as the program's are.
#include <windows.h>
#ifdef COMMON_CONTROLS_6
#include <commctrl.h>
#endif

namespace {

LRESULT CALLBACK Proc(HWND hwnd, UINT message, WPARAM w, LPARAM l) {
    if (message == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcW(hwnd, message, w, l);
}

} // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR, int) {
#ifdef COMMON_CONTROLS_6
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
#endif
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, reinterpret_cast<LPCWSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"floor";
    RegisterClassW(&wc);
    const DWORD style = WS_CAPTION | WS_SYSMENU;
    RECT r{0, 0, 369, 238}; // the program's client area, in pixels
    AdjustWindowRect(&r, style, FALSE);
    HWND hwnd = CreateWindowExW(0, L"floor",
                                L"\u30D7\u30ED\u30B0\u30E9\u30E0\u306E\u5F37\u5236\u7D42\u4E86",
                                style, CW_USEDEFAULT, CW_USEDEFAULT, r.right - r.left,
                                r.bottom - r.top, nullptr, nullptr, instance, nullptr);
    HWND list = CreateWindowExW(WS_EX_CLIENTEDGE, L"LISTBOX", L"",
                                WS_CHILD | WS_VISIBLE | WS_VSCROLL | LBS_NOTIFY, 12, 8, 342, 124,
                                hwnd, nullptr, instance, nullptr);
    for (int i = 0; i < 10; ++i)
        SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"\u6642\u8A08"));
    SendMessageW(list, LB_SETCURSEL, 0, 0);
    const struct {
        const wchar_t* caption;
        int left, width;
    } buttons[] = {{L"\u7D42\u4E86(&E)", 11, 110},
                   {L"\u30B7\u30E3\u30C3\u30C8\u30C0\u30A6\u30F3(&S)", 130, 109},
                   {L"\u30AD\u30E3\u30F3\u30BB\u30EB", 248, 110}};
    for (const auto& b : buttons) {
        CreateWindowExW(0, L"BUTTON", b.caption, WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, b.left, 201,
                        b.width, 21, hwnd, nullptr, instance, nullptr);
    }
    ShowWindow(hwnd, SW_SHOW);
    UpdateWindow(hwnd);
    MSG msg;
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}
