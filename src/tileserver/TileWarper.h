#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "GdalSupport.h"

// Warps one GDAL dataset into square tiles of the program's UTM: bilinear, from the overview that
// fits the scale, with a coverage (alpha) band, as gdalwarp -t_srs -te -ts -r bilinear -dstalpha
// would. What does not change from tile to tile (the transformation to a zone, the choice of
// overviews, the destination raster) is made once and kept: making it took longer than warping
// a 200 x 200 tile. One thread at a time, like the dataset it reads.
class TileWarper {
public:
    explicit TileWarper(GDALDataset* source);
    ~TileWarper();
    TileWarper(const TileWarper&) = delete;
    TileWarper& operator=(const TileWarper&) = delete;

    // The square from (west, south) to (east, north), metres of UTM zone `zone` (north), in
    // side x side pixels. `planes` receives the colour bands (`colourBands`: 1 or 3), then the
    // coverage, side * side bytes each, rows top first. False with GDAL's message.
    bool Warp(double west, double south, double east, double north, int zone, int side, std::vector<uint8_t>& planes,
              int& colourBands, std::string& error);

private:
    struct Transformer;
    struct Zone;
    Zone* ZoneOf(int zone, std::string& error);
    GDALDataset* Overview(int level);
    Transformer* TransformerOf(Zone& zone, int level, std::string& error);

    GDALDataset* m_source;
    int m_colourBands = 0;
    int m_alphaBand = 0;  // of the source, 0 for none
    std::map<int, DatasetPtr> m_overviews;  // level: the overview's bands as a dataset of their own
    std::map<int, std::unique_ptr<Zone>> m_zones;  // declared after what its transformers read
    DatasetPtr m_target;
};
