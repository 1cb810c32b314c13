#include <QTemporaryDir>
#include <gtest/gtest.h>

#include "MapPicture.h"
#include "TestFiles.h"

namespace {

QImage TileImage(int side, QColor colour)
{
    QImage image(side, side, QImage::Format_RGB32);
    return image.fill(colour), image;
}

// Pixels inside rect equal colour, all others are white.
bool OnlyRectFilled(const QImage& image, const QRect& rect, QRgb colour)
{
    for (int y = 0; y < image.height(); ++y) for (int x = 0; x < image.width(); ++x)
            if (image.pixel(x, y) != (rect.contains(x, y) ? colour : 0xffffffff)) return false;
    return true;
}

class MapPictureTest : public ::testing::Test {
protected:
    QTemporaryDir folder;

    // Writes the bytes, or the image as JPEG; returns the path.
    QString File(const QString& name, const QByteArray& bytes, const QImage& jpeg = {})
    {
        const QString path = folder.filePath(name);
        EXPECT_TRUE(jpeg.isNull() ? WriteFile(path, bytes) : jpeg.save(path, "jpg", 95));
        return path;
    }
    // Pastes a flat tile; returns the colour it decodes to.
    QRgb PasteFlat(MapPicture& picture, int side, QColor colour, int16_t column, int16_t row)
    {
        EXPECT_TRUE(picture.PasteTile(File("tile.JPG", {}, TileImage(side, colour)), column, row));
        return picture.OneTile().pixel(side / 2, side / 2);
    }
};

// Rows count up from the bottom; a smaller tile leaves a strip of its square untouched, a larger
// one spills right and down and is clipped at the map's edges; one outside the map is dropped.
TEST_F(MapPictureTest, TilesLandAtTheirGridPlace)
{
    const struct { int16_t wide, high, column, row; int side; QRect covered; } cases[] = {
        {3, 2, 0, 0, 200, QRect(0, 200, 200, 200)}, {3, 2, 2, 1, 200, QRect(400, 0, 200, 200)},
        {2, 2, 1, 0, 150, QRect(200, 200, 150, 150)}, {2, 2, 0, 1, 260, QRect(0, 0, 260, 260)},
        {2, 2, 1, 0, 260, QRect(200, 200, 200, 200)}, {2, 2, 5, 9, 200, QRect()}};
    for (const auto& c : cases) {
        MapPicture picture;
        picture.SizeMapPicture(c.wide, c.high);
        ASSERT_EQ(picture.Map().size(), QSize(c.wide * 200, c.high * 200));
        const QRgb colour = PasteFlat(picture, c.side, QColor(20, 90, 200), c.column, c.row);
        EXPECT_TRUE(OnlyRectFilled(picture.Map(), c.covered, colour)) << c.column << "," << c.row << " " << c.side;
    }
}

// The name, not the content, chooses the decoder; a file that does not decode changes nothing.
TEST_F(MapPictureTest, UndecodableTileLeavesItsSquareAsItWas)
{
    const char redGif[] = "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
                          ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;";
    const QByteArray gif(redGif, sizeof(redGif) - 1);
    MapPicture picture;
    picture.SizeMapPicture(2, 1);
    picture.SetPreviewSize(90, 45);
    ASSERT_TRUE(picture.PasteTile(File("1-10-10-5-7.gif", gif), 1, 0));
    EXPECT_EQ(picture.Map().pixel(200, 0), qRgb(255, 0, 0));
    const QImage map = picture.Map().copy(), preview = picture.Preview().copy();
    for (const QString& file : {File("gif.JPG", gif), File("jpeg.GIF", {}, TileImage(200, Qt::red)), File("empty.JPG", ""),
                                File("html.JPG", "<html>Server busy</html>"), folder.filePath("missing.JPG")})
        EXPECT_FALSE(picture.PasteTile(file, 0, 0) || picture.Map() != map || picture.Preview() != preview)
            << file.toStdString();
    picture.Clear();
    EXPECT_TRUE(OnlyRectFilled(picture.Map(), QRect(), 0) && OnlyRectFilled(picture.Preview(), QRect(), 0));
}

}  // namespace
