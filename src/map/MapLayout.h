#pragma once

#include <cstdint>

#include <QLocale>
#include <QString>

// Where the preview goes: fitted to the width of the free space, or to its height when that is
// too tall, with the map's aspect ratio, and centred in the space that begins at previewLeft.
struct PreviewGeometry {
    float Left = 0;    // left edge of picShow (half pixels possible)
    int Width = 0;     // outer width of picShow, border included
    int Height = 0;    // outer height
};

// All lengths in pixels. margin: Frame1's left offset, also kept right of and below the preview.
PreviewGeometry LayoutPreviewGeometry(int clientWidth, int clientHeight, int previewLeft,
                                      int previewTop, int margin, int mapWidth, int mapHeight);

// "1,094 yards W to E and 1.2 miles N to S" for the list indexes, in the given locale's number
// formats.
QString SizeCaptionText(int16_t widthIndex, int16_t heightIndex, int16_t scaleIndex,
                        const QLocale& locale = QLocale());
