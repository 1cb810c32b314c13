#pragma once

#include <QRect>
#include <QSize>
#include <QString>
#include <QStringList>
#include <QtTest/QTest>

#include <ostream>

// Qt's QTRY_ macros report nothing outside a Qt test run; this waits, running the event loop,
// until the value read equals the expected one (at most five seconds) and hands back the last
// value read, for a GoogleTest comparison.
template <typename Read, typename Value>
auto Settled(Read read, const Value& expected)
{
    (void)QTest::qWaitFor([&] { return read() == expected; }, 5000);
    return read();
}

// Readable Qt values in GoogleTest's failure messages.
inline void PrintTo(const QRect& r, std::ostream* out)
{
    *out << "(" << r.x() << "," << r.y() << " " << r.width() << "x" << r.height() << ")";
}

inline void PrintTo(const QSize& s, std::ostream* out)
{
    *out << s.width() << "x" << s.height();
}

inline void PrintTo(const QString& s, std::ostream* out)
{
    *out << '"' << s.toStdString() << '"';
}

inline void PrintTo(const QStringList& list, std::ostream* out)
{
    *out << '{' << list.join(QStringLiteral(", ")).toStdString() << '}';
}
