#pragma once

#include <memory>
#include <string>

#include <gdal_priv.h>

// Once per process: drivers, no side files, bounded web waits, our User-Agent.
void InitialiseGdal();

struct DatasetCloser {
    void operator()(GDALDataset* dataset) const { GDALClose(dataset); }
};
using DatasetPtr = std::unique_ptr<GDALDataset, DatasetCloser>;

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
