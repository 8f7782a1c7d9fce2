// The Linux program: the window is created hidden, its load handler runs, and only then is it
// shown. A failure during the load is reported and ends the program before anything is shown.
#include "app/frmMain.h"
#include "platform/qt/window.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    pikorina::qt::SetUpApplication(app);
    pikorina::qt::Window window;
    pikorina::frmMain form(window);
    window.Attach(form);
    form.Raise(&pikorina::frmMain::Form_Load);
    window.ShowCentred();
    return QApplication::exec();
}
