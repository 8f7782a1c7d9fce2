// The Linux services behind the window: starting programs, reading and decoding files, sound.
#include "app/errors.h"
#include "host_tables.h"
#include "launcher/command_line.h"
#include "qt_fixture.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QElapsedTimer>
#include <QListWidget>
#include <QProcess>

#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace pikorina::qt::test {
namespace {

using pikorina::test::kCodePageRows;
using pikorina::test::kOpenFailureRows;

class Services : public QtWindow {
  protected:
    void SetUp() override {
        QtWindow::SetUp();
        Create();
    }
    // The error number a start fails with, or 0 when it started something.
    int ShellError(const std::string& line) {
        try {
            StartCommandLine(*host, line);
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
    EXPECT_EQ(host->ReadFile(Path("Setup.ini").toStdString()), "a,b");
    for (const auto& [name, number] : kOpenFailureRows) {
        const std::string path = Path(name).toStdString();
        try {
            host->ReadFile(path);
            ADD_FAILURE() << path << " was read";
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), number) << path;
            EXPECT_EQ(e.path(), path);
        }
    }
}

TEST_F(Services, ReadFileRefusedAccessIsPermissionDenied) {
    if (geteuid() == 0) GTEST_SKIP() << "root reads every file";
    WriteFile("locked.ini", "a,b");
    QFile::setPermissions(Path("locked.ini"), QFileDevice::Permissions());
    try {
        host->ReadFile(Path("locked.ini").toStdString());
        FAIL() << "was read";
    } catch (const RuntimeError& e) {
        EXPECT_EQ(e.number(), kErrPermissionDenied);
    }
}

TEST_F(Services, TheCodePageIs932) {
    for (const auto& row : kCodePageRows)
        EXPECT_EQ(host->DecodeCodePage(row.bytes), row.utf8) << row.what;
}

TEST_F(Services, AppPathIsTheProgramFolder) {
    EXPECT_EQ(host->AppPath(), dir.path().toStdString());
    EXPECT_EQ(Host().AppPath(), QCoreApplication::applicationDirPath().toStdString());
}

// The XDG variables and the home folder as they were, and the working folder, back after a test
// that changes them.
class ScopedEnvironment {
  public:
    ScopedEnvironment() {
        for (const char* name : kNames)
            saved_.push_back({name, qgetenv(name), qEnvironmentVariableIsSet(name)});
    }
    ~ScopedEnvironment() {
        for (const auto& [name, value, set] : saved_) {
            if (set) {
                qputenv(name, value);
            } else {
                qunsetenv(name);
            }
        }
        QDir::setCurrent(cwd_);
    }

    static constexpr const char* kNames[] = {"HOME", "XDG_CONFIG_HOME", "XDG_CONFIG_DIRS",
                                             "XDG_DATA_HOME", "XDG_DATA_DIRS"};

