#pragma once

#include <memory>
#include <string>

#include <gdal_priv.h>
#include <gdal_utils.h>
#include <gdalwarper.h>

// Once per process: drivers, no side files, bounded web waits, our User-Agent.
void InitialiseGdal();

// The owners of what GDAL hands out, each freed by GDAL's own call for it; nothing else closes
// or frees these.
template <auto Free>
struct GdalRelease {
    template <typename T>
    void operator()(T* object) const { Free(object); }
};
using DatasetCloser = GdalRelease<GDALClose>;
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;
// Frees the option list and band arrays it holds as well.
using WarpOptionsPtr = std::unique_ptr<GDALWarpOptions, GdalRelease<GDALDestroyWarpOptions>>;
using TranslateOptionsPtr = std::unique_ptr<GDALTranslateOptions, GdalRelease<GDALTranslateOptionsFree>>;
// A string GDAL allocated for the caller.
using CplString = std::unique_ptr<char, GdalRelease<CPLFree>>;

// The PROJ definition of UTM zone `zone` (north) on the program's own ellipsoid, so that a tile
// agrees with the calibration the program writes for it.
std::string ProgramUtmDefinition(int zone);

// Collects GDAL's failures on this thread while it lives (GDAL reports them through a handler,
// not through return values alone).
class GdalErrorCollector {
public:
    GdalErrorCollector();
    ~GdalErrorCollector();
    GdalErrorCollector(const GdalErrorCollector&) = delete;
    GdalErrorCollector& operator=(const GdalErrorCollector&) = delete;

    bool Failed() const { return !m_first.empty(); }
    const std::string& FirstFailure() const { return m_first; }

private:
    static void CPL_STDCALL Handler(CPLErr level, CPLErrorNum number, const char* message);
    std::string m_first;
};
