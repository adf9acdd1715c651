#include "core/charts/Gradient.h"

#include <algorithm>

namespace qv {
namespace {

int channel(int from, int to, int i, int n)
{
    // C++ integer division truncates towards zero, as the rule wants.
    return std::clamp(from + (to - from) * i / n, 0, 255);
}

}  // namespace

ColorRef GradientLineColor(ColorRef from, ColorRef to, int i, int n)
{
    if (n <= 0)
        return from;
    return Rgb(channel(RedOf(from), RedOf(to), i, n), channel(GreenOf(from), GreenOf(to), i, n),
               channel(BlueOf(from), BlueOf(to), i, n));
}

}  // namespace qv
