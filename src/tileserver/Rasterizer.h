#pragma once

#include <vector>

#include "RgbImage.h"

// Plain drawing on a tile in pixel coordinates (x east, y down; pixel (i, j) has its centre at
// (i + 0.5, j + 0.5)).
struct PixelPoint {
    double X = 0, Y = 0;
};

struct Edge {
    PixelPoint From, To;
};

// Paints every pixel whose centre lies inside the edges by the even-odd rule. The edges need not
// be joined into rings; each closed cycle among them bounds an area.
void FillEvenOdd(RgbImage& image, const std::vector<Edge>& edges, Rgb colour);

// A line `width` pixels wide through the points.
void DrawPolyline(RgbImage& image, const std::vector<PixelPoint>& points, Rgb colour, double width);
