#include "TileWarper.h"

#include <cmath>

#include <gdal_alg.h>
#include <gdalwarper.h>
#include <ogr_spatialref.h>
#include <vrtdataset.h>

struct TileWarper::Transformer {
    void* Exact = nullptr;        // destination pixels to source pixels, through the zone's UTM
    void* Approximate = nullptr;  // the same, interpolated where it stays within 1/8 pixel
    ~Transformer()
    {
        if (Approximate)
            GDALDestroyApproxTransformer(Approximate);
        if (Exact)
            GDALDestroyGenImgProjTransformer(Exact);
    }
};

struct TileWarper::Zone {
    std::string Wkt;
    double NaturalPixel = 0;  // metres: the source's own resolution seen in this zone; 0 unknown
    std::map<int, std::unique_ptr<Transformer>> Levels;  // by overview level, -1 the full resolution
};

TileWarper::TileWarper(GDALDataset* source) : m_source(source)
{
    const int bands = source->GetRasterCount();
    if (bands >= 2 && source->GetRasterBand(bands)->GetColorInterpretation() == GCI_AlphaBand)
        m_alphaBand = bands;
    m_colourBands = (m_alphaBand ? bands - 1 : bands) >= 3 ? 3 : 1;
}

TileWarper::~TileWarper() = default;

TileWarper::Zone* TileWarper::ZoneOf(int number, std::string& error)
{
    auto found = m_zones.find(number);
    if (found != m_zones.end())
        return found->second.get();
    OGRSpatialReference utm;
    char* text = nullptr;
    const bool known = utm.SetFromUserInput(ProgramUtmDefinition(number).c_str()) == OGRERR_NONE &&
                       utm.exportToWkt(&text) == OGRERR_NONE;
    const CplString wkt(text);
    if (!known) {
        error = "UTM zone " + std::to_string(number) + " is not known to PROJ";
        return nullptr;
    }
    auto zone = std::make_unique<Zone>();
    zone->Wkt = wkt.get();
    Transformer* full = TransformerOf(*zone, -1, error);
    if (!full)
        return nullptr;
    double transform[6], extent[4];
    int columns = 0, rows = 0;
    if (GDALSuggestedWarpOutput2(m_source, GDALGenImgProjTransform, full->Exact, transform, &columns, &rows, extent, 0) == CE_None)
        zone->NaturalPixel = transform[1];
    return m_zones.emplace(number, std::move(zone)).first->second.get();
}

// The overview's bands (and the mask they share, if any) as a dataset with its own geotransform,
// so that it can be warped like the source itself.
GDALDataset* TileWarper::Overview(int level)
{
    DatasetPtr& slot = m_overviews[level];
    if (slot)
        return slot.get();
    GDALRasterBand* first = m_source->GetRasterBand(1)->GetOverview(level);
    if (!first)
        return nullptr;
    const int width = first->GetXSize(), height = first->GetYSize();
    DatasetPtr overview(new VRTDataset(width, height));
    auto* vrt = static_cast<VRTDataset*>(overview.get());
    for (int b = 1; b <= m_source->GetRasterCount(); ++b) {
        GDALRasterBand* band = m_source->GetRasterBand(b);
        GDALRasterBand* reduced = band->GetOverview(level);
        if (!reduced || reduced->GetXSize() != width || reduced->GetYSize() != height)
            return nullptr;
        vrt->AddBand(band->GetRasterDataType(), nullptr);
        auto* target = static_cast<VRTSourcedRasterBand*>(vrt->GetRasterBand(b));
        target->AddSimpleSource(reduced);
        target->SetColorInterpretation(band->GetColorInterpretation());
        int hasNoData = FALSE;
        const double noData = band->GetNoDataValue(&hasNoData);
        if (hasNoData)
            target->SetNoDataValue(noData);
    }
    GDALRasterBand* mask = m_source->GetRasterBand(1)->GetMaskBand();
    if (m_source->GetRasterBand(1)->GetMaskFlags() == GMF_PER_DATASET && mask->GetOverview(level)) {
        auto* reducedMask = new VRTSourcedRasterBand(vrt, 0, GDT_Byte, width, height);
        reducedMask->AddSimpleSource(mask->GetOverview(level));
        vrt->SetMaskBand(reducedMask);
    }
    const double sx = double(m_source->GetRasterXSize()) / width, sy = double(m_source->GetRasterYSize()) / height;
    double transform[6];
    if (m_source->GetGeoTransform(transform) == CE_None) {
        transform[1] *= sx, transform[2] *= sy, transform[4] *= sx, transform[5] *= sy;
        vrt->SetGeoTransform(transform);
        vrt->SetSpatialRef(m_source->GetSpatialRef());
    } else {
        std::vector<GDAL_GCP> points(m_source->GetGCPs(), m_source->GetGCPs() + m_source->GetGCPCount());
        for (GDAL_GCP& point : points)
            point.dfGCPPixel /= sx, point.dfGCPLine /= sy;
        vrt->SetGCPs(int(points.size()), points.data(), m_source->GetGCPSpatialRef());
    }
    slot = std::move(overview);
    return slot.get();
}

