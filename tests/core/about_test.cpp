#include "app/design.h"
#include "app/errors.h"
#include "app/frmMain.h"
#include "fake_window_system.h"
#include "thrown.h"

#include <gtest/gtest.h>

namespace pikorina::test {
namespace {

TEST(About, シャットダウンShowsOnlyTheInformationBox) {
    FakeWindowSystem ws;
    frmMain form(ws, ws.host);
    form.Raise(&frmMain::シャットダウン_Click);
    ASSERT_EQ(ws.boxes.size(), 1u);
    EXPECT_EQ(ws.boxes[0].title, "ﾊﾞｰﾁｬﾝ情報");
    EXPECT_EQ(ws.boxes[0].style, kMbInformation);
    // Three lines, separated by lone carriage returns; full-width point in the version.
    EXPECT_EQ(ws.boxes[0].text, "ソフト名：ピコリナ\rﾊﾞｰｼﾞｮﾝ：2\xEF\xBC\x8E"
                                "00\r作者：汐見 縫");
    EXPECT_EQ(ws.log, std::vector<std::string>{"MsgBox ﾊﾞｰﾁｬﾝ情報"});
}

TEST(About, キャンセルEndsAtOnceWithStatusZero) {
    FakeWindowSystem ws;
    frmMain form(ws, ws.host);
    try {
        form.Raise(&frmMain::キャンセル_Click);
        FAIL() << "did not end";
    } catch (const ProgramEnd& end) {
        EXPECT_EQ(end.status, 0);
    }
    EXPECT_TRUE(ws.boxes.empty());
}

TEST(FailureReport, ShowsNumberTextAndFileOnItsOwnLine) {
    EXPECT_EQ(ReportText(RuntimeError(53, "/opt/p/Setup.ini")),
              "実行時エラー '53':\r\n\r\nファイルが見つかりません。\r\n/opt/p/Setup.ini");
    EXPECT_EQ(ReportText(RuntimeError(6)), "実行時エラー '6':\r\n\r\nオーバーフローしました。");
}

TEST(FailureReport, HasATextForEveryErrorTheProgramRaises) {
    const std::pair<int, std::string_view> rows[] = {
        {6, "オーバーフローしました。"},    {9, "インデックスが有効範囲にありません。"},
        {53, "ファイルが見つかりません。"}, {62, "ファイルにこれ以上データがありません。"},
        {70, "書き込みできません。"},       {75, "パス名が無効です。"},
        {76, "パスが見つかりません。"},     {381, "プロパティの配列のインデックスが無効です。"},
    };
    for (const auto& [number, text] : rows)
        EXPECT_EQ(ErrorText(number), text) << number;
}

TEST(FailureReport, AnUntrappedFailureInAHandlerIsReportedThenEndsWithStatusOne) {
    FakeWindowSystem ws;
    ws.host.SetTimer(100);
    frmMain form(ws, ws.host);
    // The overflow of a wait is not trapped anywhere: it reaches the dispatch.
    struct Overflowing : frmMain {
        using frmMain::frmMain;
        void Wait() { 時間待ち(2147483647); }
    } overflowing(ws, ws.host);
    try {
        overflowing.Raise(static_cast<frmMain::Handler>(&Overflowing::Wait));
        FAIL() << "did not end";
    } catch (const ProgramEnd& end) {
        EXPECT_EQ(end.status, 1);
    }
    ASSERT_EQ(ws.boxes.size(), 1u);
    EXPECT_EQ(ws.boxes[0].title, "ピコリナ");
    EXPECT_EQ(ws.boxes[0].text, "実行時エラー '6':\r\n\r\nオーバーフローしました。");
}

// The handler here is the information box's, and the box is what throws.
TEST(FailureReport, WhateverAHandlerThrowsIsReportedOnceAndEndsWithStatusOne) {
    for (const ThrownKind& kind : kThrownKinds) {
        SCOPED_TRACE(kind.what);
        FakeWindowSystem ws;
        frmMain form(ws, ws.host);
        ws.onMsgBox = [&kind](const MsgBoxCall& box) {
            if (box.title != kReportTitle) kind.raise();
            return kAnswerOk;
        };
        try {
            form.Raise(&frmMain::シャットダウン_Click);
            ADD_FAILURE() << "did not end";
        } catch (const ProgramEnd& end) {
            EXPECT_EQ(end.status, 1);
        }
        ASSERT_EQ(ws.boxes.size(), 2u);
        EXPECT_EQ(ws.boxes[1].title, "ピコリナ");
        EXPECT_TRUE(ws.boxes[1].text.starts_with("実行時エラー '" + std::to_string(kind.number) +
                                                 "':\r\n\r\n"))
            << ws.boxes[1].text;
    }
}

TEST(FailureReport, AFailureWhileTheWindowIsCreatedIsReportedBeforeAnythingLoadsOrShows) {
    struct Failing : FakeWindowSystem {
        void Create() override { throw std::bad_alloc(); }
    } ws;
    frmMain form(ws, ws.host);
    try {
        ws.Start(form);
        ADD_FAILURE() << "did not end";
    } catch (const ProgramEnd& end) {
        EXPECT_EQ(end.status, 1);
    }
    EXPECT_EQ(ws.log, (std::vector<std::string>{"MsgBox ピコリナ", "End 1"}));
    ASSERT_EQ(ws.boxes.size(), 1u);
    EXPECT_TRUE(ws.boxes[0].text.starts_with("実行時エラー '7':")) << ws.boxes[0].text;
}

TEST(Background, EachClickOnTheBareWindowSwitchesThePicture) {
    FakeWindowSystem ws;
    frmMain form(ws, ws.host);
    EXPECT_EQ(form.backgroundOn, kFalse16);
    const Picture expected[] = {Picture::Swirl, Picture::None, Picture::Swirl};
    const Boolean16 flags[] = {kTrue16, kFalse16, kTrue16};
    for (int i = 0; i < 3; ++i) {
        form.Raise(&frmMain::Form_Click);
        EXPECT_EQ(ws.surface().WindowPicture(), expected[i]) << "click " << i + 1;
        EXPECT_EQ(form.backgroundOn, flags[i]) << "click " << i + 1;
    }
    EXPECT_EQ(ws.log,
              (std::vector<std::string>{"SetPicture frmMain Back_1", "SetPicture frmMain Back_2",
                                        "SetPicture frmMain Back_1"}));
}

TEST(Design, TheRunTimeClientAreaIs369By238PixelsAt96Dpi) {
    EXPECT_EQ(TwipsToPixels(ClientWidthFor(5625), 96), 369);
    EXPECT_EQ(TwipsToPixels(ClientHeightFor(3945), 96), 238);
    // Twips to pixels at other densities, rounded to the nearest pixel.
    const std::tuple<Twips, int, int> rows[] = {{15, 96, 1},  {5535, 144, 554}, {7, 96, 0},
                                                {8, 96, 1},   {1440, 120, 120}, {293, 96, 20},
                                                {-15, 96, -1}};
    for (const auto& [twips, dpi, px] : rows) {
        EXPECT_EQ(TwipsToPixels(twips, dpi), px) << twips << " twips at " << dpi;
    }
}

} // namespace
} // namespace pikorina::test
