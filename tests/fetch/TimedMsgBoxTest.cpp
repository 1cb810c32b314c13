#include "TimedMsgBox.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>
#include <QtTest/QTest>

#include <functional>

#include <gtest/gtest.h>

namespace {

const QString Before = QStringLiteral("\r\n\r\n(This message box will close in ");
const QString After = QStringLiteral(" seconds.)");
const QString Message = QStringLiteral("The tile could not be fetched.");

QString Line(int secondsLeft)
{
    return Message + QStringLiteral("\n\n(This message box will close in ") + QString::number(secondsLeft)
           + After;
}

// Watches the open box from the event loop: every text it shows, and the text at the moment
// a button is clicked. `act` runs on every look at the box (to answer it, say).
struct BoxWatcher {
    QStringList texts;
    QString textAtClick;
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int clicks = 0;
    std::function<void(QMessageBox*)> act;
    QTimer poll;

    BoxWatcher()
    {
        poll.setInterval(0);
        QObject::connect(&poll, &QTimer::timeout, [this] { Look(); });
        poll.start();
    }

    void Look()
    {
        QMessageBox* box = TimedMsgBoxWindow();
        if (!box || !box->isVisible())
            return;
        if (texts.isEmpty()) {
            title = box->windowTitle();
            icon = box->icon();
            for (QAbstractButton* b : box->buttons())
                QObject::connect(b, &QAbstractButton::clicked, [this, box] {
                    ++clicks;
                    textAtClick = box->text();
                });
        }
        if (texts.isEmpty() || texts.last() != box->text())
            texts << box->text();
        if (act)
            act(box);
    }
};

class TimedMsgBoxTest : public ::testing::Test {
protected:
    static constexpr int Tick = 100;   // long enough that the watcher sees every count under load
    void SetUp() override { SetTimedMsgBoxTickInterval(Tick); }
    void TearDown() override { SetTimedMsgBoxTickInterval(0); }
};

TEST_F(TimedMsgBoxTest, CountsDownAndPressesTheOkButtonForCancelId)
{
    BoxWatcher watch;
    int seconds = 5;
    const int result = ShowTimedMsgBox(nullptr, Message, 64, 2, QStringLiteral("Quiltmap"), true,
                                       seconds, Before, After);

    EXPECT_EQ(result, TimedMsgBoxIds::Ok);
    EXPECT_EQ(seconds, 5);
    EXPECT_EQ(watch.title, QStringLiteral("Quiltmap"));
    EXPECT_EQ(watch.icon, QMessageBox::Information);
    const QStringList expected{Line(5), Line(4), Line(3), Line(2), Line(1), Line(0)};
    EXPECT_EQ(watch.texts.mid(0, 5), expected.mid(0, 5));
    EXPECT_EQ(watch.textAtClick, Line(0));
    EXPECT_EQ(watch.clicks, 1);
    EXPECT_EQ(TimedMsgBoxWindow(), nullptr);
}

TEST_F(TimedMsgBoxTest, ZeroSecondsCountsFromFiveAndReturnsTheFive)
{
    BoxWatcher watch;
    int seconds = 0;
    ShowTimedMsgBox(nullptr, Message, 64, 2, QStringLiteral("Quiltmap"), true, seconds, Before, After);
    EXPECT_EQ(seconds, 5);
    ASSERT_FALSE(watch.texts.isEmpty());
    EXPECT_EQ(watch.texts.first(), Line(5));
    EXPECT_EQ(watch.textAtClick, Line(0));
}

TEST_F(TimedMsgBoxTest, ANegativeCountEndsAtTheFirstTick)
{
    // Counting up from below zero would never meet the end: the box would never close.
    BoxWatcher watch;
    int seconds = -3;
    EXPECT_EQ(ShowTimedMsgBox(nullptr, Message, 64, 2, QStringLiteral("Quiltmap"), false, seconds, Before, After),
              TimedMsgBoxIds::Ok);
    EXPECT_EQ(watch.clicks, 1);
}

TEST_F(TimedMsgBoxTest, WithoutCountdownShowsOnlyTheMessageAndStillCloses)
{
    BoxWatcher watch;
    int seconds = 3;
    const int result = ShowTimedMsgBox(nullptr, Message, 64, 2, QStringLiteral("Quiltmap"), false,
                                       seconds, Before, After);
    EXPECT_EQ(result, TimedMsgBoxIds::Ok);
    EXPECT_EQ(watch.texts, QStringList{Message});
}

TEST_F(TimedMsgBoxTest, CountdownPressesTheButtonWithTheGivenId)
{
    struct Case {
        int style;
        int buttonId;
        int expected;
        QMessageBox::Icon icon;
    };
    const Case cases[] = {
        {0, 1, TimedMsgBoxIds::Ok, QMessageBox::NoIcon},
        {1 | 0x30, 2, TimedMsgBoxIds::Cancel, QMessageBox::Warning},
        {1 | 0x40, 1, TimedMsgBoxIds::Ok, QMessageBox::Information},
        {4 | 0x20, 6, TimedMsgBoxIds::Yes, QMessageBox::Question},
        {4 | 0x10, 7, TimedMsgBoxIds::No, QMessageBox::Critical},
        {3, 2, TimedMsgBoxIds::Cancel, QMessageBox::NoIcon},
        {5, 4, TimedMsgBoxIds::Retry, QMessageBox::NoIcon},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "style " << c.style << " id " << c.buttonId);
        BoxWatcher watch;
        int seconds = 2;
        EXPECT_EQ(ShowTimedMsgBox(nullptr, Message, c.style, c.buttonId, QStringLiteral("Quiltmap"), true,
                                  seconds, Before, After),
                  c.expected);
        EXPECT_EQ(watch.icon, c.icon);
        EXPECT_EQ(watch.clicks, 1);
    }
}

