#pragma once

#include <cstdint>
#include <string>

class QImage;

namespace qv {
class BlockMapCells;
struct DeviceRecord;
struct Settings;
}

namespace qv::report {

// The image encoded as PNG (a report picture's bytes).
std::string PngOf(const QImage& image);

// The pictures of a run drawn as its page draws them, as PNG, for a report
// made without the page. The default sizes are the page's at its first size.

// A block map.
std::string BlockMapPng(const BlockMapCells& cells, int width = 500, int height = 150);
// The low-level benchmark's speed chart of the record's samples, in the
// settings' series colours.
std::string SpeedChartPng(const DeviceRecord& record, const Settings& settings, int width = 580, int height = 256);
// The file benchmark's bar chart of the record's speeds at the settings'
// file sizes.
std::string FileSpeedChartPng(const DeviceRecord& record, const Settings& settings, int width = 580,
                              int height = 360);

}  // namespace qv::report
