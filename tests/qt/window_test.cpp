// The real window: what it looks like, how keys and clicks reach its handlers.
#include "qt_fixture.h"
#include "thrown.h"

#include <QAccessible>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>

namespace pikorina::qt::test {
namespace {

int Px(Twips t) {
    return TwipsToPixels(t, 96);
}

class Look : public QtWindow {};

TEST_F(Look, TheClientAreaAndEveryControlSitWhereTheDesignPutsThem) {
    Start("\"一\",one\r\n");
    EXPECT_EQ(window->size(), QSize(369, 238));
    EXPECT_EQ(window->minimumSize(), window->maximumSize()) << "the user could resize it";
    const struct {
        ControlId id;
        QRect rect;
    } rows[] = {
        {ControlId::終了, {Px(170), Px(3020), Px(1655), Px(293)}},
        {ControlId::キャンセル, {Px(3725), Px(3020), Px(1655), Px(310)}},
        {ControlId::シャットダウン, {Px(1955), Px(3020), Px(1635), Px(310)}},
        {ControlId::ListBox, {Px(180), Px(120), Px(5125), Px(1860)}},
        {ControlId::Label, {Px(240), Px(2280), Px(5055), Px(630)}},
        {ControlId::Donpa, {Px(1800), Px(720), Px(1920), Px(1920)}},
        // Without stretch an image is as large as its 32 x 32 picture.
        {ControlId::Donpa_1, {Px(3000), Px(1920), 32, 32}},
        {ControlId::Donpa_2, {Px(3480), Px(1920), 32, 32}},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(window->ControlRect(row.id), row.rect) << Design(row.id).name;
        if (QWidget* w = Child(Design(row.id).name.data())) {
            EXPECT_EQ(w->geometry(), row.rect) << Design(row.id).name;
            EXPECT_TRUE(w->isVisible()) << Design(row.id).name;
        }
    }
    for (ControlId image : {ControlId::Back_1, ControlId::Back_2, ControlId::Donpa,
                            ControlId::Donpa_1, ControlId::Donpa_2}) {
        EXPECT_FALSE(window->IsShown(image)) << Design(image).name;
    }
}

TEST_F(Look, CaptionsAndTitleAreExact) {
    Start("\"一\",one\r\n");
    EXPECT_EQ(window->windowTitle(), "プログラムの強制終了");
    const std::pair<const char*, const char*> captions[] = {
        {"終了", "終了(&E)"},
        {"シャットダウン", "シャットダウン(&S)"},
        {"キャンセル", "キャンセル"}};
    for (const auto& [name, caption] : captions) {
        auto* button = qobject_cast<QPushButton*>(Child(name));
        ASSERT_NE(button, nullptr) << name;
        EXPECT_EQ(button->text(), QString::fromUtf8(caption));
    }
    EXPECT_TRUE(qobject_cast<QPushButton*>(Child("終了"))->isDefault());
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_FALSE(window->windowFlags() & Qt::WindowMinimizeButtonHint);
}

TEST_F(Look, TheListShowsTheEntriesInFileOrderWithTheFirstSelected) {
    Start("\"c\",1\r\n\"a\",2\r\n\"目玉, 大きめ\",3\r\n\"a\",4\r\n");
    auto* list = qobject_cast<QListWidget*>(Child("ListBox"));
    ASSERT_NE(list, nullptr);
    QStringList items;
    for (int i = 0; i < list->count(); ++i)
        items << list->item(i)->text();
    EXPECT_EQ(items, (QStringList{"c", "a", "目玉, 大きめ", "a"}));
    EXPECT_EQ(list->currentRow(), 0);
    EXPECT_TRUE(list->item(0)->isSelected());
}

TEST_F(Look, TheWarningTextIsBlackOnButtonFaceAndWrapsOverSeveralLines) {
    Start("\"一\",one\r\n");
    const QImage image = Grab();
    const QRect label = window->ControlRect(ControlId::Label);
    const QColor face = window->palette().color(QPalette::Button);
    // Count the rows of the label that hold dark text pixels, grouped into lines.
    int lines = 0;
    bool inLine = false;
    for (int y = label.top(); y <= label.bottom(); ++y) {
        bool dark = false;
        for (int x = label.left(); x <= label.right() && !dark; ++x) {
            dark = qGray(image.pixel(x, y)) < 80;
        }
        if (dark && !inLine) ++lines;
        inLine = dark;
    }
    EXPECT_EQ(lines, 3);
    EXPECT_EQ(image.pixelColor(label.right() - 2, label.bottom() - 1), face);
}

// The font is the first of the design's faces that is installed; the text must look exactly as
// Qt draws it given the design's whole list of faces.
TEST_F(Look, TheWarningTextLooksAsInTheDesignsWholeListOfFaces) {
    Start("\"一\",one\r\n");
    const QRect label = window->ControlRect(ControlId::Label);
    const QImage chosen = Grab().copy(label);
    QFont whole = window->findChild<QLabel*>()->font();
    QStringList faces;
    for (std::string_view face : kLabelFont.faces)
        faces << ToQString(face);
    whole.setFamilies(faces);
    window->findChild<QLabel*>()->setFont(whole);
    EXPECT_EQ(Grab().copy(label), chosen);
}

TEST_F(Look, TheBackColourReadsBackUnchangedAndRedPaintsPureRed) {
    Start("\"一\",one\r\n");
    EXPECT_EQ(window->BackColor(), kButtonFace);
    const QPoint bare(2, 2);
    EXPECT_EQ(Grab().pixelColor(bare), window->palette().color(QPalette::Button));
    window->SetBackColor(kRed);
    EXPECT_EQ(window->BackColor(), kRed);
    EXPECT_EQ(Grab().pixelColor(bare), QColor(255, 0, 0));
    window->SetBackColor(0x00FF8000); // blue 255, green 128, red 0
    EXPECT_EQ(Grab().pixelColor(bare), QColor(0, 128, 255));
    window->SetBackColor(kButtonFace);
    EXPECT_EQ(window->BackColor(), kButtonFace);
}

// A screen reader finds the warning text as a static text between the list and the buttons,
// which come in the order Tab visits them, each as its widget's own interface.
TEST_F(Look, AScreenReaderFindsTheWarningTextBetweenTheListAndTheButtons) {
    Start("\"一\",one\r\n");
    QAccessibleInterface* dialog = QAccessible::queryAccessibleInterface(window.get());
    const char* widgets[] = {"ListBox", "Label", "シャットダウン", "キャンセル", "終了"};
    ASSERT_EQ(dialog->childCount(), 5);
    for (int i = 0; i < 5; ++i) {
        QAccessibleInterface* part = dialog->child(i);
        EXPECT_EQ(part->object(), Child(widgets[i])) << i;
        EXPECT_EQ(part->parent(), dialog) << i;
        EXPECT_EQ(dialog->indexOfChild(part), i);
        const QPoint centre = part->rect().center();
        EXPECT_EQ(dialog->childAt(centre.x(), centre.y()), part) << i;
    }
    QAccessibleInterface* text = dialog->child(1);
    EXPECT_EQ(text->role(), QAccessible::StaticText);
    EXPECT_EQ(text->text(QAccessible::Name).toStdString(),
              "警告 : Ctrl+Alt+Delキーをもう一度押すとコンピュータが再起動します。その場合､"
              "実行中のプログラムで保存されていないデータはすべて失われます。");
    EXPECT_EQ(text->rect(), QRect(window->mapToGlobal(QPoint(16, 152)), QSize(337, 42)));
}

class Keys : public QtWindow {
  protected:
    void StartWithMarkers() {
        const QByteArray mark = MarkerProgram().toUtf8();
        Start("\"一\"," + mark + " " + Path("first").toUtf8() + " a\r\n\"二\"," + mark + " " +
              Path("second").toUtf8() + " 'b c'\r\n\"三\"," + mark + " " + Path("third").toUtf8() +
              " d\r\n");
    }
    QWidget* Focused() const { return QApplication::focusWidget(); }
};

TEST_F(Keys, FocusStartsOnTheListAndTabGoesRoundInOrder) {
    Start("\"一\",one\r\n");
    ASSERT_NE(Focused(), nullptr);
    EXPECT_EQ(Focused()->objectName(), "ListBox");
    QStringList order;
    for (int i = 0; i < 4; ++i) {
        QTest::keyClick(Focused(), Qt::Key_Tab);
        order << Focused()->objectName();
    }
    EXPECT_EQ(order, (QStringList{"シャットダウン", "キャンセル", "終了", "ListBox"}));
}

TEST_F(Keys, EnterInTheListStartsTheFirstEntryRightAfterStart) {
    StartWithMarkers();
    QTest::keyClick(Focused(), Qt::Key_Return);
    EXPECT_EQ(WaitForMarker("first"), QStringList{"a"});
    EXPECT_TRUE(boxes.empty());
    EXPECT_TRUE(window->isVisible());
}

TEST_F(Keys, DownThenEnterStartsTheSecondWithItsQuotedArgument) {
    StartWithMarkers();
    QTest::keyClick(Focused(), Qt::Key_Down);
    QTest::keyClick(Focused(), Qt::Key_Return);
    EXPECT_EQ(WaitForMarker("second"), QStringList{"b c"});
}

TEST_F(Keys, AltEPresses終了) {
    StartWithMarkers();
    QTest::keyClick(Focused(), Qt::Key_E, Qt::AltModifier);
    EXPECT_EQ(WaitForMarker("first"), QStringList{"a"});
}

TEST_F(Keys, DoubleClickOnTheThirdItemStartsIt) {
    StartWithMarkers();
    auto* list = qobject_cast<QListWidget*>(Child("ListBox"));
    const QPoint at = list->visualItemRect(list->item(2)).center();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(WaitForMarker("third"), QStringList{"d"});
    EXPECT_EQ(list->currentRow(), 2);
}

TEST_F(Keys, AltSShowsTheInformationBoxOnly) {
    Start("\"一\",one\r\n");
    QTest::keyClick(Focused(), Qt::Key_S, Qt::AltModifier);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.empty(); }, 2000));
    EXPECT_EQ(boxes[0].title, "ﾊﾞｰﾁｬﾝ情報");
    EXPECT_EQ(boxes[0].style, kMbInformation);
    EXPECT_EQ(boxes[0].text, "ソフト名：ピコリナ\rﾊﾞｰｼﾞｮﾝ：2．00\r作者：汐見 縫");
    EXPECT_TRUE(window->isVisible());
}

