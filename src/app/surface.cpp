#include "app/surface.h"

#include "app/errors.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace pikorina {
namespace {

Rect OwnRect(Picture picture, Twips left, Twips top) {
    const PictureDesign& own = Design(picture);
    return {left, top, own.width * kTwipsPerPixelAt96Dpi, own.height * kTwipsPerPixelAt96Dpi};
}

} // namespace

Surface::Surface() {
    for (const ControlDesign& d : kControls) {
        controls_[Index(d.id)] = {d.left, d.top, d.width, d.height, d.visible, d.picture};
    }
}

FocusMove Surface::SetVisible(ControlId id, bool visible, bool focused) {
    controls_[Index(id)].visible = visible;
    if (!visible && focused) {
        if (!focusBeforeHiding_) focusBeforeHiding_ = id;
        return FocusMove::ToWindow;
    }
    if (visible && focusBeforeHiding_ == id) {
        focusBeforeHiding_.reset();
        return FocusMove::ToControl;
    }
    return FocusMove::Stay;
}

Rect Surface::ClientRect() const {
    return {0, 0, ClientWidthFor(windowWidth_), ClientHeightFor(windowHeight_)};
}

Rect Surface::RectOf(ControlId id) const {
    const ControlState& s = (*this)[id];
    const ControlDesign& d = Design(id);
    if (d.kind == ControlKind::Image && !d.stretch && s.picture != Picture::None) {
        return OwnRect(s.picture, s.left, s.top);
    }
    return {s.left, s.top, s.width, s.height};
}

void Surface::Paint(Painter& painter) const {
    painter.FillRect(ClientRect(), backColor_);
    if (windowPicture_ != Picture::None) {
        painter.DrawPicture(OwnRect(windowPicture_, 0, 0), windowPicture_);
    }
    for (const ControlDesign& d : kControls) {
        const ControlState& s = (*this)[d.id];
        if (d.kind == ControlKind::Image && s.visible && s.picture != Picture::None) {
            painter.DrawPicture(RectOf(d.id), s.picture);
        }
    }
}

void Surface::PaintLabel(TextPainter& painter) const {
    if ((*this)[ControlId::Label].visible) {
        painter.DrawWrappedText(RectOf(ControlId::Label), Design(ControlId::Label).caption,
                                kLabelFont, kLabelForeColor);
    }
}

frmMain::Handler Surface::Released(Hit hit) {
    const Hit pressed = std::exchange(pressed_, Hit::None);
    if (pressed != hit) return nullptr;
    switch (pressed) {
    case Hit::Label: return &frmMain::Label_Click;
    case Hit::Form: return &frmMain::Form_Click;
    case Hit::None: break;
    }
    return nullptr;
}

frmMain::Handler Surface::Press(ControlId button) const {
    if (!(*this)[button].visible) return nullptr;
    switch (button) {
    case ControlId::終了: return &frmMain::終了_Click;
    case ControlId::シャットダウン: return &frmMain::シャットダウン_Click;
    case ControlId::キャンセル: return &frmMain::キャンセル_Click;
    default: return nullptr;
    }
}

ControlId Surface::DefaultButton(std::optional<ControlId> focused) {
    if (focused && Design(*focused).kind == ControlKind::Button) return *focused;
    return kDefaultButton;
}

// The window system's part.

void SurfaceWindowSystem::Start(frmMain& form) {
    Attach(form);
    form.Guard([&] {
        Create();
        form.Form_Load();
    });
    LayOut();
    ShowCentred();
    FocusControl(kTabOrder.front());
}

void SurfaceWindowSystem::LayOut() {
    laidOut_ = true;
    ResizeWindow();
    for (const ControlDesign& d : kControls) {
        if (IsNative(d.id)) PlaceControl(d.id);
    }
}

void SurfaceWindowSystem::SelectListItem(int index) {
    if (index < 0 || index >= ListCount()) throw RuntimeError(kErrInvalidPropertyIndex);
    SelectListRow(index);
}

void SurfaceWindowSystem::DoEvents(double maxWaitSeconds) {
    // Clamped before it becomes a whole number of milliseconds, which a NaN or a wait of years
    // would not fit.
    constexpr double kLongestWait = 86400.0;
    const double seconds = maxWaitSeconds > 0 ? std::min(maxWaitSeconds, kLongestWait) : 0.0;
    Pump(static_cast<int>(std::ceil(seconds * 1000.0)));
}

void SurfaceWindowSystem::SetWindowWidth(Twips width) {
    surface_.SetWindowWidth(width);
    if (laidOut_) ResizeWindow();
}

void SurfaceWindowSystem::SetWindowHeight(Twips height) {
    surface_.SetWindowHeight(height);
    if (laidOut_) ResizeWindow();
}

void SurfaceWindowSystem::SetBackColor(OleColor color) {
    surface_.SetBackColor(color);
    Repaint();
}

void SurfaceWindowSystem::SetWindowPicture(ControlId image) {
    surface_.SetWindowPicture(image);
    Repaint();
}

void SurfaceWindowSystem::SetGeometry(ControlId id, Geometry which, Twips value) {
    surface_.SetGeometry(id, which, value);
    if (IsNative(id)) {
        if (laidOut_) PlaceControl(id);
    } else {
        Repaint();
    }
}

void SurfaceWindowSystem::SetVisible(ControlId id, bool visible) {
    const bool native = IsNative(id);
    const FocusMove move = surface_.SetVisible(id, visible, native && HasFocus(id));
    // The focus leaves before its control is hidden, and comes back once it is shown.
    if (move == FocusMove::ToWindow) FocusWindow();
    if (native) {
        ShowControl(id, visible);
    } else {
        Repaint();
    }
    if (move == FocusMove::ToControl) FocusControl(id);
}

void SurfaceWindowSystem::PressButton(ControlId button) {
    if (const frmMain::Handler handler = surface_.Press(button)) Raise(handler);
}

void SurfaceWindowSystem::SetImagePicture(ControlId target, ControlId source) {
    surface_.SetImagePicture(target, source);
    Repaint();
}

} // namespace pikorina
