// The window-system services that the window's handlers need, in the handlers' own units:
// twips, 32-bit colour values, UTF-8 text: the window, its controls, message boxes and the event
// pump. Each front end (Qt, Win32) implements this once; the tests plug in a fake that records
// every call and scripts the events. What the handlers need of the machine is the host's.
#pragma once

#include "app/types.h"

#include <span>
#include <string>
#include <string_view>

namespace pikorina {

// The window's controls, in the order in which the window declares them.
enum class ControlId {
    終了,
    キャンセル,
    シャットダウン,
    ListBox,
    Back_2,
    Back_1,
    Donpa_2,
    Donpa_1,
    Donpa,
    Label,
};
inline constexpr int kControlCount = 10;

// The four numbers that place a control.
enum class Geometry { Left, Top, Width, Height };

class WindowSystem {
  public:
    virtual ~WindowSystem() = default;

    // The window: outer size, background colour and picture.
    virtual void SetWindowWidth(Twips width) = 0;
    virtual void SetWindowHeight(Twips height) = 0;
    virtual OleColor BackColor() const = 0;
    virtual void SetBackColor(OleColor color) = 0;
    // Makes the image control's picture the window's background; one without a picture
    // removes the background picture.
    virtual void SetWindowPicture(ControlId image) = 0;

    // Any control: geometry relative to the client area, and visibility.
    virtual void SetGeometry(ControlId control, Geometry which, Twips value) = 0;
    virtual void SetVisible(ControlId control, bool visible) = 0;

    // Image controls: the target shows the source's picture from now on.
    virtual void SetImagePicture(ControlId target, ControlId source) = 0;

    // The list box. Items are appended at the end, never sorted; the whole batch in one go, so
    // a long list shows promptly.
    virtual void AddListItems(std::span<const std::string> items) = 0;
    // Throws error 381 when there is no such item.
    virtual void SelectListItem(int index) = 0;
    // -1 when nothing is selected.
    virtual int ListIndex() const = 0;

    // Handles every pending event, sleeping until the first one arrives for at most
    // maxWaitSeconds, then returns. Handlers it runs are nested in the caller.
    virtual void DoEvents(double maxWaitSeconds) = 0;

    // A modal message box; returns the button pressed (kAnswerOk, kAnswerCancel).
    virtual int MsgBox(std::string_view text, int style, std::string_view title) = 0;
};

} // namespace pikorina
