// Painting the core's surface with QPainter, and the conversions from the core's units (twips,
// colour values, UTF-8) to Qt's, made here and nowhere else.
#pragma once

#include "app/surface.h"

#include <QFont>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <optional>
#include <string_view>

class QLabel;
class QWidget;

namespace pikorina::qt {

// Geometry is kept in twips and becomes device-independent pixels here, at 15 twips a pixel;
// Qt scales those for high-density screens.
inline int Px(Twips twips) {
    return TwipsToPixels(twips, 96);
}
inline QRect Px(const Rect& r) {
    return QRect(Px(r.left), Px(r.top), Px(r.width), Px(r.height));
}

inline QString ToQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

QFont ToQFont(const Font& design);

// The program's pictures, each decoded when it is first shown: the 900 KB background would
// otherwise cost every start-up, though many runs never switch it on. Owned by the window, so
// they go with it, before the application.
class Pictures {
  public:
    const QPixmap& operator[](Picture picture);

  private:
    PictureTable<std::optional<QPixmap>> pixmaps_;
};

void PaintSurface(QWidget& widget, const Surface& surface, Pictures& pictures);

// The warning text as a label of Qt's own, drawn as the design says: its font and colour,
// wrapped at word breaks from the top-left, and no background of its own, so that the window's
// picture shows through. Clicks go through it to the window, whose surface routes them.
QLabel* NewLabel(const ControlDesign& design, QWidget& parent);

} // namespace pikorina::qt
