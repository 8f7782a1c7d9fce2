// Bad launch lists and command lines against the real Windows services: each row's exact
// outcome, read back from the list box the user sees.
#include "app/errors.h"
#include "app/module.h"
#include "fixture.h"

#include <cstdint>

namespace pikorina::win32::test {
namespace {

// Joins texts. (GCC 12 warns of overlapping copies in some chains of + on strings that have none.)
std::string Join(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts)
        out += part;
    return out;
}

class BadInput : public WindowTest {
  protected:
    // Loads the folder's Setup.ini into a fresh window; the error number, or 0.
    int Load() {
        window_ = std::make_unique<Window>(GetModuleHandleW(nullptr), *host_);
        form_ = std::make_unique<frmMain>(*window_, *host_);
        window_->Attach(*form_);
        window_->Create();
        try {
            form_->Form_Load();
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.path(), Narrow(folder_) + "\\Setup.ini");
            return e.number();
        }
        return 0;
    }
    std::vector<std::string> ListItems() const {
        HWND list = window_->ControlWindow(ControlId::ListBox);
        std::vector<std::string> items;
        const auto count = SendMessageW(list, LB_GETCOUNT, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            std::wstring text(static_cast<std::size_t>(SendMessageW(list, LB_GETTEXTLEN, i, 0)),
                              L'\0');
            SendMessageW(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(text.data()));
            items.push_back(Narrow(text));
        }
        return items;
    }
};

TEST_F(BadInput, LaunchListsLoadOrFailExactly) {
    ASSERT_EQ(GetACP(), 932u) << "run under a Japanese locale (LANG=ja_JP.UTF-8)";
    const struct {
        const char* what;
        std::string bytes;
        int error;
        std::vector<std::string> items, commands;
        std::int64_t sparse = 0; // Setup.ini is this many bytes of nothing, a sparse file, instead
    } rows[] = {
        {"empty", "", kErrInvalidPropertyIndex, {}, {}},
        {"only blank lines", "\r\n\r\n  \r\n", kErrInvalidPropertyIndex, {}, {}},
        {"a record without its command", "\"a\",1\r\n\"b\"\r\n", kErrInputPastEnd, {}, {}},
        {"an unbalanced quote runs to the end",
         "\"a\",\"cmd, 1\r\nmore",
         0,
         {"a"},
         {"cmd, 1\r\nmore"}},
        {"a NUL byte: the list shows the name up to it", std::string("a\0b,c", 5), 0, {"a"}, {"c"}},
        {"bytes invalid in code page 932",
         "\x93\x64\xA0,x\x81",
         0,
         {"電\xEF\xBF\xBD"},
         {"x\xEF\xBF\xBD"}},
        {"CR-only line ends", "a,1\rb,2\r", 0, {"a", "b"}, {"1", "2"}},
        {"full-width spaces in code page 932 after a closing quote and a command",
         "\"\x93\x64\x91\xEC\"\x81\x40,calc.exe\x81\x40 \r\n",
         0,
         {"電卓"},
         {"calc.exe"}},
        {"larger than 64 MiB: refused before reading",
         "",
         kErrOutOfMemory,
         {},
         {},
         (std::int64_t{64} << 20) + 1},
        {"UTF-8 byte-order mark", "\xEF\xBB\xBF電卓,calc.exe\r\n", 0, {"電卓"}, {"calc.exe"}},
        {"UTF-8 without a mark", "ﾊﾞｰｼﾞｮﾝ確認,winver.exe", 0, {"ﾊﾞｰｼﾞｮﾝ確認"}, {"winver.exe"}},
        {"Shift_JIS, half-width", "\xCA\xDE\xB0\xBC\xDE\xAE\xDD,x", 0, {"ﾊﾞｰｼﾞｮﾝ"}, {"x"}},
        {"UTF-16 little-endian",
         std::string("\xFF\xFE\xFB\x96,\0x\0\r\0\n\0", 12),
         0,
         {"電"},
         {"x"}},
        {"UTF-16 big-endian", std::string("\xFE\xFF\x96\xFB\0,\0x", 8), 0, {"電"}, {"x"}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        WriteBytes(folder_ + L"\\Setup.ini", row.bytes);
        if (row.sparse != 0) {
            HANDLE file = CreateFileW((folder_ + L"\\Setup.ini").c_str(), GENERIC_WRITE, 0, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(file, INVALID_HANDLE_VALUE);
            LARGE_INTEGER size;
            size.QuadPart = row.sparse;
            EXPECT_TRUE(SetFilePointerEx(file, size, nullptr, FILE_BEGIN) && SetEndOfFile(file));
            CloseHandle(file);
        }
        EXPECT_EQ(Load(), row.error);
        if (row.error != 0) continue;
        EXPECT_EQ(ListItems(), row.items);
        EXPECT_EQ(Module::launchCommands, row.commands);
        EXPECT_EQ(window_->ListIndex(), 0);
    }
}

TEST_F(BadInput, AFolderNamedSetupIniIsABadPath) {
    ASSERT_TRUE(CreateDirectoryW((folder_ + L"\\Setup.ini").c_str(), nullptr));
    EXPECT_EQ(Load(), kErrPathFileAccess);
}

TEST_F(BadInput, ATenMegabyteFieldAndAHundredThousandRecordsLoad) {
    WriteBytes(folder_ + L"\\Setup.ini", Join({"\"big\",", std::string(10 << 20, 'x'), "\r\n"}));
    ASSERT_EQ(Load(), 0);
    EXPECT_EQ(Module::launchCommands.at(0).size(), std::size_t{10} << 20);

    std::string many;
    for (int i = 0; i < 100000; ++i)
        many += Join({"n", std::to_string(i), ",c\r\n"});
    WriteBytes(folder_ + L"\\Setup.ini", many);
    ASSERT_EQ(Load(), 0);
    const std::vector<std::string> items = ListItems();
    ASSERT_EQ(items.size(), 100000u);
    EXPECT_EQ(items.back(), "n99999");
}

TEST_F(BadInput, BadCommandLinesGetTheJokeBoxAndStartNothing) {
    const std::string longLine =
        Join({"pikorina_no_such_program.exe ", std::string(100 * 1024, 'a')});
    const std::string commands[] = {"\"\"", "\"   \"", "pikorina_no_such_program.exe",
                                    Join({"\"", Narrow(folder_), "\""}), longLine};
    std::string ini;
    for (std::size_t i = 0; i < std::size(commands); ++i) {
        ini += Join({"\"", std::to_string(i), "\",", commands[i], "\r\n"});
    }
    Start(ini);
    for (std::size_t i = 0; i < std::size(commands); ++i) {
        SCOPED_TRACE(commands[i].substr(0, 60));
        boxes_.clear();
        window_->SelectListItem(static_cast<int>(i));
        form_->終了_Click();
        ASSERT_EQ(boxes_.size(), 1u);
        EXPECT_EQ(boxes_[0].caption, L"鰓が出た象！");
    }
}

} // namespace
} // namespace pikorina::win32::test
