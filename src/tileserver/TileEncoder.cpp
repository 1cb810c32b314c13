#include "TileEncoder.h"

#include <atomic>
#include <memory>

#include <gdal_alg.h>
#include <gdal_priv.h>

#include "GdalSupport.h"

namespace {

// A MEM dataset of `bands` Byte bands.
DatasetPtr MemoryDataset(int width, int height, int bands)
{
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName("MEM");
    return DatasetPtr(driver ? driver->Create("", width, height, bands, GDT_Byte, nullptr) : nullptr);
}

DatasetPtr RgbDataset(const RgbImage& image)
{
    InitialiseGdal();  // the encoders are GDAL's, whatever source drew the tile
    DatasetPtr dataset = MemoryDataset(image.Width, image.Height, 3);
    if (!dataset)
        return nullptr;
    // Pixel-interleaved source, band by band.
    for (int band = 0; band < 3; ++band) {
        auto* data = reinterpret_cast<uint8_t*>(const_cast<Rgb*>(image.Pixels.data())) + band;
        if (dataset->GetRasterBand(band + 1)->RasterIO(GF_Write, 0, 0, image.Width, image.Height, data, image.Width,
                                                       image.Height, GDT_Byte, 3, 3 * image.Width, nullptr) != CE_None)
            return nullptr;
    }
    return dataset;
}

// Writes through a driver into a memory file and takes its bytes.
std::string CopyToBytes(const char* driverName, GDALDataset* source, char** options, const char* extension)
{
    static std::atomic<unsigned> counter{0};
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
    if (!driver)
        return {};
    const std::string path = "/vsimem/quiltmap-tile-" + std::to_string(counter++) + extension;
    GDALDataset* written = driver->CreateCopy(path.c_str(), source, FALSE, options, nullptr, nullptr);
    std::string bytes;
    if (written) {
        GDALClose(written);
        vsi_l_offset length = 0;
        GByte* buffer = VSIGetMemFileBuffer(path.c_str(), &length, FALSE);
        if (buffer)
            bytes.assign(reinterpret_cast<const char*>(buffer), size_t(length));
    }
    VSIUnlink(path.c_str());
    return bytes;
}

}  // namespace

std::string EncodeJpeg(const RgbImage& image, int quality)
{
    DatasetPtr dataset = RgbDataset(image);
    if (!dataset)
        return {};
    const std::string qualityOption = "QUALITY=" + std::to_string(quality);
    const char* options[] = {qualityOption.c_str(), nullptr};
    return CopyToBytes("JPEG", dataset.get(), const_cast<char**>(options), ".jpg");
}

std::string EncodeGif(const RgbImage& image)
{
    DatasetPtr rgb = RgbDataset(image);
    DatasetPtr indexed = MemoryDataset(image.Width, image.Height, 1);
    if (!rgb || !indexed)
        return {};
    GDALRasterBandH red = rgb->GetRasterBand(1), green = rgb->GetRasterBand(2), blue = rgb->GetRasterBand(3);
    GDALColorTable palette;
    if (GDALComputeMedianCutPCT(red, green, blue, nullptr, 256, &palette, nullptr, nullptr) != CE_None)
        return {};
    GDALRasterBand* target = indexed->GetRasterBand(1);
    if (GDALDitherRGB2PCT(red, green, blue, target, &palette, nullptr, nullptr) != CE_None)
        return {};
    target->SetColorTable(&palette);
    return CopyToBytes("GIF", indexed.get(), nullptr, ".gif");
}
