#include "GdalSupport.h"

#include <cstdio>
#include <mutex>

#include <cpl_conv.h>

#include "Geodesy.h"
#include "Version.h"

void InitialiseGdal()
{
    static std::once_flag once;
    std::call_once(once, [] {
        GDALAllRegister();
        CPLSetConfigOption("GDAL_PAM_ENABLED", "NO");
        // GDAL's block cache would otherwise grow to a twentieth of the memory.
        if (!CPLGetConfigOption("GDAL_CACHEMAX", nullptr))
            CPLSetConfigOption("GDAL_CACHEMAX", "128");
        CPLSetConfigOption("CPL_VSIL_CURL_ALLOWED_EXTENSIONS", nullptr);
        // Short waits: a dead network costs a few seconds once, then its sources are skipped.
        if (!CPLGetConfigOption("GDAL_HTTP_TIMEOUT", nullptr))
            CPLSetConfigOption("GDAL_HTTP_TIMEOUT", "10");
        if (!CPLGetConfigOption("GDAL_HTTP_CONNECTTIMEOUT", nullptr))
            CPLSetConfigOption("GDAL_HTTP_CONNECTTIMEOUT", "3");
        static const std::string agent = std::string("quiltmap-tileserver/") + QuiltmapVersion::Text;
        CPLSetConfigOption("GDAL_HTTP_USERAGENT", agent.c_str());
    });
}

std::string ProgramUtmDefinition(int zone)
{
    // Row 22 of the program's catalogue, "WGS-84" with its own polar radius.
    static const Geodesy catalogue;
    char text[160];
    snprintf(text, sizeof text, "+proj=utm +zone=%d +a=%.17g +b=%.17g +units=m +no_defs +type=crs", zone,
             catalogue.eMajor(22), catalogue.eMinor(22));
    return text;
}

GdalErrorCollector::GdalErrorCollector()
{
    CPLPushErrorHandlerEx(Handler, this);
}

GdalErrorCollector::~GdalErrorCollector()
{
    CPLPopErrorHandler();
}

void CPL_STDCALL GdalErrorCollector::Handler(CPLErr level, CPLErrorNum, const char* message)
{
    auto* self = static_cast<GdalErrorCollector*>(CPLGetErrorHandlerUserData());
    if (level < CE_Failure || !self || !self->m_first.empty())
        return;
    // One line: GDAL's messages may run over several.
    std::string text;
    for (const char* c = message ? message : "unknown failure"; *c; ++c) {
        const bool blank = *c == '\n' || *c == '\r' || *c == '\t' || *c == ' ';
        if (!blank)
            text += *c;
        else if (!text.empty() && text.back() != ' ')
            text += ' ';
    }
    while (!text.empty() && text.back() == ' ')
        text.pop_back();
    self->m_first = text;
}
