// The Linux program: the window is created hidden, its load handler runs, and only then is it
// shown. A failure during the load is reported and ends the program before anything is shown.
//
// The command line follows the Linux conventions: --help and --version answer on standard
// output and end without connecting to the display; the options Qt documents for itself
// (-platform, -style, -display and so on) are left to Qt; anything else is a usage error,
// status 2.
#include "app/frmMain.h"
#include "platform/qt/application.h"
#include "platform/qt/host.h"
#include "platform/qt/window.h"

#include <QApplication>
#include <QGuiApplication>

#include <algorithm>
#include <cstdio>
#include <span>
#include <string_view>

namespace {

constexpr std::string_view kVersion = "pikorina " PIKORINA_VERSION "\n";
constexpr std::string_view kUsage =
    "使い方: pikorina [--help | --version]\n"
    "\n"
    "「プログラムの強制終了」そっくりのジョーク ランチャーです。一覧から選んだプログラムを\n"
    "起動します。一覧は Setup.ini から読みます。探す順番は、プログラムと同じフォルダ、\n"
    "$XDG_CONFIG_HOME/pikorina/ (ふつうは ~/.config/pikorina/)、$XDG_CONFIG_DIRS の各フォルダの\n"
    "pikorina/ (ふつうは /etc/xdg/pikorina/) です。詳しくは man pikorina。\n"
    "\n"
    "  --help      この説明を表示して終わります\n"
    "  --version   バージョンを表示して終わります\n";

// The options QGuiApplication, QApplication and the X11 platform document, which Qt takes out
// of argv itself; written -name or --name. These take the next argument as their value:
constexpr std::string_view kQtOptionsWithValue[] = {
    "platform",    "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
    "qwindowicon", "qwindowtitle",       "session",       "style",  "stylesheet",
    "display",     "geometry",           "title",         "name",   "visual"};
// and these stand alone, as do -style=NAME, -stylesheet=PATH and -qmljsdebugger=...:
constexpr std::string_view kQtFlags[] = {"reverse", "widgetcount", "nograb",
                                         "dograb",  "sync",        "testability"};
constexpr std::string_view kQtOptionsWithEquals[] = {"style=", "stylesheet=", "qmljsdebugger="};

enum class Request { Run, Help, Version, Wrong };
struct CommandLine {
    Request request = Request::Run;
    std::string_view wrong; // the first argument that is not understood
};

bool Contains(std::span<const std::string_view> names, std::string_view name) {
    return std::find(names.begin(), names.end(), name) != names.end();
}

bool IsQtOption(std::string_view name) {
    return Contains(kQtFlags, name) ||
           std::any_of(std::begin(kQtOptionsWithEquals), std::end(kQtOptionsWithEquals),
                       [name](std::string_view option) { return name.starts_with(option); });
}

// What the command line asks for. Only --help, --version and Qt's own options are known.
CommandLine ReadCommandLine(int argc, char* argv[]) {
    bool help = false;
    bool version = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        std::string_view name = arg;
        if (name.starts_with("--")) name.remove_prefix(1);
        if (arg == "--help") {
            help = true;
        } else if (arg == "--version") {
            version = true;
        } else if (name.starts_with("-") && Contains(kQtOptionsWithValue, name.substr(1))) {
            ++i;
        } else if (!name.starts_with("-") || !IsQtOption(name.substr(1))) {
            return {Request::Wrong, arg};
        }
    }
    if (help) return {Request::Help, {}};
    if (version) return {Request::Version, {}};
    return {};
}

void Write(std::FILE* stream, std::string_view text) {
    std::fwrite(text.data(), 1, text.size(), stream);
}

// Said on standard error with the usage: the caller's mistake, not the program's.
int UsageError(std::string_view arg) {
    Write(stderr, "pikorina: 不明な引数です: ");
    Write(stderr, arg);
    Write(stderr, "\n\n");
    Write(stderr, kUsage);
    return 2;
}

// The program talks to its user through its window and its boxes only. Qt's own warnings (no
// sound server, no runtime folder, a missing font) are not for the user; real trouble still
// shows on the terminal.
void QuietMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtCriticalMsg || type == QtFatalMsg) {
        std::fprintf(stderr, "%s\n", qUtf8Printable(message));
    }
}

} // namespace

int main(int argc, char* argv[]) {
    const CommandLine commandLine = ReadCommandLine(argc, argv);
    switch (commandLine.request) {
    case Request::Help: Write(stdout, kUsage); return 0;
    case Request::Version: Write(stdout, kVersion); return 0;
    case Request::Wrong: return UsageError(commandLine.wrong);
    case Request::Run: break;
    }
    qInstallMessageHandler(QuietMessages);
    QApplication app(argc, argv);
    // An option Qt documents but this platform does not take is left over: still a mistake.
    if (argc > 1) return UsageError(argv[1]);
    // Ties the window to the desktop entry, for its icon in task bars and docks.
    QGuiApplication::setDesktopFileName("io.github.pikorina.Pikorina");
    pikorina::qt::SetUpApplication(app);
    pikorina::qt::Host host;
    pikorina::qt::Window window(host);
    pikorina::frmMain form(window, host);
    window.Start(form);
    return QApplication::exec();
}