TileWarper::Transformer* TileWarper::TransformerOf(Zone& zone, int level, std::string& error)
{
    std::unique_ptr<Transformer>& slot = zone.Levels[level];
    if (slot)
        return slot.get();
    GDALDataset* source = level < 0 ? m_source : Overview(level);
    const std::string target = "DST_SRS=" + zone.Wkt;
    const char* options[] = {target.c_str(), nullptr};
    auto transformer = std::make_unique<Transformer>();
    if (source)
        transformer->Exact = GDALCreateGenImgProjTransformer2(source, nullptr, const_cast<char**>(options));
    if (!transformer->Exact) {
        zone.Levels.erase(level);
        error = "there is no transformation from it to UTM";
        return nullptr;
    }
    transformer->Approximate = GDALCreateApproxTransformer(GDALGenImgProjTransform, transformer->Exact, 0.125);
    slot = std::move(transformer);
    return slot.get();
}

bool TileWarper::Warp(double west, double south, double east, double north, int zoneNumber, int side,
                      std::vector<uint8_t>& planes, int& colourBands, std::string& error)
{
    Zone* zone = ZoneOf(zoneNumber, error);
    if (!zone)
        return false;

    // As gdalwarp chooses: the coarsest overview still about as fine as the tile's pixels.
    const double pixel = (east - west) / side;
    GDALRasterBand* first = m_source->GetRasterBand(1);
    const int overviews = first->GetOverviewCount();
    const double ratio = zone->NaturalPixel > 0 ? pixel / zone->NaturalPixel : 1;
    int level = -1;
    if (overviews > 0 && ratio > 1) {
        const auto reduction = [&](int i) { return i < 0 ? 1.0 : double(m_source->GetRasterXSize()) / first->GetOverview(i)->GetXSize(); };
        while (level < overviews - 1 && !(reduction(level) < ratio && reduction(level + 1) > ratio) &&
               std::fabs(reduction(level) - ratio) >= 0.1)
            ++level;
    }
    Transformer* transformer = TransformerOf(*zone, level, error);
    if (!transformer && level >= 0)
        transformer = TransformerOf(*zone, level = -1, error);
    if (!transformer)
        return false;
    double transform[6] = {west, pixel, 0, north, 0, -(north - south) / side};
    GDALSetGenImgProjTransformerDstGeoTransform(transformer->Exact, transform);

    const int bands = m_colourBands + 1;
    if (!m_target || m_target->GetRasterXSize() != side) {
        m_target.reset(GetGDALDriverManager()->GetDriverByName("MEM")->Create("", side, side, bands, GDT_Byte, nullptr));
        if (!m_target) {
            error = "no memory for the tile";
            return false;
        }
    }
    const WarpOptionsPtr options(GDALCreateWarpOptions());
    options->hSrcDS = level < 0 ? m_source : Overview(level);
    options->hDstDS = m_target.get();
    options->eResampleAlg = GRA_Bilinear;
    options->eWorkingDataType = GDT_Byte;
    options->nBandCount = m_colourBands;
    options->panSrcBands = static_cast<int*>(CPLMalloc(sizeof(int) * size_t(m_colourBands)));
    options->panDstBands = static_cast<int*>(CPLMalloc(sizeof(int) * size_t(m_colourBands)));
    bool noData = false;
    for (int b = 0; b < m_colourBands; ++b) {
        options->panSrcBands[b] = options->panDstBands[b] = b + 1;
        int has = FALSE;
        m_source->GetRasterBand(b + 1)->GetNoDataValue(&has);
        noData = noData || has;
    }
    if (noData) {
        // A band without a no-data value of its own gets one that no byte can have.
        options->padfSrcNoDataReal = static_cast<double*>(CPLMalloc(sizeof(double) * size_t(m_colourBands)));
        for (int b = 0; b < m_colourBands; ++b) {
            int has = FALSE;
            const double value = m_source->GetRasterBand(b + 1)->GetNoDataValue(&has);
            options->padfSrcNoDataReal[b] = has ? value : -1e10;
        }
    }
    options->nSrcAlphaBand = m_alphaBand;
    options->nDstAlphaBand = bands;
    options->pfnTransformer = GDALApproxTransform;
    options->pTransformerArg = transformer->Approximate;
    options->papszWarpOptions = CSLSetNameValue(nullptr, "INIT_DEST", "0");
    bool warped = false;
    {
        GDALWarpOperation operation;
        warped = operation.Initialize(options.get()) == CE_None && operation.ChunkAndWarpImage(0, 0, side, side) == CE_None;
    }
    if (!warped) {
        error = "the warp failed";
        return false;
    }
    planes.resize(size_t(bands) * size_t(side) * size_t(side));
    colourBands = m_colourBands;
    if (m_target->RasterIO(GF_Read, 0, 0, side, side, planes.data(), side, side, GDT_Byte, bands, nullptr, 0, 0, 0, nullptr) != CE_None) {
        error = "the warped tile could not be read back";
        return false;
    }
    return true;
}
