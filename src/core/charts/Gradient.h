#pragma once

#include <cstdint>

namespace qv {

// A colour as 0x00BBGGRR, the layout the stored settings use.
using ColorRef = uint32_t;

constexpr ColorRef Rgb(int r, int g, int b)
{
    return ColorRef(r & 0xFF) | ColorRef(g & 0xFF) << 8 | ColorRef(b & 0xFF) << 16;
}
constexpr int RedOf(ColorRef c) { return int(c & 0xFF); }
constexpr int GreenOf(ColorRef c) { return int(c >> 8 & 0xFF); }
constexpr int BlueOf(ColorRef c) { return int(c >> 16 & 0xFF); }

// Colour of line i of n in a two-colour gradient: each channel is
// from + (to - from) * i / n, truncated towards zero and clamped to 0..255.
ColorRef GradientLineColor(ColorRef from, ColorRef to, int i, int n);

}  // namespace qv