  private:
    struct Saved {
        const char* name;
        QByteArray value;
        bool set;
    };
    std::vector<Saved> saved_;
    QString cwd_ = QDir::currentPath();
};

// Where Setup.ini and Don.wav are found: beside the program, then along the XDG folders, the
// user's own before the system's; relative folders in the variables count for nothing. Each
// row starts from HOME=@/home, XDG_CONFIG_DIRS=@/etc1 and XDG_DATA_DIRS=@/share1 (@ is the
// row's temporary folder, which is also the program's folder and the working folder).
TEST_F(Services, TheProgramsFilesAreFoundInXdgOrder) {
    const struct {
        const char* what;
        const char* file;                                     // Setup.ini or Don.wav
        std::vector<const char*> there;                       // files that exist, under @
        std::vector<std::pair<const char*, const char*>> env; // nullptr unsets
        const char* found;                                    // under @
        int error; // Setup.ini found nowhere: 53 naming `found`
    } rows[] = {
        {"beside the program first",
         "Setup.ini",
         {"Setup.ini", "home/.config/pikorina/Setup.ini", "etc1/pikorina/Setup.ini"},
         {},
         "Setup.ini",
         0},
        {"then the user's own, under the home folder",
         "Setup.ini",
         {"home/.config/pikorina/Setup.ini", "etc1/pikorina/Setup.ini"},
         {},
         "home/.config/pikorina/Setup.ini",
         0},
        {"XDG_CONFIG_HOME moves the user's own",
         "Setup.ini",
         {"cfg/pikorina/Setup.ini", "home/.config/pikorina/Setup.ini"},
         {{"XDG_CONFIG_HOME", "@/cfg"}},
         "cfg/pikorina/Setup.ini",
         0},
        {"then the first system folder that has one",
         "Setup.ini",
         {"etc2/pikorina/Setup.ini", "etc3/pikorina/Setup.ini"},
         {{"XDG_CONFIG_DIRS", "@/etc1:@/etc2:@/etc3"}},
         "etc2/pikorina/Setup.ini",
         0},
        {"a broken link is the list the user meant",
         "Setup.ini",
         {"home/.config/pikorina/Setup.ini -> nowhere", "etc1/pikorina/Setup.ini"},
         {},
         "home/.config/pikorina/Setup.ini",
         kErrFileNotFound},
        {"nowhere: the report names the user's own under the home folder",
         "Setup.ini",
         {"home/.config/pikorina/other.ini"},
         {},
         "home/.config/pikorina/Setup.ini",
         kErrFileNotFound},
        {"nowhere: the report names the one in XDG_CONFIG_HOME",
         "Setup.ini",
         {},
         {{"XDG_CONFIG_HOME", "@/cfg"}},
         "cfg/pikorina/Setup.ini",
         kErrFileNotFound},
        {"an empty XDG_CONFIG_HOME means the default",
         "Setup.ini",
         {"home/.config/pikorina/Setup.ini"},
         {{"XDG_CONFIG_HOME", ""}},
         "home/.config/pikorina/Setup.ini",
         0},
        {"a relative XDG_CONFIG_HOME is ignored",
         "Setup.ini",
         {"rel/pikorina/Setup.ini", "home/.config/pikorina/Setup.ini"},
         {{"XDG_CONFIG_HOME", "rel"}},
         "home/.config/pikorina/Setup.ini",
         0},
        {"a relative XDG_CONFIG_HOME is ignored in the report too",
         "Setup.ini",
         {"rel/pikorina/Setup.ini"},
         {{"XDG_CONFIG_HOME", "rel"}},
         "home/.config/pikorina/Setup.ini",
         kErrFileNotFound},
        {"relative entries in XDG_CONFIG_DIRS are ignored",
         "Setup.ini",
         {"rel/pikorina/Setup.ini", "etc2/pikorina/Setup.ini"},
         {{"XDG_CONFIG_DIRS", "rel:@/etc2"}},
         "etc2/pikorina/Setup.ini",
         0},
        {"the sound beside the program first",
         "Don.wav",
         {"Don.wav", "home/.local/share/pikorina/Don.wav"},
         {},
         "Don.wav",
         0},
        {"then the user's data folder",
         "Don.wav",
         {"home/.local/share/pikorina/Don.wav", "share1/pikorina/Don.wav"},
         {},
         "home/.local/share/pikorina/Don.wav",
         0},
        {"XDG_DATA_HOME moves the user's data folder",
         "Don.wav",
         {"data/pikorina/Don.wav", "home/.local/share/pikorina/Don.wav"},
         {{"XDG_DATA_HOME", "@/data"}},
         "data/pikorina/Don.wav",
         0},
        {"then the system data folders in order",
         "Don.wav",
         {"share2/pikorina/Don.wav", "share3/pikorina/Don.wav"},
         {{"XDG_DATA_DIRS", "@/share1:@/share2:@/share3"}},
         "share2/pikorina/Don.wav",
         0},
        {"relative data folders are ignored",
         "Don.wav",
         {"rel/pikorina/Don.wav", "share2/pikorina/Don.wav"},
         {{"XDG_DATA_HOME", "rel"}, {"XDG_DATA_DIRS", "rel:@/share2"}},
         "share2/pikorina/Don.wav",
         0},
        {"no sound anywhere: beside the program, where nothing plays",
         "Don.wav",
         {},
         {},
         "Don.wav",
         0},
    };
    const ScopedEnvironment restore;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.what);
        QTemporaryDir root;
        ASSERT_TRUE(root.isValid());
        const QString at = root.path();
        const auto expand = [&](const char* text) {
            return QString::fromUtf8(text).replace("@", at).toLocal8Bit();
        };
        for (const char* file : row.there) {
            // "name -> target" is a symbolic link; any other file holds one record named after
            // its own place.
            const QStringList link = QString(file).split(" -> ");
            const QString path = at + "/" + link[0];
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
            if (link.size() == 2) {
                ASSERT_TRUE(QFile::link(link[1], path));
                continue;
            }
            QFile f(path);
            ASSERT_TRUE(f.open(QIODevice::WriteOnly));
            f.write(link[0].toUtf8() + ",true\n");
        }
        qputenv("HOME", expand("@/home"));
        qputenv("XDG_CONFIG_DIRS", expand("@/etc1"));
        qputenv("XDG_DATA_DIRS", expand("@/share1"));
        qunsetenv("XDG_CONFIG_HOME");
        qunsetenv("XDG_DATA_HOME");
        for (const auto& [name, value] : row.env) {
            if (value) {
                qputenv(name, expand(value));
            } else {
                qunsetenv(name);
            }
        }
        ASSERT_TRUE(QDir::setCurrent(at));

        const std::string expected = (at + "/" + row.found).toStdString();
        Host host(at);
        Window own(host);
        if (std::string_view(row.file) == "Don.wav") {
            EXPECT_EQ(host.SoundPath(), expected);
            continue;
        }
        // Through the load, as the program starts: the list shows the record of the file found.
        frmMain form(own, host);
        try {
            form.Form_Load();
            EXPECT_EQ(row.error, 0) << "loaded, but should fail";
            EXPECT_EQ(host.LaunchListPath(), expected);
            auto* list = own.findChild<QListWidget*>("ListBox");
            ASSERT_EQ(list->count(), 1);
            EXPECT_EQ(list->item(0)->text().toStdString(), row.found);
        } catch (const RuntimeError& e) {
            EXPECT_EQ(e.number(), row.error);
            EXPECT_EQ(e.path(), expected);
        }
    }
}

