#include <cstdint>
#include <tuple>
#include <random>
#include <vector>

#include <QRegularExpression>
#include <QString>
#include <gtest/gtest.h>

#include "CoordinateEntry.h"
#include "FakeMapForm.h"
#include "ScriptedPrompter.h"

namespace {

using Field = MapForm::Field;
constexpr int32_t kRefused = 99999;

// Blanks skipped, halves to even, 16 bits; full-width and Arabic-Indic digits, no-break space, CR: no.
TEST(ReadLeadingNumber, ReadsTheLeadingNumberOrRefusesWhatDoesNotFit)
{
    const struct { const char16_t* text; int32_t value; } cases[] = {
        {u"1d2", 100}, {u"25E-1", 2}, {u"35e-1", 4}, {u"1E+", 1}, {u"\t3\n4", 34}, {u"\r5", 0}, {u"4\u00A07", 4},
        {u"- 5", -5}, {u"-2.5", -2}, {u"1,5", 1}, {u"&h 1 f", 31}, {u"&o17", 15}, {u"&O8", 0}, {u"&X1", 0},
        {u"\uFF11\uFF12", 0}, {u"\u0663", 0}, {u"&H7FFF", 32767}, {u"32767.4", 32767}, {u"-32768.5", -32768},
        {u"0000000000000000000000000000000000000001", 1}, {u"0.00000000000000000000000000000001E32", 1},
        {u"1E-999999999999999999999", 0}, {u"0E999999999999999999999", 0}, {u"32767.5", kRefused},
        {u"-32768.6", kRefused}, {u"1E400", kRefused}, {u"1E999999999999999999999", kRefused},
        {u"&H8000", kRefused}, {u"&HFFFFFFFFFFFFFFFFFFFF", kRefused}, {u"&O100000", kRefused},
    };
    for (const auto& c : cases) {
        int16_t value = 123;
        EXPECT_EQ(ReadLeadingNumber(QString::fromUtf16(c.text), value), c.value != kRefused) << c.value;
        if (c.value != kRefused) { EXPECT_EQ(value, c.value); }
    }
}

struct CoordinateCase { const char16_t* typed; const char* normalForm; double value; };  // nullptr: refused

const std::vector<CoordinateCase> LatitudeCases = {
    {u"47", "47.00.00", 47.0}, {u"47.5", "47.05.00", 47.0833333333333}, {u"47.36.05", "47.36.05", 47.6008333333333},
    {u"47.", "47.00.00", 47.0}, {u"47.36.", "47.36.00", 47.6}, {u".5", "00.05.00", 0.0833333333333333},
    {u"47.36.5", "47.36.50", 47.6083333333333}, {u"  47.36.37  ", "47.36.37", 47.6061666666667},
    {u"90", "90.00.00", 90.0}, {u"90.00.01", nullptr, 0}, {u"91", nullptr, 0}, {u"90.01", nullptr, 0},
    {u"47.60", nullptr, 0}, {u"4 7", nullptr, 0}, {u"4\t7", nullptr, 0}, {u"47 .5", nullptr, 0}, {u"-1", nullptr, 0},
    {u"47. 5", "47.05.00", 47.0833333333333}, {u"47.36. 9", "47.36.09", 47.6015}, {u"-0", "00.00.00", 0.0},
    {u"47.-1", nullptr, 0}, {u"1E2", nullptr, 0}, {u"47.99999", nullptr, 0}, {u"&H2F", "47.00.00", 47.0},
    {u"0.59.99", "00.59.99", 0.9998333333333}, {u"47.36.37.5", "47.36.38", 47.6063333333333},
    {u"4.5E1", "04.50.00", 4.83333333333333}, {u"", "", 0}, {u" \t\n ", "", 0},
};

const std::vector<CoordinateCase> LongitudeCases = {
    {u"122.21.07", "122.21.07", -122.351166666667}, {u"75.5", "075.05.00", -75.0833333333333}, {u"180", "180.00.00", -180.0},
    {u"180.01", nullptr, 0}, {u"180.00.01", nullptr, 0}, {u"181", nullptr, 0}, {u"12W", "012.00.00", -12.0}, {u"   ", "", 0},
    {u"W12", "000.00.00", 0.0}, {u"122W.21.07", "122.21.07", -122.351166666667}, {u"12.30.100", nullptr, 0},
    {u"0", "000.00.00", 0.0}, {u"1E2", "100.00.00", -100.0},
};

TEST(CheckCoordinateText, LatitudesAndLongitudes)
{
    for (const bool isLongitude : {false, true}) {
        for (const CoordinateCase& c : isLongitude ? LongitudeCases : LatitudeCases) {
            SCOPED_TRACE(QString::fromUtf16(c.typed).toStdString());
            const CoordinateCheck check = CheckCoordinateText(QString::fromUtf16(c.typed), isLongitude);
            ASSERT_EQ(check.Valid, c.normalForm != nullptr);
            if (!check.Valid) continue;
            EXPECT_EQ(check.Empty, *c.normalForm == '\0');
            EXPECT_EQ(check.NormalForm.toStdString(), c.normalForm);
            EXPECT_NEAR(check.Value, c.value, 1e-9);
        }
    }
}

TEST(ParseCoordinate, BlankFieldPassesUntouchedWhenAllowed)
{
    FakeMapForm form;
    ScriptedPrompter prompter;
    form.Texts[Field::Latitude] = "   ";
    double value = 5.5;
    EXPECT_TRUE(ParseCoordinate(form, prompter, Field::Latitude, false, true, value));
    EXPECT_TRUE(value == 5.5 && form.Texts[Field::Latitude] == "   " && prompter.Log.empty());
}

// Pasted text is refused with the message, or becomes an in-range value written back in normal
// form that reads back to itself.
TEST(ParseCoordinate, PastedTextIsRefusedOrInRange)
{
    const QString alphabet = QString::fromUtf16(u"0123456789012345678901234567890123456789....... \t\n-+EeDdHhOo&W,"
                                                u"\u00E9\u00A0\uFF10\u9AD8\u0663\r");
    const QRegularExpression normalForm[] = {QRegularExpression(R"(^\d\d\.\d\d\.\d\d$)"),
                                             QRegularExpression(R"(^\d{3}\.\d\d\.\d\d$)")};
    std::mt19937 random(20261206);
    int accepted = 0;
    for (int round = 0; round < 10000; ++round) {
        QString text;
        for (int k = round % 500 == 0 ? 5000 : int(random() % 16); k > 0; --k)
            text.append(alphabet[random() % alphabet.size()]);
        if (round % 7 == 0) text += QString::fromUtf16(u"\U0001F600");  // beyond 16 bits
        const bool lon = round % 2 == 1;
        const Field field = lon ? Field::Longitude : Field::Latitude;
        FakeMapForm form;
        ScriptedPrompter prompter;
        form.Texts[field] = text;
        double value = 1000;
        if (!ParseCoordinate(form, prompter, field, lon, false, value)) {
            ASSERT_EQ(prompter.Texts(ScriptedPrompter::Kind::Inform), std::vector{CoordinateRefusal(lon)});
            ASSERT_TRUE(form.Focused == field && form.Texts[field] == text && value == 1000);
            continue;
        }
        ++accepted;
        const QString written = form.Texts[field];
        const CoordinateCheck again = CheckCoordinateText(written, lon);
        ASSERT_TRUE(normalForm[lon].match(written).hasMatch() && prompter.Log.empty()) << written.toStdString();
        ASSERT_TRUE(lon ? value >= -180.0 && value <= 0.0 : value >= 0.0 && value <= 90.0);
        ASSERT_TRUE(again.Valid && again.NormalForm == written && again.Value == value);
    }
    EXPECT_TRUE(accepted > 500 && accepted < 9500) << accepted;  // both outcomes reached
}

// Latitude keeps digits, "." and control codes 0 to 13; longitude also letters, upper-cased in
// the ANSI code page. A negative code is a character, not a control key.
TEST(KeyFilters, KeepUpperCasedOrSwallow)
{
    const struct { int16_t typed, latitude, longitude, upper; } cases[] = {
        {'a', 0, 'A', 'A'}, {'z', 0, 'Z', 'Z'}, {'0', '0', '0', '0'}, {'.', '.', '.', '.'}, {'@', 0, 0, '@'}, {'[', 0, 0, '['},
        {'/', 0, 0, '/'}, {':', 0, 0, ':'}, {'`', 0, 0, '`'}, {'{', 0, 0, '{'}, {8, 8, 8, 8}, {13, 13, 13, 13}, {14, 0, 0, 14},
        {0xE0, 0, 0, 0xC0}, {0xF7, 0, 0, 0xF7}, {0xDF, 0, 0, 0xDF}, {0xFF, 0, 0, 0x9F}, {0x9A, 0, 0, 0x8A}, {-1, 0, 0, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FilterLatitudeKey(c.typed), c.latitude) << c.typed;
        EXPECT_EQ(FilterLongitudeKey(c.typed), c.longitude) << c.typed;
        EXPECT_EQ(UpperCaseKey(c.typed), c.upper) << c.typed;
    }
}

TEST(KeyFilters, ArrivingTextKeepsWhatTheFieldsFilterKeeps)
{
    const std::tuple<QString, QString, QString> cases[] = {  // text, latitude, longitude
        {"4a-,7", "47", "4A7"}, {"12w.", "12.", "12W."}, {QString::fromUtf16(u"1😀2"), "12", "12"},
        {"\r9\b", "9", "9"}, {QString::fromUtf16(u"\u00E9e"), "", "E"}, {"", "", ""}};
    for (const auto& [text, latitude, longitude] : cases) {
        EXPECT_EQ(FilterArrivingText(text, false), latitude) << text.toStdString();
        EXPECT_EQ(FilterArrivingText(text, true), longitude) << text.toStdString();
    }
}

}  // namespace
