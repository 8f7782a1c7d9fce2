// The Linux program: the window is created hidden, its load handler runs, and only then is it
// shown. A failure during the load is reported and ends the program before anything is shown.
#include "app/frmMain.h"
#include "platform/qt/window.h"

#include <QApplication>

#include <cstdio>

namespace {

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
    qInstallMessageHandler(QuietMessages);
    QApplication app(argc, argv);
    pikorina::qt::SetUpApplication(app);
    pikorina::qt::Window window;
    pikorina::frmMain form(window);
    window.Attach(form);
    form.Raise(&pikorina::frmMain::Form_Load);
    window.ShowCentred();
    return QApplication::exec();
}
