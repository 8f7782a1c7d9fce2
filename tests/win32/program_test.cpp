// The built program as a process of its own, from a folder with its own Setup.ini: how it ends,
// the report that ends it when the list cannot be loaded, and what the exe carries.
#include "fixture.h"

#include "platform/win32/resource.h"

#include <chrono>

namespace pikorina::win32::test {
namespace {

std::wstring BuiltProgram() {
    return ModuleFolder() + L"\\" + PIKORINA_EXE_FROM_TESTS;
}

class Program : public ::testing::Test {
  protected:
    void SetUp() override {
        folder_ = MakeTempFolder();
        ASSERT_FALSE(folder_.empty());
        exe_ = folder_ + L"\\pikorina.exe";
        ASSERT_TRUE(CopyFileW(BuiltProgram().c_str(), exe_.c_str(), FALSE))
            << Narrow(BuiltProgram());
    }
    void TearDown() override {
        if (process_.hProcess) {
            if (WaitForSingleObject(process_.hProcess, 0) == WAIT_TIMEOUT) {
                TerminateProcess(process_.hProcess, 99);
                WaitForSingleObject(process_.hProcess, 10000);
            }
            CloseHandle(process_.hProcess);
            CloseHandle(process_.hThread);
        }
        RemoveTree(folder_);
    }

    void Launch() {
        std::wstring line = L"\"" + exe_ + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessW(exe_.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                                   folder_.c_str(), &startup, &process_));
    }

    // The first top-level window of the program with this class that passes `accept`, waited
    // for until a generous deadline (only there so that a broken program fails the test).
    HWND WaitForWindow(const wchar_t* windowClass, bool mustBeVisible) {
        struct Search {
            DWORD pid;
            const wchar_t* windowClass;
            bool mustBeVisible;
            HWND found;
        } search{process_.dwProcessId, windowClass, mustBeVisible, nullptr};
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
        while (!search.found && std::chrono::steady_clock::now() < deadline) {
            EnumWindows(
                [](HWND hwnd, LPARAM p) -> BOOL {
                    auto& s = *reinterpret_cast<Search*>(p);
                    DWORD pid = 0;
                    GetWindowThreadProcessId(hwnd, &pid);
                    wchar_t name[64] = {};
                    GetClassNameW(hwnd, name, 64);
                    if (pid == s.pid && std::wstring(name) == s.windowClass &&
                        (!s.mustBeVisible || IsWindowVisible(hwnd))) {
                        s.found = hwnd;
                        return FALSE;
                    }
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&search));
            if (!search.found) {
                if (WaitForSingleObject(process_.hProcess, 20) == WAIT_OBJECT_0) break;
            }
        }
        return search.found;
    }

    // The exit status, once the program has ended.
    DWORD ExitStatus() {
        EXPECT_EQ(WaitForSingleObject(process_.hProcess, 30000), WAIT_OBJECT_0) << "still running";
        DWORD status = 259;
        GetExitCodeProcess(process_.hProcess, &status);
        // An exception nobody handled ends the process with its code (0xC0000005...).
        if (status >= 0xC0000000u) {
            ADD_FAILURE() << "\ncrashed: pikorina.exe (exception 0x" << std::hex << status << ")";
        }
        return status;
    }

