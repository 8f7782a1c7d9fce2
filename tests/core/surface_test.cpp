// The window's surface: what is painted in which order, where clicks go, where the focus goes
// while its control is hidden, the tab order and the buttons' handlers.
#include "app/surface.h"
#include "fake_window_system.h"

#include <gtest/gtest.h>

#include <functional>

namespace pikorina::test {
namespace {

using Lines = std::vector<std::string>;

struct PaintRow {
    const char* what;
    std::function<void(Surface&)> change;
    Lines painted;
};

TEST(SurfacePaint, ColourThenBackgroundThenPicturesInDeclarationOrderThenLabel) {
    const std::string face = "fill 0 0 6255 4500 8000000f";
    const std::string warning = "text 240 2280 5055 630 9pt 0 the warning";
    const PaintRow rows[] = {
        {"as designed", [](Surface&) {}, {face, warning}},
        {"the run-time size and red",
         [](Surface& s) {
             s.SetWindowWidth(5625);
             s.SetWindowHeight(3945);
             s.SetBackColor(kRed);
         },
         {"fill 0 0 5535 3570 ff", warning}},
        {"the background at its own size from the top-left, below the text",
         [](Surface& s) { s.SetWindowPicture(ControlId::Back_1); },
         {face, "picture Swirl 0 0 9600 7200", warning}},
        {"a picture without stretch at its own size, whatever its width; later ones on top",
         [](Surface& s) {
             s.SetVisible(ControlId::Label, false, false);
             s.SetGeometry(ControlId::Donpa_1, Geometry::Width, 960);
             s.SetVisible(ControlId::Donpa, true, false);
             s.SetVisible(ControlId::Donpa_1, true, false);
         },
         {face, "picture Dynamite 3000 1920 480 480", "picture Dynamite 1800 720 1920 1920"}},
        {"a stretched picture fills its rectangle; one with no picture shows nothing",
         [](Surface& s) {
             s.SetImagePicture(ControlId::Donpa, ControlId::Donpa_2);
             s.SetGeometry(ControlId::Donpa, Geometry::Height, 480);
             s.SetVisible(ControlId::Donpa, true, false);
             s.SetVisible(ControlId::Back_2, true, false);
         },
         {face, "picture Burst 1800 720 1920 480", warning}},
        {"a window picture taken from an image without one",
         [](Surface& s) {
             s.SetWindowPicture(ControlId::Back_1);
             s.SetWindowPicture(ControlId::Back_2);
         },
         {face, warning}},
    };
    for (const PaintRow& row : rows) {
        Surface surface;
        row.change(surface);
        EXPECT_EQ(Painted(surface), row.painted) << row.what;
    }
}

struct ClickRow {
    const char* what;
    std::function<void(Surface&)> change;
    Twips downX, downY, upX, upY;
    bool doubleClick;
    frmMain::Handler handler;
};

TEST(SurfaceClicks, ReachTheShownLabelOrTheBareWindowAndArePressAndReleaseOnOneTarget) {
    const auto none = [](Surface&) {};
    const auto explosion = [](Surface& s) {
        s.SetVisible(ControlId::Label, false, false);
        s.SetGeometry(ControlId::Donpa, Geometry::Top, 2280);
        s.SetGeometry(ControlId::Donpa, Geometry::Left, 2400);
        s.SetGeometry(ControlId::Donpa, Geometry::Height, 480);
        s.SetGeometry(ControlId::Donpa, Geometry::Width, 480);
        s.SetVisible(ControlId::Donpa, true, false);
    };
    const ClickRow rows[] = {
        {"on the label", none, 300, 2400, 300, 2400, false, &frmMain::Label_Click},
        {"on the bare window", none, 2000, 2100, 2000, 2100, false, &frmMain::Form_Click},
        {"on a never-shown image's area", none, 3200, 3400, 3200, 3400, false,
         &frmMain::Form_Click},
        {"where the hidden label was", explosion, 300, 2400, 300, 2400, false,
         &frmMain::Form_Click},
        {"on the shown picture", explosion, 2500, 2400, 2500, 2400, false, nullptr},
        {"beyond a picture's own size but inside its width",
         [](Surface& s) {
             s.SetGeometry(ControlId::Donpa_1, Geometry::Width, 1920);
             s.SetVisible(ControlId::Donpa_1, true, false);
         },
         3600, 2000, 3600, 2000, false, &frmMain::Form_Click},
        {"pressed on the label, released on the window", none, 300, 2400, 2000, 2100, false,
         nullptr},
        {"pressed on the window, released on the label", none, 2000, 2100, 300, 2400, false,
         nullptr},
        {"the second press of a double-click", none, 2000, 2100, 2000, 2100, true, nullptr},
    };
    for (const ClickRow& row : rows) {
        Surface surface;
        row.change(surface);
        surface.MouseDown([&](const Rect& r) { return r.Contains(row.downX, row.downY); });
        if (row.doubleClick) surface.CancelClick();
        const auto at = [&](const Rect& r) { return r.Contains(row.upX, row.upY); };
        EXPECT_EQ(surface.MouseUp(at), row.handler) << row.what;
        // A release without a new press is no click.
        EXPECT_EQ(surface.MouseUp(at), nullptr) << row.what;
    }
}

struct Visibility {
    ControlId id;
    bool visible, focused;
    FocusMove move;
};

TEST(SurfaceFocus, StaysOnTheWindowWhileItsControlIsHiddenAndGoesBackWhenShown) {
    using enum FocusMove;
    const struct {
        const char* what;
        std::vector<Visibility> steps;
    } rows[] = {
        {"the red pause with the focus on the list",
         {{ControlId::ListBox, false, true, ToWindow},
          {ControlId::終了, false, false, Stay},
          {ControlId::ListBox, true, false, ToControl},
          {ControlId::終了, true, false, Stay},
          {ControlId::ListBox, false, false, Stay},
          {ControlId::ListBox, true, false, Stay}}},
        {"hidden and shown again without the focus",
         {{ControlId::キャンセル, false, false, Stay}, {ControlId::キャンセル, true, false, Stay}}},
        {"the first control to lose the focus gets it back",
         {{ControlId::キャンセル, false, true, ToWindow},
          {ControlId::終了, false, true, ToWindow},
          {ControlId::終了, true, false, Stay},
          {ControlId::キャンセル, true, false, ToControl}}},
    };
    for (const auto& row : rows) {
        Surface surface;
        for (std::size_t i = 0; i < row.steps.size(); ++i) {
            const Visibility& step = row.steps[i];
            EXPECT_EQ(surface.SetVisible(step.id, step.visible, step.focused), step.move)
                << row.what << ", step " << i + 1;
        }
    }
}

// The controls are made in reading order: the warning text between the list and the buttons.
TEST(SurfaceKeys, TabGoesFromTheListOverTheButtonsByTheirTabIndexes) {
    EXPECT_EQ(std::vector<ControlId>(kTabOrder.begin(), kTabOrder.end()),
              (std::vector<ControlId>{ControlId::ListBox, ControlId::シャットダウン,
                                      ControlId::キャンセル, ControlId::終了}));
    EXPECT_EQ(
        std::vector<ControlId>(kReadingOrder.begin(), kReadingOrder.end()),
        (std::vector<ControlId>{ControlId::ListBox, ControlId::Label, ControlId::シャットダウン,
                                ControlId::キャンセル, ControlId::終了}));
}

TEST(SurfaceKeys, AShownButtonRaisesItsHandlerAndAHiddenOneNothing) {
    const struct {
        ControlId id;
        frmMain::Handler handler;
    } rows[] = {
        {ControlId::終了, &frmMain::終了_Click},
        {ControlId::シャットダウン, &frmMain::シャットダウン_Click},
        {ControlId::キャンセル, &frmMain::キャンセル_Click},
        {ControlId::ListBox, nullptr},
    };
    for (const auto& row : rows) {
        Surface surface;
        EXPECT_EQ(surface.Press(row.id), row.handler) << Name(row.id);
        surface.SetVisible(row.id, false, false);
        EXPECT_EQ(surface.Press(row.id), nullptr) << Name(row.id) << " hidden";
    }
}

TEST(SurfaceKeys, EnterPressesTheFocusedButtonOrElse終了) {
    const std::pair<std::optional<ControlId>, ControlId> rows[] = {
        {ControlId::シャットダウン, ControlId::シャットダウン},
        {ControlId::キャンセル, ControlId::キャンセル},
        {ControlId::ListBox, ControlId::終了},
        {std::nullopt, ControlId::終了},
    };
    for (const auto& [focused, pressed] : rows) {
        EXPECT_EQ(Surface::DefaultButton(focused), pressed);
    }
}

} // namespace
} // namespace pikorina::test
