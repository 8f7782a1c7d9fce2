// Clicks on the window's own surface, where the label and the pictures are painted rather than
// being windows of their own: which of them a click reaches, and when a press and a release
// make a click. Both front ends route their mouse events through this.
#pragma once

#include "app/design.h"
#include "app/frmMain.h"

namespace pikorina {

class SurfaceClicks {
  public:
    enum class Target { None, Form, Label };

    // Where a point lands. over(id) says whether it lies within the control as it is drawn.
    // A shown label takes the click, a shown picture swallows it (pictures have no click
    // handler), and anything else, hidden controls' areas included, is the bare window.
    template <typename Over> static Target At(const ControlStates& controls, Over over) {
        if (controls[ControlId::Label].visible && over(ControlId::Label)) return Target::Label;
        for (const ControlDesign& d : kControls) {
            if (d.kind == ControlKind::Image && controls[d.id].visible && over(d.id)) {
                return Target::None;
            }
        }
        return Target::Form;
    }

    void Press(Target target) { pressed_ = target; }
    // The press no longer counts: the second press of a double-click, or a lost capture.
    void Cancel() { pressed_ = Target::None; }
    // A click is a press and a release on the same target: the handler it raises, if any.
    frmMain::Handler Release(Target target);

  private:
    Target pressed_ = Target::None;
};

} // namespace pikorina
