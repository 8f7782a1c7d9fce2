#include "app/frmMain.h"
#include "app/module.h"
#include "fake_window_system.h"
#include "launcher/text_encoding.h"

#include <gtest/gtest.h>

namespace pikorina::test {
namespace {

constexpr const char* kSetup = "C:\\Tools\\Setup.ini";

class Load : public testing::Test {
  protected:
    void SetUp() override {
        Module::launchNames.clear();
        Module::launchCommands.clear();
    }
    // Runs the load as the front end does; returns the exit status if the program ended.
    std::optional<int> Start() {
        try {
            form.Raise(&frmMain::Form_Load);
        } catch (const ProgramEnd& end) {
            return end.status;
        }
        return std::nullopt;
    }
    FakeWindowSystem ws;
    frmMain form{ws, ws.host};
};

TEST_F(Load, FixesTheGeometryFirstInItsOrder) {
    ws.host.files[kSetup] = {"a,1"};
    ASSERT_EQ(Start(), std::nullopt);
    const std::vector<std::string> geometry(ws.log.begin(), ws.log.begin() + 8);
    EXPECT_EQ(geometry, (std::vector<std::string>{"SetHeight frmMain 3945", "SetWidth frmMain 5625",
                                                  "SetHeight ListBox 1860", "SetWidth ListBox 5125",
                                                  "SetTop ListBox 120", "SetLeft ListBox 180",
                                                  "SetTop Label 2280", "SetLeft Label 240"}));
    EXPECT_EQ(ws.log[8], std::string("ReadFile ") + kSetup);
}

TEST_F(Load, FillsListAndArraysInFileOrderAndSelectsTheFirst) {
    ws.host.files[kSetup] = {"時計,xclock\r\n\"目玉, 大きめ\",xeyes -g 200x200\r\n電卓,xcalc\r\n"};
    ASSERT_EQ(Start(), std::nullopt);
    EXPECT_EQ(ws.listItems, (std::vector<std::string>{"時計", "目玉, 大きめ", "電卓"}));
    EXPECT_EQ(Module::launchNames, ws.listItems);
    EXPECT_EQ(Module::launchCommands,
              (std::vector<std::string>{"xclock", "xeyes -g 200x200", "xcalc"}));
    EXPECT_EQ(ws.listIndex, 0);
    // Read twice: once to count, once to fill; the list is filled in one batch.
    EXPECT_EQ(ws.LogOf("ReadFile").size(), 2u);
    EXPECT_EQ(ws.LogOf("AddItems"), std::vector<std::string>{"AddItems 3"});
    EXPECT_EQ(ws.log.back(), "Select 0");
}

TEST_F(Load, OneRecordGivesOneSelectedItem) {
    ws.host.files[kSetup] = {"only,cmd /x"};
    ASSERT_EQ(Start(), std::nullopt);
    EXPECT_EQ(ws.listItems, std::vector<std::string>{"only"});
    EXPECT_EQ(Module::launchCommands, std::vector<std::string>{"cmd /x"});
    EXPECT_EQ(ws.listIndex, 0);
}

// The launch list's text in each encoding, as the load reads it; the fake's code page reads each
// byte as the character of that value.
TEST(DecodeLaunchText, ReadsEachEncodingAndMarksWhatItCannotRead) {
    const struct {
        const char* what;
        std::string bytes, text;
        std::optional<std::string> codePage; // what the platform's code page was given
    } rows[] = {
        {"a UTF-8 mark is not part of the text", "\xEF\xBB\xBFname,cmd", "name,cmd", {}},
        {"UTF-8 without a mark", "電卓,calc", "電卓,calc", {}},
        {"outside the BMP", "\xF0\x9F\x92\xA5", "\xF0\x9F\x92\xA5", {}},
        // Each broken part after a mark is one U+FFFD, as Windows reads it: a stray byte, a
        // character cut short, a lead byte before ASCII, an overlong form, a surrogate, past
        // U+10FFFF.
        {"broken UTF-8",
         "\xEF\xBB\xBF"
         "a\xFF"
         "b\xE9\x9B"
         "c\xE9"
         "d\xE0\x80"
         "e\xED\xA0"
         "f\xF4\x90",
         "a\uFFFDb\uFFFDc\uFFFDd\uFFFD\uFFFDe\uFFFD\uFFFDf\uFFFD\uFFFD",
         {}},
        {"UTF-16 little-endian", std::string("\xFF\xFE\xFB\x96,\0\xE9\0", 8), "電,é", {}},
        {"UTF-16 big-endian", std::string("\xFE\xFF\x96\xFB\0,", 6), "電,", {}},
        {"UTF-16 surrogate pair",
         std::string("\xFF\xFE\x3D\xD8\xA5\xDC", 6),
         "\xF0\x9F\x92\xA5",
         {}},
        {"UTF-16 lone surrogates",
         std::string("\xFF\xFE\x3D\xD8"
                     "a\0\xA5\xDC",
                     8),
         "\uFFFDa\uFFFD",
         {}},
        {"UTF-16 cut short",
         std::string("\xFF\xFE"
                     "a\0b",
                     5),
         "a\uFFFD",
         {}},
        {"ASCII needs no code page", "notepad.exe", "notepad.exe", {}},
        {"the code page", "\x93\x64,x", "\u0093d,x", "\x93\x64,x"},
        {"the code page never sees a Ctrl+Z nor what follows", "\x93\x64\x1A\xA0", "\u0093d",
         "\x93\x64"},
        {"nothing", "", "", {}},
    };
    for (const auto& row : rows) {
        FakeHost host;
        EXPECT_EQ(DecodeLaunchText(row.bytes, host), row.text) << row.what;
        EXPECT_EQ(host.codePageBytes,
                  row.codePage ? std::vector{*row.codePage} : std::vector<std::string>{})
            << row.what;
    }
}

TEST_F(Load, WithoutMarkReadsUtf8BeyondAsciiElseTheSystemCodePage) {
    const std::string utf8[] = {
        "電卓,calc\r\nﾊﾞｰｼﾞｮﾝ確認,winver",
        // At the ends of the second byte's ranges: U+0080, U+07FF, U+0800, U+D7FF, U+E000,
        // U+10000, U+10FFFF.
        "\xC2\x80\xDF\xBF\xE0\xA0\x80\xED\x9F\xBF\xEE\x80\x80\xF0\x90\x80\x80\xF4\x8F\xBF\xBF,x"};
    const std::string codePage[] = {
        // Shift_JIS: kanji, katakana, half-width katakana, a middle dot; hiragana and kanji.
        "\x95\\\x8Cv\x8EZ\x83\\\x83t\x83g,x\r\n\xCA\xDE\xB0\xBC\xDE\xAE\xDD\x8Am\x94"
        "F,y\r\n\x94\\\x97\xCD\x81"
        "E\x97\\\x92\xE8,\x82\xD0\x82\xE7\x82\xAA\x82\xC8\x8A\xBF\x8E\x9A",
        // A stray byte, cut short, overlong forms, a surrogate, past U+10FFFF, a third byte that
        // is no continuation, a lone continuation byte.
        "電卓\xFF,calc", "a,\xE9\x9B", "\xC0\xAF,x", "\xE0\x9F\xBF,x", "\xF0\x8F\xBF\xBF,x",
        "\xED\xA0\x80,x", "\xF4\x90\x80\x80,x", "\xE3\x81\xE3\x81\x82,x", "\x80,x"};
    // Whether the load handed the file to the code page, once a pass.
    const auto readAsCodePage = [](const std::string& bytes) {
        FakeWindowSystem fresh;
        fresh.host.files[kSetup] = {bytes};
        frmMain(fresh, fresh.host).Raise(&frmMain::Form_Load);
        return fresh.host.codePageBytes.size() == 2;
    };
    for (const std::string& bytes : utf8)
        EXPECT_FALSE(readAsCodePage(bytes)) << bytes;
    for (const std::string& bytes : codePage)
        EXPECT_TRUE(readAsCodePage(bytes)) << bytes;
}

TEST_F(Load, AFileThatShrankBetweenPassesLeavesEmptyTailElements) {
    ws.host.files[kSetup] = {"a,1\nb,2\nc,3", "a,1"};
    ASSERT_EQ(Start(), std::nullopt);
    EXPECT_EQ(ws.listItems, std::vector<std::string>{"a"});
    EXPECT_EQ(Module::launchCommands, (std::vector<std::string>{"1", "", ""}));
}

struct StartFailure {
    const char* what;
    std::optional<std::string> content; // nothing: no file
    int readError;                      // set instead of content when non-zero
    int number;
    std::string place = {};                 // the report's line after the path, if any
    std::optional<std::string> grown = {};  // what the second read finds, if the file changed
    std::optional<std::uint64_t> size = {}; // the size the file says it has, if not its own
    bool readFails = false;
    // The content repeated to this many bytes: made when the case runs, as every start of the
    // test program builds the whole table (once, 64 MiB copied a hundred times took 2 s).
    std::uint64_t repeatedTo = 0;
};
std::ostream& operator<<(std::ostream& os, const StartFailure& c) {
    return os << c.what;
}

class LoadFails : public Load, public testing::WithParamInterface<StartFailure> {};

TEST_P(LoadFails, WithTheReportNamingTheFileAndNoWindow) {
    const StartFailure& c = GetParam();
    if (c.content) ws.host.files[kSetup] = {*c.content};
    if (c.repeatedTo) ws.host.files[kSetup] = {std::string(c.repeatedTo, c.content->at(0))};
    if (c.grown) ws.host.files[kSetup].push_back(*c.grown);
    if (c.readError != 0) ws.host.fileErrors[kSetup] = c.readError;
    if (c.size) ws.host.fileSizes[kSetup] = *c.size;
    if (c.readFails) ws.host.failingReads.insert(kSetup);
    EXPECT_EQ(Start(), 1) << c.what;
    ASSERT_EQ(ws.boxes.size(), 1u) << c.what;
    EXPECT_EQ(ws.boxes[0].title, "ピコリナ");
    EXPECT_EQ(ws.boxes[0].style, kMbOkOnly);
    EXPECT_EQ(ws.boxes[0].text, "実行時エラー '" + std::to_string(c.number) + "':\r\n\r\n" +
                                    std::string(ErrorText(c.number)) + "\r\n" + kSetup +
                                    (c.place.empty() ? "" : "\r\n" + c.place))
        << c.what;
    EXPECT_TRUE(ws.listItems.empty()) << c.what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, LoadFails,
    testing::Values(
        StartFailure{"missing file", std::nullopt, 0, 53},
        StartFailure{"a folder", std::nullopt, 75, 75},
        StartFailure{"access denied", std::nullopt, 70, 70},
        StartFailure{
            "larger than the limit: refused unread", "a,1", 0, 7, {}, {}, kLargestFileBytes + 1},
        StartFailure{
            "grows past the limit while read", "a", 0, 7, {}, {}, 1, false, kLargestFileBytes + 1},
        StartFailure{"reading fails", "a,1", 0, 75, {}, {}, {}, true},
        StartFailure{"empty file", "", 0, 381},
        StartFailure{"only blank lines", "\r\n\r\n", 0, 381},
        StartFailure{"last record without its command", "a,1\r\nb", 0, 62,
                     "2 行目から始まる項目を読み込めません。"},
        StartFailure{"first record without its command", "a", 0, 62,
                     "1 行目から始まる項目を読み込めません。"},
        StartFailure{"a third field on a line is the next record's name", "a,1,x\r\nb,2", 0, 62,
                     "2 行目から始まる項目を読み込めません。"},
        StartFailure{"CR, LF and CR LF each end one line, blank ones too",
                     "a,1\rb,2\nc,3\r\n\r\n\n\r  d", 0, 62,
                     "7 行目から始まる項目を読み込めません。"},
        StartFailure{"a record whose name ends on a later line counts from its first",
                     "a,1\r\n\"b\r\nc\"\r\n", 0, 62, "2 行目から始まる項目を読み込めません。"},
        StartFailure{"a quotation mark never closed", "a,1\r\n\r\n  \"b,2\r\nc,3\r\n", 0, 62,
                     "3 行目の「\"」が閉じていません。"},
        StartFailure{"a quotation mark never closed, cut short by Ctrl+Z", "a,1\n\"b\x1A\"\n", 0,
                     62, "2 行目の「\"」が閉じていません。"},
        StartFailure{"the file grew between the two reads", "a,1\nb,2", 0, 9,
                     "4 行目から始まる項目を読み込めません。", "a,1\nb,2\n\n\"c\",3"}));

} // namespace
} // namespace pikorina::test
