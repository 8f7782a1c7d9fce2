#include "platform/qt/application.h"

#include "platform/qt/paint.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QStyleFactory>
#include <QTranslator>

namespace pikorina::qt {

void SetUpApplication(QApplication& app) {
    // The classic bevelled look of the dialog being copied.
    if (QStyle* style = QStyleFactory::create("Windows")) app.setStyle(style);
    // The dialog font must show Japanese; the default Linux face has no kana.
    app.setFont(ToQFont(kLabelFont));
    // Qt's own texts (the standard buttons of message boxes) in Japanese.
    auto* translator = new QTranslator(&app);
    if (translator->load("qtbase_ja", QLibraryInfo::path(QLibraryInfo::TranslationsPath))) {
        QApplication::installTranslator(translator);
    }
    app.setWindowIcon(QIcon(":/flag.ico"));
}

} // namespace pikorina::qt
