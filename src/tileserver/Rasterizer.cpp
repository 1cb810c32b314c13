#include "Rasterizer.h"

#include <algorithm>
#include <cmath>

void FillEvenOdd(RgbImage& image, const std::vector<Edge>& edges, Rgb colour)
{
    // Only edges that reach the tile's rows can cross a scan line.
    std::vector<const Edge*> live;
    for (const Edge& edge : edges) {
        const double top = std::min(edge.From.Y, edge.To.Y), bottom = std::max(edge.From.Y, edge.To.Y);
        if (bottom > 0 && top < image.Height && top != bottom)
            live.push_back(&edge);
    }
    std::vector<double> crossings;
    for (int row = 0; row < image.Height; ++row) {
        const double y = row + 0.5;
        crossings.clear();
        for (const Edge* edge : live) {
            const PixelPoint& a = edge->From;
            const PixelPoint& b = edge->To;
            // Half-open in y, so a vertex on the scan line counts once.
            if ((a.Y <= y && y < b.Y) || (b.Y <= y && y < a.Y))
                crossings.push_back(a.X + (y - a.Y) * (b.X - a.X) / (b.Y - a.Y));
        }
        std::sort(crossings.begin(), crossings.end());
        for (size_t i = 0; i + 1 < crossings.size(); i += 2) {
            // Pixels whose centre lies in [left, right).
            const int first = std::max(0, int(std::ceil(crossings[i] - 0.5)));
            const int last = std::min(image.Width - 1, int(std::ceil(crossings[i + 1] - 0.5)) - 1);
            for (int x = first; x <= last; ++x)
                image.At(x, row) = colour;
        }
    }
}

void DrawPolyline(RgbImage& image, const std::vector<PixelPoint>& points, Rgb colour, double width)
{
    const double half = width / 2;
    for (size_t i = 0; i + 1 < points.size(); ++i) {
        const PixelPoint a = points[i], b = points[i + 1];
        // A segment wholly beside the tile draws nothing.
        if ((a.X < -half && b.X < -half) || (a.Y < -half && b.Y < -half) ||
            (a.X > image.Width + half && b.X > image.Width + half) || (a.Y > image.Height + half && b.Y > image.Height + half))
            continue;
        // Only the part of the segment near the tile is stepped along (Liang-Barsky).
        double t0 = 0, t1 = 1;
        const double dx = b.X - a.X, dy = b.Y - a.Y, margin = half + 1;
        const double p[4] = {-dx, dx, -dy, dy};
        const double q[4] = {a.X + margin, image.Width + margin - a.X, a.Y + margin, image.Height + margin - a.Y};
        for (int k = 0; k < 4 && t0 <= t1; ++k) {
            if (p[k] == 0) {
                if (q[k] < 0)
                    t1 = -1;
            } else if (p[k] < 0) {
                t0 = std::max(t0, q[k] / p[k]);
            } else {
                t1 = std::min(t1, q[k] / p[k]);
            }
        }
        if (t0 > t1)
            continue;
        const double length = std::hypot(dx, dy) * (t1 - t0);
        const int steps = std::max(1, int(std::ceil(length * 2)));
        for (int s = 0; s <= steps; ++s) {
            const double t = t0 + (t1 - t0) * double(s) / steps;
            const double cx = a.X + t * (b.X - a.X), cy = a.Y + t * (b.Y - a.Y);
            const int x0 = int(std::floor(cx - half + 0.5)), x1 = int(std::floor(cx + half - 0.5));
            const int y0 = int(std::floor(cy - half + 0.5)), y1 = int(std::floor(cy + half - 0.5));
            for (int y = std::max(0, y0); y <= std::min(image.Height - 1, y1); ++y)
                for (int x = std::max(0, x0); x <= std::min(image.Width - 1, x1); ++x)
                    image.At(x, y) = colour;
        }
    }
}
