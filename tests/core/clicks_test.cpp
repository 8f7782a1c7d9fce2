#include "app/clicks.h"

#include <gtest/gtest.h>

#include <set>

namespace pikorina {
namespace {

using Target = SurfaceClicks::Target;

struct HitRow {
    const char* what;
    bool labelShown, donpaShown;
    std::set<ControlId> under; // the controls whose rectangles hold the point
    Target target;
};

TEST(SurfaceClicks, ReachTheShownLabelOrAreSwallowedByAShownPictureOrReachTheWindow) {
    const HitRow rows[] = {
        {"on the label", true, false, {ControlId::Label}, Target::Label},
        {"where the hidden label was", false, true, {ControlId::Label}, Target::Form},
        {"on the shown picture", false, true, {ControlId::Label, ControlId::Donpa}, Target::None},
        {"where a hidden picture lies", true, false, {ControlId::Donpa}, Target::Form},
        {"on a never-shown image's area", true, false, {ControlId::Back_1}, Target::Form},
        {"on the bare window", true, true, {}, Target::Form},
    };
    for (const HitRow& row : rows) {
        ControlStates controls;
        controls[ControlId::Label].visible = row.labelShown;
        controls[ControlId::Donpa].visible = row.donpaShown;
        const Target target =
            SurfaceClicks::At(controls, [&](ControlId id) { return row.under.contains(id); });
        EXPECT_EQ(target, row.target) << row.what;
    }
}

TEST(SurfaceClicks, AreAPressAndAReleaseOnTheSameTarget) {
    const struct {
        const char* what;
        Target press, release;
        bool cancelled;
        frmMain::Handler handler;
    } rows[] = {
        {"label", Target::Label, Target::Label, false, &frmMain::Label_Click},
        {"window", Target::Form, Target::Form, false, &frmMain::Form_Click},
        {"pressed on the label, released on the window", Target::Label, Target::Form, false,
         nullptr},
        {"on the picture", Target::None, Target::None, false, nullptr},
        {"the second press of a double-click", Target::Form, Target::Form, true, nullptr},
    };
    for (const auto& row : rows) {
        SurfaceClicks clicks;
        clicks.Press(row.press);
        if (row.cancelled) clicks.Cancel();
        EXPECT_EQ(clicks.Release(row.release), row.handler) << row.what;
        // A release without a new press is no click.
        EXPECT_EQ(clicks.Release(row.release), nullptr) << row.what;
    }
}

} // namespace
} // namespace pikorina
