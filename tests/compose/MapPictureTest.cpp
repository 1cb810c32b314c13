#include <set>

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "MapPicture.h"
#include "TileFiles.h"

namespace {

constexpr QRgb Blank = 0xffffffff;

class MapPictureTest : public ::testing::Test {
protected:
    QTemporaryDir folder;

    QString Path(const QString& name) const { return folder.filePath(name); }

    // A flat tile of the given size; returns the colour it decodes to.
    QRgb PasteFlat(MapPicture& picture, const QString& name, int side, QColor colour,
                   int16_t column, int16_t row)
    {
        const QString file = TileFiles::WriteJpeg(Path(name), TileFiles::Flat(side, side, colour));
        EXPECT_TRUE(picture.PasteTile(file, column, row));
        return picture.OneTile().pixel(side / 2, side / 2);
    }
};

// Pixels of the map inside rect all equal colour.
bool Filled(const QImage& map, const QRect& rect, QRgb colour)
{
    for (int y = rect.top(); y <= rect.bottom(); ++y)
        for (int x = rect.left(); x <= rect.right(); ++x)
            if (map.pixel(x, y) != colour)
                return false;
    return true;
}

TEST_F(MapPictureTest, TilesLandAtTheirGridPlaceCountedUpFromTheBottom)
{
    struct Case {
        int16_t wide, high, column, row;
        int side;
        QRect covered;  // where the tile's pixels land, clipped to the map
    };
    const Case cases[] = {
        {3, 2, 0, 0, 200, QRect(0, 200, 200, 200)},
        {3, 2, 2, 1, 200, QRect(400, 0, 200, 200)},
        {1, 1, 0, 0, 200, QRect(0, 0, 200, 200)},
        // A smaller tile leaves a strip of its square untouched.
        {2, 2, 1, 0, 150, QRect(200, 200, 150, 150)},
        // A larger one spills right and down into the neighbours...
        {2, 2, 0, 1, 260, QRect(0, 0, 260, 260)},
        // ...and is clipped at the map's edges.
        {2, 2, 1, 0, 260, QRect(200, 200, 200, 200)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.wide << "x" << c.high << " column " << c.column
                                        << " row " << c.row << " side " << c.side);
        MapPicture picture;
        picture.SizeMapPicture(c.wide, c.high);
        ASSERT_EQ(picture.Map().size(), QSize(c.wide * 200, c.high * 200));
        const QRgb colour = PasteFlat(picture, "tile.JPG", c.side, QColor(20, 90, 200), c.column, c.row);
        EXPECT_TRUE(Filled(picture.Map(), c.covered, colour));
        int blank = 0;
        for (int y = 0; y < picture.Map().height(); ++y)
            for (int x = 0; x < picture.Map().width(); ++x)
                blank += picture.Map().pixel(x, y) == Blank;
        EXPECT_EQ(blank, picture.Map().width() * picture.Map().height() -
                             c.covered.width() * c.covered.height());
    }
}

TEST_F(MapPictureTest, TheNameNotTheContentChoosesTheDecoder)
{
    struct Case {
        const char* name;
        bool gifContent;
        bool pasted;
    };
    const Case cases[] = {
        {"1-10-10-5-7.GIF", true, true},
        {"lower.gif", true, true},
        {"1-10-10-5-7.JPG", false, true},
        {"gif-content.JPG", true, false},
        {"jpeg-content.GIF", false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MapPicture picture;
        picture.SizeMapPicture(2, 1);
        const QString file =
            c.gifContent ? TileFiles::WriteRedGif(Path(c.name))
                         : TileFiles::WriteJpeg(Path(c.name), TileFiles::Flat(200, 200, Qt::red));
        EXPECT_EQ(picture.PasteTile(file, 1, 0), c.pasted);
        if (c.pasted && c.gifContent) {
            EXPECT_EQ(picture.Map().pixel(200, 0), qRgb(255, 0, 0));
        }
        if (!c.pasted) {
            EXPECT_TRUE(Filled(picture.Map(), picture.Map().rect(), Blank));
        }
    }
}

TEST_F(MapPictureTest, UndecodableTileLeavesItsSquareAsItWas)
{
    MapPicture picture;
    picture.SizeMapPicture(1, 1);
    picture.SetPreviewSize(90, 90);
    const QRgb colour = PasteFlat(picture, "good.JPG", 200, QColor(200, 30, 30), 0, 0);
    const QImage mapBefore = picture.Map().copy();
    const QImage previewBefore = picture.Preview().copy();

    const QByteArray header("\xff\xd8\xff\xe0", 4);
    const QString files[] = {
        TileFiles::WriteBytes(Path("empty.JPG"), QByteArray()),
        TileFiles::WriteBytes(Path("html.JPG"), "<html>Server busy</html>"),
        TileFiles::WriteBytes(Path("header-only.JPG"), header),
        TileFiles::WriteBytes(Path("junk.GIF"), QByteArray(500, 'x')),
        Path("missing.JPG"),
        folder.path(),
    };
    for (const QString& file : files) {
        SCOPED_TRACE(file.toStdString());
        EXPECT_FALSE(picture.PasteTile(file, 0, 0));
        EXPECT_EQ(picture.Map(), mapBefore);
        EXPECT_EQ(picture.Preview(), previewBefore);
    }
    EXPECT_EQ(picture.Map().pixel(100, 100), colour);
}

TEST_F(MapPictureTest, ClearBlanksMapAndPreview)
{
    MapPicture picture;
    picture.SizeMapPicture(1, 1);
    picture.SetPreviewSize(50, 50);
    PasteFlat(picture, "tile.JPG", 200, Qt::darkGreen, 0, 0);
    picture.Clear();
    EXPECT_TRUE(Filled(picture.Map(), picture.Map().rect(), Blank));
    EXPECT_TRUE(Filled(picture.Preview(), picture.Preview().rect(), Blank));
}

// Four flat quadrants of distinct colours; in any preview size every pixel must be one of them.
TEST_F(MapPictureTest, PreviewSamplesWholePixelsNeverBlends)
{
    const QSize previewSizes[] = {{800, 800}, {200, 200}, {977, 613}, {333, 271},
                                  {401, 1},   {1, 1},     {1217, 1213}};
    const QColor colours[] = {QColor(255, 0, 0), QColor(0, 0, 255), QColor(0, 255, 0),
                              QColor(255, 255, 0)};
    for (const QSize& size : previewSizes) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        MapPicture picture;
        picture.SizeMapPicture(2, 2);
        picture.SetPreviewSize(size.width(), size.height());
        // quadrant[r][c]: row r counted from the top of the picture
        QRgb quadrant[2][2];
        for (int16_t row = 0; row < 2; ++row)
            for (int16_t column = 0; column < 2; ++column)
                quadrant[1 - row][column] = PasteFlat(picture, "q.JPG", 200,
                                                      colours[row * 2 + column], column, row);
        const std::set<QRgb> palette = {quadrant[0][0], quadrant[0][1], quadrant[1][0],
                                        quadrant[1][1]};
        ASSERT_EQ(palette.size(), 4u);
        const QImage& preview = picture.Preview();
        ASSERT_EQ(preview.size(), size);
        for (int y = 0; y < size.height(); ++y)
            for (int x = 0; x < size.width(); ++x)
                ASSERT_TRUE(palette.count(preview.pixel(x, y))) << x << "," << y;
        // Each corner shows its own tile.
        if (size.width() > 1 && size.height() > 1) {
            EXPECT_EQ(preview.pixel(0, 0), quadrant[0][0]);
            EXPECT_EQ(preview.pixel(size.width() - 1, 0), quadrant[0][1]);
            EXPECT_EQ(preview.pixel(0, size.height() - 1), quadrant[1][0]);
            EXPECT_EQ(preview.pixel(size.width() - 1, size.height() - 1), quadrant[1][1]);
        }
    }
}

// Enlarging by whole factors repeats every map pixel exactly.
TEST_F(MapPictureTest, WholeFactorsRepeatEveryPixel)
{
    MapPicture picture;
    picture.SizeMapPicture(1, 1);
    const QString file = TileFiles::WriteJpeg(Path("noise.JPG"), TileFiles::Noise(200, 200, 7));
    ASSERT_TRUE(picture.PasteTile(file, 0, 0));
    const QImage& map = picture.Map();

    picture.SetPreviewSize(400, 600);
    for (int y = 0; y < 600; ++y)
        for (int x = 0; x < 400; ++x)
            ASSERT_EQ(picture.Preview().pixel(x, y), map.pixel(x / 2, y / 3)) << x << "," << y;
}

// After every paste the preview must be exactly what a whole redraw gives.
TEST_F(MapPictureTest, RedrawAfterAPasteEqualsAWholeRedraw)
{
    const QSize previewSizes[] = {{457, 311}, {977, 613}, {600, 600}, {37, 1000}};
    QStringList files;
    for (int i = 0; i < 4; ++i)
        files << TileFiles::WriteJpeg(Path(QString("noise%1.JPG").arg(i)),
                                      TileFiles::Noise(i == 3 ? 260 : 200, i == 3 ? 260 : 200, i));
    for (const QSize& size : previewSizes) {
        SCOPED_TRACE(testing::Message() << size.width() << "x" << size.height());
        MapPicture picture;
        picture.SizeMapPicture(3, 3);
        picture.SetPreviewSize(size.width(), size.height());
        int tile = 0;
        for (int16_t row = 2; row >= 0; --row) {
            for (int16_t column = 0; column < 3; ++column) {
                ASSERT_TRUE(picture.PasteTile(files[tile++ % files.size()], column, row));
                const QImage incremental = picture.Preview().copy();
                picture.DrawPreview();
                ASSERT_EQ(incremental, picture.Preview()) << "column " << column << " row " << row;
            }
        }
    }
}

TEST_F(MapPictureTest, DegenerateSizesDoNotFail)
{
    MapPicture picture;
    picture.SetPreviewSize(0, 0);
    picture.DrawPreview();
    picture.SizeMapPicture(0, 3);
    EXPECT_TRUE(picture.Map().isNull());
    const QString file = TileFiles::WriteJpeg(Path("t.JPG"), TileFiles::Flat(200, 200, Qt::red));
    EXPECT_TRUE(picture.PasteTile(file, 0, 0));
    picture.SizeMapPicture(1, 1);
    picture.SetPreviewSize(-5, 10);
    EXPECT_TRUE(picture.Preview().isNull());
    // A grid place outside the map pastes nothing and touches nothing.
    EXPECT_TRUE(picture.PasteTile(file, 5, 9));
    EXPECT_TRUE(Filled(picture.Map(), picture.Map().rect(), Blank));
}

}  // namespace
