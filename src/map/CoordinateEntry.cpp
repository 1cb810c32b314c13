#include "CoordinateEntry.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string>

#include "Rounding.h"

namespace {

constexpr int64_t ExponentCap = int64_t(1) << 40;  // beyond any text's length

bool IsSkipped(char16_t c)
{
    return c == u' ' || c == u'\t' || c == u'\n';
}

bool IsDecimalDigit(char16_t c)
{
    return c >= u'0' && c <= u'9';
}

int DigitValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    return 99;
}

// &H / &O numbers: digits of the base until the first other character.
bool ReadPrefixedNumber(const std::u16string& s, size_t i, int base, int16_t& value)
{
    int64_t magnitude = 0;
    for (; i < s.size(); ++i) {
        const int digit = DigitValue(s[i]);
        if (digit >= base)
            break;
        magnitude = magnitude * base + digit;
        if (magnitude > 32767)
            return false;  // keep reading would only make it larger
    }
    value = static_cast<int16_t>(magnitude);
    return true;
}

// Control codes are 0 to 13; a negative code is a character past the positive half of 16 bits,
// not a control key.
bool IsControlKey(int16_t code)
{
    return code >= 0 && code <= 13;
}

}  // namespace

bool ReadLeadingNumber(const QString& text, int16_t& value)
{
    // Blanks, tabs and line feeds do not count anywhere in the text.
    std::u16string s;
    s.reserve(static_cast<size_t>(text.size()));
    for (const QChar ch : text)
        if (!IsSkipped(ch.unicode()))
            s.push_back(ch.unicode());

    value = 0;
    size_t i = 0;
    if (i < s.size() && s[i] == u'&') {
        if (i + 1 < s.size() && (s[i + 1] == u'H' || s[i + 1] == u'h'))
            return ReadPrefixedNumber(s, i + 2, 16, value);
        if (i + 1 < s.size() && (s[i + 1] == u'O' || s[i + 1] == u'o'))
            return ReadPrefixedNumber(s, i + 2, 8, value);
        return true;
    }

    bool negative = false;
    if (i < s.size() && (s[i] == u'+' || s[i] == u'-')) {
        negative = s[i] == u'-';
        ++i;
    }
    std::string integerDigits;
    std::string fractionDigits;
    while (i < s.size() && IsDecimalDigit(s[i]))
        integerDigits.push_back(static_cast<char>(s[i++]));
    if (i < s.size() && s[i] == u'.') {
        ++i;
        while (i < s.size() && IsDecimalDigit(s[i]))
            fractionDigits.push_back(static_cast<char>(s[i++]));
    }
    if (integerDigits.empty() && fractionDigits.empty())
        return true;  // no number reads 0

    int64_t exponent = 0;
    if (i < s.size() && (s[i] == u'E' || s[i] == u'e' || s[i] == u'D' || s[i] == u'd')) {
        size_t j = i + 1;
        bool negativeExponent = false;
        if (j < s.size() && (s[j] == u'+' || s[j] == u'-')) {
            negativeExponent = s[j] == u'-';
            ++j;
        }
        // An E without digits is not part of the number.
        for (; j < s.size() && IsDecimalDigit(s[j]); ++j)
            if (exponent < ExponentCap)
                exponent = exponent * 10 + (s[j] - u'0');
        if (negativeExponent)
            exponent = -exponent;
    }

    // The size of the number decides before any conversion: 10^(order-1) <= |x| < 10^order.
    int64_t order = 0;
    const size_t firstInteger = integerDigits.find_first_not_of('0');
    if (firstInteger != std::string::npos) {
        order = static_cast<int64_t>(integerDigits.size() - firstInteger);
    } else {
        const size_t firstFraction = fractionDigits.find_first_not_of('0');
        if (firstFraction == std::string::npos)
            return true;  // zero
        order = -static_cast<int64_t>(firstFraction);
    }
    order += exponent;
    if (order > 6)
        return false;  // at least 10^6
    if (order < 0)
        return true;   // below 0.1, rounds to 0

    std::string number = integerDigits.empty() ? "0" : integerDigits;
    if (!fractionDigits.empty())
        number += "." + fractionDigits;
    number += "e" + std::to_string(exponent);
    double magnitude = 0;
    const auto result = std::from_chars(number.data(), number.data() + number.size(), magnitude);
    if (result.ec != std::errc())
        return false;
    const double rounded = RoundHalfEven(negative ? -magnitude : magnitude);
    if (rounded < -32768.0 || rounded > 32767.0)
        return false;
    value = static_cast<int16_t>(rounded);
    return true;
}

CoordinateCheck CheckCoordinateText(const QString& text, bool isLongitude)
{
    CoordinateCheck check;
    const QString s = text.trimmed();
    if (s.isEmpty()) {
        check.Valid = true;
        check.Empty = true;
        return check;
    }

    // 0-based positions; -1 for none.
    const qsizetype p1 = s.indexOf(u'.');
    qsizetype p2 = -1;
    if (p1 >= 0 && p1 != s.size() - 1)
        p2 = s.indexOf(u'.', p1 + 1);

    // A blank splitting the degrees would otherwise join their digits ("4 7" reads 47).
    for (qsizetype k = 0; k < s.size(); ++k) {
        if (s[k].isSpace()) {
            if (p1 < 0 || k < p1)
                return check;
            break;
        }
    }

    QString degreesText = s;
    QString minutesText;
    QString hundredthsText;
    if (p1 >= 0) {
        degreesText = s.left(p1);
        if (p2 < 0) {
            minutesText = s.mid(p1 + 1);
        } else {
            minutesText = s.mid(p1 + 1, p2 - p1 - 1);
            hundredthsText = s.mid(p2 + 1);
        }
    }
    int16_t degrees = 0;
    int16_t minutes = 0;
    int16_t hundredths = 0;
    if (!ReadLeadingNumber(degreesText, degrees) || !ReadLeadingNumber(minutesText, minutes)
        || !ReadLeadingNumber(hundredthsText, hundredths))
        return check;
    int hundredthsValue = hundredths;
    if (hundredthsText.size() == 1)
        hundredthsValue *= 10;  // one digit is tenths of a minute

    const int limit = isLongitude ? 180 : 90;
    if (degrees > limit || degrees < 0)
        return check;
    if (degrees == limit && (minutes != 0 || hundredthsValue != 0))
        return check;
    if (minutes < 0 || minutes > 59 || hundredthsValue < 0 || hundredthsValue > 99)
        return check;

    check.Valid = true;
    check.NormalForm = QStringLiteral("%1.%2.%3")
                           .arg(degrees, isLongitude ? 3 : 2, 10, QChar(u'0'))
                           .arg(minutes, 2, 10, QChar(u'0'))
                           .arg(hundredthsValue, 2, 10, QChar(u'0'));
    const double value = degrees + (minutes + hundredthsValue / 100.0) / 60.0;
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
    return QStringLiteral("I can't make that into a valid ")
           + (isLongitude ? QStringLiteral("longitude") : QStringLiteral("latitude"))
           + QStringLiteral(".");
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

bool IsAlphaNumericKey(int16_t code)
{
    return (code >= 'A' && code <= 'Z') || IsDigitKey(code);
}

int16_t FilterLatitudeKey(int16_t code)
{
    code = UpperCaseKey(code);
    return code == '.' || IsDigitKey(code) ? code : int16_t(0);
}

int16_t FilterLongitudeKey(int16_t code)
{
    code = UpperCaseKey(code);
    return code == '.' || IsAlphaNumericKey(code) ? code : int16_t(0);
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
