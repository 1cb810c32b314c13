#include <cstdint>
#include <random>

#include <QRegularExpression>
#include <QString>
#include <gtest/gtest.h>

#include "CoordinateEntry.h"
#include "FakeMapForm.h"
#include "ScriptedPrompter.h"

namespace {

using Field = MapForm::Field;

struct NumberCase {
    const char16_t* text;
    bool fits;
    int16_t value;
};

// Expected values follow the platform's rule: leading number, blanks skipped, halves to even.
// Full-width and Arabic-Indic digits are no digits; a no-break space is not skipped.
const NumberCase NumberCases[] = {
    {u"", true, 0}, {u"12W", true, 12}, {u"W12", true, 0}, {u"1E2", true, 100}, {u"1e2", true, 100},
    {u"1D2", true, 100}, {u"1d2", true, 100}, {u"1E+2", true, 100}, {u"25E-1", true, 2},
    {u"35e-1", true, 4}, {u"1E", true, 1}, {u"1E+", true, 1}, {u"1EW", true, 1}, {u"  7 ", true, 7},
    {u"1 2", true, 12}, {u"\t3\n4", true, 34}, {u"1 E 2", true, 100}, {u"5\r", true, 5},
    {u"\r5", true, 0}, {u"-5", true, -5}, {u"- 5", true, -5}, {u"+5", true, 5}, {u"+-5", true, 0},
    {u"-", true, 0}, {u".", true, 0}, {u"-0", true, 0}, {u"0.5", true, 0}, {u"1.5", true, 2},
    {u"2.5", true, 2}, {u"3.5", true, 4}, {u"-2.5", true, -2}, {u"-.5", true, 0}, {u".51", true, 1},
    {u"2.4999", true, 2}, {u"1.2.3", true, 1}, {u"1,5", true, 1}, {u"&HFF", true, 255},
    {u"&hff", true, 255}, {u"&H 1 F", true, 31}, {u"&H1G", true, 1}, {u"&H", true, 0},
    {u"&HG", true, 0}, {u"&O17", true, 15}, {u"&o777", true, 511}, {u"&O8", true, 0},
    {u"&X1", true, 0}, {u"&", true, 0}, {u"&H7FFF", true, 32767}, {u"&O77777", true, 32767},
    {u"32767", true, 32767}, {u"32767.4", true, 32767}, {u"-32768", true, -32768},
    {u"-32768.5", true, -32768}, {u"0000000000000000000000000000000000000001", true, 1},
    {u"0.00000000000000000000000000000001E32", true, 1}, {u"1E-999999999999999999999", true, 0},
    {u"0E999999999999999999999", true, 0}, {u"\uFF11\uFF12", true, 0}, {u"\u0663", true, 0},
    {u"4\u00A07", true, 4}, {u"32767.5", false, 0}, {u"32768", false, 0}, {u"-32768.6", false, 0},
    {u"-32769", false, 0}, {u"1E5", false, 0}, {u"1E400", false, 0},
    {u"1E999999999999999999999", false, 0}, {u"99999999999999999999999999999999999999", false, 0},
    {u"&H8000", false, 0}, {u"&HFFFFFFFFFFFFFFFFFFFF", false, 0}, {u"&O100000", false, 0},
};

TEST(ReadLeadingNumber, ReadsTheLeadingNumberAndRoundsHalfToEven)
{
    for (const NumberCase& c : NumberCases) {
        const QString text = QString::fromUtf16(c.text);
        int16_t value = 123;
        EXPECT_EQ(ReadLeadingNumber(text, value), c.fits) << text.toStdString();
        if (c.fits) {
            EXPECT_EQ(value, c.value) << text.toStdString();
        }
    }
}

struct CoordinateCase {
    const char16_t* typed;
    const char* normalForm;  // nullptr when refused
    double value;
};

const CoordinateCase LatitudeCases[] = {
    {u"47", "47.00.00", 47.0}, {u"47.5", "47.05.00", 47.0833333333333},
    {u"47.36.5", "47.36.50", 47.6083333333333}, {u"47.36.05", "47.36.05", 47.6008333333333},
    {u"47.36.37", "47.36.37", 47.6061666666667}, {u"47.", "47.00.00", 47.0},
    {u"47.36.", "47.36.00", 47.6}, {u".5", "00.05.00", 0.0833333333333333},
    {u"90", "90.00.00", 90.0}, {u"90.00.01", nullptr, 0}, {u"91", nullptr, 0},
    {u"47.60", nullptr, 0}, {u"4 7", nullptr, 0}, {u"47. 5", "47.05.00", 47.0833333333333},
    {u"  47.36.37  ", "47.36.37", 47.6061666666667}, {u"4\t7", nullptr, 0}, {u"47 .5", nullptr, 0},
    {u"-1", nullptr, 0}, {u"-0", "00.00.00", 0.0}, {u"47.-1", nullptr, 0},
    {u"47.36.-1", nullptr, 0}, {u"90.01", nullptr, 0}, {u"0.59.99", "00.59.99", 0.9998333333333},
    {u"47.36.37.5", "47.36.38", 47.6063333333333}, {u"47.36.9", "47.36.90", 47.6150000000000},
    {u"47.36. 9", "47.36.09", 47.6015000000000}, {u"&H2F", "47.00.00", 47.0},
    {u"4.5E1", "04.50.00", 4.83333333333333}, {u"1E2", nullptr, 0}, {u"99999", nullptr, 0},
    {u"47.99999", nullptr, 0},
};

const CoordinateCase LongitudeCases[] = {
    {u"122.21.07", "122.21.07", -122.351166666667}, {u"75.5", "075.05.00", -75.0833333333333},
    {u"180", "180.00.00", -180.0}, {u"180.01", nullptr, 0}, {u"12W", "012.00.00", -12.0},
    {u"12.30.100", nullptr, 0}, {u"0", "000.00.00", 0.0}, {u"181", nullptr, 0},
    {u"180.00.01", nullptr, 0}, {u"1E2", "100.00.00", -100.0}, {u"W12", "000.00.00", 0.0},
    {u"122W.21.07", "122.21.07", -122.351166666667},
};

void ExpectChecks(const CoordinateCase* begin, const CoordinateCase* end, bool isLongitude)
{
    for (const CoordinateCase* c = begin; c != end; ++c) {
        const QString typed = QString::fromUtf16(c->typed);
        const CoordinateCheck check = CheckCoordinateText(typed, isLongitude);
        EXPECT_FALSE(check.Empty) << typed.toStdString();
        if (c->normalForm == nullptr) {
            EXPECT_FALSE(check.Valid) << typed.toStdString();
            continue;
        }
        EXPECT_TRUE(check.Valid) << typed.toStdString();
        EXPECT_EQ(check.NormalForm.toStdString(), c->normalForm) << typed.toStdString();
        EXPECT_NEAR(check.Value, c->value, 1e-9) << typed.toStdString();
    }
}

TEST(CheckCoordinateText, Latitudes)
{
    ExpectChecks(std::begin(LatitudeCases), std::end(LatitudeCases), false);
}

TEST(CheckCoordinateText, Longitudes)
{
    ExpectChecks(std::begin(LongitudeCases), std::end(LongitudeCases), true);
}

TEST(CheckCoordinateText, BlankTextIsEmptyAndValid)
{
    for (const char16_t* text : {u"", u"   ", u" \t\n "}) {
        const CoordinateCheck check = CheckCoordinateText(QString::fromUtf16(text), false);
        EXPECT_TRUE(check.Valid);
        EXPECT_TRUE(check.Empty);
        EXPECT_TRUE(check.NormalForm.isEmpty());
    }
}

TEST(ParseCoordinate, ValidTextIsWrittenBackInNormalForm)
{
    FakeMapForm form;
    ScriptedPrompter prompter;
    form.Texts[Field::Longitude] = QStringLiteral("75.5");
    double value = 0;
    ASSERT_TRUE(ParseCoordinate(form, prompter, Field::Longitude, true, false, value));
    EXPECT_EQ(form.Texts[Field::Longitude], QStringLiteral("075.05.00"));
    EXPECT_NEAR(value, -75.0833333333333, 1e-9);
    EXPECT_TRUE(prompter.Log.empty());
    EXPECT_FALSE(form.Focused.has_value());
}

TEST(ParseCoordinate, RefusalTellsTheUserAndKeepsTheFocusAndTheText)
{
    struct Case {
        Field field;
        bool isLongitude;
        const char* typed;
        const char* message;
    };
    const Case cases[] = {
        {Field::Latitude, false, "91", "I can't make that into a valid latitude."},
        {Field::Longitude, true, "12.30.100", "I can't make that into a valid longitude."},
        {Field::Latitude, false, "4 7", "I can't make that into a valid latitude."},
    };
    for (const Case& c : cases) {
        FakeMapForm form;
        ScriptedPrompter prompter;
        form.Texts[c.field] = QString::fromUtf8(c.typed);
        double value = 5.5;
        EXPECT_FALSE(ParseCoordinate(form, prompter, c.field, c.isLongitude, true, value));
        ASSERT_EQ(prompter.Log.size(), 1u);
        EXPECT_EQ(prompter.Log[0].kind, ScriptedPrompter::Kind::Inform);
        EXPECT_EQ(prompter.Log[0].text.toStdString(), c.message);
        EXPECT_EQ(form.Focused, c.field);
        EXPECT_EQ(form.Texts[c.field].toStdString(), c.typed);
        EXPECT_EQ(value, 5.5);
    }
}

TEST(ParseCoordinate, EmptyFieldPassesOnlyWhenAllowed)
{
    FakeMapForm form;
    ScriptedPrompter prompter;
    form.Texts[Field::Latitude] = QStringLiteral("   ");
    double value = 5.5;
    EXPECT_TRUE(ParseCoordinate(form, prompter, Field::Latitude, false, true, value));
    EXPECT_EQ(value, 5.5);
    EXPECT_EQ(form.Texts[Field::Latitude], QStringLiteral("   "));
    EXPECT_TRUE(prompter.Log.empty());

    EXPECT_FALSE(ParseCoordinate(form, prompter, Field::Latitude, false, false, value));
    EXPECT_EQ(prompter.Texts(ScriptedPrompter::Kind::Inform),
              std::vector<QString>{QStringLiteral("I can't make that into a valid latitude.")});
    EXPECT_EQ(form.Focused, Field::Latitude);
}

// Whatever is pasted is refused with the message or becomes a value in the field's range, in
// normal form, that reads back to itself.
TEST(ParseCoordinate, PastedTextIsRefusedOrInRange)
{
    const char16_t alphabet[] = u"0123456789012345678901234567890123456789....... \t\n-+EeDdHhOo&W,"
                                u"\u00E9\u00A0\uFF10\u9AD8\u0663\r";
    const int alphabetSize = static_cast<int>(std::size(alphabet)) - 1;
    const QRegularExpression latitudeForm(QStringLiteral("^\\d{2}\\.\\d{2}\\.\\d{2}$"));
    const QRegularExpression longitudeForm(QStringLiteral("^\\d{3}\\.\\d{2}\\.\\d{2}$"));
    std::mt19937 random(20261206);
    int accepted = 0;
    for (int round = 0; round < 20000; ++round) {
        const int length = round % 500 == 0 ? 5000 : static_cast<int>(random() % 16);
        QString text;
        for (int k = 0; k < length; ++k)
            text.append(QChar(alphabet[random() % alphabetSize]));
        if (round % 7 == 0)
            text.append(QChar(0xD83D)).append(QChar(0xDE00));  // a character beyond 16 bits
        const bool isLongitude = round % 2 == 1;
        const Field field = isLongitude ? Field::Longitude : Field::Latitude;

        FakeMapForm form;
        ScriptedPrompter prompter;
        form.Texts[field] = text;
        double value = 1000;
        if (ParseCoordinate(form, prompter, field, isLongitude, false, value)) {
            ++accepted;
            ASSERT_TRUE(prompter.Log.empty());
            const QString written = form.Texts[field];
            ASSERT_TRUE((isLongitude ? longitudeForm : latitudeForm).match(written).hasMatch())
                << written.toStdString();
            if (isLongitude) {
                ASSERT_GE(value, -180.0);
                ASSERT_LE(value, 0.0);
            } else {
                ASSERT_GE(value, 0.0);
                ASSERT_LE(value, 90.0);
            }
            const CoordinateCheck again = CheckCoordinateText(written, isLongitude);
            ASSERT_TRUE(again.Valid);
            ASSERT_EQ(again.NormalForm, written);
            ASSERT_EQ(again.Value, value);
        } else {
            ASSERT_EQ(prompter.Log.size(), 1u);
            ASSERT_EQ(prompter.Log[0].text, CoordinateRefusal(isLongitude));
            ASSERT_EQ(form.Focused, field);
            ASSERT_EQ(form.Texts[field], text);
            ASSERT_EQ(value, 1000);
        }
    }
    // The generator must reach both outcomes to mean anything.
    EXPECT_GT(accepted, 1000);
    EXPECT_LT(accepted, 19000);
}

struct KeyCase {
    int16_t typed;
    int16_t latitude;   // what the latitude field keeps, 0 when swallowed
    int16_t longitude;
};

const KeyCase KeyCases[] = {
    {'a', 0, 'A'}, {'w', 0, 'W'}, {'W', 0, 'W'}, {'z', 0, 'Z'}, {'5', '5', '5'}, {'0', '0', '0'},
    {'9', '9', '9'}, {'.', '.', '.'}, {'-', 0, 0}, {',', 0, 0}, {' ', 0, 0}, {'@', 0, 0},
    {'[', 0, 0}, {'/', 0, 0}, {':', 0, 0}, {8, 8, 8}, {9, 9, 9}, {13, 13, 13}, {3, 3, 3},
    {14, 0, 0}, {22, 0, 0}, {24, 0, 0}, {0xE9, 0, 0}, {static_cast<int16_t>(0x9AD8), 0, 0},
    {-1, 0, 0}, {-32768, 0, 0},
};

TEST(KeyFilters, WholeFieldFilters)
{
    for (const KeyCase& c : KeyCases) {
        EXPECT_EQ(FilterLatitudeKey(c.typed), c.latitude) << c.typed;
        EXPECT_EQ(FilterLongitudeKey(c.typed), c.longitude) << c.typed;
    }
}

TEST(KeyFilters, UpperCaseInTheAnsiCodePage)
{
    const std::pair<int16_t, int16_t> cases[] = {
        {'a', 'A'}, {'z', 'Z'}, {'A', 'A'}, {'1', '1'}, {'`', '`'}, {'{', '{'}, {0xE9, 0xC9},
        {0xE0, 0xC0}, {0xFE, 0xDE}, {0xF7, 0xF7}, {0xDF, 0xDF}, {0xFF, 0x9F}, {0x9A, 0x8A},
        {0x9C, 0x8C}, {0x9E, 0x8E}, {8, 8}, {-5, -5},
    };
    for (const auto& [code, upper] : cases)
        EXPECT_EQ(UpperCaseKey(code), upper) << code;
}

// Codes 0 to 13 are control keys; a negative code is a character, not a control key.
TEST(KeyFilters, KeyTests)
{
    for (const int16_t code : std::initializer_list<int16_t>{0, 13, '0', '9'})
        EXPECT_TRUE(IsDigitKey(code) && IsAlphaNumericKey(code)) << code;
    for (const int16_t code : std::initializer_list<int16_t>{-1, 14, '/', ':', 'A', -32768})
        EXPECT_FALSE(IsDigitKey(code)) << code;
    for (const int16_t code : std::initializer_list<int16_t>{'A', 'Q', 'Z'})
        EXPECT_TRUE(IsAlphaNumericKey(code)) << code;
    for (const int16_t code : std::initializer_list<int16_t>{'q', '@', '[', -100})
        EXPECT_FALSE(IsAlphaNumericKey(code)) << code;
}

}  // namespace
