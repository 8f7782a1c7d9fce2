// The window's surface: every rule of the window that does not depend on the platform, kept
// once for both front ends and the tests' fake. It holds what each control is now (where it
// lies, whether it is shown, which picture it holds) and the window's size, colour and
// picture; it says what is painted and in which order, which control a click reaches, where
// the focus goes while its control is hidden, the tab order and which handler a button raises.
//
// The list, the buttons and the warning text are native controls: each platform's own widgets,
// kept in step with this state, which screen readers find as the platform describes them. The
// pictures and the background are painted, through a Painter.
#pragma once

#include "app/design.h"
#include "app/frmMain.h"
#include "app/window_system.h"

#include <algorithm>
#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace pikorina {

// A rectangle of the client area, in twips; each front end converts it to its pixels.
struct Rect {
    Twips left, top, width, height;
    constexpr bool Contains(Twips x, Twips y) const {
        return x >= left && x < left + width && y >= top && y < top + height;
    }
    bool operator==(const Rect&) const = default;
};

// What a front end draws the surface with.
class Painter {
  public:
    virtual ~Painter() = default;
    virtual void FillRect(const Rect& area, OleColor color) = 0;
    // The picture scaled to the rectangle without smoothing; its mask lets what lies below
    // show through.
    virtual void DrawPicture(const Rect& area, Picture picture) = 0;
};

// What a front end draws the warning text with where its label control is drawn by its owner.
class TextPainter {
  public:
    virtual ~TextPainter() = default;
    // From the top-left, wrapped at word breaks to the rectangle's width, with no background.
    virtual void DrawWrappedText(const Rect& area, std::string_view text, const Font& font,
                                 OleColor color) = 0;
};

// What a control is now.
struct ControlState {
    Twips left, top, width, height;
    bool visible;
    Picture picture;

    constexpr Twips& operator[](Geometry which) {
        switch (which) {
        case Geometry::Left: return left;
        case Geometry::Top: return top;
        case Geometry::Width: return width;
        case Geometry::Height: return height;
        }
        return left;
    }
};

// The list, the buttons and the label are the platform's own controls; the rest is painted.
constexpr bool IsNative(ControlId id) {
    return Design(id).kind != ControlKind::Image;
}
// Of those, the label never takes the focus.
constexpr bool TakesFocus(ControlId id) {
    return Design(id).kind == ControlKind::Button || Design(id).kind == ControlKind::ListBox;
}

// The controls that have a place in the tab order, by their tab indexes: the list, the warning
// text, then the buttons in the order Tab visits them. The front ends create their controls in
// this order, which is the order a screen reader reads the window in.
inline constexpr auto kReadingOrder = [] {
    constexpr auto count =
        std::ranges::count_if(kControls, [](const ControlDesign& d) { return d.tabIndex >= 0; });
    std::array<ControlId, count> order{};
    auto next = order.begin();
    for (const ControlDesign& d : kControls) {
        if (d.tabIndex >= 0) *next++ = d.id;
    }
    std::ranges::sort(order, {}, [](ControlId id) { return Design(id).tabIndex; });
    return order;
}();

// The controls in the order Tab visits them. The label has a tab index too, but as a static
// text it never takes the focus.
inline constexpr auto kTabOrder = [] {
    constexpr auto count = std::ranges::count_if(kReadingOrder, TakesFocus);
    std::array<ControlId, count> order{};
    std::ranges::copy_if(kReadingOrder, order.begin(), TakesFocus);
    return order;
}();

// Where the focus must go when a control is shown or hidden.
enum class FocusMove { Stay, ToWindow, ToControl };

class Surface {
  public:
    Surface();

    const ControlState& operator[](ControlId id) const { return controls_[Index(id)]; }
    Twips WindowWidth() const { return windowWidth_; }
    Twips WindowHeight() const { return windowHeight_; }
    OleColor BackColor() const { return backColor_; }
    Picture WindowPicture() const { return windowPicture_; }

    void SetWindowWidth(Twips width) { windowWidth_ = width; }
    void SetWindowHeight(Twips height) { windowHeight_ = height; }
    void SetBackColor(OleColor color) { backColor_ = color; }
    // The window shows the image control's picture as its background from now on.
    void SetWindowPicture(ControlId image) { windowPicture_ = (*this)[image].picture; }
    void SetGeometry(ControlId id, Geometry which, Twips value) {
        controls_[Index(id)][which] = value;
    }
    void SetImagePicture(ControlId target, ControlId source) {
        controls_[Index(target)].picture = (*this)[source].picture;
    }
    // Shows or hides a control; `focused`: it has the focus now. Hiding the focused control
    // would send the focus down the tab order onto the next control, and when that is hidden
    // too it would stay there, hidden: Enter in the explosion's red pause would then press a
    // button nobody sees. So the window holds the focus while its control is hidden, and the
    // control gets it back when it is shown again. The first control to lose it is the one
    // that gets it back.
    FocusMove SetVisible(ControlId id, bool visible, bool focused);

    // The client area: the window's outer size less the design's frame.
    Rect ClientRect() const;
    // Where a control lies as drawn. Without stretch an image control is exactly as large as
    // its picture, whatever its width and height say.
    Rect RectOf(ControlId id) const;

    // The background colour, the background picture unscaled from the top-left (cut off where
    // the window ends), then the image controls in the order the window declares them, each
    // above the one before. The native controls lie above all of it.
    void Paint(Painter& painter) const;
    // The label's text while it is shown, for a front end whose label control is drawn by its
    // owner: over what Paint() puts beneath it, as the platform's own labels draw theirs.
    void PaintLabel(TextPainter& painter) const;

