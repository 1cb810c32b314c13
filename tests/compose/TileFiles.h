#pragma once

#include <QColor>
#include <QFile>
#include <QImage>
#include <QRandomGenerator>
#include <QString>

// Tile files for the tests, written into a folder the test owns.
namespace TileFiles {

inline QString WriteJpeg(const QString& path, const QImage& image)
{
    image.save(path, "jpg", 95);
    return path;
}

inline QImage Flat(int width, int height, QColor colour)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

// Busy picture content: every pixel differs from its neighbours.
inline QImage Noise(int width, int height, quint32 seed)
{
    QImage image(width, height, QImage::Format_RGB32);
    QRandomGenerator random(seed);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, random.generate() | 0xff000000u);
    return image;
}

// A 1 x 1 GIF whose one pixel is pure red.
inline QString WriteRedGif(const QString& path)
{
    static const char bytes[] =
        "GIF89a\x01\x00\x01\x00\x80\x00\x00\xff\x00\x00\x00\x00\x00"
        ",\x00\x00\x00\x00\x01\x00\x01\x00\x00\x02\x02\x44\x01\x00;";
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes, sizeof(bytes) - 1);
    return path;
}

inline QString WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    file.open(QIODevice::WriteOnly);
    file.write(bytes);
    return path;
}

}  // namespace TileFiles
