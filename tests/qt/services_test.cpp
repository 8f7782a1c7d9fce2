// The Linux services behind the window: starting programs, reading and decoding files, sound.
#include "app/errors.h"
#include "qt_fixture.h"

#include <QDir>
#include <QElapsedTimer>

#include <unistd.h>

namespace pikorina::qt::test {
namespace {

class Services : public QtWindow {
  protected:
    void SetUp() override {
        QtWindow::SetUp();
        window = std::make_unique<Window>(dir.path());
    }
    // The error number Shell fails with, or 0 when it started something.
    int ShellError(const std::string& line) {
        try {
            window->Shell(line);
            return 0;
        } catch (const RuntimeError& e) {
            return e.number();
        }
    }
};

TEST_F(Services, ShellStartsTheProgramWithItsArgumentsAndNothingElse) {
    const std::string mark = MarkerProgram().toStdString();
    const std::string out = Path("out").toStdString();
    const std::string touched = Path("touched").toStdString();
    ASSERT_EQ(ShellError(mark + " " + out + " plain 'two words' \"$HOME\" ; touch " + touched +
                         " `touch " + touched + "` 電卓"),
              0);
    EXPECT_EQ(WaitForMarker("out"),
              (QStringList{"plain", "two words", "$HOME", ";", "touch", touched.c_str(),
                           QString("`touch"), QString::fromStdString(touched + "`"), "電卓"}));
    EXPECT_FALSE(QFile::exists(Path("touched")));
}

TEST_F(Services, ShellFindsProgramsOnThePath) {
    ASSERT_EQ(ShellError("touch " + Path("by-path").toStdString()), 0);
    EXPECT_TRUE(WaitForMarker("by-path").has_value());
}

TEST_F(Services, ShellFailsForWhatCannotBeStarted) {
    WriteFile("plain.txt", "not a program");
    QDir(dir.path()).mkdir("folder");
    const std::pair<std::string, int> rows[] = {
        {"", kErrInvalidCall},
        {"   \t ", kErrInvalidCall},
        {"prog 'unbalanced", kErrInvalidCall},
        {"pikorina-no-such-program", kErrFileNotFound},
        {Path("missing").toStdString() + " arg", kErrFileNotFound},
        {Path("folder").toStdString(), kErrPathFileAccess},
        {Path("plain.txt").toStdString(), kErrPermissionDenied},
    };
    for (const auto& [line, number] : rows)
        EXPECT_EQ(ShellError(line), number) << line;
}

TEST_F(Services, ReadFileSaysWhyAFileCannotBeRead) {
    WriteFile("Setup.ini", "a,b");
    QDir(dir.path()).mkdir("folder");
    EXPECT_EQ(window->ReadFile(Path("Setup.ini").toStdString()), "a,b");
    const std::pair<QString, int> rows[] = {
        {Path("missing.ini"), kErrFileNotFound},
        {Path("no-such-folder/Setup.ini"), kErrPathNotFound},
        {Path("folder"), kErrPathFileAccess},
    };
    for (const auto& [path, number] : rows) {
        try {
            window->ReadFile(path.toStdString());
            ADD_FAILURE() << path.toStdString() << " was read";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), number) << path.toStdString();
            EXPECT_EQ(e.path(), path.toStdString());
        }
    }
}

TEST_F(Services, ReadFileRefusedAccessIsPermissionDenied) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    WriteFile("locked.ini", "a,b");
    QFile::setPermissions(Path("locked.ini"), QFileDevice::Permissions());
    try {
        window->ReadFile(Path("locked.ini").toStdString());
        FAIL() << "was read";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), kErrPermissionDenied);
    }
}

TEST_F(Services, DecodeTextReadsUtf8OrElseCodePage932) {
    const struct {
        const char* what;
        std::string bytes;
        TextEncoding encoding;
        std::string utf8;
    } rows[] = {
        {"UTF-8 stays", "電卓,calc", TextEncoding::Ansi, "電卓,calc"},
        {"Shift_JIS is decoded", "\x93\x64\x91\xEC,calc", TextEncoding::Ansi, "電卓,calc"},
        {"half-width katakana", "\xB4\xD7\xB0", TextEncoding::Ansi, "ｴﾗｰ"},
        {"a byte code page 932 lacks",
         "a\xA0"
         "b",
         TextEncoding::Ansi,
         "a\xEF\xBF\xBD"
         "b"},
        {"broken UTF-8 after a mark",
         "a\xFF"
         "b",
         TextEncoding::Utf8,
         "a\xEF\xBF\xBD"
         "b"},
        {"UTF-8 cut short at the end", "a\xE9\x9B", TextEncoding::Utf8,
         "a\xEF\xBF\xBD\xEF\xBF\xBD"},
        {"plain ASCII", "xclock", TextEncoding::Ansi, "xclock"},
        {"UTF-16 little-endian", std::string("\xFB\x96,\0", 4), TextEncoding::Utf16LE, "電,"},
        {"UTF-16 big-endian", std::string("\x96\xFB\0,", 4), TextEncoding::Utf16BE, "電,"},
        {"UTF-16 cut short", std::string("a\0b", 3), TextEncoding::Utf16LE, "a\xEF\xBF\xBD"},
        {"a lead byte without its trail", "\x93", TextEncoding::Ansi, "\xEF\xBF\xBD"},
        {"a real Ctrl+Z stays one", std::string("\x93\x64\x1A\xA0", 4), TextEncoding::Ansi,
         "電\x1A\xEF\xBF\xBD"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(window->DecodeText(row.bytes, row.encoding), row.utf8) << row.what;
    }
}

TEST_F(Services, AppPathIsTheProgramFolder) {
    EXPECT_EQ(window->AppPath(), dir.path().toStdString());
    EXPECT_EQ(Window().AppPath(), QCoreApplication::applicationDirPath().toStdString());
}

TEST_F(Services, PlayingSoundNeverFailsLoudly) {
    EXPECT_FALSE(window->mciExecute("play " + Path("missing.wav").toStdString()));
    EXPECT_FALSE(window->mciExecute("stop"));
    EXPECT_TRUE(boxes.empty());
}

} // namespace
} // namespace pikorina::qt::test
