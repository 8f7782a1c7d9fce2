// The surface's painter: QPainter in device-independent pixels.
#include "platform/qt/paint.h"

#include <QImageReader>
#include <QPainter>
#include <QWidget>

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
    QFont font;
    QStringList faces;
    for (std::string_view face : design.faces)
        faces << ToQString(face);
    font.setFamilies(faces);
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
