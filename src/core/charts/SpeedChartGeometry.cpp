#include "core/charts/SpeedChartGeometry.h"

#include <cmath>
#include <cstdio>

namespace qv {

SpeedScale ComputeSpeedScale(int nominalMaximum)
{
    const int m = nominalMaximum < 10 ? 10 : nominalMaximum;
    SpeedScale s;
    int digits = 0;
    for (int v = m; v > 0; v /= 10)
        ++digits;
    s.unit = int(std::pow(10.0, digits - 2));
    const int w = m / s.unit + 1;
    auto candidate = [w](int d) {
        const int c = 10 - w / d;
        return c < 0 ? 1000 : c;
    };
    const int c2 = candidate(2), c5 = candidate(5), c10 = candidate(10);
    s.step = c10 < std::min(c2, c5) ? 10 : 5;
    const int n = (w + s.step - 1) / s.step;
    s.topValue = n * s.step * s.unit;
    s.lines = 2 * n == 6 ? 12 : 2 * n;
    s.ratio = double((s.lines * s.step) / 2) / (s.topValue * 0.001);
    if (s.ratio < 1) {
        s.step = int(s.step / s.ratio);
        s.ratio = 1;
    }
    s.fullScale = int(s.lines * s.step * 512 / s.ratio);
    return s;
}

std::string SpeedScaleLabel(const SpeedScale& scale, int i)
{
    const double value = (scale.lines - i) * scale.step * 0.5;
    char text[32];
    if (scale.ratio == 1)
        std::snprintf(text, sizeof text, "%.0f", value);
    else
        std::snprintf(text, sizeof text, "%.1f", value / scale.ratio);
    return text;
}

SpeedChartLayout LayoutSpeedChart(const ChartRect& client, int textWidth, int textHeight,
                                  int nominalMaximum, const std::string& title)
{
    SpeedChartLayout out;
    const int W = textWidth, H = textHeight;
    out.plot = {client.left + W, client.top + H, client.right - W / 2, client.bottom - H};
    out.scale = ComputeSpeedScale(nominalMaximum);
    const ChartRect& p = out.plot;
    const int lines = out.scale.lines;
    for (int i = 0; i < lines; ++i) {
        const int y = int(p.top + double(p.height()) * i / lines);
        if (i % 2 == 0) {
            out.labels.push_back({SpeedScaleLabel(out.scale, i), p.left - 5, y - H / 2, ChartLabel::Right});
            out.lines.push_back({p.left - 3, y, p.right + 3, y, true});
        } else {
            out.lines.push_back({p.left - 2, y, p.right + 2, y, false});
        }
    }
    for (int i = 0; i <= 20; ++i) {
        const int x = p.left + (p.width() * i) / 20;
        if (i % 2 == 0) {
            std::string text = std::to_string(5 * i);
            if (i == 20)
                text += "%";
            out.labels.push_back({text, x, p.bottom, ChartLabel::Centre});
            out.lines.push_back({x, p.top, x, p.bottom + 2, true});
        } else {
            out.lines.push_back({x, p.top, x, p.bottom + 1, false});
        }
    }
    out.title = {title, p.left, p.top - H - 2, ChartLabel::Left};
    return out;
}

ChartPoint SpeedChartPoint(const ChartRect& plot, int fullScale, int index, int value)
{
    ChartPoint point;
    point.x = plot.left + (plot.width() * index) / 199;
    if (fullScale == 0)
        fullScale = 1;
    point.y = int((int64_t(fullScale) - value) * plot.height() / fullScale) + plot.top;
    return point;
}

bool SpeedSeriesTrack::AddPoint(const ChartRect& plot, int fullScale, int index, int value, int series,
                                ChartPoint* from, ChartPoint* to)
{
    ChartPoint& last = last_[series == 2 ? 1 : 0];
    const ChartPoint point = SpeedChartPoint(plot, fullScale, index, value);
    const bool draw = index > 0;
    if (draw) {
        *from = last;
        *to = point;
    }
    last = point;
    return draw;
}

}  // namespace qv
