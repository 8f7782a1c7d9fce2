// Bad launch lists and command lines against the real Linux services: each row's exact outcome.
#include "app/errors.h"
#include "qt_fixture.h"

#include <QDir>
#include <QListWidget>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace pikorina::qt::test {
namespace {

struct ListRow {
    const char* what;
    QByteArray bytes;  // Setup.ini's content
    bool folder;       // Setup.ini is a folder instead
    int error;         // the load's error number, or 0
    QStringList items; // the list when it loads
    std::vector<std::string> commands;
    qint64 sparse = 0; // Setup.ini is this many bytes of nothing, a sparse file, instead
};
std::ostream& operator<<(std::ostream& os, const ListRow& r) {
    return os << r.what;
}

class BadLaunchList : public QtWindow, public testing::WithParamInterface<ListRow> {};

TEST_P(BadLaunchList, LoadsOrFailsExactly) {
    const ListRow& row = GetParam();
    if (row.folder) {
        ASSERT_TRUE(QDir(dir.path()).mkdir("Setup.ini"));
    } else if (row.sparse != 0) {
        QFile file(Path("Setup.ini"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly) && file.resize(row.sparse));
    } else {
        WriteFile("Setup.ini", row.bytes);
    }
    Create();
    try {
        form->Form_Load();
        EXPECT_EQ(row.error, 0) << "loaded, but should fail";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), row.error);
        EXPECT_EQ(e.path(), Path("Setup.ini").toStdString());
        return;
    }
    auto* list = window->findChild<QListWidget*>("ListBox");
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    EXPECT_EQ(items, row.items);
    EXPECT_EQ(Module::launchCommands, row.commands);
    EXPECT_EQ(list->currentRow(), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadLaunchList,
    testing::Values(
        ListRow{"empty", "", false, kErrInvalidPropertyIndex, {}, {}},
        ListRow{"only blank lines", "\r\n\n  \r\n", false, kErrInvalidPropertyIndex, {}, {}},
        ListRow{"a folder named Setup.ini", "", true, kErrPathFileAccess, {}, {}},
        ListRow{"a record without its command",
                "\"a\",1\r\n\"b\"\r\n",
                false,
                kErrInputPastEnd,
                {},
                {}},
        ListRow{"an unbalanced quote runs to the end",
                "\"a\",\"cmd, 1\r\nmore",
                false,
                0,
                {"a"},
                {"cmd, 1\r\nmore"}},
        ListRow{"a quote closes at the next one, wherever it is",
                "\"a\",\"cmd, 1\r\n\"b\",2\r\n",
                false,
                0,
                {"a", "b\""},
                {"cmd, 1\r\n", "2"}},
        ListRow{"NUL bytes stay part of the text",
                QByteArray("a\0b,c\0d", 7),
                false,
                0,
                {QString("a") + QChar(0) + "b"},
                {std::string("c\0d", 3)}},
        ListRow{"bytes invalid in code page 932",
                "\x93\x64\xA0,x\x81",
                false,
                0,
                {"電\uFFFD"},
                {"x\xEF\xBF\xBD"}},
        ListRow{"CR-only line ends", "a,1\rb,2\r", false, 0, {"a", "b"}, {"1", "2"}},
        ListRow{"full-width spaces in code page 932 after a closing quote and a command",
                "\"\x93\x64\x91\xEC\"\x81\x40,xcalc\x81\x40 \r\n",
                false,
                0,
                {"電卓"},
                {"xcalc"}},
        ListRow{"larger than 64 MiB: refused before reading",
                "",
                false,
                kErrOutOfMemory,
                {},
                {},
                (qint64{64} << 20) + 1},
        ListRow{"UTF-16 little-endian, as Windows editors save \"Unicode\"",
                QByteArray("\xFF\xFE\xFB\x96,\0x\0\r\0\n\0", 12),
                false,
                0,
                {"電"},
                {"x"}},
        ListRow{
            "UTF-16 big-endian", QByteArray("\xFE\xFF\x96\xFB\0,\0x", 8), false, 0, {"電"}, {"x"}},
        ListRow{
            "UTF-8 byte-order mark", "\xEF\xBB\xBF電卓,xcalc\r\n", false, 0, {"電卓"}, {"xcalc"}},
        ListRow{
            "UTF-8 without a mark", "ﾊﾞｰｼﾞｮﾝ確認,xclock", false, 0, {"ﾊﾞｰｼﾞｮﾝ確認"}, {"xclock"}}));

