#include "fixture.h"

#include "app/module.h"
#include "platform/win32/scoped.h"

#include <chrono>
#include <fstream>
#include <iterator>
#include <thread>

namespace pikorina::win32::test {
namespace {

std::vector<Step>* activeScript = nullptr;
std::size_t nextStep = 0;

void CALLBACK RunScript(HWND, UINT, UINT_PTR, DWORD) {
    if (!activeScript || nextStep >= activeScript->size()) return;
    Step& step = (*activeScript)[nextStep];
    if (step.ready()) {
        ++nextStep;
        step.act();
    }
}

} // namespace

std::wstring ModuleFolder() {
    wchar_t path[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring s(path, n);
    return s.substr(0, s.find_last_of(L'\\'));
}

std::wstring MakeTempFolder() {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    static unsigned counter = 0;
    for (;;) {
        std::wstring folder = std::wstring(temp) + L"pikorina-test-" +
                              std::to_wstring(GetCurrentProcessId()) + L"-" +
                              std::to_wstring(++counter);
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
        if (GetLastError() != ERROR_ALREADY_EXISTS) return {};
    }
}

void RemoveTree(const std::wstring& folder) {
    if (folder.empty()) return;
    WIN32_FIND_DATAW found;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::wstring name = found.cFileName;
            if (name == L"." || name == L"..") continue;
            const std::wstring path = folder + L"\\" + name;
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(path);
            } else {
                DeleteFileW(path.c_str());
            }
        } while (FindNextFileW(find, &found));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

void WriteBytes(const std::wstring& path, std::string_view bytes) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string ReadBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool FileExists(const std::wstring& path) {
    return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Whether the file can be opened as ReadBytes opens it. The stand-in renames its file into
// place, and Wine's MoveFileEx renames through a handle with delete access that it closes only
// afterwards: until then the file exists, but the C runtime, which does not share deletion, is
// refused it and reads nothing.
bool Readable(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

bool WaitForFile(const std::wstring& path) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!Readable(path)) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

std::wstring MarkerExe() {
    return ModuleFolder() + L"\\marker.exe";
}

std::string MarkerCommand(const std::wstring& out, std::string_view arguments) {
    return Narrow(MarkerExe()) + " " + Narrow(out) + " " + std::string(arguments);
}

void WindowTest::SetUp() {
    boxes_.clear();
    answer_ = IDOK;
    folder_ = MakeTempFolder();
    ASSERT_FALSE(folder_.empty());
    Window::msgBoxSeam = [this](HWND owner, std::wstring_view text, std::wstring_view caption,
                                UINT type) {
        boxes_.push_back({owner, std::wstring(text), std::wstring(caption), type});
        return answer_;
    };
    host_ = std::make_unique<Host>(Narrow(folder_));
}

void WindowTest::TearDown() {
    activeScript = nullptr;
    form_.reset();
    window_.reset();
    host_.reset();
    Window::msgBoxSeam = nullptr;
    Module::launchNames.clear();
    Module::launchCommands.clear();
    RemoveTree(folder_);
}

void WindowTest::Start(std::string_view setupIni) {
    WriteBytes(folder_ + L"\\Setup.ini", setupIni);
    window_ = std::make_unique<Window>(GetModuleHandleW(nullptr), *host_);
    form_ = std::make_unique<frmMain>(*window_, *host_);
    // A failed load would end the test program with status 1.
    window_->Start(*form_);
    Pump();
}

void WindowTest::StartWithDefaultList() {
    Start("\xEF\xBB\xBF"
          "\"マーカー\"," +
          MarkerCommand(folder_ + L"\\first.txt", "one two") +
          "\r\n"
          "\"存在しない\",pikorina_no_such_program.exe\r\n"
          "\"三番目\"," +
          MarkerCommand(folder_ + L"\\third.txt", "three") + "\r\n");
}

void WindowTest::PostKey(UINT virtualKey) {
    HWND target = GetFocus() ? GetFocus() : window_->hwnd();
    const LPARAM scan = static_cast<LPARAM>(MapVirtualKeyW(virtualKey, MAPVK_VK_TO_VSC)) << 16;
    PostMessageW(target, WM_KEYDOWN, virtualKey, 1 | scan);
    PostMessageW(target, WM_KEYUP, virtualKey, 1 | scan | (1 << 30) | (1u << 31));
}

void WindowTest::PostAltKey(wchar_t letter) {
    HWND target = GetFocus() ? GetFocus() : window_->hwnd();
    // Bit 29: the Alt key is down.
    PostMessageW(target, WM_SYSCHAR, letter, 1 | (1 << 29));
}

void WindowTest::PostClick(POINT client) {
    const LPARAM at = MAKELPARAM(client.x, client.y);
    PostMessageW(window_->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window_->hwnd(), WM_LBUTTONUP, 0, at);
}

void WindowTest::PostClickTwips(Twips x, Twips y) {
    PostClick(PointOf(x, y));
}

void WindowTest::PostDoubleClickOnListItem(int index) {
    HWND list = window_->ControlWindow(ControlId::ListBox);
    RECT item;
    SendMessageW(list, LB_GETITEMRECT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
    const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
    PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
    PostMessageW(list, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(list, WM_LBUTTONUP, 0, at);
}

void WindowTest::Pump() {
    // Twice: a message handled in the first round may post another (Alt+F4 posts the close).
    for (int round = 0; round < 2; ++round)
        window_->PumpPending();
}

void WindowTest::RunDuring(std::vector<Step> script) {
    static std::vector<Step> steps;
    steps = std::move(script);
    activeScript = &steps;
    nextStep = 0;
    SetTimer(nullptr, 0, 10, RunScript);
}

bool WindowTest::ScriptFinished() const {
    return activeScript && nextStep >= activeScript->size();
}

POINT WindowTest::PointOf(Twips x, Twips y) const {
    return {TwipsToPixels(x, window_->Dpi()), TwipsToPixels(y, window_->Dpi())};
}

int WindowTest::Surface::Count(const RECT& r, COLORREF color) const {
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y) {
        for (int x = r.left; x < r.right; ++x)
            n += At(x, y) == color;
    }
    return n;
}

int WindowTest::DifferencesFromIcon(const Surface& surface, const RECT& area, int iconId,
                                    COLORREF back) {
    const int w = area.right - area.left, h = area.bottom - area.top;
    HICON icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(iconId), IMAGE_ICON, 32, 32, 0));
    const ScopedScreenDC screen(GetDC(nullptr));
    const ScopedDC dc(CreateCompatibleDC(screen.get()));
    const ScopedGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(screen.get(), w, h));
    const ScopedSelection selected(dc.get(), bitmap.get());
    const ScopedGdiObject<HBRUSH> brush(CreateSolidBrush(back));
    RECT all{0, 0, w, h};
    FillRect(dc.get(), &all, brush.get());
    DrawIconEx(dc.get(), 0, 0, icon, w, h, 0, nullptr, DI_NORMAL);
    DestroyIcon(icon);
    int differing = 0;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            differing += GetPixel(dc.get(), x, y) != surface.At(area.left + x, area.top + y);
        }
    }
    return differing;
}

