#include "app/errors.h"
#include "app/frmMain.h"
#include "app/module.h"
#include "fake_window_system.h"

#include <gtest/gtest.h>

#include <algorithm>

namespace pikorina::test {
namespace {

// What is painted while each wait runs, at the window's run-time size: the warning is gone, the
// dynamite lit where it was, then burst, then doubled, then large on red.
const std::string kFace = "fill 0 0 5535 3570 8000000f";
const std::vector<std::vector<std::string>> kFrames = {
    {kFace, "picture Dynamite 2400 2280 480 480"},
    {kFace, "picture Burst 2400 2280 480 480"},
    {kFace, "picture Burst 2280 2040 960 960"},
    {"fill 0 0 5535 3570 ff", "picture Burst 1800 720 1920 1920"},
};

class Explosion : public testing::Test {
  protected:
    void SetUp() override {
        ws.host.files["C:\\Tools\\Setup.ini"] = {"一,one\r\n二,two\r\n"};
        form.Raise(&frmMain::Form_Load);
        ws.log.clear();
        ws.host.SetTimer(100.25); // so the first wait ends 0.75 s after the click
        click = ws.host.monotonic;
        before = ws.surface();
    }
    // Runs an event during the wait that ends at `second` (0-based: 0 to 3).
    void During(int wait, std::function<void()> event) {
        static constexpr double kMidWait[] = {0.5, 1.25, 2.25, 3.75};
        ws.At(click + kMidWait[wait], std::move(event));
    }
    // What is painted during each wait.
    std::vector<std::vector<std::string>> WatchFrames() {
        std::vector<std::vector<std::string>> frames(4);
        for (int w = 0; w < 4; ++w)
            During(w, [this, &frames, w] { frames[w] = Painted(ws.surface()); });
        form.Raise(&frmMain::Label_Click);
        return frames;
    }
    void ExpectWindowAsBefore() {
        for (const ControlDesign& d : kControls) {
            const ControlState& now = ws.surface()[d.id];
            const ControlState& was = before[d.id];
            EXPECT_EQ(now.visible, was.visible) << d.name;
            EXPECT_EQ(now.picture, was.picture) << d.name;
            if (d.id != ControlId::Donpa) {
                EXPECT_EQ(now.left, was.left) << d.name;
                EXPECT_EQ(now.top, was.top) << d.name;
            }
        }
        EXPECT_EQ(ws.surface()[ControlId::Donpa].width, 480);
        EXPECT_EQ(ws.surface()[ControlId::Donpa].height, 480);
        EXPECT_EQ(ws.surface().BackColor(), kButtonFace);
        EXPECT_EQ(ws.focus, ControlId::ListBox);
    }
    FakeWindowSystem ws;
    frmMain form{ws, ws.host};
    double click = 0;
    Surface before;
};

TEST_F(Explosion, PaintsItsFramesAndPutsEverythingBack) {
    EXPECT_EQ(WatchFrames(), kFrames);
    ExpectWindowAsBefore();
    EXPECT_EQ(ws.listIndex, 0);
    EXPECT_EQ(ws.surface().WindowPicture(), Picture::None);
    EXPECT_EQ(Painted(ws.surface()), Painted(before));
}

TEST_F(Explosion, SoundsAtTheEndOfEachOfTheFirstThreeWaitsAndEndsFourSecondsLater) {
    form.Raise(&frmMain::Label_Click);
    ASSERT_EQ(ws.host.soundTimes.size(), 3u);
    const double t = ws.host.soundTimes[0] - click;
    EXPECT_NEAR(t, 0.75, 0.01);
    EXPECT_NEAR(ws.host.soundTimes[1] - click, t + 1, 0.01);
    EXPECT_NEAR(ws.host.soundTimes[2] - click, t + 2, 0.01);
    EXPECT_NEAR(ws.host.monotonic - click, t + 4, 0.01);
    // Without a Don.wav the sound is silence and the explosion runs on as with one.
    EXPECT_EQ(ws.host.sounds, std::vector<std::string>(3, ""));
}

TEST_F(Explosion, ReadsTheSoundAtEachClickBeforeTheFirstWaitAndPlaysWhatItRead) {
    const std::string wav = "C:\\Tools\\Don.wav";
    const std::pair<const char*, std::function<void()>> rows[] = {
        {"a wave file", [&] { ws.host.files[wav] = {"RIFF one"}; }},
        {"changed since the last click", [&] { ws.host.files[wav] = {"RIFF two"}; }},
        {"unreadable (a FIFO)", [&] { ws.host.fileErrors[wav] = kErrPathFileAccess; }},
        {"larger than any file taken", [&] { ws.host.fileErrors[wav] = kErrOutOfMemory; }},
    };
    for (const auto& [name, arrange] : rows) {
        arrange();
        const std::string bytes = ws.host.fileErrors.contains(wav) ? "" : ws.host.files[wav][0];
        ws.host.log.clear();
        ws.host.sounds.clear();
        EXPECT_EQ(WatchFrames(), kFrames) << name;
        const auto& log = ws.host.log;
        const auto loaded = std::find(log.begin(), log.end(),
                                      "LoadSound " + std::to_string(bytes.size()) + " bytes");
        EXPECT_LT(loaded, std::find(log.begin(), log.end(), "DoEvents")) << name;
        EXPECT_EQ(ws.host.sounds, std::vector<std::string>(3, bytes)) << name;
        ws.host.SetTimer(100.25);
        click = ws.host.monotonic;
    }
}

TEST_F(Explosion, TwoRunsInARowLookTheSame) {
    form.Raise(&frmMain::Label_Click);
    ws.host.SetTimer(100.25);
    click = ws.host.monotonic;
    EXPECT_EQ(WatchFrames(), kFrames);
    ExpectWindowAsBefore();
}

TEST_F(Explosion, HidesListAndButtonsOnlyInTheRedPauseWithTheFocusOnTheWindow) {
    std::vector<bool> listShown;
    std::vector<std::optional<ControlId>> focus;
    for (int w = 0; w < 4; ++w) {
        During(w, [&] {
            const bool all = ws.surface()[ControlId::ListBox].visible &&
                             ws.surface()[ControlId::終了].visible &&
                             ws.surface()[ControlId::シャットダウン].visible &&
                             ws.surface()[ControlId::キャンセル].visible;
            listShown.push_back(all);
            focus.push_back(ws.focus);
        });
    }
    form.Raise(&frmMain::Label_Click);
    EXPECT_EQ(listShown, (std::vector<bool>{true, true, true, false}));
    EXPECT_EQ(focus, (std::vector<std::optional<ControlId>>{
                         ControlId::ListBox, ControlId::ListBox, ControlId::ListBox, {}}));
}

TEST_F(Explosion, WithTheBackgroundOnTakesItAwayForTheRedPauseAndBringsItBack) {
    form.Raise(&frmMain::Form_Click);
    ws.log.clear();
    Picture inPause = Picture::Swirl;
    During(3, [&] { inPause = ws.surface().WindowPicture(); });
    form.Raise(&frmMain::Label_Click);
    EXPECT_EQ(inPause, Picture::None);
    EXPECT_EQ(ws.surface().WindowPicture(), Picture::Swirl);
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
    ws.At(click + 4.5, [&] { seen = ws.surface().WindowPicture(); });
    form.Raise(&frmMain::Label_Click);
    EXPECT_EQ(seen, c.pictureInPause) << c.what;
    EXPECT_EQ(ws.surface().WindowPicture(), c.pictureAfter) << c.what;
    EXPECT_EQ(form.backgroundOn, c.flagAfter) << c.what;
    EXPECT_EQ(ws.surface().BackColor(), kButtonFace);
}

INSTANTIATE_TEST_SUITE_P(Table, ExplosionBackgroundClick,
                         testing::Values(PauseClick{"off: the picture shows over the red and stays",
                                                    false, Picture::Swirl, Picture::Swirl, kTrue16},
                                         PauseClick{"on: the window is left without a picture",
                                                    true, Picture::None, Picture::None, kFalse16}));

TEST_F(Explosion, ABackgroundClickInAnEarlierWaitTogglesAndIsPutBackAfter) {
    During(0, [&] { form.Raise(&frmMain::Form_Click); });
    Picture inPause = Picture::Swirl;
    During(3, [&] { inPause = ws.surface().WindowPicture(); });
    form.Raise(&frmMain::Label_Click);
    EXPECT_EQ(inPause, Picture::None);
    EXPECT_EQ(ws.surface().WindowPicture(), Picture::Swirl);
    EXPECT_EQ(form.backgroundOn, kTrue16);
}

TEST_F(Explosion, ListAndButtonsWorkInTheFirstWaits) {
    ws.listIndex = 1;
    During(0, [&] { form.Raise(&frmMain::ListBox_DblClick); });
    During(1, [&] { form.Raise(&frmMain::終了_Click); });
    form.Raise(&frmMain::Label_Click);
    EXPECT_EQ(ws.host.started, (std::vector<std::string>{"two", "two"}));
    ExpectWindowAsBefore();
}

TEST_F(Explosion, AModalBoxHoldsTheSequenceUntilItIsClosed) {
    ws.onMsgBox = [&](const MsgBoxCall&) {
        ws.host.monotonic += 10; // the user reads the box for ten seconds
        return kAnswerOk;
    };
    During(1, [&] { form.Raise(&frmMain::シャットダウン_Click); });
    form.Raise(&frmMain::Label_Click);
    ASSERT_EQ(ws.boxes.size(), 1u);
    ASSERT_EQ(ws.host.soundTimes.size(), 3u);
    // The second sound comes right after the box is closed, the rest follow from there.
    EXPECT_NEAR(ws.host.soundTimes[1] - click, 11.25, 0.01);
    ExpectWindowAsBefore();
}

TEST_F(Explosion, キャンセルInAWaitEndsAtOnceAndNothingElseRuns) {
    for (int w = 0; w < 3; ++w) {
        FakeWindowSystem fresh;
        fresh.host.files["C:\\Tools\\Setup.ini"] = {"a,1"};
        frmMain other(fresh, fresh.host);
        other.Raise(&frmMain::Form_Load);
        fresh.log.clear();
        const double start = fresh.host.monotonic;
        const double kMid[] = {0.4, 1.4, 2.4};
        fresh.At(start + kMid[w], [&] { other.Raise(&frmMain::キャンセル_Click); });
        try {
            other.Raise(&frmMain::Label_Click);
            FAIL() << "wait " << w << ": did not end";
        } catch (const ProgramEnd& end) {
            EXPECT_EQ(end.status, 0);
        }
        EXPECT_EQ(fresh.log.back(), "End 0");
        EXPECT_EQ(fresh.host.sounds.size(), static_cast<std::size_t>(w)) << "wait " << w;
    }
}

} // namespace
} // namespace pikorina::test
