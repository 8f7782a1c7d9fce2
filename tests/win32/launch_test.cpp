// Starting entries: the command line reaches the started program whole, in a normal window,
// without the launcher waiting; a program that cannot be started gets the joke box.
#include "fixture.h"

#include "app/errors.h"
#include "launcher/command_line.h"

#include <algorithm>

namespace pikorina::win32::test {
namespace {

using Launching = WindowTest;

const std::wstring kJokeText =
    L"ｴﾗｰが起きました。\r\n所詮はジョークソフトです。\r\n一応、ホントのエラーなんだけど。\r\n\r\n"
    L"多分、ファイルの指定を間違えてると思うよ。";

TEST_F(Launching, EnterInTheListStartsTheFirstEntryWithItsArgumentsInANormalWindow) {
    StartWithDefaultList();
    PostKey(VK_RETURN);
    Pump();
    ASSERT_TRUE(WaitForFile(folder_ + L"\\first.txt"));
    // The marker wrote the rest of its command line and its show command (1 = SW_SHOWNORMAL).
    EXPECT_EQ(ReadBytes(folder_ + L"\\first.txt"), "one two\n1\n");
    EXPECT_TRUE(IsWindowVisible(window_->hwnd()));
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(Launching, DoubleClickStartsTheEntryUnderTheMouse) {
    StartWithDefaultList();
    PostDoubleClickOnListItem(2);
    Pump();
    ASSERT_TRUE(WaitForFile(folder_ + L"\\third.txt"));
    EXPECT_EQ(ReadBytes(folder_ + L"\\third.txt"), "three\n1\n");
    EXPECT_EQ(window_->ListIndex(), 2);
    EXPECT_FALSE(FileExists(folder_ + L"\\first.txt"));
}

TEST_F(Launching, AProgramThatCannotStartGetsTheJokeBoxAndTheLauncherGoesOn) {
    StartWithDefaultList();
    for (int answer : {IDOK, IDCANCEL}) {
        boxes_.clear();
        answer_ = answer;
        window_->SelectListItem(1);
        PostMessageW(window_->ControlWindow(ControlId::終了), BM_CLICK, 0, 0);
        Pump();
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].owner, window_->hwnd());
        EXPECT_EQ(boxes_[0].caption, L"鰓が出た象！");
        EXPECT_EQ(boxes_[0].text, kJokeText);
        EXPECT_EQ(boxes_[0].type, static_cast<UINT>(MB_OKCANCEL));
        EXPECT_EQ(window_->ListIndex(), 1);
        EXPECT_TRUE(IsWindowVisible(window_->hwnd()));
    }
}

TEST_F(Launching, StartFailuresAreRuntimeErrors) {
    const struct {
        std::string command;
        std::vector<int> numbers; // any of these
    } cases[] = {
        {"pikorina_no_such_program.exe", {53}},
        {Narrow(folder_) + "\\missing.exe", {53}},
        // Windows says the path is missing, Wine that the file is.
        {Narrow(folder_) + "\\nofolder\\x.exe", {76, 53}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.command);
        try {
            StartCommandLine(*host_, c.command);
            ADD_FAILURE() << "started";
        } catch (const RuntimeError& e) {
            EXPECT_NE(std::find(c.numbers.begin(), c.numbers.end(), e.number()), c.numbers.end())
                << e.number();
        }
    }
}

} // namespace
} // namespace pikorina::win32::test
