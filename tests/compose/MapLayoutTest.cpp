#include <gtest/gtest.h>

#include "MapLayout.h"
#include "QtPrinting.h"

namespace {

TEST(LayoutPreviewGeometry, FitsTheWidthOrElseTheHeightAndCentres)
{
    struct Case {
        const char* name;
        int clientWidth, clientHeight, previewLeft, previewTop, margin, mapWidth, mapHeight;
        PreviewGeometry expected;
    };
    // aw = client width - left - margin, ah = client height - top - margin.
    const Case cases[] = {
        // aw 690, ah 450: 690 x 460 is too tall, so 675 x 450, centred at 300 + 15 / 2.
        {"wide window, 3x2 map", 1000, 500, 300, 40, 10, 600, 400, {307.5f, 675, 450}},
        // aw 490, ah 850: 490 x 326.67 fits.
        {"tall window, 3x2 map", 800, 900, 300, 40, 10, 600, 400, {300.0f, 490, 327}},
        // aw 690, ah 550: height fitted, width 550 / 8 = 68.75 -> 69, left 300 + 621 / 2.
        {"1x8 map, wide window", 1000, 600, 300, 40, 10, 200, 1600, {610.5f, 69, 550}},
        // aw 301: 150.5 -> 150 and aw 303: 151.5 -> 152, halves to the even neighbour.
        {"half rounds down to even", 611, 1000, 300, 40, 10, 400, 200, {300.0f, 301, 150}},
        {"half rounds up to even", 613, 1000, 300, 40, 10, 400, 200, {300.0f, 303, 152}},
        {"square fits exactly", 710, 450, 300, 40, 10, 1600, 1600, {300.0f, 400, 400}},
        {"no room left", 200, 100, 300, 40, 10, 600, 400, {245.0f, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const PreviewGeometry g = LayoutPreviewGeometry(c.clientWidth, c.clientHeight, c.previewLeft,
                                                        c.previewTop, c.margin, c.mapWidth, c.mapHeight);
        EXPECT_EQ(g.Width, c.expected.Width);
        EXPECT_EQ(g.Height, c.expected.Height);
        EXPECT_FLOAT_EQ(g.Left, c.expected.Left);
    }
}

TEST(SizeCaptionText, YardsBelowAMileMilesAbove)
{
    struct Case {
        int16_t width, height, scale;
        const char* english;
        const char* german;
    };
    const Case cases[] = {
        {4, 4, 0, "1,094 yards W to E and 1,094 yards N to S",
         "1.094 yards W to E and 1.094 yards N to S"},
        {0, 7, 0, "219 yards W to E and 1,750 yards N to S",
         "219 yards W to E and 1.750 yards N to S"},
        {4, 4, 1, "1.2 miles W to E and 1.2 miles N to S", "1,2 miles W to E and 1,2 miles N to S"},
        {4, 0, 3, "5.0 miles W to E and 1,750 yards N to S", "5,0 miles W to E and 1.750 yards N to S"},
        {7, 0, 9, "509.0 miles W to E and 63.6 miles N to S",
         "509,0 miles W to E and 63,6 miles N to S"},
    };
    const QLocale english(QLocale::English, QLocale::UnitedStates);
    const QLocale german(QLocale::German, QLocale::Germany);
    for (const Case& c : cases) {
        EXPECT_EQ(SizeCaptionText(c.width, c.height, c.scale, english), c.english);
        EXPECT_EQ(SizeCaptionText(c.width, c.height, c.scale, german), c.german);
    }
}

}  // namespace
