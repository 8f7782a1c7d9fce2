// The surface's painter: QPainter in device-independent pixels.
#include "platform/qt/paint.h"

#include <QFontDatabase>
#include <QImageReader>
#include <QPainter>
#include <QWidget>

#include <algorithm>

namespace pikorina::qt {
namespace {

class SurfacePainter final : public Painter {
  public:
    SurfacePainter(QWidget& widget, Pictures& pictures)
        : painter_(&widget), palette_(widget.palette()), pictures_(pictures) {
        // Pixel art is scaled without smoothing, block for block.
        painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    }
    void FillRect(const Rect& area, OleColor color) override {
        painter_.fillRect(Px(area), ToQColor(color, palette_));
    }
    void DrawPicture(const Rect& area, Picture picture) override {
        painter_.drawPixmap(Px(area), pictures_[picture]);
    }

  private:
    QPainter painter_;
    QPalette palette_;
    Pictures& pictures_;
};

} // namespace

QColor ToQColor(OleColor color, const QPalette& palette) {
    if (!IsSystemColor(color)) return QColor(RedOf(color), GreenOf(color), BlueOf(color));
    // The system colours the program can meet, by their index.
    switch (SystemColorIndex(color)) {
    case 5: return palette.color(QPalette::Base);        // window
    case 8: return palette.color(QPalette::Text);        // window text
    case 18: return palette.color(QPalette::ButtonText); // button text
    case 15:                                             // button face
    default: return palette.color(QPalette::Button);
    }
}

QFont ToQFont(const Font& design) {
    // The first of the design's faces that is installed, alone, as Windows picks a face by its
    // name. Given the whole list, Qt looks up fallback fonts for each face it does not find and
    // for the faces after the one it uses: some 20 M instructions at start-up, a fifth of it all,
    // for glyphs the face has itself (a glyph it lacks still comes from a fallback). With none of
    // them installed, the list as it is, for fontconfig to choose from.
    const QStringList installed = QFontDatabase::families();
    QStringList faces;
    for (std::string_view face : design.faces)
        faces << ToQString(face);
    const auto first = std::find_if(faces.begin(), faces.end(), [&](const QString& face) {
        return installed.contains(face, Qt::CaseInsensitive);
    });
    QFont font;
    if (first != faces.end()) {
        font.setFamily(*first);
    } else {
        font.setFamilies(faces);
    }
    font.setPointSize(design.points);
    font.setWeight(QFont::Normal);
    return font;
}

QPixmap LoadPicture(const PictureDesign& design) {
    const QString resource = ":/" + ToQString(design.file);
    if (!design.icon) return QPixmap(resource);
    QImageReader reader(resource);
    QImage best;
    do {
        const QImage image = reader.read();
        if (image.width() == kIconImagePixels || best.isNull()) best = image;
    } while (reader.jumpToNextImage());
    return QPixmap::fromImage(best);
}

void PaintSurface(QWidget& widget, const Surface& surface, Pictures& pictures) {
    SurfacePainter painter(widget, pictures);
    surface.Paint(painter);
}

} // namespace pikorina::qt
