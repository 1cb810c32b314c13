#include "MapLayout.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "TileAddress.h"

namespace {

// To the nearest whole number, halves to the even neighbour, into a 16-bit signed range.
int RoundToInt16(double value)
{
    if (std::isnan(value))
        return 0;
    const double rounded = std::nearbyint(value);  // default rounding mode: halves to even
    return int(std::clamp(rounded, double(std::numeric_limits<int16_t>::min()),
                          double(std::numeric_limits<int16_t>::max())));
}

constexpr double YardsPerMetre = 1.0936;
constexpr int64_t YardsPerMile = 1760;

QString LengthText(int64_t yards, const QLocale& locale)
{
    if (yards >= YardsPerMile) {
        // "0.0": one decimal, no thousands separators.
        QLocale plain = locale;
        plain.setNumberOptions(QLocale::OmitGroupSeparator);
        return plain.toString(double(yards) / YardsPerMile, 'f', 1) + QStringLiteral(" miles");
    }
    // "Standard" (thousands separators, two decimals) with the decimals cut off. The cut looks
    // for the locale's decimal separator: where "." groups thousands, cutting at "." would turn
    // 1.094,00 into "1".
    QLocale grouped = locale;
    grouped.setNumberOptions(grouped.numberOptions() & ~QLocale::OmitGroupSeparator);
    QString text = grouped.toString(double(yards), 'f', 2);
    const qsizetype cut = text.indexOf(grouped.decimalPoint());
    if (cut >= 0)
        text.truncate(cut);
    return text + QStringLiteral(" yards");
}

}  // namespace

PreviewGeometry LayoutPreviewGeometry(int clientWidth, int clientHeight, int previewLeft,
                                      int previewTop, int margin, int mapWidth, int mapHeight)
{
    PreviewGeometry geometry;
    const int availableWidth = RoundToInt16(double(clientWidth) - previewLeft - margin);
    const int availableHeight = RoundToInt16(double(clientHeight) - previewTop - margin);
    if (mapWidth <= 0 || mapHeight <= 0) {
        geometry.Left = float(previewLeft);
        return geometry;
    }

    int width = availableWidth;
    int height = RoundToInt16(double(availableWidth) * mapHeight / mapWidth);
    if (height > availableHeight) {
        height = availableHeight;
        width = RoundToInt16(double(availableHeight) * mapWidth / mapHeight);
    }
    // A window squeezed below the preview's start leaves no room rather than a negative size.
    geometry.Width = std::max(width, 0);
    geometry.Height = std::max(height, 0);
    geometry.Left = float(availableWidth - geometry.Width) / 2.0f + float(previewLeft);
    return geometry;
}

QString SizeCaptionText(int16_t widthIndex, int16_t heightIndex, int16_t scaleIndex,
                        const QLocale& locale)
{
    const int tilesWide = widthIndex + 1;
    const int tilesHigh = heightIndex + 1;
    // 2^i rounded to a whole number of metres; the lists hold 0..9, the clamp only keeps
    // stray indexes from overflowing.
    const int64_t metresPerPixel =
        std::llrint(std::ldexp(1.0, std::clamp<int>(scaleIndex, -1, 30)));
    const int64_t metresPerTile = metresPerPixel * TileSidePixels;
    const auto yards = [&](int tiles) {
        return int64_t(std::llrint(double(metresPerTile) * tiles * YardsPerMetre));
    };
    return LengthText(yards(tilesWide), locale) + QStringLiteral(" W to E and ") +
           LengthText(yards(tilesHigh), locale) + QStringLiteral(" N to S");
}