// A Setup.ini that is no plain file is refused at once with its path: a FIFO would hold the
// start-up until something writes to it, and /dev/zero never ends.
TEST_F(BadLaunchList, ASetupIniThatIsNoPlainFileIsRefusedAtOnce) {
    const struct {
        const char* what;
        bool (*make)(const QString& path);
    } rows[] = {
        {"a FIFO", [](const QString& path) { return mkfifo(path.toLocal8Bit(), 0600) == 0; }},
        {"a link to /dev/zero", [](const QString& path) { return QFile::link("/dev/zero", path); }},
        {"a socket",
         [](const QString& path) {
             sockaddr_un address{};
             address.sun_family = AF_UNIX;
             const QByteArray name = path.toLocal8Bit();
             if (name.size() >= static_cast<qsizetype>(sizeof address.sun_path)) return false;
             std::copy(name.begin(), name.end(), address.sun_path);
             const int s = socket(AF_UNIX, SOCK_STREAM, 0);
             const bool bound =
                 s >= 0 && bind(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
             if (s >= 0) close(s);
             return bound;
         }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        const QString folder = Path(row.what);
        ASSERT_TRUE(QDir().mkpath(folder));
        ASSERT_TRUE(row.make(folder + "/Setup.ini"));
        Host host(folder);
        Window own(host);
        frmMain form(own, host);
        try {
            form.Form_Load();
            ADD_FAILURE() << "loaded";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), kErrPathFileAccess);
            EXPECT_EQ(e.path(), (folder + "/Setup.ini").toStdString());
        }
    }
}

TEST_F(BadLaunchList, ATenMegabyteFieldLoadsWhole) {
    const QByteArray big(10 * 1024 * 1024, 'x');
    Start("\"big\"," + big + "\r\n", false);
    ASSERT_EQ(Module::launchCommands.size(), 1u);
    EXPECT_EQ(Module::launchCommands[0].size(), static_cast<std::size_t>(big.size()));
}

TEST_F(BadLaunchList, AMillionRecordsLoadInFileOrder) {
    QByteArray text;
    text.reserve(20 * 1000 * 1000);
    for (int i = 0; i < 1000000; ++i)
        text += "n" + QByteArray::number(i) + ",c\r\n";
    Start(text, false);
    auto* list = window->findChild<QListWidget*>("ListBox");
    ASSERT_EQ(list->count(), 1000000);
    EXPECT_EQ(list->item(999999)->text(), "n999999");
    EXPECT_EQ(list->currentRow(), 0);
}

// Bad command lines: the joke box, and nothing run but the named program.
TEST_F(BadLaunchList, BadCommandLinesShowTheJokeBoxAndRunNothingElse) {
    QDir(dir.path()).mkdir("folder");
    WriteFile("plain.txt", "text");
    const QString mark = MarkerProgram();
    const QByteArray touched = Path("touched").toUtf8();
    const QByteArray longLine = "pikorina-no-such-program " + QByteArray(100 * 1024, 'a');
    const struct {
        QByteArray command;
        bool starts;
    } rows[] = {
        {"", false},
        {"   ", false},
        {"'unbalanced", false},
        {"pikorina-no-such-program", false},
        {Path("plain.txt").toUtf8(), false},
        {Path("folder").toUtf8(), false},
        {longLine, false},
        {"pikorina-no-such-program ; touch " + touched, false},
        {"pikorina-no-such-program && touch " + touched, false},
        {"pikorina-no-such-program | touch " + touched, false},
        {"touch$IFS" + touched, false},
    };
    QByteArray ini;
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        ini +=
            "\"" + QByteArray::number(static_cast<int>(i)) + "\",\"" + rows[i].command + "\"\r\n";
    }
    Start(ini);
    auto* list = window->findChild<QListWidget*>("ListBox");
    for (std::size_t i = 0; i < std::size(rows); ++i) {
        boxes.clear();
        list->setCurrentRow(static_cast<int>(i));
        form->終了_Click();
        ASSERT_EQ(boxes.size(), 1u) << rows[i].command.left(60).toStdString();
        EXPECT_EQ(boxes[0].title, "鰓が出た象！");
    }
    QTest::qWait(300);
    EXPECT_FALSE(QFile::exists(Path("touched")));
}

TEST_F(BadLaunchList, NonAsciiProgramPathsAndArgumentsArriveIntact) {
    QDir(dir.path()).mkdir("道具 箱");
    QFile::copy(MarkerProgram(), Path("道具 箱/印"));
    QFile::setPermissions(Path("道具 箱/印"), QFile::ReadOwner | QFile::ExeOwner);
    Start("\"印\",'" + Path("道具 箱/印").toUtf8() + "' " + Path("出力").toUtf8() +
          " 引数 \"空白 あり\" ｶﾀｶﾅ\r\n");
    form->終了_Click();
    EXPECT_EQ(WaitForMarker("出力"), (QStringList{"引数", "空白 あり", "ｶﾀｶﾅ"}));
    EXPECT_TRUE(boxes.empty());
}

} // namespace
} // namespace pikorina::qt::test
