// What a screen reader finds in the window, through Microsoft Active Accessibility (and UI
// Automation, which reads MSAA objects through its bridge). The warning text is painted, so no
// window carries it and the system's own view of the window would leave it out: the window
// answers WM_GETOBJECT for its client area with an object of its own. Its children are the
// parts the core's surface exposes, in its reading order: the native controls as the system's
// own objects for them, the warning text as a static text that is invisible while the
// explosion hides it.
#pragma once

#include "app/surface.h"

#include <windows.h>

#include <array>

namespace pikorina::win32 {

class Window;
class ClientAccessible; // the COM object, in accessible.cpp

// The window's side of its accessible object.
class Accessibility {
  public:
    explicit Accessibility(const Window& window);
    ~Accessibility() { Disconnect(); }
    Accessibility(const Accessibility&) = delete;
    Accessibility& operator=(const Accessibility&) = delete;

    // WM_GETOBJECT: the reference to the object for OBJID_CLIENT; 0 for any other object, and
    // when none can be handed out, so that DefWindowProc answers instead.
    LRESULT Answer(WPARAM flags, LPARAM objectId);
    // A painted part was shown, hidden or moved: readers hear of it as a win event.
    void PartChanged(ControlId id);
    // The window is going. Readers may hold the object for longer: it answers that it is
    // disconnected from now on, and no new one is made.
    void Disconnect();

  private:
    const Window& window_;
    // One reference of the object's own count, held from the first request to Disconnect().
    ClientAccessible* object_ = nullptr;
    bool disconnected_ = false;
    // What readers last heard of each part, by its place in kReadingOrder.
    struct Told {
        bool visible;
        Rect rect;
    };
    std::array<Told, kReadingOrder.size()> told_{};
};

} // namespace pikorina::win32
