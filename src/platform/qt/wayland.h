// What a native Wayland session needs beyond Qt's own Wayland platform: there the compositor, not
// the program, decides where windows go, which one has the keyboard and who draws their frames.
// Elsewhere (X11, the offscreen platform of the tests) each of these does what Qt does anyway.
#pragma once

#include <memory>

class QDialog;
class QWidget;

namespace pikorina::qt {

// Whether the program runs as a native Wayland client.
bool OnWayland();

// Shows the main window in a frame of the program's own when the compositor frames no window
// (weston, GNOME's compositor): Qt's stock frame there offers minimise and maximise on a window
// that cannot change its size. Null, and nothing shown, where the window needs no such frame.
// The caller owns the frame and deletes it before the window; the frame never deletes the
// window, which it gives back as it goes.
std::unique_ptr<QWidget> ShowInOwnFrame(QWidget& window);

// Runs a modal box to its answer, as QDialog::exec does, and keeps it the window that has the
// keyboard: a click on the blocked main window gives that window the keyboard and raises it over
// the box, where Qt drops every key. The box is then shown anew, on top and with the keyboard, as
// X11 window managers keep a transient box. In its own frame where the compositor frames none.
int ExecModal(QDialog& box);

} // namespace pikorina::qt
