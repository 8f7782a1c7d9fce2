#include "platform/qt/application.h"

#include "platform/qt/paint.h"

#include <QApplication>
#include <QIcon>
#include <QImageReader>
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
    // flag.ico's pixels as a PNG, which Qt reads itself: the ico reader is a plugin, loaded for
    // this alone, and a reader left to guess the format asks every plugin first. The window
    // takes the application's icon.
    QImageReader icon(":/linux/icon-32.png", "png");
    icon.setAutoDetectImageFormat(false);
    app.setWindowIcon(QIcon(QPixmap::fromImage(icon.read())));
}

} // namespace pikorina::qt
