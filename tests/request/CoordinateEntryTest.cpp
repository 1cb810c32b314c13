#include <cstdint>
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

// The platform's rule: leading number, blanks skipped, halves to even, 16 bits. Full-width and
// Arabic-Indic digits are no digits; a no-break space and a carriage return are not skipped.
// The coordinate tables below cover the common forms.
TEST(ReadLeadingNumber, ReadsTheLeadingNumberOrRefusesWhatDoesNotFit)
{
    const struct { const char16_t* text; bool fits; int16_t value; } cases[] = {
        {u"1d2", true, 100}, {u"25E-1", true, 2}, {u"35e-1", true, 4}, {u"1E+", true, 1},
        {u"\t3\n4", true, 34}, {u"\r5", true, 0}, {u"4\u00A07", true, 4}, {u"- 5", true, -5},
        {u"+-5", true, 0}, {u"-2.5", true, -2}, {u"1,5", true, 1}, {u"&h 1 f", true, 31},
        {u"&o17", true, 15}, {u"&O8", true, 0}, {u"&X1", true, 0}, {u"\uFF11\uFF12", true, 0},
        {u"\u0663", true, 0}, {u"&H7FFF", true, 32767}, {u"32767.4", true, 32767},
        {u"-32768.5", true, -32768}, {u"0000000000000000000000000000000000000001", true, 1},
        {u"0.00000000000000000000000000000001E32", true, 1}, {u"1E-999999999999999999999", true, 0},
        {u"0E999999999999999999999", true, 0}, {u"32767.5", false, 0}, {u"-32768.6", false, 0},
        {u"1E400", false, 0}, {u"1E999999999999999999999", false, 0}, {u"&H8000", false, 0},
        {u"&HFFFFFFFFFFFFFFFFFFFF", false, 0}, {u"&O100000", false, 0},
    };
    for (const auto& c : cases) {
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
    const char* normalForm;  // nullptr when refused, "" when empty
    double value;
};

const std::vector<CoordinateCase> LatitudeCases = {
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
    {u"47.99999", nullptr, 0}, {u"", "", 0}, {u" \t\n ", "", 0},
};

const std::vector<CoordinateCase> LongitudeCases = {
    {u"122.21.07", "122.21.07", -122.351166666667}, {u"75.5", "075.05.00", -75.0833333333333},
    {u"180", "180.00.00", -180.0}, {u"180.01", nullptr, 0}, {u"12W", "012.00.00", -12.0},
    {u"12.30.100", nullptr, 0}, {u"0", "000.00.00", 0.0}, {u"181", nullptr, 0},
    {u"180.00.01", nullptr, 0}, {u"1E2", "100.00.00", -100.0}, {u"W12", "000.00.00", 0.0},
    {u"122W.21.07", "122.21.07", -122.351166666667}, {u"   ", "", 0},
};

TEST(CheckCoordinateText, LatitudesAndLongitudes)
{
    for (const bool isLongitude : {false, true}) {
        for (const CoordinateCase& c : isLongitude ? LongitudeCases : LatitudeCases) {
            const QString typed = QString::fromUtf16(c.typed);
            SCOPED_TRACE(typed.toStdString());
            const CoordinateCheck check = CheckCoordinateText(typed, isLongitude);
            EXPECT_EQ(check.Valid, c.normalForm != nullptr);
            if (c.normalForm != nullptr) {
                EXPECT_EQ(check.Empty, *c.normalForm == '\0');
                EXPECT_EQ(check.NormalForm.toStdString(), c.normalForm);
                EXPECT_NEAR(check.Value, c.value, 1e-9);
            }
        }
    }
}

// Refusals and normal forms written back: the pasted-text loop below and the download press.
TEST(ParseCoordinate, BlankFieldPassesUntouchedWhenAllowed)
{
    FakeMapForm form;
    ScriptedPrompter prompter;
    form.Texts[Field::Latitude] = QStringLiteral("   ");
    double value = 5.5;
    EXPECT_TRUE(ParseCoordinate(form, prompter, Field::Latitude, false, true, value));
    EXPECT_EQ(value, 5.5);
    EXPECT_EQ(form.Texts[Field::Latitude], QStringLiteral("   "));
    EXPECT_TRUE(prompter.Log.empty());
}

// Whatever is pasted is refused with the message or becomes a value in the field's range, in
// normal form, that reads back to itself.
TEST(ParseCoordinate, PastedTextIsRefusedOrInRange)
{
    const char16_t alphabet[] = u"0123456789012345678901234567890123456789....... \t\n-+EeDdHhOo&W,"
                                u"\u00E9\u00A0\uFF10\u9AD8\u0663\r";
    const QRegularExpression normalForms[] = {QRegularExpression(R"(^\d{2}\.\d{2}\.\d{2}$)"),
                                              QRegularExpression(R"(^\d{3}\.\d{2}\.\d{2}$)")};
    std::mt19937 random(20261206);
    int accepted = 0;
    for (int round = 0; round < 10000; ++round) {
        QString text;
        for (int k = round % 500 == 0 ? 5000 : int(random() % 16); k > 0; --k)
            text.append(QChar(alphabet[random() % (std::size(alphabet) - 1)]));
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
            const QString written = form.Texts[field];
            ASSERT_TRUE(normalForms[isLongitude].match(written).hasMatch()) << written.toStdString();
            ASSERT_TRUE(isLongitude ? value >= -180.0 && value <= 0.0 : value >= 0.0 && value <= 90.0);
            const CoordinateCheck again = CheckCoordinateText(written, isLongitude);
            ASSERT_TRUE(again.Valid && again.NormalForm == written && again.Value == value);
            ASSERT_TRUE(prompter.Log.empty());
        } else {
            ASSERT_EQ(prompter.Texts(ScriptedPrompter::Kind::Inform), std::vector{CoordinateRefusal(isLongitude)});
            ASSERT_TRUE(form.Focused == field && form.Texts[field] == text && value == 1000);
        }
    }
    // The generator must reach both outcomes to mean anything.
    EXPECT_GT(accepted, 500);
    EXPECT_LT(accepted, 9500);
}

// Latitude keeps digits, "." and control codes 0 to 13; longitude also letters, upper-cased in
// the ANSI code page. A negative code is a character, not a control key.
TEST(KeyFilters, KeepUpperCasedOrSwallow)
{
    const struct { int16_t typed, latitude, longitude, upper; } cases[] = {
        {'a', 0, 'A', 'A'}, {'z', 0, 'Z', 'Z'}, {'0', '0', '0', '0'}, {'9', '9', '9', '9'},
        {'.', '.', '.', '.'}, {'@', 0, 0, '@'}, {'[', 0, 0, '['}, {'/', 0, 0, '/'}, {':', 0, 0, ':'},
        {'`', 0, 0, '`'}, {'{', 0, 0, '{'}, {8, 8, 8, 8}, {13, 13, 13, 13}, {14, 0, 0, 14},
        {0xE0, 0, 0, 0xC0}, {0xFE, 0, 0, 0xDE}, {0xF7, 0, 0, 0xF7}, {0xDF, 0, 0, 0xDF},
        {0xFF, 0, 0, 0x9F}, {0x9A, 0, 0, 0x8A}, {-1, 0, 0, -1}, {-32768, 0, 0, -32768},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FilterLatitudeKey(c.typed), c.latitude) << c.typed;
        EXPECT_EQ(FilterLongitudeKey(c.typed), c.longitude) << c.typed;
        EXPECT_EQ(UpperCaseKey(c.typed), c.upper) << c.typed;
    }
}

}  // namespace
