#pragma once

#include <string>

#include "RgbImage.h"

// Encodes a rendered tile through GDAL's drivers. An empty string means the encoder failed.
// JPEG for photos; GIF for topographic maps, with a palette made from the tile's own colours
// (median cut), so a source's colours survive.
std::string EncodeJpeg(const RgbImage& image, int quality = 85);
std::string EncodeGif(const RgbImage& image);
