#include "TimedMsgBox.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QTimer>

#include <functional>

#include <gtest/gtest.h>

namespace {

namespace Id = TimedMsgBoxIds;
const QString Message = "The tile could not be fetched.";

QString Line(int n) { return Message + "\n\n(This message box will close in " + QString::number(n) + " seconds.)"; }

// Watches the open box from the event loop: every text it shows, the text at a button's click,
// and the clicks. `act` runs on every look (to answer the box, say).
struct BoxWatcher {
    QStringList texts;
    QString textAtClick;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    int clicks = 0;
    std::function<void(QMessageBox*)> act;
    QTimer poll;
    BoxWatcher()
    {
        QObject::connect(&poll, &QTimer::timeout, [this] {
            QMessageBox* box = TimedMsgBoxWindow();
            if (!box || !box->isVisible())
                return;
            if (texts.isEmpty()) {
                icon = box->icon();
                for (QAbstractButton* b : box->buttons())
                    QObject::connect(b, &QAbstractButton::clicked, [=, this] { textAtClick = box->text(), ++clicks; });
            }
            if (texts.isEmpty() || texts.last() != box->text())
                texts << box->text();
            if (act)
                act(box);
        });
        poll.start(0);
    }
};

int Show(int style, int buttonId, int& seconds, bool countdown = true, const QString& message = Message)
{
    return ShowTimedMsgBox(nullptr, message, style, buttonId, "Quiltmap", countdown, seconds,
                           "\r\n\r\n(This message box will close in ", " seconds.)");
}

class TimedMsgBoxTest : public ::testing::Test {
protected:
    static constexpr int Tick = 100;  // long enough that the watcher sees every count under load
    void SetUp() override { SetTimedMsgBoxTickInterval(Tick); }
    void TearDown() override { SetTimedMsgBoxTickInterval(0); }
};

TEST_F(TimedMsgBoxTest, CountsDownAndPressesTheButtonWithTheGivenId)
{
    BoxWatcher watch;
    int seconds = 5;
    EXPECT_EQ(Show(64, Id::Cancel, seconds), Id::Ok);  // the lone OK stands for Cancel
    EXPECT_EQ(seconds, 5);
    EXPECT_EQ(watch.icon, QMessageBox::Information);
    EXPECT_EQ(watch.texts.mid(0, 5), (QStringList{Line(5), Line(4), Line(3), Line(2), Line(1)}));
    EXPECT_EQ(watch.textAtClick, Line(0));
    EXPECT_EQ(watch.clicks, 1);
    EXPECT_EQ(TimedMsgBoxWindow(), nullptr);
    const std::tuple<int, int, int, QMessageBox::Icon> cases[] = {  // style, button id, result, icon
        {1 | 0x30, 2, Id::Cancel, QMessageBox::Warning}, {4 | 0x10, 7, Id::No, QMessageBox::Critical},
        {4 | 0x20, 6, Id::Yes, QMessageBox::Question}, {5, 4, Id::Retry, QMessageBox::NoIcon}};
    for (const auto& [style, buttonId, result, icon] : cases) {
        BoxWatcher each;
        seconds = 1;
        EXPECT_EQ(Show(style, buttonId, seconds), result) << style;
        EXPECT_EQ(std::pair(each.icon, each.clicks), std::pair(icon, 1)) << style;
    }
}

TEST_F(TimedMsgBoxTest, ZeroSecondsCountFromFiveAndNegativeOnesEndAtTheFirstTick)
{
    BoxWatcher watch;
    int seconds = 0;
    Show(64, 2, seconds);
    EXPECT_EQ(seconds, 5);
    EXPECT_EQ(watch.texts.value(0), Line(5));
    EXPECT_EQ(watch.textAtClick, Line(0));
    BoxWatcher negative;  // counting up from below zero would never meet the end; no count-down line either
    seconds = -3;
    EXPECT_EQ(Show(64, 2, seconds, false), Id::Ok);
    EXPECT_EQ(negative.clicks, 1);
    EXPECT_EQ(negative.texts, QStringList{Message});
}

TEST_F(TimedMsgBoxTest, UserAnswerBeforeTheEndWinsAndStopsTheCount)
{
    BoxWatcher watch;
    watch.act = [](QMessageBox* box) {
        if (box->text() == Line(4))
            box->button(QMessageBox::Yes)->click();
    };
    int seconds = 5;
    EXPECT_EQ(Show(4, Id::No, seconds), Id::Yes);
    EXPECT_EQ(watch.clicks, 1);
    EXPECT_EQ(watch.texts, (QStringList{Line(5), Line(4)}));
}

TEST_F(TimedMsgBoxTest, WithoutAButtonOfThatIdTheCountStopsAtZeroAndTheBoxStays)
{
    BoxWatcher watch;
    QElapsedTimer sinceZero;
    bool stillOpenAfterZero = false;
    watch.act = [&](QMessageBox* box) {
        if (box->text() == Line(0) && !sinceZero.isValid())
            sinceZero.start();
        if (sinceZero.isValid() && sinceZero.elapsed() > 5 * Tick)
            stillOpenAfterZero = box->isVisible(), box->button(QMessageBox::Ok)->click();
    };
    int seconds = 2;
    EXPECT_EQ(Show(64, Id::Yes, seconds), Id::Ok);
    EXPECT_TRUE(stillOpenAfterZero);
    EXPECT_EQ(watch.texts, (QStringList{Line(2), Line(1), Line(0)}));
}

TEST_F(TimedMsgBoxTest, ASecondBoxWhileOneIsOpenDoesNotDisturbTheFirst)
{
    BoxWatcher watch;
    int innerResult = 0, inner = 2;
    watch.act = [&](QMessageBox*) {
        if (innerResult == 0)
            innerResult = -1, innerResult = Show(4, Id::No, inner, true, "inner");
    };
    int seconds = 3;
    EXPECT_EQ(Show(4, Id::Yes, seconds), Id::Yes);
    EXPECT_EQ(innerResult, Id::No);
    EXPECT_EQ(TimedMsgBoxWindow(), nullptr);
}

}  // namespace
