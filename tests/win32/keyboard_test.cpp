// Keys, as they arrive through the program's own loop and the dialog manager: Tab order, Enter
// on the default or the focused button, Esc, Alt+letter, and the ways of closing the window.
#include "fixture.h"

namespace pikorina::win32::test {
namespace {

using Keyboard = WindowTest;

const std::wstring kInfoText = L"ソフト名：ピコリナ\rﾊﾞｰｼﾞｮﾝ：2．00\r作者：汐見 縫";
const std::wstring kInfoTitle = L"ﾊﾞｰﾁｬﾝ情報";
const std::wstring kJokeTitle = L"鰓が出た象！";

TEST_F(Keyboard, FocusStartsOnTheListAndTabVisitsTheButtonsInTabOrder) {
    StartWithDefaultList();
    const ControlId order[] = {ControlId::ListBox, ControlId::シャットダウン, ControlId::キャンセル,
                               ControlId::終了, ControlId::ListBox};
    EXPECT_EQ(Focus(), window_->ControlWindow(order[0]));
    for (std::size_t i = 1; i < std::size(order); ++i) {
        PostKey(VK_TAB);
        Pump();
        EXPECT_EQ(Focus(), window_->ControlWindow(order[i])) << "after Tab number " << i;
    }
    EXPECT_TRUE(boxes_.empty());
}

// Enter presses the focused button, or 終了 when no button has the focus; the default frame
// follows the focus so that the button that Enter will press is the one that shows it. An
// access key's button takes the focus as it is pressed, so Tab goes on from there.
TEST_F(Keyboard, EnterPressesTheFocusedButtonOrElseTheDefault) {
    const struct {
        wchar_t accessKey; // pressed first, when set
        int tabs;          // from the list, or from the access key's button
        const char* what;
    } cases[] = {
        {0, 0, "launch"},    // the list: 終了, the first entry
        {0, 1, "info"},      // シャットダウン
        {0, 2, "end"},       // キャンセル
        {0, 3, "launch"},    // 終了 itself
        {0, 4, "launch"},    // round to the list again
        {L'e', 1, "launch"}, // from 終了 to the list: 終了 again, not シャットダウン
        {L's', 1, "end"},    // from シャットダウン to キャンセル
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.tabs) + " tabs" + (c.accessKey ? " after Alt+letter" : ""));
        const auto press = [&] {
            StartWithDefaultList();
            if (c.accessKey) {
                PostAltKey(c.accessKey);
                Pump();
                if (c.accessKey == L'e') {
                    EXPECT_TRUE(WaitForFile(folder_ + L"\\first.txt"));
                    DeleteFileW((folder_ + L"\\first.txt").c_str());
                }
                boxes_.clear(); // the information box of Alt+S
            }
            for (int i = 0; i < c.tabs; ++i)
                PostKey(VK_TAB);
            Pump();
            HWND focused = Focus();
            if (focused != window_->ControlWindow(ControlId::ListBox)) {
                EXPECT_EQ(GetWindowLongPtrW(focused, GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
                EXPECT_EQ(LOWORD(SendMessageW(window_->hwnd(), DM_GETDEFID, 0, 0)),
                          GetDlgCtrlID(focused));
            }
            PostKey(VK_RETURN);
            Pump();
        };
        const std::string what = c.what;
        if (what == "end") {
            EXPECT_EXIT(press(), testing::ExitedWithCode(0), "");
            continue;
        }
        press();
        EXPECT_EQ(boxes_.size(), what == "info" ? 1u : 0u);
        if (what == "launch") {
            EXPECT_TRUE(WaitForFile(folder_ + L"\\first.txt"));
            DeleteFileW((folder_ + L"\\first.txt").c_str());
        }
        TearDown();
        SetUp();
    }
}

// The button that shows the default frame is the one Enter presses: the focused button, or
// 終了 when the focus is elsewhere.
void ExpectDefaultFollowsFocus(const Window& window) {
    HWND focus = GetFocus();
    HWND expected = window.ControlWindow(ControlId::終了);
    for (ControlId id : {ControlId::終了, ControlId::シャットダウン, ControlId::キャンセル}) {
        if (window.ControlWindow(id) == focus) expected = focus;
    }
    for (ControlId id : {ControlId::終了, ControlId::シャットダウン, ControlId::キャンセル}) {
        HWND button = window.ControlWindow(id);
        EXPECT_EQ(GetWindowLongPtrW(button, GWL_STYLE) & BS_TYPEMASK,
                  button == expected ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON)
            << Design(id).name;
    }
    EXPECT_EQ(LOWORD(SendMessageW(window.hwnd(), DM_GETDEFID, 0, 0)), GetDlgCtrlID(expected));
}

TEST_F(Keyboard, DefaultFrameFollowsTheFocusHoweverItMoves) {
    StartWithDefaultList();
    const struct {
        const char* how;
        std::function<void()> move;
    } moves[] = {
        {"Tab to シャットダウン", [this] { PostKey(VK_TAB); }},
        {"focus set on the list", [this] { SetFocus(window_->ControlWindow(ControlId::ListBox)); }},
        {"Alt+S", [this] { PostAltKey(L's'); }},
        {"mouse on キャンセル",
         [this] {
             HWND b = window_->ControlWindow(ControlId::キャンセル);
             PostMessageW(b, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
             // Released outside the button: focus without a press.
             PostMessageW(b, WM_LBUTTONUP, 0, MAKELPARAM(-50, -50));
         }},
        {"Tab to 終了", [this] { PostKey(VK_TAB); }},
        {"Tab to the list", [this] { PostKey(VK_TAB); }},
    };
    for (const auto& m : moves) {
        SCOPED_TRACE(m.how);
        m.move();
        Pump();
        ExpectDefaultFollowsFocus(*window_);
    }
}

TEST_F(Keyboard, EscEndsTheProgramWithStatusZeroWhereverTheFocusIs) {
    for (int tabs = 0; tabs < 4; ++tabs) {
        SCOPED_TRACE(std::to_string(tabs) + " tabs");
        EXPECT_EXIT(
            {
                StartWithDefaultList();
                for (int i = 0; i < tabs; ++i)
                    PostKey(VK_TAB);
                PostKey(VK_ESCAPE);
                Pump();
            },
            testing::ExitedWithCode(0), "");
    }
}

TEST_F(Keyboard, AltSShowsTheInformationBoxOwnedByTheWindow) {
    StartWithDefaultList();
    for (wchar_t letter : {L's', L'S'}) {
        boxes_.clear();
        PostAltKey(letter);
        Pump();
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].owner, window_->hwnd());
        EXPECT_EQ(boxes_[0].text, kInfoText);
        EXPECT_EQ(boxes_[0].caption, kInfoTitle);
        EXPECT_EQ(boxes_[0].type, static_cast<UINT>(MB_OK | MB_ICONINFORMATION));
    }
}

TEST_F(Keyboard, AltELaunchesTheSelectedEntry) {
    StartWithDefaultList();
    // The second entry names a program that does not exist: the joke box.
    window_->SelectListItem(1);
    PostAltKey(L'e');
    Pump();
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, kJokeTitle);
    window_->SelectListItem(2);
    PostAltKey(L'E');
    Pump();
    EXPECT_TRUE(WaitForFile(folder_ + L"\\third.txt"));
    EXPECT_EQ(boxes_.size(), 1u);
}

