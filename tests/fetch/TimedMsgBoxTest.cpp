#include "TimedMsgBox.h"

#include <QAbstractButton>
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

// The box counts down and presses the button of the given id at zero, unless answered first.
TEST_F(TimedMsgBoxTest, CountsDownAndPressesTheButtonWithTheGivenIdUnlessAnsweredFirst)
{
    using Act = std::function<void(QMessageBox*)>;
    const Act none, okAtFour = [](QMessageBox* box) {
        if (box->text() == Line(4))
            box->button(QMessageBox::Ok)->click();
    };
    const QStringList fromFive{Line(5), Line(4), Line(3), Line(2), Line(1)};
    const struct {
        const char* Case;
        int Seconds;
        bool Countdown;
        Act Acts;
        int SecondsAfter;
        QStringList Texts;    // the first ones shown
        QString TextAtClick;
    } cases[] = {
        {"the lone OK stands for Cancel", 5, true, none, 5, fromFive, Line(0)},
        {"zero seconds count from five", 0, true, none, 5, fromFive, Line(0)},
        // Counting up from below zero would never meet the end.
        {"negative seconds end at the first tick", -3, false, none, -3, {Message}, Message},
        {"the user's answer stops the count", 5, true, okAtFour, 5, {Line(5), Line(4)}, Line(4)},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.Case);
        BoxWatcher watch;
        watch.act = c.Acts;
        int seconds = c.Seconds;
        EXPECT_EQ(Show(64, Id::Cancel, seconds, c.Countdown), Id::Ok);
        EXPECT_EQ(seconds, c.SecondsAfter);
        EXPECT_EQ(watch.icon, QMessageBox::Information);
        EXPECT_EQ(watch.texts.mid(0, c.Texts.size()), c.Texts);
        EXPECT_EQ(std::pair(watch.textAtClick, watch.clicks), std::pair(c.TextAtClick, 1));
        EXPECT_EQ(TimedMsgBoxWindow(), nullptr);
    }
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
