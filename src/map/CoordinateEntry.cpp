#include "CoordinateEntry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include <QStringList>

#include "Rounding.h"

namespace {

// Control codes are 0 to 13; a negative code is a character past the positive half of 16 bits,
// not a control key.
bool IsControlKey(int16_t code)
{
    return code >= 0 && code <= 13;
}

// A part of a coordinate: decimal digits only, possibly none (0). False for anything else or a
// number beyond what any part can be.
bool ReadDigits(const QString& part, int& value)
{
    value = 0;
    for (const QChar c : part) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
        if (value > 99999)
            return false;
    }
    return true;
}

}  // namespace

CoordinateCheck CheckCoordinateText(const QString& text, bool isLongitude)
{
    CoordinateCheck check;
    QString s = text.trimmed();
    if (s.isEmpty()) {
        check.Valid = true;
        check.Empty = true;
        return check;
    }
    // The hemisphere may be named after the number; it can only be the one the field holds.
    if (s.back().toUpper() == (isLongitude ? u'W' : u'N'))
        s = s.chopped(1).trimmed();

    // Degrees, minutes, hundredths: decimal digits between at most two points, nothing else.
    // Blanks, tabs and line feeds are skipped after the first point; before it they would join
    // the digits of the degrees ("4 7").
    const QStringList parts = s.split(u'.');
    if (parts.size() > 3 || QString(s).remove(u'.').trimmed().isEmpty())
        return check;
    int numbers[3] = {0, 0, 0};
    for (qsizetype i = 0; i < parts.size(); ++i) {
        QString digits = parts[i];
        if (i > 0)
            digits.remove(u' ').remove(u'\t').remove(u'\n');
        // Hundredths have two digits at most: "050" is not fifty of them.
        if (!ReadDigits(digits, numbers[i]) || (i == 2 && digits.size() > 2))
            return check;
    }
    const int degrees = numbers[0];
    const int minutes = numbers[1];
    int hundredths = numbers[2];
    if (parts.size() == 3 && parts[2].size() == 1)
        hundredths *= 10;  // one digit is tenths of a minute

    const int limit = isLongitude ? 180 : 90;
    if (degrees > limit)
        return check;
    if (degrees == limit && (minutes != 0 || hundredths != 0))
        return check;
    if (minutes > 59 || hundredths > 99)
        return check;

    check.Valid = true;
    check.NormalForm = QStringLiteral("%1.%2.%3")
                           .arg(degrees, isLongitude ? 3 : 2, 10, QChar(u'0'))
                           .arg(minutes, 2, 10, QChar(u'0'))
                           .arg(hundredths, 2, 10, QChar(u'0'));
    const double value = degrees + (minutes + hundredths / 100.0) / 60.0;
    check.Value = isLongitude ? -value : value;
    return check;
}

QString CoordinateFieldText(double degrees, bool isLongitude)
{
    const double magnitude = std::isfinite(degrees) ? std::min(std::fabs(degrees), 360.0) : 0.0;
    const long long hundredths = std::llround(magnitude * 6000.0);
    return QString::asprintf(isLongitude ? "%03lld.%02lld.%02lld" : "%02lld.%02lld.%02lld", hundredths / 6000,
                             hundredths % 6000 / 100, hundredths % 100);
}

QString CoordinateRefusal(bool isLongitude)
{
    if (isLongitude)
        return QStringLiteral("I can't make that into a valid longitude. Type degrees west (0 to 180), "
                              "minutes and hundredths of a minute as DDD.MM.HH, for example 122.21.07; "
                              "a W may follow. East longitudes cannot be used.");
    return QStringLiteral("I can't make that into a valid latitude. Type degrees north (0 to 90), "
                          "minutes and hundredths of a minute as DD.MM.HH, for example 47.36.37; "
                          "an N may follow. South latitudes cannot be used.");
}

bool ParseCoordinate(MapForm& form, Prompter& prompter, MapForm::Field field, bool isLongitude,
                     bool allowEmpty, double& value)
{
    const CoordinateCheck check = CheckCoordinateText(form.FieldText(field), isLongitude);
    if (check.Valid && check.Empty && allowEmpty)
        return true;
    if (!check.Valid || check.Empty) {
        prompter.Inform(CoordinateRefusal(isLongitude));
        form.FocusField(field);
        return false;
    }
    form.SetFieldText(field, check.NormalForm);
    value = check.Value;
    return true;
}

int16_t UpperCaseKey(int16_t code)
{
    // Lower to upper case in the ANSI code page (Windows-1252); other codes stay.
    if (code >= 'a' && code <= 'z')
        return static_cast<int16_t>(code - 32);
    if (code >= 0xE0 && code <= 0xFE && code != 0xF7)
        return static_cast<int16_t>(code - 32);
    switch (code) {
    case 0x9A: return 0x8A;  // s caron
    case 0x9C: return 0x8C;  // oe
    case 0x9E: return 0x8E;  // z caron
    case 0xFF: return 0x9F;  // y diaeresis
    default: return code;
    }
}

bool IsDigitKey(int16_t code)
{
    return (code >= '0' && code <= '9') || IsControlKey(code);
}

// Beside digits and points each field takes the one hemisphere letter it can hold.
int16_t FilterLatitudeKey(int16_t code)
{
    code = UpperCaseKey(code);
    return code == '.' || code == 'N' || IsDigitKey(code) ? code : int16_t(0);
}

int16_t FilterLongitudeKey(int16_t code)
{
    code = UpperCaseKey(code);
    return code == '.' || code == 'W' || IsDigitKey(code) ? code : int16_t(0);
}

QString FilterArrivingText(const QString& text, bool isLongitude)
{
    QString kept;
    // One code unit at a time: each half of a surrogate pair is a negative code and is swallowed.
    for (const QChar unit : text) {
        const auto code = static_cast<int16_t>(unit.unicode());
        if (IsControlKey(code))
            continue;
        const int16_t filtered = isLongitude ? FilterLongitudeKey(code) : FilterLatitudeKey(code);
        if (filtered != 0)
            kept.append(QChar(char16_t(filtered)));
    }
    return kept;
}
