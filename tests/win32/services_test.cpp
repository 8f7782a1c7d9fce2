// The services without a window of their own: files, text, the program's folder, the sound,
// the clock and the event pump.
#include "fixture.h"

#include "app/errors.h"
#include "host_tables.h"

#include <algorithm>
#include <cmath>

namespace pikorina::win32::test {
namespace {

using pikorina::test::kCodePageRows;
using pikorina::test::kOpenFailureRows;

using Services = WindowTest;
using namespace std::string_literals;

TEST_F(Services, ReadFileGivesTheBytesAsTheyAre) {
    const std::string bytes("a,b\r\n\x93\xfa\0z", 9);
    WriteBytes(folder_ + L"\\list.ini", bytes);
    EXPECT_EQ(host_->ReadFile(Narrow(folder_) + "\\list.ini"), bytes);
    WriteBytes(folder_ + L"\\empty.ini", "");
    EXPECT_EQ(host_->ReadFile(Narrow(folder_) + "\\empty.ini"), "");
    // Japanese in the path.
    WriteBytes(folder_ + L"\\設定.ini", "x");
    EXPECT_EQ(host_->ReadFile(Narrow(folder_ + L"\\設定.ini")), "x");
}

TEST_F(Services, ReadFileFailuresCarryTheirNumberAndThePath) {
    CreateDirectoryW((folder_ + L"\\folder").c_str(), nullptr);
    for (const auto& [name, number] : kOpenFailureRows) {
        std::string path = Narrow(folder_) + "\\" + name;
        std::replace(path.begin(), path.end(), '/', '\\');
        SCOPED_TRACE(path);
        try {
            host_->ReadFile(path);
            ADD_FAILURE() << "read";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), number);
            EXPECT_EQ(e.path(), path);
        }
    }
}

TEST_F(Services, TheCodePageIsTheSystems) {
    // The tests' Japanese locale that tests/win32/run sets up for Wine.
    ASSERT_EQ(GetACP(), 932u) << "run under a Japanese locale (LANG=ja_JP.UTF-8)";
    for (const auto& row : kCodePageRows)
        EXPECT_EQ(host_->DecodeCodePage(row.bytes), row.utf8) << row.what;
}

TEST_F(Services, AppPathIsTheProgramsFolderWithoutATrailingSeparator) {
    Host own;
    const std::string path = own.AppPath();
    EXPECT_EQ(path, Narrow(ModuleFolder()));
    ASSERT_FALSE(path.empty());
    EXPECT_NE(path.back(), '\\');
    EXPECT_EQ(own.PathSeparator(), "\\");
    // The file beside the program is found by joining the two.
    EXPECT_NE(
        GetFileAttributesW(Widen(path + std::string(own.PathSeparator()) + "marker.exe").c_str()),
        INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(host_->AppPath(), Narrow(folder_));
}

BOOL CALLBACK CountVisible(HWND hwnd, LPARAM count) {
    if (IsWindowVisible(hwnd)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

int VisibleWindowsOfThisThread() {
    int count = 0;
    EnumThreadWindows(GetCurrentThreadId(), CountVisible, reinterpret_cast<LPARAM>(&count));
    return count;
}

TEST_F(Services, SoundNeverWaitsNorShowsAnythingForBytesItCannotPlay) {
    const int before = VisibleWindowsOfThisThread();
    host_->LoadSound({}); // no Don.wav: nothing started
    EXPECT_FALSE(host_->PlaySound());
    // Returning at all is the point; playing is asynchronous, so it may report a start.
    for (std::string bytes : {"not a sound"s, "RIFF\x04\0\0\0WAVE"s}) {
        host_->LoadSound(bytes);
        host_->PlaySound();
    }
    EXPECT_EQ(VisibleWindowsOfThisThread(), before);
}

using EventPump = WindowTest;

TEST_F(EventPump, TheTimedWaitHandlesEventsAndEndsPastItsEndMark) {
    StartWithDefaultList();
    // Nothing pending: the pump comes back without waiting for an event.
    window_->DoEvents(0);
    const double t0 = host_->Timer();
    EXPECT_GE(t0, 0.0);
    EXPECT_LT(t0, 86400.0);
    PostClickTwips(2000, 2100); // the bare window, during the wait
    form_->時間待ち(1);
    const double t = host_->Timer();
    EXPECT_EQ(form_->backgroundOn, kTrue16) << "the click waited until the wait was over";
    // The clock that ends the wait and the one the program reads agree (unless midnight
    // passed in between).
    if (t > t0) {
        EXPECT_GT(t, std::nearbyint(t0 + 1));
    }
}

} // namespace
} // namespace pikorina::win32::test

namespace pikorina::win32::test {
namespace {

struct SeenBox {
    std::wstring title, text;
    HWND owner = nullptr;
    int buttons = 0;
    UINT press = IDOK;
};
SeenBox* seenBox = nullptr;

BOOL CALLBACK CountButton(HWND child, LPARAM count) {
    wchar_t name[32] = {};
    GetClassNameW(child, name, 32);
    if (_wcsicmp(name, L"Button") == 0 && IsWindowVisible(child)) ++*reinterpret_cast<int*>(count);
    return TRUE;
}

BOOL CALLBACK AnswerBox(HWND hwnd, LPARAM) {
    wchar_t name[32] = {};
    GetClassNameW(hwnd, name, 32);
    if (std::wstring(name) != L"#32770" || !IsWindowVisible(hwnd) || !seenBox) return TRUE;
    wchar_t text[512] = {};
    GetWindowTextW(hwnd, text, 512);
    seenBox->title = text;
    for (HWND child = GetWindow(hwnd, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT)) {
        GetWindowTextW(child, text, 512);
        if (wcslen(text) > seenBox->text.size()) seenBox->text = text;
    }
    seenBox->owner = GetWindow(hwnd, GW_OWNER);
    EnumChildWindows(hwnd, CountButton, reinterpret_cast<LPARAM>(&seenBox->buttons));
    PostMessageW(hwnd, WM_COMMAND, seenBox->press, 0);
    seenBox = nullptr;
    return FALSE;
}

void CALLBACK LookForBox(HWND, UINT, UINT_PTR, DWORD) {
    EnumThreadWindows(GetCurrentThreadId(), AnswerBox, 0);
}

using MessageBoxes = WindowTest;

TEST_F(MessageBoxes, TheRealBoxIsOwnedByTheWindowAndGivesBackTheButtonPressed) {
    StartWithDefaultList();
    Window::msgBoxSeam = nullptr;
    const struct {
        int style;
        UINT press;
        int buttons;
    } cases[] = {
        {kMbOkCancel, IDCANCEL, 2},
        {kMbOkCancel, IDOK, 2},
        {kMbInformation, IDOK, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.style);
        SeenBox seen;
        seen.press = c.press;
        seenBox = &seen;
        const UINT_PTR timer = SetTimer(nullptr, 0, 20, LookForBox);
        const int answer = window_->MsgBox("一行目\r二行目", c.style, "題名");
        KillTimer(nullptr, timer);
        EXPECT_EQ(answer, static_cast<int>(c.press));
        EXPECT_EQ(seen.title, L"題名");
        EXPECT_NE(seen.text.find(L"一行目"), std::wstring::npos);
        EXPECT_EQ(seen.owner, window_->hwnd());
        EXPECT_EQ(seen.buttons, c.buttons);
    }
}

} // namespace
} // namespace pikorina::win32::test