WindowTest::Surface WindowTest::Capture() {
    HWND hwnd = window_->hwnd();
    UpdateWindow(hwnd);
    RECT client;
    GetClientRect(hwnd, &client);
    Surface s;
    s.width = client.right;
    s.height = client.bottom;
    HDC window = GetDC(hwnd);
    const ScopedDC copy(CreateCompatibleDC(window));
    const ScopedGdiObject<HBITMAP> bitmap(CreateCompatibleBitmap(window, s.width, s.height));
    {
        const ScopedSelection selected(copy.get(), bitmap.get());
        BitBlt(copy.get(), 0, 0, s.width, s.height, window, 0, 0, SRCCOPY);
    }
    ReleaseDC(hwnd, window);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = s.width;
    info.bmiHeader.biHeight = -s.height; // top-down rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::vector<DWORD> raw(static_cast<std::size_t>(s.width * s.height));
    GetDIBits(copy.get(), bitmap.get(), 0, static_cast<UINT>(s.height), raw.data(), &info,
              DIB_RGB_COLORS);
    s.pixels.reserve(raw.size());
    // DIB pixels are 0x00RRGGBB; COLORREF is 0x00BBGGRR.
    for (DWORD p : raw)
        s.pixels.push_back(RGB((p >> 16) & 0xFF, (p >> 8) & 0xFF, p & 0xFF));
    return s;
}

RECT WindowTest::ChildRect(ControlId id) const {
    RECT r;
    GetWindowRect(window_->ControlWindow(id), &r);
    MapWindowPoints(nullptr, window_->hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return r;
}

} // namespace pikorina::win32::test
