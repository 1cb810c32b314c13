#include <cstdint>
#include <tuple>
#include <random>
#include <vector>

#include <QRegularExpression>
#include <gtest/gtest.h>

#include "CoordinateEntry.h"
#include "FakeMapForm.h"
#include "ScriptedPrompter.h"

namespace {

using Field = MapForm::Field;

struct CoordinateCase { const char16_t* typed; const char* normalForm; double value; };  // nullptr: refused

const std::vector<CoordinateCase> LatitudeCases = {
    {u"47", "47.00.00", 47.0}, {u"47.5", "47.05.00", 47.0833333333333}, {u"47.36.05", "47.36.05", 47.6008333333333},
    {u"47.", "47.00.00", 47.0}, {u"47.36.", "47.36.00", 47.6}, {u".5", "00.05.00", 0.0833333333333333},
    {u"47.36.5", "47.36.50", 47.6083333333333}, {u"  47.36.37  ", "47.36.37", 47.6061666666667},
    {u"90", "90.00.00", 90.0}, {u"90.00.01", nullptr, 0}, {u"91", nullptr, 0}, {u"90.01", nullptr, 0},
    {u"47.60", nullptr, 0}, {u"4 7", nullptr, 0}, {u"4\t7", nullptr, 0}, {u"47 .5", nullptr, 0}, {u"-1", nullptr, 0},
    {u"47. 5", "47.05.00", 47.0833333333333}, {u"47.36. 9", "47.36.09", 47.6015},
    {u"47.-1", nullptr, 0}, {u"1E2", nullptr, 0}, {u"47.99999", nullptr, 0}, {u"0.59.99", "00.59.99", 0.9998333333333},
    {u"", "", 0}, {u" \t\n ", "", 0},
    // Strict: decimal digits, at most two points, an N at the end; nothing else.
    {u"47.36.37N", "47.36.37", 47.6061666666667}, {u"47 n", "47.00.00", 47.0}, {u"33.51.00S", nullptr, 0},
    {u"47.36.37 junk", nullptr, 0}, {u"&H2F", nullptr, 0}, {u"47.36.37.5", nullptr, 0}, {u"4.5E1", nullptr, 0},
    {u"-0", nullptr, 0}, {u"+5", nullptr, 0}, {u".", nullptr, 0}, {u"N", nullptr, 0}, {u"47.36.050", nullptr, 0},
    {u"47NN", nullptr, 0}, {u"47W", nullptr, 0}, {u"\uFF14\uFF17", nullptr, 0}, {u"47.36.\r5", nullptr, 0}};

const std::vector<CoordinateCase> LongitudeCases = {
    {u"122.21.07", "122.21.07", -122.351166666667}, {u"75.5", "075.05.00", -75.0833333333333}, {u"180", "180.00.00", -180.0},
    {u"180.01", nullptr, 0}, {u"180.00.01", nullptr, 0}, {u"181", nullptr, 0}, {u"12W", "012.00.00", -12.0}, {u"   ", "", 0},
    {u"12.30.100", nullptr, 0}, {u"0", "000.00.00", 0.0}, {u"122.21.07 w", "122.21.07", -122.351166666667},
    {u"W12", nullptr, 0}, {u"122W.21.07", nullptr, 0}, {u"1E2", nullptr, 0}, {u"5E", nullptr, 0},
    {u"151.12.00E", nullptr, 0}, {u"12N", nullptr, 0}, {u"&O17", nullptr, 0}};

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

// Both keep digits, "." and control codes 0 to 13, and their hemisphere letter, upper-cased in
// the ANSI code page. A negative code is a character, not a control key. Text arriving otherwise
// keeps what a key would.
TEST(KeyFilters, KeepUpperCasedOrSwallow)
{
    const struct { int16_t typed, latitude, longitude, upper; } cases[] = {
        {'a', 0, 0, 'A'}, {'e', 0, 0, 'E'}, {'n', 'N', 0, 'N'}, {'w', 0, 'W', 'W'}, {'0', '0', '0', '0'}, {'.', '.', '.', '.'}, {'@', 0, 0, '@'}, {'[', 0, 0, '['},
        {'/', 0, 0, '/'}, {':', 0, 0, ':'}, {'`', 0, 0, '`'}, {'{', 0, 0, '{'}, {8, 8, 8, 8}, {13, 13, 13, 13}, {14, 0, 0, 14},
        {0xE0, 0, 0, 0xC0}, {0xF7, 0, 0, 0xF7}, {0xDF, 0, 0, 0xDF}, {0xFF, 0, 0, 0x9F}, {0x9A, 0, 0, 0x8A}, {-1, 0, 0, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FilterLatitudeKey(c.typed), c.latitude) << c.typed;
        EXPECT_EQ(FilterLongitudeKey(c.typed), c.longitude) << c.typed;
        EXPECT_EQ(UpperCaseKey(c.typed), c.upper) << c.typed;
    }
    const std::tuple<QString, QString, QString> arriving[] = {  // text, latitude, longitude
        {"4a-,7", "47", "47"}, {"12w.", "12.", "12W."}, {QString::fromUtf16(u"1😀2"), "12", "12"},
        {"\r9\b", "9", "9"}, {QString::fromUtf16(u"\u00E9e"), "", ""}, {"", "", ""}};
    for (const auto& [text, latitude, longitude] : arriving) {
        EXPECT_EQ(FilterArrivingText(text, false), latitude) << text.toStdString();
        EXPECT_EQ(FilterArrivingText(text, true), longitude) << text.toStdString();
    }
}

}  // namespace
