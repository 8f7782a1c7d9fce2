// What a screen reader finds in the window, told to Qt's accessibility classes: the window's
// interface lists the parts of the core's reading order, each native control by its own
// interface and each painted part (the warning text) by one of ours, which follows what the
// surface says of it. The pictures and the background are decoration and are not listed.
#pragma once

#include "app/surface.h"

#include <QAccessible>

#include <array>

class QWidget;

namespace pikorina::qt {

class Accessibility {
  public:
    using Widgets = std::array<QWidget*, kControlCount>;

    // `widgets`: the window's native controls by id, as it creates them.
    Accessibility(QWidget& window, const Surface& surface, const Widgets& widgets);
    // Drops the painted parts' interfaces; the window's own goes with the window.
    ~Accessibility();
    Accessibility(const Accessibility&) = delete;
    Accessibility& operator=(const Accessibility&) = delete;

    // A painted part was shown, hidden or moved: readers are told.
    void PartChanged(ControlId id);

    // The window's child for a part of the reading order, or null.
    QAccessibleInterface* Part(ControlId id) const;
    AccessiblePart Describe(ControlId id) const { return surface_.Accessible(id); }
    QWidget& window() const { return window_; }
    // The live window's owner, or null once the window is going.
    static const Accessibility* Of(const QObject* window);

  private:
    QWidget& window_;
    const Surface& surface_;
    const Widgets& widgets_;
    std::array<QAccessible::Id, kControlCount> painted_{};
    // What readers were last told of each painted part.
    struct Told {
        bool visible;
        Rect rect;
    };
    std::array<Told, kControlCount> told_{};
};

} // namespace pikorina::qt
