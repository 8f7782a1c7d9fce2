// The window's accessible interface and those of its painted parts. Qt's cache owns them all:
// the window's goes when the window's QObject does; the painted parts' are dropped by their
// Accessibility, a member of the window, so they go before the surface they read from. Between
// the two the window's interface, finding no Accessibility, answers as Qt's own would.
#include "platform/qt/accessible.h"

#include "platform/qt/paint.h"

#include <QAccessibleWidget>
#include <QWidget>

#include <vector>

namespace pikorina::qt {
namespace {

constexpr std::size_t Index(ControlId id) {
    return static_cast<std::size_t>(id);
}

// Every Accessibility alive, so that the factory and the window's interface find theirs.
std::vector<const Accessibility*>& Live() {
    static std::vector<const Accessibility*> live;
    return live;
}

QAccessible::Role ToQRole(AccessibleRole role) {
    switch (role) {
    case AccessibleRole::List: return QAccessible::List;
    case AccessibleRole::StaticText: return QAccessible::StaticText;
    case AccessibleRole::PushButton: return QAccessible::Button;
    }
    return QAccessible::NoRole;
}

// A part that the window paints: no widget stands behind it, so the surface answers for it.
class PaintedPart final : public QAccessibleInterface {
  public:
    PaintedPart(const Accessibility& owner, ControlId id) : owner_(owner), id_(id) {}

    // It lives exactly as long as its Accessibility, which drops it before anything it reads.
    bool isValid() const override { return true; }
    QObject* object() const override { return nullptr; }
    QWindow* window() const override { return owner_.window().windowHandle(); }
    QAccessibleInterface* parent() const override {
        return QAccessible::queryAccessibleInterface(&owner_.window());
    }
    QAccessibleInterface* child(int) const override { return nullptr; }
    int childCount() const override { return 0; }
    int indexOfChild(const QAccessibleInterface*) const override { return -1; }
    QAccessibleInterface* childAt(int, int) const override { return nullptr; }

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Name ? ToQString(owner_.Describe(id_).name) : QString();
    }
    void setText(QAccessible::Text, const QString&) override {}
    // On the screen, as Qt's interfaces give it.
    QRect rect() const override {
        const QRect r = Px(owner_.Describe(id_).rect);
        return {owner_.window().mapToGlobal(r.topLeft()), r.size()};
    }
    QAccessible::Role role() const override { return ToQRole(owner_.Describe(id_).role); }
    // Qt's bridge calls a part showing only when it is neither invisible nor off screen.
    QAccessible::State state() const override {
        QAccessible::State state;
        state.invisible = state.offscreen =
            !owner_.Describe(id_).visible || !owner_.window().isVisible();
        return state;
    }

  private:
    const Accessibility& owner_;
    ControlId id_;
};

// The window, whose children are the parts of the reading order, in that order.
class WindowInterface final : public QAccessibleWidget {
  public:
    // A dialog, as Qt's own interface for a QDialog is.
    explicit WindowInterface(QWidget* window) : QAccessibleWidget(window, QAccessible::Dialog) {}

    int childCount() const override {
        return Owner() ? static_cast<int>(kReadingOrder.size()) : QAccessibleWidget::childCount();
    }
    QAccessibleInterface* child(int index) const override {
        const Accessibility* owner = Owner();
        if (!owner) return QAccessibleWidget::child(index);
        return index >= 0 && index < childCount() ? owner->Part(kReadingOrder[index]) : nullptr;
    }
    int indexOfChild(const QAccessibleInterface* part) const override {
        for (int i = 0; i < childCount(); ++i) {
            if (child(i) == part) return i;
        }
        return -1;
    }
    // Only what is shown is found under a point: where the warning text lay while the
    // explosion hides it, there is nothing to read.
    QAccessibleInterface* childAt(int x, int y) const override {
        for (int i = 0; i < childCount(); ++i) {
            QAccessibleInterface* part = child(i);
            if (part && !part->state().invisible && part->rect().contains(x, y)) return part;
        }
        return nullptr;
    }

  private:
    const Accessibility* Owner() const { return Accessibility::Of(object()); }
};

QAccessibleInterface* WindowFactory(const QString&, QObject* object) {
    const Accessibility* owner = Accessibility::Of(object);
    return owner ? new WindowInterface(&owner->window()) : nullptr;
}

} // namespace

Accessibility::Accessibility(QWidget& window, const Surface& surface, const Widgets& widgets)
    : window_(window), surface_(surface), widgets_(widgets) {
    Live().push_back(this);
    // Qt keeps one copy of a factory however often it is installed, and asks the last first.
    QAccessible::installFactory(&WindowFactory);
    for (ControlId id : kReadingOrder) {
        if (IsNative(id)) continue;
        const AccessiblePart part = surface.Accessible(id);
        told_[Index(id)] = {part.visible, part.rect};
        painted_[Index(id)] = QAccessible::registerAccessibleInterface(new PaintedPart(*this, id));
    }
}

Accessibility::~Accessibility() {
    std::erase(Live(), this);
    for (QAccessible::Id id : painted_) {
        if (id) QAccessible::deleteAccessibleInterface(id);
    }
}

const Accessibility* Accessibility::Of(const QObject* window) {
    for (const Accessibility* live : Live()) {
        if (&live->window_ == window) return live;
    }
    return nullptr;
}

QAccessibleInterface* Accessibility::Part(ControlId id) const {
    if (!IsNative(id)) return QAccessible::accessibleInterface(painted_[Index(id)]);
    QWidget* widget = widgets_[Index(id)];
    return widget ? QAccessible::queryAccessibleInterface(widget) : nullptr;
}

void Accessibility::PartChanged(ControlId id) {
    QAccessibleInterface* part = Part(id);
    if (!part || IsNative(id)) return;
    const AccessiblePart now = surface_.Accessible(id);
    Told& told = told_[Index(id)];
    // The events Qt's own widgets send when they are shown, hidden or moved.
    if (now.visible != told.visible) {
        QAccessibleEvent event(part,
                               now.visible ? QAccessible::ObjectShow : QAccessible::ObjectHide);
        QAccessible::updateAccessibility(&event);
    }
    if (now.rect != told.rect) {
        QAccessibleEvent event(part, QAccessible::LocationChanged);
        QAccessible::updateAccessibility(&event);
    }
    told = {now.visible, now.rect};
}

} // namespace pikorina::qt
