#include <gtest/gtest.h>

#include "MapLayout.h"

namespace {

// Room: client size less left/top and margin; the preview fills the width or else the height
// and is centred across; halves round to even.
TEST(LayoutPreviewGeometry, FitsTheWidthOrElseTheHeightAndCentres)
{
    const struct { int clientWidth, clientHeight, mapWidth, mapHeight; PreviewGeometry expected; } cases[] = {
        {1000, 500, 600, 400, {307.5f, 675, 450}}, {800, 900, 600, 400, {300.0f, 490, 327}},  // too tall; fits
        {1000, 600, 200, 1600, {610.5f, 69, 550}},                                           // 550 / 8 = 68.75
        {613, 1000, 400, 200, {300.0f, 303, 152}},                                           // 151.5
        {200, 100, 600, 400, {245.0f, 0, 0}},                                                // no room left
    };
    for (const auto& c : cases) {
        const PreviewGeometry g = LayoutPreviewGeometry(c.clientWidth, c.clientHeight, 300, 40, 10, c.mapWidth, c.mapHeight);
        EXPECT_TRUE(g.Width == c.expected.Width && g.Height == c.expected.Height) << c.clientWidth << "x" << c.clientHeight;
        EXPECT_FLOAT_EQ(g.Left, c.expected.Left) << c.clientWidth << "x" << c.clientHeight;
    }
}

TEST(SizeCaptionText, YardsBelowAMileMilesAbove)
{
    const QLocale english(QLocale::English, QLocale::UnitedStates), german(QLocale::German, QLocale::Germany);
    const struct { int16_t width, height, scale; const char* english; const char* german; } cases[] = {
        {4, 4, 0, "1,094 yards W to E and 1,094 yards N to S", "1.094 yards W to E and 1.094 yards N to S"},
        {0, 7, 0, "219 yards W to E and 1,750 yards N to S", "219 yards W to E and 1.750 yards N to S"},
        {4, 0, 3, "5.0 miles W to E and 1,750 yards N to S", "5,0 miles W to E and 1.750 yards N to S"},
        {7, 0, 9, "509.0 miles W to E and 63.6 miles N to S", "509,0 miles W to E and 63,6 miles N to S"}};
    for (const auto& c : cases) {
        EXPECT_EQ(SizeCaptionText(c.width, c.height, c.scale, english).toStdString(), c.english);
        EXPECT_EQ(SizeCaptionText(c.width, c.height, c.scale, german).toStdString(), c.german);
    }
}

}  // namespace
