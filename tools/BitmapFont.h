#pragma once
// A small built-in bitmap font for labelling plots: printable ASCII, each glyph 5 pixels
// wide and 9 tall (7 rows above the baseline, 2 for descenders), drawn on a 6-pixel
// advance. Characters outside printable ASCII draw as '?'.

#include <array>
#include <cstdint>

inline constexpr int kGlyphWidth = 5;
inline constexpr int kGlyphHeight = 9;
inline constexpr int kGlyphAdvance = 6;

// Rows top to bottom; in each row bit 4 is the leftmost pixel, bit 0 the rightmost.
using GlyphRows = std::array<std::uint8_t, kGlyphHeight>;
const GlyphRows& GlyphFor(char c);
