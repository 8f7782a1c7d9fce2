// The window: the list and buttons kept in step with the core's surface, painting, keys and
// mouse into the core, message boxes and the event pump.
#include "platform/qt/window.h"

#include "platform/qt/wayland.h"

#include <QAccessible>
#include <QApplication>
#include <QCloseEvent>
#include <QDialogButtonBox>
#include <QEventLoop>
#include <QFontDatabase>
#include <QLabel>
#include <QLayout>
#include <QListWidget>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScreen>
#include <QShortcutEvent>
#include <QTimer>

#include <algorithm>

namespace pikorina::qt {
namespace {

// Whether a mouse event's point lies in a rectangle of the surface.
auto Under(const QMouseEvent* event) {
    return [at = event->position().toPoint()](const Rect& r) { return Px(r).contains(at); };
}

// The warning text as a label of Qt's own, drawn as the design says: its font and colour,
// wrapped at word breaks from the top-left, and no background of its own, so that the window's
// picture shows through. Clicks go through it to the window, whose surface routes them.
QLabel* NewLabel(const ControlDesign& design, QWidget& parent) {
    auto* label = new QLabel(&parent);
    label->setTextFormat(Qt::PlainText);
    label->setText(ToQString(design.caption));
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    label->setWordWrap(true);
    label->setFont(ToQFont(kLabelFont));
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, ToQColor(kLabelForeColor, palette));
    label->setPalette(palette);
    label->setAutoFillBackground(false);
    label->setAttribute(Qt::WA_TransparentForMouseEvents);
    return label;
}

// How wide a box must be for the desktop to show its whole caption, as Windows makes a message
// box wide enough for it: the caption in the desktop's title font, bold as many frames draw it,
// or in the program's own font where it draws the frame itself, whichever is wider; and room
// for the caption bar's buttons. KDE's frame centres the caption between the window's icon on
// the left and its minimise and close boxes on the right, each side about three lines of its
// font wide.
int CaptionWidth(const QString& caption) {
    int text = 0;
    int line = 0;
    for (QFont font : {QFontDatabase::systemFont(QFontDatabase::TitleFont), QApplication::font()}) {
        font.setBold(true);
        const QFontMetrics metrics(font);
        text = std::max(text, metrics.horizontalAdvance(caption));
        line = std::max(line, metrics.height());
    }
    return text + 2 * 3 * line;
}

} // namespace

std::function<int(std::string_view, int, std::string_view)> Window::msgBoxSeam;

Window::Window(pikorina::Host& host)
    : QDialog(nullptr, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                           Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint |
                           Qt::MSWindowsFixedSizeDialogHint),
      SurfaceWindowSystem(host) {
    setWindowTitle(ToQString(kWindowCaption));
    setSizeGripEnabled(false);

    // The controls in reading order: screen readers find the dialog's children in the order
    // they were made. Tab goes round the list and the buttons.
    QWidget* previous = nullptr;
    for (ControlId id : kReadingOrder) {
        const ControlDesign& d = Design(id);
        QWidget* widget;
        if (d.kind == ControlKind::ListBox) {
            widget = list_ = new QListWidget(this);
            list_->setSelectionMode(QAbstractItemView::SingleSelection);
            list_->setSortingEnabled(false);
            list_->setUniformItemSizes(true); // keeps a long list quick to fill and scroll
            connect(list_, &QListWidget::itemDoubleClicked, this,
                    [this] { Raise(&frmMain::ListBox_DblClick); });
            // Queued: it must follow the focus event Qt sends for the list itself.
            connect(qApp, &QApplication::focusChanged, this, &Window::AnnounceCurrentEntry,
                    Qt::QueuedConnection);
        } else if (d.kind == ControlKind::Label) {
            widget = NewLabel(d, *this);
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
        // Made where the design puts it: filled at the size Qt gives a new widget, the list
        // would lay its items out once more when placed (1.5 M instructions at start).
        PlaceControl(id);
        widget->setVisible(d.visible);
        if (!TakesFocus(id)) continue;
        if (previous) setTabOrder(previous, widget);
        previous = widget;
    }
    setTabOrder(previous, WidgetOf(kTabOrder.front()));
}

// The frame the window may be shown in gives the window back as it goes, so it goes first,
// before any part of the window.
Window::~Window() {
    ownFrame_.reset();
}

QRect Window::ControlRect(ControlId id) const {
    return Px(surface().RectOf(id));
}

bool Window::IsShown(ControlId id) const {
    const QWidget* w = WidgetOf(id);
    return w ? w->isVisible() : surface()[id].visible;
}

void Window::ShowCentred() {
    // No Wayland client can place its window; where the compositor draws no frame, the window is
    // shown in one of the program's own.
    ownFrame_ = ShowInOwnFrame(*this);
    if (ownFrame_) return;
    // Centre the outer window, frame included, as the design measures it.
    const QRect screen = this->screen()->availableGeometry();
    const QSize outer(Px(surface().WindowWidth()), Px(surface().WindowHeight()));
    move(screen.x() + (screen.width() - outer.width()) / 2,
         screen.y() + (screen.height() - outer.height()) / 2);
    show();
    // Without a window manager nothing activates the window, and keys would never reach it.
    activateWindow();
    raise();
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

int Window::ListCount() const {
    return list_->count();
}

void Window::SelectListRow(int index) {
    list_->setCurrentRow(index);
}

int Window::ListIndex() const {
    return list_->currentRow();
}

// Qt 6.4 tells screen readers that the list took the focus, but names its current entry only when
// the entry changes. Readers that ask the list for its focused child find the list itself (it
// has the focus) and never say the entry; told that the entry has the focus, they say it, as
// they do after Down.
void Window::AnnounceCurrentEntry() {
    if (!QAccessible::isActive() || !list_->hasFocus() || list_->currentRow() < 0) return;
    QAccessibleEvent event(list_, QAccessible::Focus);
    event.setChild(list_->currentRow());
    QAccessible::updateAccessibility(&event);
}

void Window::paintEvent(QPaintEvent*) {
    PaintSurface(*this, surface(), pictures_);
}

// Clicks on the label, which lets them through, and on the painted pictures; the list and
// buttons take their own.
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
    CloseWindow();
}

// The pump.

void Window::Pump(int maxWaitMilliseconds) {
    // The thread sleeps in a nested event loop, handling whatever arrives, until a precise
    // timer ends it; a coarse one could end a wait up to a tenth of a second off.
    QEventLoop loop;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    timer.start(maxWaitMilliseconds);
    loop.exec();
}

// Message boxes.

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
    // Qt makes a box as wide as its layout needs: a row of buttons as wide as the caption needs
    // widens it.
    if (auto* buttons = box.findChild<QDialogButtonBox*>()) {
        const QMargins margins = box.layout()->contentsMargins();
        buttons->setMinimumWidth(CaptionWidth(box.windowTitle()) - margins.left() -
                                 margins.right());
    }
    const int answer = ExecModal(box) == QMessageBox::Cancel ? kAnswerCancel : kAnswerOk;
    // Without a window manager nobody hands the keyboard back when the box goes away.
    if (isVisible()) activateWindow();
    return answer;
}

} // namespace pikorina::qt
