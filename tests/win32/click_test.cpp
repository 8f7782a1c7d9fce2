// Clicks on the window's own surface and what they set off: the label's explosion, the
// background toggle, and the image control that takes clicks without doing anything. The
// explosion runs nested in the click; scripts on a timer look at the window in the middle of it.
#include "fixture.h"
#include "thrown.h"

#include "platform/win32/resource.h"

#include <utility>

namespace pikorina::win32::test {
namespace {

using Clicks = WindowTest;

constexpr COLORREF kRedPixel = RGB(255, 0, 0);

TEST_F(Clicks, BareWindowTogglesTheBackgroundOncePerClick) {
    StartWithDefaultList();
    const struct {
        const char* where;
        Twips x, y;
    } bare[] = {
        {"top-left corner", 30, 30},
        {"between list and label", 2000, 2100},
        {"right of the buttons", 5450, 3100},
        {"below the buttons", 2000, 3450},
    };
    Boolean16 expected = kFalse16;
    for (const auto& b : bare) {
        SCOPED_TRACE(b.where);
        PostClickTwips(b.x, b.y);
        Pump();
        expected = expected == kFalse16 ? kTrue16 : kFalse16;
        EXPECT_EQ(form_->backgroundOn, expected);
    }
}

TEST_F(Clicks, DoubleClickOnTheBareWindowIsOneClick) {
    StartWithDefaultList();
    const POINT p = PointOf(2000, 2100);
    const LPARAM at = MAKELPARAM(p.x, p.y);
    PostMessageW(window_->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    PostMessageW(window_->hwnd(), WM_LBUTTONUP, 0, at);
    PostMessageW(window_->hwnd(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    PostMessageW(window_->hwnd(), WM_LBUTTONUP, 0, at);
    Pump();
    EXPECT_EQ(form_->backgroundOn, kTrue16);
}

TEST_F(Clicks, PressAndReleaseOnDifferentThingsIsNoClick) {
    StartWithDefaultList();
    const POINT label = PointOf(300, 2400), bare = PointOf(2000, 2100);
    PostMessageW(window_->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(label.x, label.y));
    PostMessageW(window_->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(bare.x, bare.y));
    PostMessageW(window_->hwnd(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(bare.x, bare.y));
    PostMessageW(window_->hwnd(), WM_LBUTTONUP, 0, MAKELPARAM(label.x, label.y));
    Pump();
    EXPECT_EQ(form_->backgroundOn, kFalse16);
    EXPECT_TRUE(window_->IsShown(ControlId::Label));
}

// The whole explosion, watched at its frames: what the user sees, and where clicks go while
// the label is hidden and the dynamite is shown.
TEST_F(Clicks, LabelSetsOffTheExplosionAndEverythingComesBack) {
    StartWithDefaultList();
    window_->SelectListItem(2);
    const COLORREF face = GetSysColor(COLOR_BTNFACE);
    struct {
        bool sawFrame1 = false, sawRedPause = false;
        int frame1Differences = -1, frame4Differences = -1;
        COLORREF bareInRedPause = 0;
        bool listShownInRedPause = true, buttonsShownInRedPause = true;
        HWND focusInRedPause = nullptr;
        RECT frame4{};
        Boolean16 afterHiddenLabelClick = 0, afterDonpaClick = 0;
    } seen;

    RunDuring({
        {[this] { return window_->IsShown(ControlId::Donpa); },
         [&] {
             // Frame 1: the lit dynamite where the text was, its transparent corner showing
             // the button face behind it.
             // The warning text's own window is hidden, not merely painted over.
             seen.sawFrame1 = !IsWindowVisible(window_->ControlWindow(ControlId::Label));
             const Surface s = Capture();
             const RECT r = window_->ControlRect(ControlId::Donpa);
             seen.frame1Differences = DifferencesFromIcon(s, r, IDI_DYNAMITE, face);
             // Where the label was, away from the dynamite: the bare window.
             PostClickTwips(400, 2500);
         }},
        {[this] { return form_->backgroundOn == kTrue16; },
         [&] {
             seen.afterHiddenLabelClick = form_->backgroundOn;
             // On the dynamite itself: nothing at all.
             PostClickTwips(2640, 2520);
         }},
        {[this] { return window_->BackColor() == kRed; },
         [&] {
             seen.afterDonpaClick = form_->backgroundOn;
             seen.sawRedPause = true;
             const Surface s = Capture();
             const RECT r = window_->ControlRect(ControlId::Donpa);
             seen.frame4 = r;
             // The burst, four times as large, its transparent parts red.
             seen.frame4Differences = DifferencesFromIcon(s, r, IDI_BURST, kRedPixel);
             // The background picture is off for the pause although the flag is on.
             seen.bareInRedPause = s.At(4, 4);
             seen.listShownInRedPause = IsWindowVisible(window_->ControlWindow(ControlId::ListBox));
             seen.focusInRedPause = GetFocus();
             seen.buttonsShownInRedPause =
                 IsWindowVisible(window_->ControlWindow(ControlId::終了)) ||
                 IsWindowVisible(window_->ControlWindow(ControlId::シャットダウン)) ||
                 IsWindowVisible(window_->ControlWindow(ControlId::キャンセル));
         }},
    });
    PostClickTwips(300, 2400); // on the warning text
    Pump();                    // returns when the explosion is over

    EXPECT_TRUE(ScriptFinished());
    EXPECT_TRUE(seen.sawFrame1);
    EXPECT_EQ(seen.frame1Differences, 0);
    EXPECT_EQ(seen.afterHiddenLabelClick, kTrue16);
    EXPECT_EQ(seen.afterDonpaClick, kTrue16) << "a click on the dynamite switched the background";
    EXPECT_TRUE(seen.sawRedPause);
    EXPECT_EQ(seen.frame4.right - seen.frame4.left, TwipsToPixels(1920, window_->Dpi()));
    EXPECT_EQ(seen.frame4Differences, 0);
    EXPECT_EQ(seen.bareInRedPause, kRedPixel);
    EXPECT_FALSE(seen.listShownInRedPause);
    EXPECT_FALSE(seen.buttonsShownInRedPause);
    // No hidden control holds the focus in the pause; afterwards the list has it back.
    EXPECT_EQ(seen.focusInRedPause, window_->hwnd());
    EXPECT_EQ(GetFocus(), window_->ControlWindow(ControlId::ListBox));

    // Afterwards: as before the click, with the background the clicks switched on.
    EXPECT_TRUE(IsWindowVisible(window_->ControlWindow(ControlId::Label)));
    EXPECT_FALSE(window_->IsShown(ControlId::Donpa));
    for (ControlId id :
         {ControlId::ListBox, ControlId::終了, ControlId::シャットダウン, ControlId::キャンセル}) {
        EXPECT_TRUE(IsWindowVisible(window_->ControlWindow(id)));
    }
    EXPECT_EQ(window_->ListIndex(), 2);
    EXPECT_EQ(window_->BackColor(), kButtonFace);
    EXPECT_EQ(window_->WindowPicture(), Picture::Swirl);
    EXPECT_EQ(window_->PictureOf(ControlId::Donpa), Picture::Dynamite);
    const Surface after = Capture();
    EXPECT_GT(after.Count(window_->ControlRect(ControlId::Label), RGB(0, 0, 0)), 0);
    EXPECT_TRUE(boxes_.empty());
}

TEST_F(Clicks, EscDuringTheExplosionEndsItAtOnce) {
    EXPECT_EXIT(
        {
            StartWithDefaultList();
            RunDuring({
                {[this] { return window_->PictureOf(ControlId::Donpa) == Picture::Burst; },
                 [this] { PostKey(VK_ESCAPE); }},
                // Nothing after the wait that Esc interrupted may run: no red.
                {[this] { return window_->BackColor() == kRed; }, [] { std::_Exit(3); }},
            });
            PostClickTwips(300, 2400);
            Pump();
        },
        testing::ExitedWithCode(0), "");
}

// A click on a real button: what its handler throws is reported, and nothing unwinds into the
// system's code that called the window.
TEST_F(Clicks, WhateverAHandlerThrowsIsReportedAndEndsWithStatusOne) {
    for (const pikorina::test::ThrownKind& kind : pikorina::test::kThrownKinds) {
        SCOPED_TRACE(kind.what);
        EXPECT_EXIT(
            {
                StartWithDefaultList();
                Window::msgBoxSeam = [&kind](HWND, std::wstring_view text,
                                             std::wstring_view caption, UINT) {
                    if (caption != L"ピコリナ") kind.raise();
                    std::fprintf(stderr, "%s\n", Narrow(text).c_str());
                    return IDOK;
                };
                PostMessageW(window_->ControlWindow(ControlId::シャットダウン), BM_CLICK, 0, 0);
                Pump();
            },
            testing::ExitedWithCode(1), std::to_string(kind.number).append("':"));
    }
}

// During the red pause the buttons are hidden, and a hidden button is not there to be pressed,
// by its keys neither.
TEST_F(Clicks, KeysOfTheHiddenButtonsDoNothingDuringTheRedPause) {
    StartWithDefaultList();
    RunDuring({
        {[this] { return window_->BackColor() == kRed; },
         [this] {
             PostKey(VK_ESCAPE);
             PostKey(VK_RETURN);
             PostAltKey(L'e');
             PostAltKey(L's');
         }},
    });
    PostClickTwips(300, 2400);
    Pump();
    EXPECT_TRUE(ScriptFinished());
    EXPECT_TRUE(boxes_.empty());
    EXPECT_FALSE(FileExists(folder_ + L"\\first.txt"));
    EXPECT_TRUE(window_->IsShown(ControlId::Label)) << "the explosion did not finish";
}

TEST_F(Clicks, ButtonsStillWorkDuringTheExplosionsFirstWaits) {
    StartWithDefaultList();
    RunDuring({
        {[this] { return window_->IsShown(ControlId::Donpa); }, [this] { PostAltKey(L's'); }},
        {[this] { return !boxes_.empty(); },
         [this] {
             window_->SelectListItem(2);
             PostMessageW(window_->ControlWindow(ControlId::終了), BM_CLICK, 0, 0);
         }},
    });
    PostClickTwips(300, 2400);
    Pump();
    EXPECT_TRUE(ScriptFinished());
    ASSERT_EQ(boxes_.size(), 1u);
    EXPECT_EQ(boxes_[0].caption, L"ﾊﾞｰﾁｬﾝ情報");
    EXPECT_TRUE(WaitForFile(folder_ + L"\\third.txt"));
    EXPECT_TRUE(window_->IsShown(ControlId::Label));
}

} // namespace
} // namespace pikorina::win32::test
