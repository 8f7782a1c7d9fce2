// The program under a Wayland compositor: its own dialog frame where the compositor frames no
// window, and modal boxes that keep the keyboard whatever the user clicks.
#include "platform/qt/wayland.h"

#include <QCloseEvent>
#include <QDialog>
#include <QEventLoop>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QScopeGuard>
#include <QStyleOptionTitleBar>
#include <QTimer>
#include <QVBoxLayout>
#include <QWindow>

#include <memory>
#include <optional>

namespace pikorina::qt {
namespace {

// Whether the compositor draws the windows' frames. Qt asks for that where the compositor offers
// it (the xdg-decoration protocol) and otherwise draws a frame itself, which a window's frame
// margins show as soon as it exists. A window that is created and dropped before anything is
// drawn into it is never shown, so it serves as a probe.
bool CompositorFrames() {
    static std::optional<bool> frames;
    if (!frames) {
        QWindow probe;
        probe.setFlags(Qt::Dialog);
        probe.resize(1, 1);
        probe.show();
        frames = probe.frameMargins().isNull();
        probe.destroy();
    }
    return *frames;
}

// The frame of the dialog being copied: a raised border and a caption bar with the window's icon,
// its title and a close box, drawn by the application's style; no buttons to minimise or
// maximise, as the window's size is fixed. Dragging the caption moves the window, as the
// compositor does it; the close box and the compositor's own request to close reach the framed
// widget as a close. A plain widget, not a dialog: a dialog makes the first button in its tab
// order its default one, which Enter then presses.
//
// The frame borrows the framed widget: while framed it is the frame's child, and the frame's
// destructor gives it back to its former parent before Qt deletes the frame's children, so the
// widget's own owner (often a stack) is the only one that ever deletes it.
class DialogFrame final : public QWidget {
  public:
    DialogFrame(QWidget& content, QWidget* parent)
        : QWidget(parent, Qt::Dialog | Qt::FramelessWindowHint), content_(content),
          contentParent_(content.parentWidget()), contentFlags_(content.windowFlags()) {
        setWindowTitle(content.windowTitle());
        setWindowIcon(content.windowIcon());
        // Inside the frame the window is no window of its own: a screen reader finds it, a
        // dialog named by its title, in the frame's window.
        content.setAccessibleName(content.windowTitle());
        auto* layout = new QVBoxLayout(this);
        layout->setSizeConstraint(QLayout::SetFixedSize); // the frame follows the content's size
        layout->setContentsMargins(kBorder, kBorder + CaptionHeight(), kBorder, kBorder);
        content.setParent(this, Qt::Widget);
        layout->addWidget(&content);
        content.show();
    }
    ~DialogFrame() override {
        content_.hide();
        content_.setParent(contentParent_, contentFlags_);
    }
    DialogFrame(const DialogFrame&) = delete;
    DialogFrame& operator=(const DialogFrame&) = delete;

  protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        QStyleOptionFrame border;
        border.initFrom(this);
        border.lineWidth = kBorder;
        style()->drawPrimitive(QStyle::PE_FrameWindow, &border, &painter, this);
        const QStyleOptionTitleBar caption = Caption();
        style()->drawComplexControl(QStyle::CC_TitleBar, &caption, &painter, this);
    }

    void mousePressEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        pressed_ = Hit(event);
        if (pressed_ == QStyle::SC_TitleBarLabel || pressed_ == QStyle::SC_TitleBarSysMenu) {
            pressed_ = QStyle::SC_None;
            windowHandle()->startSystemMove();
        }
    }

    void mouseReleaseEvent(QMouseEvent* event) override {
        if (event->button() != Qt::LeftButton) return;
        if (pressed_ == QStyle::SC_TitleBarCloseButton && Hit(event) == pressed_) close();
        pressed_ = QStyle::SC_None;
    }

    void changeEvent(QEvent* event) override {
        if (event->type() == QEvent::ActivationChange) update(); // the caption's colours
        QWidget::changeEvent(event);
    }

    void closeEvent(QCloseEvent* event) override { event->setAccepted(content_.close()); }

  private:
    static constexpr int kBorder = 3;

    int CaptionHeight() const {
        QStyleOptionTitleBar option;
        option.initFrom(this);
        return style()->pixelMetric(QStyle::PM_TitleBarHeight, &option, this);
    }

    QStyleOptionTitleBar Caption() const {
        QStyleOptionTitleBar option;
        option.initFrom(this);
        option.rect = QRect(kBorder, kBorder, width() - 2 * kBorder, CaptionHeight());
        option.text = windowTitle();
        option.icon = windowIcon();
        option.titleBarFlags =
            Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint;
        option.subControls = QStyle::SC_All;
        if (isActiveWindow()) {
            option.state |= QStyle::State_Active;
            option.titleBarState = Qt::WindowActive;
        }
        return option;
    }

    QStyle::SubControl Hit(const QMouseEvent* event) const {
        const QStyleOptionTitleBar caption = Caption();
        if (!caption.rect.contains(event->position().toPoint())) return QStyle::SC_None;
        return style()->hitTestComplexControl(QStyle::CC_TitleBar, &caption,
                                              event->position().toPoint(), this);
    }

    QWidget& content_;
    QWidget* contentParent_;
    Qt::WindowFlags contentFlags_;
    QStyle::SubControl pressed_ = QStyle::SC_None;
};

// Shows a modal window anew when another window of the program takes the keyboard from it: a
// newly shown window is put on top and given the keyboard by every compositor, while a request
// to activate a window may only mark it as wanting attention (sway's default). Done from the
// event loop, not from within Qt's focus change, and only while the modal window is shown.
class KeepOnTop final : public QObject {
  public:
    explicit KeepOnTop(QWidget& modal) : modal_(modal) {
        connect(qApp, &QGuiApplication::focusWindowChanged, this, [this](QWindow* window) {
            if (window && window != modal_.windowHandle() && modal_.isVisible()) {
                QTimer::singleShot(0, this, [this] {
                    if (!modal_.isVisible()) return;
                    modal_.hide();
                    modal_.show();
                });
            }
        });
    }

  private:
    QWidget& modal_;
};

} // namespace

bool OnWayland() {
    return QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}

std::unique_ptr<QWidget> ShowInOwnFrame(QWidget& window) {
    if (!OnWayland() || CompositorFrames()) return nullptr;
    auto frame = std::make_unique<DialogFrame>(window, nullptr);
    frame->show();
    frame->activateWindow();
    return frame;
}

// As QDialog::exec, but the loop ends on the box's answer only, so that the box, or the frame it
// is in, can be hidden and shown again meanwhile.
int ExecModal(QDialog& box) {
    if (!OnWayland()) return box.exec();
    // Owned by its parent, the box's, which makes it that window's box; deleted as this call
    // ends, whichever way, unless its parent has taken it along already. The box goes back to
    // its parent as the frame goes.
    QPointer<DialogFrame> frame;
    const auto dropFrame = qScopeGuard([&frame] { delete frame; });
    QWidget* modal = &box;
    if (!CompositorFrames()) modal = frame = new DialogFrame(box, box.parentWidget());
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    const KeepOnTop keep(*modal);
    modal->setWindowModality(Qt::ApplicationModal);
    modal->show();
    loop.exec(QEventLoop::DialogExec);
    modal->hide();
    // Read once the loop is over: a box closed through its frame takes its escape button's
    // answer only after it has finished.
    return box.result();
}

} // namespace pikorina::qt
