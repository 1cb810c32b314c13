#pragma once

#include <memory>
#include <string>

#include <gdal_priv.h>
#include <gdal_utils.h>
#include <gdalwarper.h>

// Once per process: drivers, no side files, bounded web waits, our User-Agent.
void InitialiseGdal();

// The owners of what GDAL hands out; nothing else closes or frees these.
struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

struct WarpOptionsFree {
    void operator()(GDALWarpOptions* options) const { GDALDestroyWarpOptions(options); }
};
// Frees the option list and band arrays it holds as well.
using WarpOptionsPtr = std::unique_ptr<GDALWarpOptions, WarpOptionsFree>;

struct TranslateOptionsFree {
    void operator()(GDALTranslateOptions* options) const { GDALTranslateOptionsFree(options); }
};
using TranslateOptionsPtr = std::unique_ptr<GDALTranslateOptions, TranslateOptionsFree>;

// A string GDAL allocated (CPLMalloc) and the caller frees.
struct CplFree {
    void operator()(char* text) const { CPLFree(text); }
};
using CplString = std::unique_ptr<char, CplFree>;

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