TEST_F(Services, PlayingSoundNeverFailsLoudly) {
    // A wave file whose header claims more than there is, one of 24-bit samples, and others.
    const std::string deep("RIFF\x24\0\0\0WAVEfmt \x10\0\0\0\x01\0\x01\0\x22\x56\0\0"
                           "\x66\x02\x01\0\x03\0\x18\0data\xff\xff\xff\x7f\1\2\3\4\5\6",
                           50);
    std::string fast = deep; // a million samples a second, more than the server takes
    fast.replace(24, 4, "\x40\x42\x0f\0", 4);
    std::string wide = deep; // 33 channels, more than the server takes
    wide.replace(22, 12, "\x21\0\x22\x56\0\0\x26\x4f\x21\0\x63\0", 12);
    for (const std::string& bytes : {std::string(), std::string("not a sound"), deep, fast, wide,
                                     deep.substr(0, 30), std::string("RIFF\0\0\0\0WAVE", 12)}) {
        host->LoadSound(bytes);
        host->PlaySound();
    }
    host->LoadSound({}); // no Don.wav: nothing to start
    EXPECT_FALSE(host->PlaySound());
    EXPECT_TRUE(boxes.empty());
}

// An explosion's bangs, `count` of them with the pump running between: how many started. The
// one place that knows how the host is asked for the sound.
int Bangs(Host& host, const QString& wave, int count) {
    host.LoadSound(host.ReadFile(wave.toStdString()));
    int started = 0;
    for (int i = 0; i < count; ++i) {
        started += host.PlaySound();
        QTest::qWait(0);
    }
    return started;
}

// A private sound server (tools/sound_server.py --serve) that takes over the address `link`
// and ends when let go.
class SoundServer {
  public:
    SoundServer(const QString& folder, const QString& link) {
        process_.start("python3", {PIKORINA_SOUND_SERVER, "--serve", folder, link});
        ready_ = process_.waitForReadyRead(60'000) && process_.readAll().startsWith("ready");
    }
    ~SoundServer() {
        process_.closeWriteChannel();
        process_.waitForFinished(60'000);
    }
    bool ready() const { return ready_; }

  private:
    QProcess process_;
    bool ready_ = false;
};

// Bangs faster than any plays out, each cutting short the one before on the same stream; the
// host made anew, with the stream and its thread, after every round; the server replaced twice
// while bangs play, and the sound back with the new one. Qt 6.4's output called back into an
// output already deleted (a crash seen once in some eighty explosions), and waited without end
// for a stream the dying server dropped (the sound off for good, then an abort at exit); the
// sanitizers' filled freed memory and their checks at exit make either fail here.
TEST_F(Services, SoundOutlivesItsOutputsAndItsServer) {
    if (qEnvironmentVariableIsEmpty("PIKORINA_SOUND_TEST"))
        GTEST_SKIP() << "run by its own ctest entry, qt_sound_server";
    const QString wave = PIKORINA_SOURCE_DIR "/assets/Don.wav";
    qputenv("PULSE_SERVER", "unix:" + Path("server").toLocal8Bit());
    auto server = std::make_unique<SoundServer>(Path("a"), Path("server"));
    ASSERT_TRUE(server->ready());
    constexpr int kRounds = 30, kBangs = 10;
    for (int round = 1; round <= kRounds; ++round) {
        const int started = Bangs(*host, wave, kBangs);
        if (round % 10 == 0 && round < kRounds) {
            // The next server takes the address, then this one ends under the playing bangs.
            auto next = std::make_unique<SoundServer>(Path(QString::number(round)), Path("server"));
            ASSERT_TRUE(next->ready());
            server = std::move(next);
        }
        if (round == kRounds && started < kBangs) {
            // The sound comes back: an output is open for a bang, once the server has taken it.
            QDeadlineTimer deadline(30'000);
            while (!host->PlaySound() && !deadline.hasExpired())
                QTest::qWait(50);
            EXPECT_FALSE(deadline.hasExpired()) << "the sound did not come back";
        }
        QTest::qWait(1200); // the bangs play out (Don.wav lasts a second), and run dry
        host = std::make_unique<Host>(dir.path());
    }
    // A server that takes connections and never answers: the bangs, and the program's end, go on
    // without it.
    const int hung = socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    Path("hung").toStdString().copy(address.sun_path, sizeof address.sun_path - 1);
    ASSERT_EQ(bind(hung, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(listen(hung, 64), 0);
    qputenv("PULSE_SERVER", "unix:" + Path("hung").toLocal8Bit());
    EXPECT_EQ(Bangs(*host, wave, 3), 0);
    const int peer = accept(hung, nullptr, nullptr); // a bang's connection
    host.reset();
    // Neither the bangs nor the end waited for the server: that connection is still open.
    pollfd state{peer, POLLRDHUP, 0};
    EXPECT_EQ(poll(&state, 1, 0), 0) << "the program waited for a server that never answers";
    close(peer);
    close(hung);
}

} // namespace
} // namespace pikorina::qt::test
