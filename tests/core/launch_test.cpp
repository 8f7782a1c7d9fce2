#include "app/frmMain.h"
#include "app/module.h"
#include "fake_window_system.h"

#include <gtest/gtest.h>

namespace pikorina::test {
namespace {

constexpr const char* kJokeText = "ｴﾗｰが起きました。\r\n所詮はジョークソフトです。\r\n"
                                  "一応、ホントのエラーなんだけど。\r\n\r\n"
                                  "多分、ファイルの指定を間違えてると思うよ。";

class Launch : public testing::Test {
  protected:
    void SetUp() override {
        ws.host.files["C:\\Tools\\Setup.ini"] = {
            "一,one.exe\r\n二,two.exe -x\r\n三,three.exe a b\r\n"};
        form.Raise(&frmMain::Form_Load);
        ws.log.clear();
    }
    FakeWindowSystem ws;
    frmMain form{ws, ws.host};
};

TEST_F(Launch, 終了StartsTheFirstEntryRightAfterStart) {
    form.Raise(&frmMain::終了_Click);
    EXPECT_EQ(ws.host.started, std::vector<std::string>{"one.exe"});
    EXPECT_TRUE(ws.boxes.empty());
}

TEST_F(Launch, DoubleClickOnTheThirdStartsItsCommandLikeSelectingAndPressing終了) {
    ws.listIndex = 2;
    form.Raise(&frmMain::ListBox_DblClick);
    form.Raise(&frmMain::終了_Click);
    EXPECT_EQ(ws.host.started, (std::vector<std::string>{"three.exe a b", "three.exe a b"}));
}

TEST_F(Launch, LeavesTheWindowAndSelectionAsTheyWere) {
    ws.listIndex = 1;
    form.Raise(&frmMain::終了_Click);
    EXPECT_EQ(ws.log, std::vector<std::string>{"StartProgram two.exe -x"});
    EXPECT_EQ(ws.listIndex, 1);
}

TEST_F(Launch, AnEntryPastTheFirst32767StartsItsOwnCommand) {
    // The index is read whole: cut to 16 bits, entry 69,999 would start entry 4,463.
    Module::launchCommands.resize(70000);
    for (std::size_t i = 0; i < Module::launchCommands.size(); ++i) {
        Module::launchCommands[i] = "entry" + std::to_string(i);
    }
    ws.listIndex = 69999;
    form.Raise(&frmMain::終了_Click);
    EXPECT_EQ(ws.host.started, std::vector<std::string>{"entry69999"});
}

// The platform gets the line whole, or split where programs take a list of words ("|" joins
// them here); a line that can start nothing never reaches it, and gets the joke box.
TEST_F(Launch, TheLineReachesThePlatformAsItTakesItOrNotAtAll) {
    const struct {
        std::string line;
        bool argumentLists;
        const char* started; // nullptr: refused
    } rows[] = {
        {"two.exe -x", false, "two.exe -x"},
        {"two.exe -x", true, "two.exe|-x"},
        {"'/opt/My Tools/run' \"a b\"", true, "/opt/My Tools/run|a b"},
        {"prog 'unbalanced", false, "prog 'unbalanced"},
        {"prog 'unbalanced", true, nullptr},
        {"echo \\\n", true, "echo"},
        {"\\\n", true, nullptr},
        {" \t\r\n", false, nullptr},
        {" \t\r\n", true, nullptr},
        {"", false, nullptr},
        {std::string("one.exe\0; del *", 16), false, nullptr}, // cut short, it starts another
        {std::string("one.exe\0; del *", 16), true, nullptr},
    };
    for (const auto& row : rows) {
        ws.host.started.clear();
        ws.boxes.clear();
        ws.host.argumentLists = row.argumentLists;
        Module::launchCommands[0] = row.line;
        form.Raise(&frmMain::終了_Click);
        if (row.started) {
            EXPECT_EQ(ws.host.started, std::vector<std::string>{row.started}) << row.line;
            EXPECT_TRUE(ws.boxes.empty()) << row.line;
        } else {
            EXPECT_TRUE(ws.host.started.empty()) << row.line;
            ASSERT_EQ(ws.boxes.size(), 1u) << row.line;
            EXPECT_EQ(ws.boxes[0].title, "鰓が出た象！");
        }
    }
}

struct LaunchFailure {
    const char* what;
    int listIndex;
    bool unstartable;
    int answer;
};
std::ostream& operator<<(std::ostream& os, const LaunchFailure& c) {
    return os << c.what;
}

class LaunchFails : public Launch, public testing::WithParamInterface<LaunchFailure> {};

TEST_P(LaunchFails, ShowsTheJokeBoxAndCarriesOn) {
    const LaunchFailure& c = GetParam();
    ws.listIndex = c.listIndex;
    if (c.unstartable) ws.host.unstartable.push_back("two.exe -x");
    ws.onMsgBox = [&](const MsgBoxCall&) { return c.answer; };
    form.Raise(&frmMain::終了_Click); // returns: the program goes on
    ASSERT_EQ(ws.boxes.size(), 1u) << c.what;
    EXPECT_EQ(ws.boxes[0].title, "鰓が出た象！");
    EXPECT_EQ(ws.boxes[0].text, kJokeText);
    EXPECT_EQ(ws.boxes[0].style, kMbOkCancel);
    EXPECT_TRUE(ws.host.started.empty());
    EXPECT_EQ(ws.listIndex, c.listIndex);
    EXPECT_TRUE(ws.LogOf("End").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, LaunchFails,
    testing::Values(LaunchFailure{"nothing selected", -1, false, kAnswerOk},
                    LaunchFailure{"index past the arrays", 3, false, kAnswerCancel},
                    LaunchFailure{"program cannot start, OK", 1, true, kAnswerOk},
                    LaunchFailure{"program cannot start, Cancel", 1, true, kAnswerCancel}));

} // namespace
} // namespace pikorina::test