TEST_F(TimedMsgBoxTest, UserAnswerBeforeTheEndWinsAndStopsTheCount)
{
    BoxWatcher watch;
    watch.act = [](QMessageBox* box) {
        if (box->text() == Line(4))
            box->button(QMessageBox::Yes)->click();
    };
    int seconds = 5;
    const int result = ShowTimedMsgBox(nullptr, Message, 4, 7, QStringLiteral("Quiltmap"), true, seconds,
                                       Before, After);
    EXPECT_EQ(result, TimedMsgBoxIds::Yes);
    EXPECT_EQ(watch.clicks, 1);
    EXPECT_EQ(watch.texts, (QStringList{Line(5), Line(4)}));

}

TEST_F(TimedMsgBoxTest, WithoutAButtonOfThatIdTheCountStopsAtZeroAndTheBoxStays)
{
    BoxWatcher watch;
    QElapsedTimer sinceZero;
    bool stillOpenAfterZero = false;
    watch.act = [&](QMessageBox* box) {
        if (box->text() != Line(0))
            return;
        if (!sinceZero.isValid())
            sinceZero.start();
        if (sinceZero.elapsed() > 5 * Tick) {
            stillOpenAfterZero = box->isVisible();
            box->button(QMessageBox::Ok)->click();
        }
    };
    int seconds = 2;
    const int result = ShowTimedMsgBox(nullptr, Message, 64, TimedMsgBoxIds::Yes,
                                       QStringLiteral("Quiltmap"), true, seconds, Before, After);
    EXPECT_TRUE(stillOpenAfterZero);
    EXPECT_EQ(result, TimedMsgBoxIds::Ok);
    EXPECT_EQ(watch.texts, (QStringList{Line(2), Line(1), Line(0)}));
    EXPECT_EQ(watch.clicks, 1);
}

TEST_F(TimedMsgBoxTest, ASecondBoxWhileOneIsOpenDoesNotDisturbTheFirst)
{
    BoxWatcher watch;
    int innerResult = 0;
    bool opened = false;
    watch.act = [&](QMessageBox*) {
        if (opened)
            return;
        opened = true;
        int inner = 2;
        innerResult = ShowTimedMsgBox(nullptr, QStringLiteral("inner"), 4, 7, QStringLiteral("Quiltmap"), true,
                                      inner, Before, After);
    };
    int seconds = 3;
    const int result = ShowTimedMsgBox(nullptr, Message, 4, 6, QStringLiteral("Quiltmap"), true, seconds,
                                       Before, After);
    EXPECT_EQ(innerResult, TimedMsgBoxIds::No);
    EXPECT_EQ(result, TimedMsgBoxIds::Yes);
    EXPECT_EQ(TimedMsgBoxWindow(), nullptr);
}

TEST(TimedMsgBoxRealTime, OneSecondBoxClosesAfterAboutOneSecond)
{
    SetTimedMsgBoxTickInterval(0);
    int seconds = 1;
    QElapsedTimer clock;
    clock.start();
    const int result = ShowTimedMsgBox(nullptr, Message, 64, 2, QStringLiteral("Quiltmap"), true, seconds,
                                       Before, After);
    EXPECT_EQ(result, TimedMsgBoxIds::Ok);
    EXPECT_GE(clock.elapsed(), 900);
    EXPECT_LT(clock.elapsed(), 5000);
}

}  // namespace
