// The window: the list and buttons kept in step with the core's surface, painting, keys and
// mouse into the core, message boxes, the event pump and the end of the program.
#include "platform/qt/window.h"

#include "app/errors.h"

#include <QApplication>
#include <QCloseEvent>
#include <QEventLoop>
#include <QImageReader>
#include <QLibraryInfo>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShortcutEvent>
#include <QStyleFactory>
#include <QTime>
#include <QTimer>
#include <QTranslator>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <optional>

namespace pikorina::qt {
namespace {

// Geometry is kept in twips and becomes device-independent pixels here, at 15 twips a pixel;
// Qt scales those for high-density screens.
int Px(Twips twips) {
    return TwipsToPixels(twips, 96);
}
QRect Px(const Rect& r) {
    return QRect(Px(r.left), Px(r.top), Px(r.width), Px(r.height));
}

QString ToQString(std::string_view utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

// The image controls show the 32 x 32 image of an icon.
QPixmap LoadPicture(const QString& resource) {
    QImageReader reader(resource);
    QImage best;
    do {
        const QImage image = reader.read();
        if (image.width() == 32 || best.isNull()) best = image;
    } while (reader.jumpToNextImage());
    return QPixmap::fromImage(best);
}

// Each picture is decoded when it is first shown: the 900 KB background would otherwise cost
// every start-up, though many runs never switch it on.
const QPixmap& PixmapOf(Picture picture) {
    static std::array<std::optional<QPixmap>, 5> pixmaps;
    std::optional<QPixmap>& pixmap = pixmaps[static_cast<std::size_t>(picture)];
    if (!pixmap) {
        switch (picture) {
        case Picture::None: pixmap.emplace(); break;
        case Picture::Flag: pixmap = LoadPicture(":/flag.ico"); break;
        case Picture::Swirl: pixmap.emplace(":/swirl.bmp"); break;
        case Picture::Dynamite: pixmap = LoadPicture(":/dynamite.ico"); break;
        case Picture::Burst: pixmap = LoadPicture(":/burst.ico"); break;
        }
    }
    return *pixmap;
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

// The surface's painter: QPainter in device-independent pixels.
class SurfacePainter final : public Painter {
  public:
    explicit SurfacePainter(QWidget& widget) : painter_(&widget), palette_(widget.palette()) {
        // Pixel art is scaled without smoothing, block for block.
        painter_.setRenderHint(QPainter::SmoothPixmapTransform, false);
    }
    void FillRect(const Rect& area, OleColor color) override {
        painter_.fillRect(Px(area), ToQColor(color, palette_));
    }
    void DrawPicture(const Rect& area, Picture picture) override {
        painter_.drawPixmap(Px(area), PixmapOf(picture));
    }
    void DrawWrappedText(const Rect& area, std::string_view text, const Font& font,
                         OleColor color) override {
        painter_.setFont(ToQFont(font));
        painter_.setPen(ToQColor(color, palette_));
        painter_.drawText(Px(area), Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                          ToQString(text));
    }

  private:
    QPainter painter_;
    QPalette palette_;
};

// Whether a mouse event's point lies in a rectangle of the surface.
auto Under(const QMouseEvent* event) {
    return [at = event->position().toPoint()](const Rect& r) { return Px(r).contains(at); };
}

} // namespace

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

std::function<int(std::string_view, int, std::string_view)> Window::msgBoxSeam;

Window::Window(QString appPath)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      appPath_(std::move(appPath)) {
    setWindowTitle(ToQString(kWindowCaption));
    setWindowIcon(QIcon(":/flag.ico"));
    setSizeGripEnabled(false);

    // The list and the buttons, in the order Tab goes round them.
    QWidget* previous = nullptr;
    for (ControlId id : kTabOrder) {
        const ControlDesign& d = Design(id);
        QWidget* widget;
        if (d.kind == ControlKind::ListBox) {
            widget = list_ = new QListWidget(this);
            list_->setSelectionMode(QAbstractItemView::SingleSelection);
            list_->setSortingEnabled(false);
            list_->setUniformItemSizes(true); // keeps a long list quick to fill and scroll
            connect(list_, &QListWidget::itemDoubleClicked, this,
                    [this] { Raise(&frmMain::ListBox_DblClick); });
        } else {
            auto* button = new QPushButton(ToQString(d.caption), this);
            button->setAutoDefault(true); // a focused button is pressed by Enter
            button->setDefault(id == kDefaultButton);
            connect(button, &QPushButton::clicked, this, [this, id] { PressButton(id); });
            button->installEventFilter(this);
            widget = button;
        }
        widgets_[static_cast<int>(id)] = widget;
        widget->setObjectName(ToQString(d.name));
        PlaceControl(id);
        widget->setVisible(d.visible);
        if (previous) setTabOrder(previous, widget);
        previous = widget;
    }
    setTabOrder(previous, WidgetOf(kTabOrder.front()));
    ResizeWindow();
}

Window::~Window() = default;

QRect Window::ControlRect(ControlId id) const {
    return Px(surface().RectOf(id));
}

bool Window::IsShown(ControlId id) const {
    const QWidget* w = WidgetOf(id);
    return w ? w->isVisible() : surface()[id].visible;
}

void Window::Raise(frmMain::Handler handler) {
    if (form_) form_->Raise(handler);
}

void Window::ShowCentred() {
    // Centre the outer window, frame included, as the design measures it.
    const QRect screen = this->screen()->availableGeometry();
    const QSize outer(Px(surface().WindowWidth()), Px(surface().WindowHeight()));
    move(screen.x() + (screen.width() - outer.width()) / 2,
         screen.y() + (screen.height() - outer.height()) / 2);
    show();
    // Without a window manager nothing activates the window, and keys would never reach it.
    activateWindow();
    raise();
    FocusControl(kTabOrder.front());
}

// The surface's native part.

void Window::ResizeWindow() {
    setFixedSize(Px(surface().ClientRect()).size());
}

void Window::PlaceControl(ControlId id) {
    WidgetOf(id)->setGeometry(ControlRect(id));
}

void Window::ShowControl(ControlId id, bool visible) {
    WidgetOf(id)->setVisible(visible);
}

bool Window::HasFocus(ControlId id) const {
    return WidgetOf(id)->hasFocus();
}

void Window::FocusWindow() {
    setFocus(Qt::OtherFocusReason);
}

void Window::FocusControl(ControlId id) {
    WidgetOf(id)->setFocus(Qt::OtherFocusReason);
}

// The list.

void Window::AddListItems(std::span<const std::string> items) {
    QStringList texts;
    texts.reserve(static_cast<qsizetype>(items.size()));
    for (const std::string& item : items)
        texts << ToQString(item);
    list_->addItems(texts);
}

void Window::SelectListItem(int index) {
    if (index < 0 || index >= list_->count()) throw RuntimeError(kErrInvalidPropertyIndex);
    list_->setCurrentRow(index);
}

int Window::ListIndex() const {
    return list_->currentRow();
}

void Window::paintEvent(QPaintEvent*) {
    SurfacePainter painter(*this);
    surface().Paint(painter);
}

// Clicks on the painted label and pictures; the list and buttons take their own.
void Window::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) surface_.MouseDown(Under(event));
}

void Window::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (const frmMain::Handler handler = surface_.MouseUp(Under(event))) Raise(handler);
}

