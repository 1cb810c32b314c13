#pragma once

#include <QDebug>
#include <QString>
#include <QtTest/QTest>

#include <ostream>

// Runs the event loop until the value read equals the expected one (at most five seconds) and
// hands back the last value read, for a GoogleTest comparison (QTRY_ reports nothing here).
template <typename Read, typename Value>
auto Settled(Read read, const Value& expected)
{
    (void)QTest::qWaitFor([&] { return read() == expected; }, 5000);
    return read();
}

// Readable Qt values in GoogleTest's failure messages: as qDebug() would show them.
template <typename T>
    requires(std::is_class_v<T> && requires(QDebug debug, const T& value) { debug << value; })
void PrintTo(const T& value, std::ostream* out)
{
    QString text;
    QDebug(&text).nospace() << value;
    *out << text.toStdString();
}
