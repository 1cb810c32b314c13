#pragma once

#include <cstdint>
#include <vector>

#include <QImage>
#include <QRect>
#include <QString>

#include "GridSquares.h"

// A tile file decoded as GIF when its name ends in "GIF" in any case, JPEG otherwise, in
// Format_RGB32; a null image when it is no such picture.
QImage ReadTileFile(const QString& tileFile);
// A tile's bytes decoded the way they would be read back from the tile library.
QImage DecodeTile(const QByteArray& bytes);

// The composed map (picMap, one pixel per map pixel), the scratch tile (picOneTile) and the
// scaled preview (the inside of picShow). Pixel copies only: tiles are pasted without blending
// and the preview samples nearest neighbours (rows and columns dropped or repeated).
class MapPicture {
public:
    MapPicture();

    // picMap becomes tilesWide * 200 by tilesHigh * 200 pixels.
    void SizeMapPicture(int16_t tilesWide, int16_t tilesHigh);
    // Clears picMap and the preview (start of a download).
    void Clear();
    // Decodes tileFile (GIF when its name ends in "GIF" in any case, JPEG otherwise) and copies it
    // with its top-left corner at (column * 200, mapHeight - (row + 1) * 200), then updates the
    // preview. False, and nothing pasted, when the file cannot be decoded.
    bool PasteTile(const QString& tileFile, int16_t column, int16_t row);
    // The same for a tile already decoded (ReadTileFile, DecodeTile); false for a null image.
    bool PasteImage(QImage tile, int16_t column, int16_t row);

    // The preview's drawing area in pixels (picShow's inside); redraws it.
    void SetPreviewSize(int width, int height);
    // Redraws the whole preview from the map.
    void DrawPreview();
    // Draws the grid squares into the map (mapping: its pixels), then redraws the preview.
    void DrawGridSquares(const PixelMapping& mapping);

    const QImage& Map() const { return m_map; }
    const QImage& Preview() const { return m_preview; }
    const QImage& OneTile() const { return m_oneTile; }

private:
    void RebuildSampleTables();
    // Redraws only the preview pixels that sample mapRect, exactly as a whole redraw would.
    void DrawPreviewRect(const QRect& mapRect);

    QImage m_map;
    QImage m_oneTile;
    QImage m_preview;
    std::vector<int> m_sampleColumns;  // map column shown in each preview column
    std::vector<int> m_sampleRows;     // map row shown in each preview row
};
