#include "app/errors.h"
#include "launcher/field_reader.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace pikorina {
namespace {

using Records = std::vector<std::pair<std::string, std::string>>;

Records ReadAll(std::string_view text) {
    FieldReader reader(text, "Setup.ini");
    Records records;
    while (!reader.AtEnd()) {
        std::string name, command;
        reader.ReadRecord(name, command);
        records.emplace_back(name, command);
    }
    return records;
}

// How many records a counting pass finds, as the load's first pass counts them.
std::size_t CountAll(std::string_view text) {
    FieldReader reader(text, "Setup.ini");
    std::size_t count = 0;
    for (; !reader.AtEnd(); ++count)
        reader.SkipRecord();
    return count;
}

struct ReaderCase {
    const char* what;
    std::string_view text;
    Records expected;
};
std::ostream& operator<<(std::ostream& os, const ReaderCase& c) {
    return os << c.what;
}

class FieldReaderReads : public testing::TestWithParam<ReaderCase> {};

TEST_P(FieldReaderReads, TheRecordsOfTheFile) {
    EXPECT_EQ(ReadAll(GetParam().text), GetParam().expected) << GetParam().what;
    EXPECT_EQ(CountAll(GetParam().text), GetParam().expected.size()) << GetParam().what;
}

INSTANTIATE_TEST_SUITE_P(
    Table, FieldReaderReads,
    testing::Values(
        ReaderCase{"one record", "電卓,calc.exe", {{"電卓", "calc.exe"}}},
        ReaderCase{"three lines in file order",
                   "a,one\r\nb,two\r\nc,three\r\n",
                   {{"a", "one"}, {"b", "two"}, {"c", "three"}}},
        ReaderCase{
            "LF and CR-only line ends", "a,1\nb,2\rc,3", {{"a", "1"}, {"b", "2"}, {"c", "3"}}},
        ReaderCase{"a line end separates fields too", "a\n1\nb\n2\n", {{"a", "1"}, {"b", "2"}}},
        ReaderCase{"quoted name with a comma",
                   "\"目玉, 大きめ\",xeyes -geometry 200x200\r\n",
                   {{"目玉, 大きめ", "xeyes -geometry 200x200"}}},
        ReaderCase{"quoted field may span lines", "\"two\nlines\",cmd", {{"two\nlines", "cmd"}}},
        ReaderCase{"blanks after the closing quote, then the comma", "\"a\"  \t,b", {{"a", "b"}}},
        ReaderCase{"leading blanks and full-width spaces skipped, trailing blanks dropped",
                   "  \t\xE3\x80\x80name \t,  cmd arg  \r\n",
                   {{"name", "cmd arg"}}},
        ReaderCase{"full-width space inside a field is kept",
                   "a\xE3\x80\x80"
                   "b,c",
                   {{"a\xE3\x80\x80"
                     "b",
                     "c"}}},
        ReaderCase{"a full-width space after the command is dropped",
                   "メモ帳,notepad.exe\xE3\x80\x80",
                   {{"メモ帳", "notepad.exe"}}},
        ReaderCase{"blanks of both widths in any mix at a field's end",
                   "a\xE3\x80\x80 ,b \t\xE3\x80\x80\xE3\x80\x80\t\r\nc,d",
                   {{"a", "b"}, {"c", "d"}}},
        ReaderCase{"a character that merely ends in the same byte as U+3000 is kept",
                   "一,x一 \xE3\x80\x80",
                   {{"一", "x一"}}},
        ReaderCase{"full-width space after the closing quote, then the comma",
                   "\"メモ帳\"\xE3\x80\x80,notepad.exe",
                   {{"メモ帳", "notepad.exe"}}},
        ReaderCase{"blanks of both widths after the closing quote, then the line end",
                   "\"a\" \xE3\x80\x80\t\r\nb\r\n\"c\"\xE3\x80\x80\n\"d\"\xE3\x80\x80",
                   {{"a", "b"}, {"c", "d"}}},
        ReaderCase{"a stray comma at a line end does not shift the records after it",
                   "a,1,\r\nb,2,\nc,3",
                   {{"a", "1"}, {"b", "2"}, {"c", "3"}}},
        ReaderCase{"a NUL byte stays in its field",
                   std::string_view("a\0b,x\0", 6),
                   {{std::string("a\0b", 3), std::string("x\0", 2)}}},
        ReaderCase{"a quote inside an unquoted field is ordinary",
                   "na\"me,cmd \"x y\"",
                   {{"na\"me", "cmd \"x y\""}}},
        ReaderCase{"blank lines between records and at the end",
                   "\r\n\r\na,1\r\n\r\n  \r\nb,2\r\n\r\n\r\n",
                   {{"a", "1"}, {"b", "2"}}},
        ReaderCase{"empty command field", "a,\nb,2", {{"a", ""}, {"b", "2"}}},
        ReaderCase{"an empty name", ",cmd", {{"", "cmd"}}},
        ReaderCase{"Ctrl+Z ends the file",
                   "a,1\r\n\x1A"
                   "b",
                   {{"a", "1"}}},
        ReaderCase{"missing closing quote runs to the end",
                   "a,\"cmd, with comma",
                   {{"a", "cmd, with comma"}}},
        ReaderCase{"only blank lines hold no records", "\r\n \r\n\t\n", {}},
        ReaderCase{"empty file holds no records", "", {}},
        ReaderCase{"same name twice stays twice", "x,1\nx,2", {{"x", "1"}, {"x", "2"}}}));

struct FailingCase {
    const char* what;
    std::string_view text;
};
std::ostream& operator<<(std::ostream& os, const FailingCase& c) {
    return os << c.what;
}

class FieldReaderFails : public testing::TestWithParam<FailingCase> {};

TEST_P(FieldReaderFails, WithInputPastEnd) {
    // Reading and counting fail alike.
    for (auto pass :
         {+[](std::string_view t) { ReadAll(t); }, +[](std::string_view t) { CountAll(t); }}) {
        try {
            pass(GetParam().text);
            ADD_FAILURE() << GetParam().what << ": no error";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), kErrInputPastEnd) << GetParam().what;
            EXPECT_EQ(e.path(), "Setup.ini");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Table, FieldReaderFails,
                         testing::Values(FailingCase{"a name without a command", "a,1\r\nb\r\n"},
                                         FailingCase{"name then comma at the end", "a,"},
                                         FailingCase{"a lone name", "name"},
                                         FailingCase{"Ctrl+Z before the command", "a\x1A,1"},
                                         FailingCase{"three fields", "a,b,c"},
                                         FailingCase{"a quoted program followed by arguments "
                                                     "leaves the arguments as a third field",
                                                     "a,\"C:\\Program Files\\x.exe\" /a"}));

// The reader looks for a field's end eight bytes at a time; wherever the comma falls within a
// word, and whatever bytes stand around it, the field must end exactly there.
TEST(FieldReaderScan, FindsTheFieldEndAtEveryOffsetAmongAnyBytes) {
    const std::string fillers[] = {"a", "-", "+", "\x0B", "\x0E", "\x01", "\x80", "\xFF", "\xE3"};
    for (const std::string& filler : fillers) {
        for (std::size_t length = 1; length <= 24; ++length) {
            std::string name;
            for (std::size_t i = 0; i < length; ++i)
                name += filler;
            for (const char* end : {",", "\r", "\n"}) {
                const std::string text = "x" + name + end + "cmd" + filler + "\n";
                const Records records = ReadAll(end[0] == ',' ? text : text + "c,d\n");
                ASSERT_FALSE(records.empty());
                EXPECT_EQ(records[0].first, "x" + name)
                    << "filler " << int(static_cast<unsigned char>(filler[0])) << " length "
                    << length << " end " << int(end[0]);
            }
        }
    }
}

} // namespace
} // namespace pikorina
