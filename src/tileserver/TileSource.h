#pragma once

#include <string>

#include "RgbImage.h"
#include "TileAddress.h"

// Ground colours of a tile that a source does not cover.
inline constexpr Rgb kPhotoBackground{128, 128, 128};
inline constexpr Rgb kPaper{250, 246, 232};

inline Rgb BackgroundOf(int type)
{
    return type == 2 ? kPaper : kPhotoBackground;
}

struct RenderResult {
    bool Ok = true;
    std::string Error;         // one line, when the source failed (a web service that did not answer)
    int Status = 502;          // the answer for a failure: the source is the server's upstream
    bool Unreachable = false;  // failed because the source could not be reached at all
    bool Covered = true;       // drawn, but false when the tile lies wholly outside the source
    bool Provisional = false;  // drawn from lesser data for the time being: not to be kept long
};

// Something that paints tiles. Render is called from several threads at once.
class TileSource {
public:
    virtual ~TileSource() = default;
    // Fills `image` (200 x 200) with the tile; outside the source's coverage, a plain background.
    virtual RenderResult Render(const TileAddress& tile, RgbImage& image) = 0;
    // Names the source in the disk cache: different sources (or renderings) never share tiles.
    virtual std::string CacheKey() const = 0;
    // For the start-up line of the log.
    virtual std::string Describe() const = 0;
    // False while the source still prepares its data (tiles then wait for it).
    virtual bool Ready() const { return true; }
};
