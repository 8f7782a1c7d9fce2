// Painting the core's surface with QPainter, and the conversions from the core's units (twips,
// colour values, UTF-8) to Qt's, made here and nowhere else.
#pragma once

#include "app/picture_cache.h"
#include "app/surface.h"

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <string_view>

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
QColor ToQColor(OleColor color, const QPalette& palette);

// The program's pictures, from its resources. Owned by the window, so they go with it, before
// the application.
using Pictures = PictureCache<QPixmap>;
QPixmap LoadPicture(const PictureDesign& design);

void PaintSurface(QWidget& widget, const Surface& surface, Pictures& pictures);

} // namespace pikorina::qt