// As on Windows, an access key's button takes the focus as it is pressed: Tab goes on from it,
// and Enter after that presses what Tab reached, not the button focused before.
struct AccessKeyRow {
    Qt::Key key;
    const char* button;
    const char* afterTab;
};
std::ostream& operator<<(std::ostream& os, const AccessKeyRow& row) {
    return os << "Alt+" << QKeySequence(row.key).toString().toStdString();
}

class AccessKeys : public Keys, public testing::WithParamInterface<AccessKeyRow> {};

TEST_P(AccessKeys, PressTheirButtonWhichTakesTheFocus) {
    const AccessKeyRow& row = GetParam();
    StartWithMarkers();
    QTest::keyClick(Focused(), row.key, Qt::AltModifier);
    // The press itself: the first entry started, or the information box.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !boxes.empty() || QFile::exists(Path("first")); }));
    ASSERT_NE(Focused(), nullptr);
    EXPECT_EQ(Focused()->objectName(), row.button);
    QTest::keyClick(Focused(), Qt::Key_Tab);
    EXPECT_EQ(Focused()->objectName(), row.afterTab);
}

INSTANTIATE_TEST_SUITE_P(Table, AccessKeys,
                         testing::Values(AccessKeyRow{Qt::Key_E, "終了", "ListBox"},
                                         AccessKeyRow{Qt::Key_S, "シャットダウン", "キャンセル"}));

