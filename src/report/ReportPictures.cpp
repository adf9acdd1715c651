#include "report/ReportPictures.h"

#include "charts/BlockMapPainting.h"
#include "charts/FileSpeedChartPainting.h"
#include "charts/SpeedChartPainting.h"
#include "core/settings/Settings.h"

#include <QBuffer>
#include <QImage>

namespace qv::report {

std::string PngOf(const QImage& image)
{
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return std::string(bytes.constData(), size_t(bytes.size()));
}

std::string BlockMapPng(const BlockMapCells& cells, int width, int height)
{
    return PngOf(charts::BlockMapImage(cells, width, height));
}

std::string SpeedChartPng(const DeviceRecord& record, const Settings& settings, int width, int height)
{
    return PngOf(charts::SpeedChartImage(record, charts::SpeedSeriesColors::Of(settings), width, height));
}

std::string FileSpeedChartPng(const DeviceRecord& record, const Settings& settings, int width, int height)
{
    return PngOf(charts::FileSpeedChartImage(record, settings.fileSizesMB, width, height));
}

}  // namespace qv::report
