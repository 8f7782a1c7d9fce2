#include "app/frmMain.h"
#include "app/module.h"
#include "effects/sound_command.h"
#include "fake_window_system.h"

#include <gtest/gtest.h>

namespace pikorina::test {
namespace {

// The whole run, step by step; a wait shows as the pump being called.
const std::vector<std::string> kRunWithBackgroundOff = {
    "Hide Label",
    "SetTop Donpa 2280",
    "SetLeft Donpa 2400",
    "SetHeight Donpa 480",
    "SetWidth Donpa 480",
    "Show Donpa",
    "DoEvents",
    "mciExecute play C:\\Tools\\Don.wav",
    "SetPicture Donpa Donpa_2",
    "DoEvents",
    "mciExecute play C:\\Tools\\Don.wav",
    "SetTop Donpa 2040",
    "SetLeft Donpa 2280",
    "SetHeight Donpa 960",
    "SetWidth Donpa 960",
    "DoEvents",
    "mciExecute play C:\\Tools\\Don.wav",
    "SetTop Donpa 720",
    "SetLeft Donpa 1800",
    "SetHeight Donpa 1920",
    "SetWidth Donpa 1920",
    "SetBackColor 255",
    "Hide ListBox",
    "Hide 終了",
    "Hide シャットダウン",
    "Hide キャンセル",
    "DoEvents",
    "Show Label",
    "Hide Donpa",
    "Show ListBox",
    "Show 終了",
    "Show シャットダウン",
    "Show キャンセル",
    "SetHeight Donpa 480",
    "SetWidth Donpa 480",
    "SetPicture Donpa Donpa_1",
    "SetBackColor " + std::to_string(kButtonFace),
};

// Consecutive pump calls of one wait count as one.
std::vector<std::string> Steps(const std::vector<std::string>& log) {
    std::vector<std::string> steps;
    for (const std::string& line : log) {
        if (line == "DoEvents" && !steps.empty() && steps.back() == "DoEvents") continue;
        steps.push_back(line);
    }
    return steps;
}

class Explosion : public testing::Test {
  protected:
    void SetUp() override {
        ws.files["C:\\Tools\\Setup.ini"] = {"一,one\r\n二,two\r\n"};
        form.Raise(&frmMain::Form_Load);
        ws.log.clear();
        ws.SetTimer(100.25); // so the first wait ends 0.75 s after the click
        click = ws.monotonic;
        before = ws.controls;
    }
    // Runs an event during the wait that ends at `second` (0-based: 0 to 3).
    void During(int wait, std::function<void()> event) {
        static constexpr double kMidWait[] = {0.5, 1.25, 2.25, 3.75};
        ws.At(click + kMidWait[wait], std::move(event));
    }
    void ExpectWindowAsBefore() {
        for (const ControlDesign& d : kControls) {
            const ControlState& now = ws.State(d.id);
            const ControlState& was = before[d.id];
            EXPECT_EQ(now.visible, was.visible) << d.name;
            EXPECT_EQ(now.picture, was.picture) << d.name;
            if (d.id != ControlId::Donpa) {
                EXPECT_EQ(now.left, was.left) << d.name;
                EXPECT_EQ(now.top, was.top) << d.name;
            }
        }
        EXPECT_EQ(ws.State(ControlId::Donpa).width, 480);
        EXPECT_EQ(ws.State(ControlId::Donpa).height, 480);
        EXPECT_EQ(ws.backColor, kButtonFace);
    }
    FakeWindowSystem ws;
    frmMain form{ws};
    double click = 0;
    ControlStates before;
};

TEST_F(Explosion, RunsItsStepsInOrderAndPutsEverythingBack) {
    form.Raise(&frmMain::Label_Click);
    EXPECT_EQ(Steps(ws.log), kRunWithBackgroundOff);
    ExpectWindowAsBefore();
    EXPECT_EQ(ws.listIndex, 0);
    EXPECT_EQ(ws.windowPicture, Picture::None);
}

TEST_F(Explosion, SoundsAtTheEndOfEachOfTheFirstThreeWaitsAndEndsFourSecondsLater) {
    form.Raise(&frmMain::Label_Click);
    ASSERT_EQ(ws.soundTimes.size(), 3u);
    const double t = ws.soundTimes[0] - click;
    EXPECT_NEAR(t, 0.75, 0.01);
    EXPECT_NEAR(ws.soundTimes[1] - click, t + 1, 0.01);
    EXPECT_NEAR(ws.soundTimes[2] - click, t + 2, 0.01);
    EXPECT_NEAR(ws.monotonic - click, t + 4, 0.01);
}

TEST_F(Explosion, TwoRunsInARowLookTheSame) {
    form.Raise(&frmMain::Label_Click);
    const auto first = Steps(ws.log);
    ws.log.clear();
    form.Raise(&frmMain::Label_Click);
    EXPECT_EQ(Steps(ws.log), first);
}

TEST_F(Explosion, ShowsTheRightPictureAtEachFrame) {
    struct Seen {
        Picture picture;
        Twips left, top, width, height;
        OleColor color;
    };
    std::vector<Seen> seen;
    for (int w = 0; w < 4; ++w) {
        During(w, [&] {
            const ControlState& d = ws.State(ControlId::Donpa);
            EXPECT_TRUE(d.visible);
            EXPECT_FALSE(ws.State(ControlId::Label).visible);
            seen.push_back({d.picture, d.left, d.top, d.width, d.height, ws.backColor});
        });
    }
    form.Raise(&frmMain::Label_Click);
    ASSERT_EQ(seen.size(), 4u);
    const Seen expected[] = {{Picture::Dynamite, 2400, 2280, 480, 480, kButtonFace},
                             {Picture::Burst, 2400, 2280, 480, 480, kButtonFace},
                             {Picture::Burst, 2280, 2040, 960, 960, kButtonFace},
                             {Picture::Burst, 1800, 720, 1920, 1920, kRed}};
    for (int i = 0; i < 4; ++i) {
        EXPECT_EQ(seen[i].picture, expected[i].picture) << "frame " << i + 1;
        EXPECT_EQ(seen[i].left, expected[i].left) << "frame " << i + 1;
        EXPECT_EQ(seen[i].top, expected[i].top) << "frame " << i + 1;
        EXPECT_EQ(seen[i].width, expected[i].width) << "frame " << i + 1;
        EXPECT_EQ(seen[i].height, expected[i].height) << "frame " << i + 1;
        EXPECT_EQ(seen[i].color, expected[i].color) << "frame " << i + 1;
    }
}

TEST_F(Explosion, HidesListAndButtonsOnlyInTheRedPause) {
    std::vector<bool> listShown;
    for (int w = 0; w < 4; ++w) {
        During(w, [&] {
            const bool all = ws.State(ControlId::ListBox).visible &&
                             ws.State(ControlId::終了).visible &&
                             ws.State(ControlId::シャットダウン).visible &&
                             ws.State(ControlId::キャンセル).visible;
            listShown.push_back(all);
        });
    }
    form.Raise(&frmMain::Label_Click);
    EXPECT_EQ(listShown, (std::vector<bool>{true, true, true, false}));
}

TEST_F(Explosion, WithTheBackgroundOnTakesItAwayForTheRedPauseAndBringsItBack) {
    form.Raise(&frmMain::Form_Click);
    ws.log.clear();
    Picture inPause = Picture::Swirl;
    During(3, [&] { inPause = ws.windowPicture; });
    form.Raise(&frmMain::Label_Click);
    EXPECT_EQ(inPause, Picture::None);
    EXPECT_EQ(ws.windowPicture, Picture::Swirl);
    EXPECT_EQ(form.backgroundOn, kTrue16);
    EXPECT_EQ(ws.LogOf("SetPicture frmMain"),
              (std::vector<std::string>{"SetPicture frmMain Back_2", "SetPicture frmMain Back_1"}));
}

struct PauseClick {
    const char* what;
    bool onBefore;
    Picture pictureInPause;
    Picture pictureAfter;
    Boolean16 flagAfter;
};
std::ostream& operator<<(std::ostream& os, const PauseClick& c) {
    return os << c.what;
}

class ExplosionBackgroundClick : public Explosion,
                                 public testing::WithParamInterface<PauseClick> {};

TEST_P(ExplosionBackgroundClick, InTheRedPauseLeavesPictureAndFlagAgreeing) {
    const PauseClick& c = GetParam();
    if (c.onBefore) form.Raise(&frmMain::Form_Click);
    Picture seen = Picture::None;
    During(3, [&] { form.Raise(&frmMain::Form_Click); });
    ws.At(click + 4.5, [&] { seen = ws.windowPicture; });
    form.Raise(&frmMain::Label_Click);
    EXPECT_EQ(seen, c.pictureInPause) << c.what;
    EXPECT_EQ(ws.windowPicture, c.pictureAfter) << c.what;
    EXPECT_EQ(form.backgroundOn, c.flagAfter) << c.what;
    EXPECT_EQ(ws.backColor, kButtonFace);
}

INSTANTIATE_TEST_SUITE_P(Table, ExplosionBackgroundClick,
                         testing::Values(PauseClick{"off: the picture shows over the red and stays",
                                                    false, Picture::Swirl, Picture::Swirl, kTrue16},
                                         PauseClick{"on: the window is left without a picture",
                                                    true, Picture::None, Picture::None, kFalse16}));

TEST_F(Explosion, ABackgroundClickInAnEarlierWaitTogglesAndIsPutBackAfter) {
    During(0, [&] { form.Raise(&frmMain::Form_Click); });
    Picture inPause = Picture::Swirl;
    During(3, [&] { inPause = ws.windowPicture; });
    form.Raise(&frmMain::Label_Click);
    EXPECT_EQ(inPause, Picture::None);
    EXPECT_EQ(ws.windowPicture, Picture::Swirl);
    EXPECT_EQ(form.backgroundOn, kTrue16);
}

TEST_F(Explosion, ListAndButtonsWorkInTheFirstWaits) {
    ws.listIndex = 1;
    During(0, [&] { form.Raise(&frmMain::ListBox_DblClick); });
    During(1, [&] { form.Raise(&frmMain::終了_Click); });
    form.Raise(&frmMain::Label_Click);
    EXPECT_EQ(ws.started, (std::vector<std::string>{"two", "two"}));
    ExpectWindowAsBefore();
}

TEST_F(Explosion, AModalBoxHoldsTheSequenceUntilItIsClosed) {
    ws.onMsgBox = [&](const MsgBoxCall&) {
        ws.monotonic += 10; // the user reads the box for ten seconds
        return kAnswerOk;
    };
    During(1, [&] { form.Raise(&frmMain::シャットダウン_Click); });
    form.Raise(&frmMain::Label_Click);
    ASSERT_EQ(ws.boxes.size(), 1u);
    ASSERT_EQ(ws.soundTimes.size(), 3u);
    // The second sound comes right after the box is closed, the rest follow from there.
    EXPECT_NEAR(ws.soundTimes[1] - click, 11.25, 0.01);
    EXPECT_EQ(Steps(ws.log).size(), kRunWithBackgroundOff.size() + 1);
}

TEST_F(Explosion, キャンセルInAWaitEndsAtOnceAndNothingElseRuns) {
    for (int w = 0; w < 3; ++w) {
        FakeWindowSystem fresh;
        fresh.files["C:\\Tools\\Setup.ini"] = {"a,1"};
        frmMain other(fresh);
        other.Raise(&frmMain::Form_Load);
        fresh.log.clear();
        const double start = fresh.monotonic;
        const double kMid[] = {0.4, 1.4, 2.4};
        fresh.At(start + kMid[w], [&] { other.Raise(&frmMain::キャンセル_Click); });
        try {
            other.Raise(&frmMain::Label_Click);
            FAIL() << "wait " << w << ": did not end";
        } catch (const ProgramEnded& end) {
            EXPECT_EQ(end.status, 0);
        }
        EXPECT_EQ(fresh.log.back(), "End 0");
        EXPECT_EQ(fresh.sounds.size(), static_cast<std::size_t>(w)) << "wait " << w;
    }
}

TEST(PlayCommand, JoinsThePathAsItIs) {
    EXPECT_EQ(PlayCommand("C:\\Tools\\Don.wav"), "play C:\\Tools\\Don.wav");
}

TEST(PlayCommandPath, ReadsThePathOfAPlayCommand) {
    const std::pair<std::string_view, std::optional<std::string>> rows[] = {
        {"play C:\\Tools\\Don.wav", "C:\\Tools\\Don.wav"},
        {"play /home/me/My Tools/Don.wav", "/home/me/My Tools/Don.wav"},
        {"PLAY  \"C:\\My Tools\\Don.wav\"  ", "C:\\My Tools\\Don.wav"},
        {"  play\t/x.wav", "/x.wav"},
        {"play", std::nullopt},
        {"play   ", std::nullopt},
        {"playback /x.wav", std::nullopt},
        {"stop /x.wav", std::nullopt},
        {"", std::nullopt},
        {"play \"\"", std::nullopt},
    };
    for (const auto& [command, path] : rows)
        EXPECT_EQ(PlayCommandPath(command), path) << command;
}

} // namespace
} // namespace pikorina::test
