// The window: geometry, painting, click routing, keys, message boxes, the event pump and the
// end of the program.
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

QFont DialogFont(int points) {
    QFont font;
    QStringList faces;
    for (std::string_view face : kLabelFontFaces)
        faces << ToQString(face);
    font.setFamilies(faces);
    font.setPointSize(points);
    font.setWeight(QFont::Normal);
    return font;
}

} // namespace

void SetUpApplication(QApplication& app) {
    // The classic bevelled look of the dialog being copied.
    if (QStyle* style = QStyleFactory::create("Windows")) app.setStyle(style);
    // The dialog font must show Japanese; the default Linux face has no kana.
    app.setFont(DialogFont(kLabelFontPoints));
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
      appPath_(std::move(appPath)), labelFont_(DialogFont(kLabelFontPoints)) {
    setWindowTitle(ToQString(kWindowCaption));
    setWindowIcon(QIcon(":/flag.ico"));
    setSizeGripEnabled(false);

    list_ = new QListWidget(this);
    list_->setSelectionMode(QAbstractItemView::SingleSelection);
    list_->setSortingEnabled(false);
    list_->setUniformItemSizes(true); // keeps a long list quick to fill and scroll
    auto makeButton = [this](ControlId id) {
        auto* button = new QPushButton(ToQString(Design(id).caption), this);
        button->setAutoDefault(true); // a focused button is pressed by Enter
        return button;
    };
    exit_ = makeButton(ControlId::終了);
    exit_->setDefault(true);
    cancel_ = makeButton(ControlId::キャンセル);
    shutdown_ = makeButton(ControlId::シャットダウン);
    for (const ControlDesign& d : kControls) {
        if (QWidget* w = WidgetOf(d.id)) {
            w->setObjectName(ToQString(d.name));
            PlaceWidget(d.id);
            w->setVisible(d.visible);
        }
    }
    setTabOrder(list_, shutdown_);
    setTabOrder(shutdown_, cancel_);
    setTabOrder(cancel_, exit_);
    setTabOrder(exit_, list_);

    connect(list_, &QListWidget::itemDoubleClicked, this,
            [this] { Fire(&frmMain::ListBox_DblClick); });
    connect(exit_, &QPushButton::clicked, this, [this] { Fire(&frmMain::終了_Click); });
    connect(shutdown_, &QPushButton::clicked, this,
            [this] { Fire(&frmMain::シャットダウン_Click); });
    connect(cancel_, &QPushButton::clicked, this, [this] { Fire(&frmMain::キャンセル_Click); });

    setFixedSize(Px(ClientWidthFor(outerWidth_)), Px(ClientHeightFor(outerHeight_)));
}

Window::~Window() = default;

QWidget* Window::WidgetOf(ControlId id) const {
    switch (id) {
    case ControlId::ListBox: return list_;
    case ControlId::終了: return exit_;
    case ControlId::キャンセル: return cancel_;
    case ControlId::シャットダウン: return shutdown_;
    default: return nullptr;
    }
}

void Window::PlaceWidget(ControlId id) {
    if (QWidget* w = WidgetOf(id)) w->setGeometry(ControlRect(id));
}

QRect Window::ControlRect(ControlId id) const {
    const ControlState& s = State(id);
    const ControlDesign& d = Design(id);
    if (d.kind == ControlKind::Image && !d.stretch && s.picture != Picture::None) {
        // Without stretch an image control is exactly as large as its picture.
        return QRect(QPoint(Px(s.left), Px(s.top)),
                     PixmapOf(s.picture).deviceIndependentSize().toSize());
    }
    return QRect(Px(s.left), Px(s.top), Px(s.width), Px(s.height));
}

bool Window::IsShown(ControlId id) const {
    const QWidget* w = WidgetOf(id);
    return w ? w->isVisible() : State(id).visible;
}

void Window::Fire(frmMain::Handler handler) {
    if (form_) form_->Raise(handler);
}

void Window::ShowCentred() {
    // Centre the outer window, frame included, as the design measures it.
    const QRect screen = this->screen()->availableGeometry();
    const QSize outer(Px(outerWidth_), Px(outerHeight_));
    move(screen.x() + (screen.width() - outer.width()) / 2,
         screen.y() + (screen.height() - outer.height()) / 2);
    show();
    // Without a window manager nothing activates the window, and keys would never reach it.
    activateWindow();
    raise();
    list_->setFocus(Qt::OtherFocusReason);
}

// The window.

void Window::SetWindowWidth(Twips width) {
    outerWidth_ = width;
    setFixedWidth(Px(ClientWidthFor(width)));
}

void Window::SetWindowHeight(Twips height) {
    outerHeight_ = height;
    setFixedHeight(Px(ClientHeightFor(height)));
}

void Window::SetBackColor(OleColor color) {
    backColor_ = color;
    update();
}

void Window::SetWindowPicture(ControlId image) {
    windowPicture_ = State(image).picture;
    update();
}

QColor Window::ColorOf(OleColor color) const {
    if (!IsSystemColor(color)) return QColor(RedOf(color), GreenOf(color), BlueOf(color));
    // The system colours the program can meet, by their index.
    switch (SystemColorIndex(color)) {
    case 5: return palette().color(QPalette::Base);        // window
    case 8: return palette().color(QPalette::Text);        // window text
    case 18: return palette().color(QPalette::ButtonText); // button text
    case 15:                                               // button face
    default: return palette().color(QPalette::Button);
    }
}

// Controls.

void Window::SetGeometry(ControlId id, Geometry which, Twips v) {
    State(id)[which] = v;
    PlaceWidget(id);
    update();
}

void Window::SetVisible(ControlId id, bool visible) {
    State(id).visible = visible;
    if (QWidget* w = WidgetOf(id)) {
        // Hiding the focused control would send the focus down the tab order, onto the next
        // button, and when that is hidden too it stays there, hidden: Enter in the explosion's
        // red pause would then press a button nobody sees, even キャンセル. So the window holds
        // the focus while its control is hidden, and gives it back when the control returns.
        if (!visible && w->hasFocus()) {
            if (!focusBeforeHiding_) focusBeforeHiding_ = w;
            setFocus(Qt::OtherFocusReason);
        }
        w->setVisible(visible);
        if (visible && w == focusBeforeHiding_) {
            w->setFocus(Qt::OtherFocusReason);
            focusBeforeHiding_ = nullptr;
        }
    }
    update();
}
void Window::SetImagePicture(ControlId target, ControlId source) {
    State(target).picture = State(source).picture;
    update();
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

// Painting: colour, then the background picture unscaled from the top-left, then the label's
// text and the image controls; the list and buttons are widgets and so lie above all of it.
void Window::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), ColorOf(backColor_));
    if (windowPicture_ != Picture::None) painter.drawPixmap(0, 0, PixmapOf(windowPicture_));
    const ControlState& label = State(ControlId::Label);
    if (label.visible) {
        painter.setFont(labelFont_);
        painter.setPen(ColorOf(kLabelForeColor));
        painter.drawText(ControlRect(ControlId::Label),
                         Qt::AlignLeft | Qt::AlignTop | Qt::TextWordWrap,
                         ToQString(Design(ControlId::Label).caption));
    }
    // Pixel art is scaled without smoothing, block for block.
    painter.setRenderHint(QPainter::SmoothPixmapTransform, false);
    for (const ControlDesign& d : kControls) {
        const ControlState& s = State(d.id);
        if (d.kind != ControlKind::Image || !s.visible || s.picture == Picture::None) continue;
        painter.drawPixmap(ControlRect(d.id), PixmapOf(s.picture));
    }
}

// Clicks on the painted label and pictures; the list and buttons take their own.
SurfaceClicks::Target Window::HitTest(QPoint pos) const {
    return SurfaceClicks::At(controls_,
                             [&](ControlId id) { return ControlRect(id).contains(pos); });
}

void Window::mousePressEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton) clicks_.Press(HitTest(event->position().toPoint()));
}

void Window::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (const frmMain::Handler handler = clicks_.Release(HitTest(event->position().toPoint()))) {
        Fire(handler);
    }
}

// The second click of a double-click is the double-click, not another click, as on Windows:
// two quick clicks on the bare window switch the background once.
void Window::mouseDoubleClickEvent(QMouseEvent*) {
    clicks_.Cancel();
}

// Esc presses the cancel button, as long as it is there to press.
void Window::reject() {
    if (cancel_->isVisible()) cancel_->click();
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