// The second click of a double-click is the double-click, not another click, as on Windows:
// two quick clicks on the bare window switch the background once.
void Window::mouseDoubleClickEvent(QMouseEvent*) {
    surface_.CancelClick();
}

// An access key presses its button the way a click does, and as on Windows the button takes
// the focus: Tab goes on from it and Enter presses it again. Qt presses it but leaves the focus
// where it was.
bool Window::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::Shortcut && !static_cast<QShortcutEvent*>(event)->isAmbiguous()) {
        static_cast<QWidget*>(watched)->setFocus(Qt::ShortcutFocusReason);
    }
    return QDialog::eventFilter(watched, event);
}

// Esc presses the cancel button.
void Window::reject() {
    PressButton(kCancelButton);
}

// Closing by the title bar or the window manager ends the program, like キャンセル.
void Window::closeEvent(QCloseEvent* event) {
    event->ignore();
    End(0);
}

// The clock and the pump.

double Window::Timer() const {
    return QTime::currentTime().msecsSinceStartOfDay() / 1000.0;
}

double Window::MonotonicSeconds() const {
    using namespace std::chrono;
    return duration<double>(steady_clock::now().time_since_epoch()).count();
}

void Window::DoEvents(double maxWaitSeconds) {
    // The thread sleeps in a nested event loop, handling whatever arrives, until a precise
    // timer ends it; a coarse one could end a wait up to a tenth of a second off.
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(static_cast<int>(std::ceil(std::max(0.0, maxWaitSeconds) * 1000.0)));
    loop.exec();
}

// Message boxes and the end.

int Window::MsgBox(std::string_view text, int style, std::string_view title) {
    if (msgBoxSeam) return msgBoxSeam(text, style, title);
    QMessageBox box(isVisible() ? this : nullptr);
    box.setWindowTitle(ToQString(title));
    box.setTextFormat(Qt::PlainText);
    // The program separates lines with CR LF or a lone CR, as Windows boxes read them; Qt
    // breaks lines at LF only.
    box.setText(ToQString(text).replace("\r\n", "\n").replace('\r', '\n'));
    box.setIcon((style & 0xF0) == kMbInformation ? QMessageBox::Information : QMessageBox::NoIcon);
    if ((style & 0x0F) == kMbOkCancel) {
        box.setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
        box.setEscapeButton(QMessageBox::Cancel);
    } else {
        box.setStandardButtons(QMessageBox::Ok);
        box.setEscapeButton(QMessageBox::Ok);
    }
    box.setDefaultButton(QMessageBox::Ok);
    const int answer = box.exec() == QMessageBox::Cancel ? kAnswerCancel : kAnswerOk;
    // Without a window manager nobody hands the keyboard back when the box goes away.
    if (isVisible()) activateWindow();
    return answer;
}

void Window::End(int exitStatus) {
    // At once, from however deep a nested handler: unwinding through the event loops would run
    // the rest of the handlers that called them.
    std::fflush(nullptr);
    std::_Exit(exitStatus);
}

} // namespace pikorina::qt