    std::wstring folder_, exe_;
    PROCESS_INFORMATION process_{};
};

TEST_F(Program, EndsWithStatusZeroByEveryWayOfQuitting) {
    const struct {
        const char* how;
        void (*quit)(HWND window);
    } ways[] = {
        {"title bar close", [](HWND w) { PostMessageW(w, WM_CLOSE, 0, 0); }},
        {"Esc in the list",
         [](HWND w) {
             HWND list = FindWindowExW(w, nullptr, L"ListBox", nullptr);
             PostMessageW(list, WM_KEYDOWN, VK_ESCAPE, 1);
         }},
        {"キャンセル clicked",
         [](HWND w) { PostMessageW(GetDlgItem(w, IDCANCEL), BM_CLICK, 0, 0); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.how);
        WriteBytes(folder_ + L"\\Setup.ini", "a,pikorina_no_such_program.exe\r\n");
        Launch();
        HWND window = WaitForWindow(L"PikorinaMain", true);
        ASSERT_NE(window, nullptr);
        way.quit(window);
        EXPECT_EQ(ExitStatus(), 0u);
        CloseHandle(process_.hProcess);
        CloseHandle(process_.hThread);
        process_ = {};
    }
}

std::wstring BoxText(HWND box) {
    // The message box's text is its longest static child.
    std::wstring longest;
    for (HWND child = GetWindow(box, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        wchar_t text[512] = {};
        GetWindowTextW(child, text, 512);
        if (wcslen(text) > longest.size()) longest = text;
    }
    return longest;
}

TEST_F(Program, AMissingListIsReportedAndEndsWithStatusOneBeforeTheWindowShows) {
    Launch();
    HWND box = WaitForWindow(L"#32770", true);
    ASSERT_NE(box, nullptr);
    wchar_t title[64] = {};
    GetWindowTextW(box, title, 64);
    EXPECT_STREQ(title, L"ピコリナ");
    const std::wstring text = BoxText(box);
    EXPECT_NE(text.find(L"53"), std::wstring::npos) << Narrow(text);
    EXPECT_NE(text.find(folder_ + L"\\Setup.ini"), std::wstring::npos) << Narrow(text);
    // The window exists, hidden, while its load handler runs; it is never shown.
    HWND window = WaitForWindow(L"PikorinaMain", false);
    ASSERT_NE(window, nullptr);
    EXPECT_FALSE(IsWindowVisible(window));
    PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(ExitStatus(), 1u);
}

TEST_F(Program, ExeCarriesTheFlagIconFirstAndVersionTwo) {
    HMODULE exe = LoadLibraryExW(exe_.c_str(), nullptr,
                                 LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(exe, nullptr);
    ULONG_PTR firstIcon = 0;
    EnumResourceNamesW(
        exe, RT_GROUP_ICON,
        [](HMODULE, LPCWSTR, LPWSTR name, LONG_PTR first) -> BOOL {
            *reinterpret_cast<ULONG_PTR*>(first) = reinterpret_cast<ULONG_PTR>(name);
            return FALSE;
        },
        reinterpret_cast<LONG_PTR>(&firstIcon));
    EXPECT_EQ(firstIcon, static_cast<ULONG_PTR>(IDI_FLAG));
    FreeLibrary(exe);

    DWORD ignored = 0;
    const DWORD size = GetFileVersionInfoSizeW(exe_.c_str(), &ignored);
    ASSERT_GT(size, 0u);
    std::vector<char> info(size);
    ASSERT_TRUE(GetFileVersionInfoW(exe_.c_str(), 0, size, info.data()));
    VS_FIXEDFILEINFO* fixed = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(info.data(), L"\\", reinterpret_cast<void**>(&fixed), &length));
    EXPECT_EQ(fixed->dwFileVersionMS, MAKELONG(0, 2));
    EXPECT_EQ(fixed->dwFileVersionLS, 0u);
    EXPECT_EQ(fixed->dwProductVersionMS, MAKELONG(0, 2));
    EXPECT_EQ(fixed->dwProductVersionLS, 0u);
    const struct {
        const wchar_t* key;
        const wchar_t* value;
    } strings[] = {
        {L"\\StringFileInfo\\041104B0\\ProductName", L"ピコリナ"},
        {L"\\StringFileInfo\\041104B0\\FileVersion", L"2.00"},
    };
    for (const auto& s : strings) {
        wchar_t* value = nullptr;
        ASSERT_TRUE(VerQueryValueW(info.data(), s.key, reinterpret_cast<void**>(&value), &length))
            << Narrow(s.key);
        EXPECT_STREQ(value, s.value);
    }
}

} // namespace
} // namespace pikorina::win32::test
