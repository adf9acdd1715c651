#include "core/charts/FileSpeedChartGeometry.h"

namespace qv {

ChartRect FileSpeedChartPlot(const ChartRect& client, int textWidth, int textHeight)
{
    return {client.left + textWidth, client.top + textHeight, client.right - textWidth / 2,
            client.bottom - textHeight - 5};
}

int FileSpeedAxisCount(int speedMaximum)
{
    const int count = 2 * (speedMaximum / 1000);
    return count < 2 ? 2 : count;
}

void LayoutFileSpeedAxis(const ChartRect& plot, int speedMaximum, std::vector<GridLine>* lines,
                         std::vector<ChartLabel>* labels)
{
    const int count = FileSpeedAxisCount(speedMaximum);
    for (int i = 0; i <= count; ++i) {
        const int x = plot.left + (plot.width() * i) / count;
        if (i % 2 == 0) {
            const bool numbered = count > 5 && (count < 10 || i % (count / 10) == 0);
            if (numbered)
                labels->push_back({std::to_string(500 * i), x, plot.bottom + 5, ChartLabel::Centre});
            lines->push_back({x, plot.top, x, plot.bottom + 6, true});
        } else {
            lines->push_back({x, plot.top, x, plot.bottom + 5, false});
        }
    }
}

int FileSpeedRowLabelTop(const ChartRect& plot, int row, int textHeight)
{
    return plot.top + (plot.height() * row) / kFileChartRows + plot.height() / 14 - textHeight / 2;
}

bool RaiseSpeedMaximum(int* speedMaximum, int v)
{
    if (v <= *speedMaximum)
        return false;
    *speedMaximum = ((v + 999) / 1000) * 1000;
    return true;
}

FileSpeedBar LayoutFileSpeedBar(const ChartRect& plot, int speedMaximum, int row, int series, int v,
                                int labelWidth, int labelHeight)
{
    FileSpeedBar bar;
    const int centre = plot.top + (plot.height() * row) / kFileChartRows + plot.height() / 14;
    const int top = series == 2 ? centre - 14 : centre;
    const int e = int(int64_t(plot.width()) * v / (speedMaximum > 0 ? speedMaximum : 1));
    bar.rect = {plot.left, top, plot.left + e, top + 14};
    bar.labelRight = plot.left + e - 5;
    if (bar.labelRight - labelWidth < plot.left + 1)
        bar.labelRight = plot.left + 1 + labelWidth;
    bar.labelTop = top + (14 - labelHeight) / 2;
    return bar;
}

}  // namespace qv
