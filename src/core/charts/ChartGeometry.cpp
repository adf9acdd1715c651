#include "core/charts/ChartGeometry.h"

#include <algorithm>

namespace qv {

ChartColor GradientColor(ChartColor from, ChartColor to, int row, int rows)
{
    if (rows <= 0)
        return from;
    ChartColor result = 0;
    for (int shift : {16, 8, 0}) {
        const int a = int((from >> shift) & 0xFF);
        const int b = int((to >> shift) & 0xFF);
        const int c = std::clamp(a + ((b - a) * row) / rows, 0, 255);
        result |= ChartColor(c) << shift;
    }
    return result;
}

}  // namespace qv
