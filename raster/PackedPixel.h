#pragma once
// PackedPixel: one 32-bit pixel 0xAARRGGBB with straight (not premultiplied) alpha. On
// the little-endian targets its bytes in memory are blue, green, red, alpha, which is
// also the byte order of a 32-bit Windows DIB.

#include <cstdint>

using PackedPixel = std::uint32_t;

constexpr PackedPixel MakePackedPixel(int a, int r, int g, int b)
{
    return (static_cast<PackedPixel>(a & 0xFF) << 24) | (static_cast<PackedPixel>(r & 0xFF) << 16) |
           (static_cast<PackedPixel>(g & 0xFF) << 8) | static_cast<PackedPixel>(b & 0xFF);
}

constexpr int PixelA(PackedPixel p)
{
    return static_cast<int>(p >> 24);
}
constexpr int PixelR(PackedPixel p)
{
    return static_cast<int>((p >> 16) & 0xFF);
}
constexpr int PixelG(PackedPixel p)
{
    return static_cast<int>((p >> 8) & 0xFF);
}
constexpr int PixelB(PackedPixel p)
{
    return static_cast<int>(p & 0xFF);
}
