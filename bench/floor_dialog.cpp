// The start-up floor: the least a Qt program can do to show this window. A bare QDialog of the
// same fixed size with the same controls in the same places (a list of ten entries and three
// buttons with the same captions), and nothing else: no style, no fonts, no translations, no
// icon, no launch list to read. Timed from outside exactly like the program.
#include "app/design.h"

#include <QApplication>
#include <QDialog>
#include <QListWidget>
#include <QPushButton>

namespace {

QRect RectOf(pikorina::ControlId id) {
    const pikorina::ControlDesign& d = pikorina::Design(id);
    auto px = [](pikorina::Twips t) { return pikorina::TwipsToPixels(t, 96); };
    return QRect(px(d.left), px(d.top), px(d.width), px(d.height));
}

} // namespace

int main(int argc, char* argv[]) {
    using pikorina::ControlId;
    QApplication app(argc, argv);
    QDialog dialog;
    // The size the program's load gives its window, and its list's rectangle.
    dialog.setFixedSize(pikorina::TwipsToPixels(5625 - 90, 96),
                        pikorina::TwipsToPixels(3945 - 375, 96));
    auto* list = new QListWidget(&dialog);
    list->setGeometry(pikorina::TwipsToPixels(180, 96), pikorina::TwipsToPixels(120, 96),
                      pikorina::TwipsToPixels(5125, 96), pikorina::TwipsToPixels(1860, 96));
    for (int i = 0; i < 10; ++i)
        list->addItem(QString::fromUtf8("時計"));
    list->setCurrentRow(0);
    for (ControlId id : {ControlId::終了, ControlId::シャットダウン, ControlId::キャンセル}) {
        const std::string_view caption = pikorina::Design(id).caption;
        auto* button = new QPushButton(
            QString::fromUtf8(caption.data(), static_cast<qsizetype>(caption.size())), &dialog);
        button->setGeometry(RectOf(id));
    }
    dialog.show();
    return QApplication::exec();
}
