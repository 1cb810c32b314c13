#include "TileEncoder.h"

#include <csetjmp>
#include <cstdio>
#include <cstdlib>

#include <atomic>
#include <memory>

#include <gdal_alg.h>
#include <gdal_priv.h>
#include <jpeglib.h>

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

// Writes through a driver into a memory file and takes its bytes. The memory file's name is new,
// so there is nothing to delete first.
std::string CopyToBytes(const char* driverName, GDALDataset* source, const char* extension)
{
    static std::atomic<unsigned> counter{0};
    GDALDriver* driver = GetGDALDriverManager()->GetDriverByName(driverName);
    if (!driver)
        return {};
    const std::string path = "/vsimem/quiltmap-tile-" + std::to_string(counter++) + extension;
    const char* options[] = {"QUIET_DELETE_ON_CREATE_COPY=NO", nullptr};
    DatasetPtr written(driver->CreateCopy(path.c_str(), source, FALSE, const_cast<char**>(options), nullptr, nullptr));
    std::string bytes;
    if (written) {
        written.reset();  // closing it writes the file out
        vsi_l_offset length = 0;
        GByte* buffer = VSIGetMemFileBuffer(path.c_str(), &length, FALSE);
        if (buffer)
            bytes.assign(reinterpret_cast<const char*>(buffer), size_t(length));
    }
    VSIUnlink(path.c_str());
    return bytes;
}

}  // namespace

namespace {

struct JpegErrors {
    jpeg_error_mgr Manager;
    std::jmp_buf Escape;
};

[[noreturn]] void LeaveJpeg(j_common_ptr info)
{
    std::longjmp(reinterpret_cast<JpegErrors*>(info->err)->Escape, 1);
}

}  // namespace

// libjpeg itself, with the settings of GDAL's JPEG driver (optimised Huffman tables): the same
// bytes, in half the time the driver took to check its options and look for a file to replace.
std::string EncodeJpeg(const RgbImage& image, int quality)
{
    static_assert(sizeof(Rgb) == 3, "rows are handed to libjpeg as packed RGB");
    jpeg_compress_struct info{};
    JpegErrors errors{};
    info.err = jpeg_std_error(&errors.Manager);
    errors.Manager.error_exit = LeaveJpeg;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    if (setjmp(errors.Escape)) {
        jpeg_destroy_compress(&info);
        std::free(buffer);
        return {};
    }
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = JDIMENSION(image.Width);
    info.image_height = JDIMENSION(image.Height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    info.optimize_coding = TRUE;
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* row = reinterpret_cast<JSAMPROW>(const_cast<Rgb*>(image.Pixels.data() + size_t(info.next_scanline) * size_t(image.Width)));
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    std::string bytes(reinterpret_cast<const char*>(buffer), size_t(size));
    std::free(buffer);
    return bytes;
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
    return CopyToBytes("GIF", indexed.get(), ".gif");
}
