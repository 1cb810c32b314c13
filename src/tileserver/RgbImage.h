#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// A tile's picture while it is rendered: 8-bit RGB, rows top first.
struct Rgb {
    uint8_t R = 0, G = 0, B = 0;
    bool operator==(const Rgb&) const = default;
};

struct RgbImage {
    static constexpr int kSide = 200;
    int Width = kSide;
    int Height = kSide;
    std::vector<Rgb> Pixels = std::vector<Rgb>(size_t(kSide) * kSide);

    void Fill(Rgb colour) { Pixels.assign(Pixels.size(), colour); }
    Rgb& At(int x, int y) { return Pixels[size_t(y) * size_t(Width) + size_t(x)]; }
    const Rgb& At(int x, int y) const { return Pixels[size_t(y) * size_t(Width) + size_t(x)]; }
};
