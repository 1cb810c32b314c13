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

// The box counts down and presses the button of the given id at zero, unless answered first.
TEST(TimedMsgBoxTest, CountsDownAndPressesTheButtonWithTheGivenIdUnlessAnsweredFirst)
{
    SetTimedMsgBoxTickInterval(100);  // long enough that the watcher sees every count under load
    using Act = std::function<void(QMessageBox*)>;
    const Act none, okAtFour = [](QMessageBox* box) {
        if (box->text() == Line(4))
            box->button(QMessageBox::Ok)->click();
    };
    const QStringList fromFive{Line(5), Line(4), Line(3), Line(2), Line(1)};
    // Texts: the first ones shown.
    const struct { const char* Case; int Seconds; bool Countdown; Act Acts; int SecondsAfter; QStringList Texts; QString TextAtClick; } cases[] = {
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
        EXPECT_EQ(ShowTimedMsgBox(nullptr, Message, 64, Id::Cancel, "Quiltmap", c.Countdown, seconds,
                                  "\r\n\r\n(This message box will close in ", " seconds.)"), Id::Ok);
        EXPECT_EQ(std::tuple(seconds, watch.icon), std::tuple(c.SecondsAfter, QMessageBox::Information));
        EXPECT_EQ(watch.texts.mid(0, c.Texts.size()), c.Texts);
        EXPECT_EQ(std::pair(watch.textAtClick, watch.clicks), std::pair(c.TextAtClick, 1));
        EXPECT_EQ(TimedMsgBoxWindow(), nullptr);
    }
    SetTimedMsgBoxTickInterval(0);
}

}  // namespace