// Ending the program ends the process, so each of these runs in a copy of the test program.
TEST_F(Keys, EscEndsTheProgramWithStatusZero) {
    EXPECT_EXIT(
        {
            Start("\"一\",one\r\n");
            QTest::keyClick(Focused(), Qt::Key_Escape);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(Keys, ClickingキャンセルOrClosingTheWindowEndsWithStatusZero) {
    EXPECT_EXIT(
        {
            Start("\"一\",one\r\n");
            QTest::mouseClick(Child("キャンセル"), Qt::LeftButton);
        },
        testing::ExitedWithCode(0), "");
    EXPECT_EXIT(
        {
            Start("\"一\",one\r\n");
            window->close();
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(Keys, AFailedLoadReportsAndEndsWithStatusOneBeforeShowing) {
    EXPECT_EXIT(
        {
            Window::msgBoxSeam = [](std::string_view text, int, std::string_view title) {
                std::fprintf(stderr, "[%s] %s\n", std::string(title).c_str(),
                             std::string(text).c_str());
                return kAnswerOk;
            };
            Start("\"一\"", false);
        },
        testing::ExitedWithCode(1), "\\[ピコリナ\\] 実行時エラー '62'");
}

// A real click on a real button: what its handler throws is reported, and nothing reaches Qt.
TEST_F(Keys, WhateverAHandlerThrowsIsReportedAndEndsWithStatusOne) {
    for (const pikorina::test::ThrownKind& kind : pikorina::test::kThrownKinds) {
        SCOPED_TRACE(kind.what);
        EXPECT_EXIT(
            {
                Start("\"一\",one\r\n");
                Window::msgBoxSeam = [&kind](std::string_view text, int, std::string_view title) {
                    if (title != kReportTitle) kind.raise();
                    std::fprintf(stderr, "%s\n", std::string(text).c_str());
                    return kAnswerOk;
                };
                QTest::mouseClick(Child("シャットダウン"), Qt::LeftButton);
            },
            testing::ExitedWithCode(1), "実行時エラー '" + std::to_string(kind.number) + "'");
    }
}

class Clicks : public QtWindow {
  protected:
    void Click(QPoint at) { QTest::mouseClick(window.get(), Qt::LeftButton, {}, at); }
};

TEST_F(Clicks, OnTheBareWindowSwitchTheBackgroundPicture) {
    Start("\"一\",one\r\n");
    const QPoint bare(2, 2);
    const QColor face = Grab().pixelColor(bare);
    Click({360, 225});
    EXPECT_EQ(form->backgroundOn, kTrue16);
    EXPECT_EQ(window->WindowPicture(), Picture::Swirl);
    EXPECT_NE(Grab().pixelColor(bare), face);
    Click({360, 225});
    EXPECT_EQ(form->backgroundOn, kFalse16);
    EXPECT_EQ(Grab().pixelColor(bare), face);
}

TEST_F(Clicks, ADoubleClickIsOneClick) {
    Start("\"一\",one\r\n");
    // What the window system delivers for two quick clicks: press, release, then the second
    // press followed by the double-click, and the release.
    const QPoint at(360, 225);
    QTest::mouseClick(window.get(), Qt::LeftButton, {}, at);
    QTest::mousePress(window.get(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(window.get(), Qt::LeftButton, {}, at);
    QTest::mouseRelease(window.get(), Qt::LeftButton, {}, at);
    EXPECT_EQ(form->backgroundOn, kTrue16);
}

TEST_F(Clicks, OnTheListOrAButtonDoNotSwitchIt) {
    Start("\"一\",one\r\n");
    QTest::mouseClick(qobject_cast<QListWidget*>(Child("ListBox"))->viewport(), Qt::LeftButton);
    QTest::mouseClick(Child("シャットダウン"), Qt::LeftButton);
    EXPECT_EQ(form->backgroundOn, kFalse16);
    EXPECT_EQ(boxes.size(), 1u);
}

TEST_F(Clicks, OnTheWarningTextSetOffTheWholeExplosion) {
    Start("\"一\",one\r\n");
    const QPoint bare(2, 2);
    const QImage before = Grab();
    struct Seen {
        bool labelShown, donpaShown, listShown;
        bool labelRead; // a screen reader finds it shown, or under the point where it lies
        QColor bare;
        Picture donpa;
        QWidget* focus;
    };
    std::vector<Seen> seen;
    int runs = 0;
    QAccessibleInterface* dialog = QAccessible::queryAccessibleInterface(window.get());
    const QPoint text = window->mapToGlobal(window->ControlRect(ControlId::Label).center());
    auto look = [&] {
        seen.push_back({window->IsShown(ControlId::Label), window->IsShown(ControlId::Donpa),
                        window->IsShown(ControlId::ListBox),
                        !dialog->child(1)->state().invisible ||
                            dialog->childAt(text.x(), text.y()) == dialog->child(1),
                        Grab().pixelColor(bare), window->PictureOf(ControlId::Donpa),
                        QApplication::focusWidget()});
    };
    // While the first wait runs: look, then click where the hidden text was (outside the
    // picture) and on the picture itself.
    QTimer::singleShot(300, window.get(), [&] {
        look();
        ++runs;
        Click(window->ControlRect(ControlId::Label).topLeft() + QPoint(10, 10));
        Click(Centre(ControlId::Donpa));
    });
    // In the red pause, once the window has turned red: when that is depends on the click's
    // place in its second, and on how long the sound takes to load.
    QTimer red;
    QObject::connect(&red, &QTimer::timeout, window.get(), [&] {
        if (window->BackColor() != kRed || seen.size() != 1) return;
        red.stop();
        look();
    });
    red.start(10);
    Click(Centre(ControlId::Label));
    look(); // after the run

    ASSERT_EQ(seen.size(), 3u);
    EXPECT_FALSE(seen[0].labelShown);
    EXPECT_FALSE(seen[0].labelRead);
    EXPECT_TRUE(seen[2].labelRead);
    EXPECT_TRUE(seen[0].donpaShown);
    EXPECT_EQ(seen[0].donpa, Picture::Dynamite);
    EXPECT_TRUE(seen[0].listShown);
    EXPECT_EQ(seen[1].bare, QColor(255, 0, 0)) << "the background picture was switched on";
    EXPECT_FALSE(seen[1].listShown);
    EXPECT_EQ(seen[1].donpa, Picture::Burst);
    // No hidden button holds the focus in the red pause, or Enter would press it unseen.
    EXPECT_EQ(seen[1].focus, window.get());
    EXPECT_EQ(seen[2].focus, Child("ListBox"));
    EXPECT_TRUE(seen[2].labelShown);
    EXPECT_FALSE(seen[2].donpaShown);
    EXPECT_TRUE(seen[2].listShown);
    // The click where the text was switched the background on; the one on the picture did
    // nothing; neither started a second run.
    EXPECT_EQ(form->backgroundOn, kTrue16);
    EXPECT_EQ(window->WindowPicture(), Picture::Swirl);
    EXPECT_EQ(window->BackColor(), kButtonFace);
    EXPECT_EQ(window->PictureOf(ControlId::Donpa), Picture::Dynamite);
    EXPECT_EQ(runs, 1);
    form->Form_Click();
    EXPECT_TRUE(Grab() == before) << "the window does not look as before the click";
}

class MessageBoxes : public QtWindow {};

TEST_F(MessageBoxes, AreRealModalBoxesWithJapaneseButtonsAndTheExactText) {
    Start("\"一\",one\r\n");
    Window::msgBoxSeam = nullptr;
    struct Row {
        int style;
        QMessageBox::Icon icon;
        QStringList buttons;
        int press; // index into buttons
        int answer;
    } rows[] = {
        {kMbInformation, QMessageBox::Information, {"OK"}, 0, kAnswerOk},
        {kMbOkCancel, QMessageBox::NoIcon, {"OK", "キャンセル"}, 1, kAnswerCancel},
        {kMbOkCancel, QMessageBox::NoIcon, {"OK", "キャンセル"}, 0, kAnswerOk},
    };
    for (const Row& row : rows) {
        QString title, text;
        QStringList buttons;
        QMessageBox::Icon icon{};
        QTimer::singleShot(50, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            if (!box) return;
            title = box->windowTitle();
            text = box->text();
            icon = box->icon();
            for (QAbstractButton* b : box->buttons())
                buttons << b->text();
            buttons.sort();
            QAbstractButton* press = nullptr;
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == row.buttons[row.press]) press = b;
            }
            if (press) press->click();
        });
        const int answer = window->MsgBox("一行目\r二行目\r\n\r\n四行目", row.style, "題");
        EXPECT_EQ(title, "題");
        EXPECT_EQ(text, "一行目\n二行目\n\n四行目");
        EXPECT_EQ(icon, row.icon);
        QStringList expected = row.buttons;
        expected.sort();
        EXPECT_EQ(buttons, expected);
        EXPECT_EQ(answer, row.answer);
    }
}

} // namespace
} // namespace pikorina::qt::test