    // Mouse clicks on the surface. contains(rect) says whether the point lies in a rectangle,
    // as the front end measures it. A click is a press and a release on the same target: on
    // the shown label, or on the bare window, hidden controls' areas included. A shown picture
    // swallows it, as pictures have no click handler.
    template <typename Contains> void MouseDown(Contains contains) { pressed_ = HitAt(contains); }
    template <typename Contains> frmMain::Handler MouseUp(Contains contains) {
        return Released(HitAt(contains));
    }
    // The press no longer counts: the second press of a double-click, or a lost capture.
    void CancelClick() { pressed_ = Hit::None; }

    // A button pressed by a click, Enter, Esc or its access key: the handler it raises. Enter
    // and Esc can reach a hidden button on some platforms, but it is not there to be pressed.
    frmMain::Handler Press(ControlId button) const;
    // The button that Enter presses and that shows the default frame: the focused button, or
    // the default button when no button has the focus.
    static ControlId DefaultButton(std::optional<ControlId> focused);

  private:
    enum class Hit { None, Form, Label };
    template <typename Contains> Hit HitAt(Contains contains) const {
        if ((*this)[ControlId::Label].visible && contains(RectOf(ControlId::Label))) {
            return Hit::Label;
        }
        for (const ControlDesign& d : kControls) {
            if (d.kind == ControlKind::Image && (*this)[d.id].visible && contains(RectOf(d.id))) {
                return Hit::None;
            }
        }
        return Hit::Form;
    }
    frmMain::Handler Released(Hit hit);
    static constexpr int Index(ControlId id) { return static_cast<int>(id); }

    std::array<ControlState, kControlCount> controls_{};
    Twips windowWidth_ = kDesignWidth;
    Twips windowHeight_ = kDesignHeight;
    OleColor backColor_ = kButtonFace;
    Picture windowPicture_ = Picture::None;
    std::optional<ControlId> focusBeforeHiding_;
    Hit pressed_ = Hit::None;
};

// The window-system services that change the surface, and the rules every window system
// shares, done once over a Surface. A window system adds its platform's part through the hooks
// below.
class SurfaceWindowSystem : public WindowSystem {
  public:
    explicit SurfaceWindowSystem(Host& host) : host_(host) {}

    const Surface& surface() const { return surface_; }
    // The pictures the user sees, for the tests.
    Picture PictureOf(ControlId id) const { return surface_[id].picture; }
    Picture WindowPicture() const { return surface_.WindowPicture(); }

    // Start-up: the window is created hidden and the load handler runs, both inside the
    // form's failure boundary, so a failure in either is reported before anything is shown.
    // Then the window is laid out and shown, with the focus on the first control in the tab
    // order.
    void Start(frmMain& form);
    // Events run the form's handlers from now on; Start() does this first.
    void Attach(frmMain& form) { form_ = &form; }
    // Runs a handler as an event does, inside the form's failure boundary.
    void Raise(frmMain::Handler handler) {
        if (form_) form_->Raise(handler);
    }

    void SetWindowWidth(Twips width) override;
    void SetWindowHeight(Twips height) override;
    OleColor BackColor() const override { return surface_.BackColor(); }
    void SetBackColor(OleColor color) override;
    void SetWindowPicture(ControlId image) override;
    void SetGeometry(ControlId control, Geometry which, Twips value) override;
    void SetVisible(ControlId control, bool visible) override;
    void SetImagePicture(ControlId target, ControlId source) override;
    // Throws error 381 when the list has no such item.
    void SelectListItem(int index) override;
    // Sleeps in the platform's pump for at most the time asked, and never less than nothing or
    // more than a day, whatever arithmetic produced it.
    void DoEvents(double maxWaitSeconds) override;

  protected:
    // Every press of a button comes here, whether by a click, Enter, Esc or its access key:
    // the surface says which handler, if any, it raises.
    void PressButton(ControlId button);
    // Sizes and places the window and every native control as the surface says. Until Start
    // does so, sizes and places are kept in the surface alone: the load handler sets eight of
    // them, and each would move a window no one sees (under Wine, each costs the start half a
    // millisecond). A front end calls it again when the window's pixels change size.
    void LayOut();
    // The title bar's close box, Alt+F4 or the desktop closing the window: the program ends,
    // as after キャンセル, whatever is running.
    void CloseWindow() { host_.End(0); }

    // Creates the window, hidden, with the design's settings; for a window system that does
    // not make it when constructed.
    virtual void Create() {}
    // Shows the window centred where the desktop lets a program say, and makes it active.
    virtual void ShowCentred() = 0;
    // The painted part changed.
    virtual void Repaint() = 0;
    // The window's size changed: surface().ClientRect() is its new client area.
    virtual void ResizeWindow() = 0;
    // Native controls: one moved or changed size, or is shown or hidden.
    virtual void PlaceControl(ControlId id) = 0;
    virtual void ShowControl(ControlId id, bool visible) = 0;
    // The list: how many items it has, and selecting one of them.
    virtual int ListCount() const = 0;
    virtual void SelectListRow(int index) = 0;
    // Handles every pending event, sleeping until the first one arrives for at most this long.
    virtual void Pump(int maxWaitMilliseconds) = 0;
    // The focus: whether a native control has it; moving it to the window itself or to one.
    virtual bool HasFocus(ControlId id) const = 0;
    virtual void FocusWindow() = 0;
    virtual void FocusControl(ControlId id) = 0;

    Surface surface_;
    Host& host_;

  private:
    frmMain* form_ = nullptr;
    bool laidOut_ = false;
};

} // namespace pikorina