TEST_F(Keyboard, ClosingTheWindowEndsWithStatusZero) {
    const struct {
        const char* name;
        std::function<void(WindowTest&, HWND)> close;
    } ways[] = {
        {"title bar close", [](WindowTest&, HWND w) { PostMessageW(w, WM_CLOSE, 0, 0); }},
        {"system menu close",
         [](WindowTest&, HWND w) { PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0); }},
        {"Alt+F4",
         [](WindowTest&, HWND) { PostMessageW(GetFocus(), WM_SYSKEYDOWN, VK_F4, 1 | (1 << 29)); }},
    };
    for (const auto& way : ways) {
        SCOPED_TRACE(way.name);
        EXPECT_EXIT(
            {
                StartWithDefaultList();
                way.close(*this, window_->hwnd());
                Pump();
            },
            testing::ExitedWithCode(0), "");
    }
}

TEST_F(Keyboard, FocusComesBackToItsControlWhenTheWindowIsActivatedAgain) {
    StartWithDefaultList();
    PostKey(VK_TAB);
    PostKey(VK_TAB);
    Pump();
    HWND cancel = window_->ControlWindow(ControlId::キャンセル);
    ASSERT_EQ(Focus(), cancel);
    HWND other = CreateWindowExW(0, L"STATIC", L"other", WS_POPUP | WS_VISIBLE, 0, 0, 50, 50,
                                 nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    SetActiveWindow(other);
    Pump();
    EXPECT_NE(Focus(), cancel);
    SetActiveWindow(window_->hwnd());
    Pump();
    EXPECT_EQ(Focus(), cancel);
    DestroyWindow(other);
}

} // namespace
} // namespace pikorina::win32::test
