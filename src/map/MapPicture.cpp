#include "MapPicture.h"

#include <algorithm>
#include <cstring>

#include <QBuffer>
#include <QImageReader>
#include <QPainter>

#include "GridSquaresPainter.h"

#include "TileAddress.h"

namespace {

constexpr int TileSide = TileSidePixels;
// Squares not yet filled show white.
constexpr QRgb BlankPixel = 0xffffffff;

// Nearest-neighbour source index for each destination index: the source pixel under the centre
// of the destination pixel. Monotone, so the destination pixels that sample a source range form
// one run.
std::vector<int> SampleTable(int destinationLength, int sourceLength)
{
    std::vector<int> table(static_cast<size_t>(std::max(destinationLength, 0)));
    if (sourceLength <= 0)
        return table;
    for (int i = 0; i < destinationLength; ++i) {
        const int64_t source = (2 * int64_t(i) + 1) * sourceLength / (2 * int64_t(destinationLength));
        table[size_t(i)] = int(std::min<int64_t>(source, sourceLength - 1));
    }
    return table;
}

// The run [first, last) of destination indexes whose samples lie in [sourceFirst, sourceLast).
std::pair<int, int> DestinationRun(const std::vector<int>& table, int sourceFirst, int sourceLast)
{
    const auto first = std::lower_bound(table.begin(), table.end(), sourceFirst);
    const auto last = std::lower_bound(first, table.end(), sourceLast);
    return {int(first - table.begin()), int(last - table.begin())};
}

QImage BlankImage(int width, int height)
{
    if (width <= 0 || height <= 0)
        return QImage();
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(BlankPixel);
    return image;
}

}  // namespace

MapPicture::MapPicture() = default;

void MapPicture::SizeMapPicture(int16_t tilesWide, int16_t tilesHigh)
{
    m_map = BlankImage(int(tilesWide) * TileSide, int(tilesHigh) * TileSide);
    RebuildSampleTables();
    DrawPreview();
}

void MapPicture::Clear()
{
    if (!m_map.isNull())
        m_map.fill(BlankPixel);
    if (!m_preview.isNull())
        m_preview.fill(BlankPixel);
}

namespace {

QImage ReadTile(QImageReader& reader)
{
    reader.setAutoDetectImageFormat(false);
    QImage tile;
    if (!reader.read(&tile) || tile.isNull())
        return {};
    if (tile.format() != QImage::Format_RGB32)
        tile.convertTo(QImage::Format_RGB32);
    return tile;
}

}  // namespace

QImage ReadTileFile(const QString& tileFile)
{
    // The name decides the decoder; a GIF stored under ".JPG" is not guessed at.
    QImageReader reader(tileFile, tileFile.right(3).toUpper() == QLatin1String("GIF") ? "gif" : "jpg");
    return ReadTile(reader);
}

QImage DecodeTile(const QByteArray& bytes)
{
    // As stored: the first bytes choose the name, the name the decoder.
    QBuffer buffer;
    buffer.setData(bytes);
    const bool gif = FormatOfBody(std::string_view(bytes.constData(), size_t(bytes.size()))) == TileFormat::Gif;
    QImageReader reader(&buffer, gif ? "gif" : "jpg");
    return ReadTile(reader);
}

bool MapPicture::PasteTile(const QString& tileFile, int16_t column, int16_t row)
{
    return PasteImage(ReadTileFile(tileFile), column, row);
}

bool MapPicture::PasteImage(QImage tile, int16_t column, int16_t row)
{
    if (tile.isNull())
        return false;
    if (tile.format() != QImage::Format_RGB32)
        tile.convertTo(QImage::Format_RGB32);
    m_oneTile = std::move(tile);

    // Anchored at the grid point whatever the tile's size; the map clips the rest.
    const int x = int(column) * TileSide;
    const int y = m_map.height() - (int(row) + 1) * TileSide;
    const QRect touched =
        QRect(x, y, m_oneTile.width(), m_oneTile.height()).intersected(m_map.rect());
    if (touched.isEmpty())
        return true;

    const size_t rowBytes = size_t(touched.width()) * sizeof(QRgb);
    for (int mapY = touched.top(); mapY <= touched.bottom(); ++mapY) {
        const auto* source = reinterpret_cast<const QRgb*>(m_oneTile.constScanLine(mapY - y)) +
                             (touched.left() - x);
        auto* destination = reinterpret_cast<QRgb*>(m_map.scanLine(mapY)) + touched.left();
        std::memcpy(destination, source, rowBytes);
    }
    DrawPreviewRect(touched);
    return true;
}

void MapPicture::SetPreviewSize(int width, int height)
{
    m_preview = BlankImage(width, height);
    RebuildSampleTables();
    DrawPreview();
}

void MapPicture::DrawPreview()
{
    DrawPreviewRect(m_map.rect());
}

void MapPicture::DrawGridSquares(const PixelMapping& mapping)
{
    if (m_map.isNull())
        return;
    QPainter painter(&m_map);
    ::DrawGridSquares(painter, QRectF(m_map.rect()), mapping);
    painter.end();
    DrawPreview();
}

void MapPicture::RebuildSampleTables()
{
    m_sampleColumns = SampleTable(m_preview.width(), m_map.width());
    m_sampleRows = SampleTable(m_preview.height(), m_map.height());
}

void MapPicture::DrawPreviewRect(const QRect& mapRect)
{
    if (m_map.isNull() || m_preview.isNull())
        return;
    const auto [firstColumn, lastColumn] =
        DestinationRun(m_sampleColumns, mapRect.left(), mapRect.right() + 1);
    const auto [firstRow, lastRow] =
        DestinationRun(m_sampleRows, mapRect.top(), mapRect.bottom() + 1);
    for (int previewY = firstRow; previewY < lastRow; ++previewY) {
        const auto* source =
            reinterpret_cast<const QRgb*>(m_map.constScanLine(m_sampleRows[size_t(previewY)]));
        auto* destination = reinterpret_cast<QRgb*>(m_preview.scanLine(previewY));
        for (int previewX = firstColumn; previewX < lastColumn; ++previewX)
            destination[previewX] = source[m_sampleColumns[size_t(previewX)]];
    }
}
