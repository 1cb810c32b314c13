#include "TimedMsgBox.h"

#include <QAbstractButton>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

#include <utility>
#include <vector>

namespace {

constexpr int DefaultSeconds = 5;
constexpr int DefaultTickMilliseconds = 1000;

int gTickMilliseconds = DefaultTickMilliseconds;
QPointer<QMessageBox> gBox;

struct BoxButton {
    QMessageBox::StandardButton button;
    int id;
};

// The button sets of the Windows style flags (low four bits), in the Windows order.
std::vector<BoxButton> ButtonsForStyle(int style)
{
    switch (style & 0xF) {
    case 1:
        return {{QMessageBox::Ok, TimedMsgBoxIds::Ok}, {QMessageBox::Cancel, TimedMsgBoxIds::Cancel}};
    case 2:
        return {{QMessageBox::Abort, TimedMsgBoxIds::Abort},
                {QMessageBox::Retry, TimedMsgBoxIds::Retry},
                {QMessageBox::Ignore, TimedMsgBoxIds::Ignore}};
    case 3:
        return {{QMessageBox::Yes, TimedMsgBoxIds::Yes},
                {QMessageBox::No, TimedMsgBoxIds::No},
                {QMessageBox::Cancel, TimedMsgBoxIds::Cancel}};
    case 4:
        return {{QMessageBox::Yes, TimedMsgBoxIds::Yes}, {QMessageBox::No, TimedMsgBoxIds::No}};
    case 5:
        return {{QMessageBox::Retry, TimedMsgBoxIds::Retry},
                {QMessageBox::Cancel, TimedMsgBoxIds::Cancel}};
    default:
        return {{QMessageBox::Ok, TimedMsgBoxIds::Ok}};
    }
}

QMessageBox::Icon IconForStyle(int style)
{
    switch (style & 0xF0) {
    case 0x10: return QMessageBox::Critical;
    case 0x20: return QMessageBox::Question;
    case 0x30: return QMessageBox::Warning;
    case 0x40: return QMessageBox::Information;
    default: return QMessageBox::NoIcon;
    }
}

QString BoxText(const QString& message, bool showCountdown, int secondsLeft, const QString& before,
                const QString& after)
{
    QString text = message;
    if (showCountdown)
        text += before + QString::number(secondsLeft) + after;
    // Callers write Windows line ends; a label wants plain ones.
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text;
}

}  // namespace

QMessageBox* TimedMsgBoxWindow()
{
    return gBox.data();
}

void SetTimedMsgBoxTickInterval(int milliseconds)
{
    gTickMilliseconds = milliseconds > 0 ? milliseconds : DefaultTickMilliseconds;
}

int ShowTimedMsgBox(QWidget* form, const QString& message, int style, int buttonId,
                    const QString& title, bool showCountdown, int& seconds,
                    const QString& before, const QString& after)
{
    if (seconds == 0)
        seconds = DefaultSeconds;
    const int total = seconds;

    QMessageBox box(IconForStyle(style), title, BoxText(message, showCountdown, total, before, after),
                    QMessageBox::NoButton, form);
    box.setTextFormat(Qt::PlainText);

    const std::vector<BoxButton> buttons = ButtonsForStyle(style);
    std::vector<std::pair<QAbstractButton*, int>> ids;
    for (const BoxButton& b : buttons)
        ids.emplace_back(box.addButton(b.button), b.id);
    const std::size_t defaultIndex = static_cast<std::size_t>((style >> 8) & 0xF);
    if (defaultIndex < ids.size())
        box.setDefaultButton(static_cast<QPushButton*>(ids[defaultIndex].first));

    // Like the Windows box, the lone OK button also stands for Cancel (what Escape sends).
    QAbstractButton* target = nullptr;
    for (const auto& [button, id] : ids)
        if (id == buttonId)
            target = button;
    if (!target && ids.size() == 1 && ids.front().second == TimedMsgBoxIds::Ok
        && buttonId == TimedMsgBoxIds::Cancel)
        target = ids.front().first;

    int elapsed = 0;
    QTimer timer;
    timer.setInterval(gTickMilliseconds);
    QObject::connect(&timer, &QTimer::timeout, &box, [&] {
        ++elapsed;
        if (showCountdown)
            box.setText(BoxText(message, showCountdown, total - elapsed, before, after));
        if (elapsed < total)
            return;
        timer.stop();
        if (!target)
            return;  // nothing to press: the box waits for the user
        target->setFocus();
        // Queued, so the last count (0) is painted first; a box already closed drops it.
        QMetaObject::invokeMethod(target, &QAbstractButton::click, Qt::QueuedConnection);
    });

    // A second box while one is open works too; the newer one is reported until it closes.
    QPointer<QMessageBox> previous = gBox;
    gBox = &box;
    timer.start();
    box.exec();
    timer.stop();
    gBox = previous;

    QAbstractButton* clicked = box.clickedButton();
    for (const auto& [button, id] : ids)
        if (button == clicked)
            return id;
    return TimedMsgBoxIds::Cancel;  // closed by the window manager
}
