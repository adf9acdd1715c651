#pragma once

#include <cstdint>
#include <string>

namespace qv {

struct DeviceRecord;
struct Settings;

// The low-level benchmark page's texts; index 0 is the read column, 1 the
// write column.
struct RawBenchTexts {
    std::string label[2];  // "Текущая:", or "Средняя скорость:" after a normal end
    std::string current[2];
    std::string minimum[2];
    std::string maximum[2];
    std::string access[2];
};

// A sample the chart draws: index 0..199, value, chart series (1 read, 2 write).
struct BenchSample {
    int index = 0;
    int value = 0;
    int series = 0;
};

// Turns the worker's reports into the page's figures: minimum, maximum,
// current and average speeds, access times and the Maximum Speed raise.
// Runs on the owner's thread while the worker waits in its report.
class RawBenchFigures {
public:
    // Before a run on the record of the selected drive: no samples, no
    // extremes, empty texts, "Текущая:" labels. Nothing is shown before.
    void reset(DeviceRecord& record, Settings& settings);

    // A sample report of series 0 (read) or 1 (write). Returns false when
    // the series is not part of the test. *raised is set when the sample
    // raised Maximum Speed, so the page repaints and rescales.
    bool sample(int64_t series, BenchSample* point, bool* raised);
    // An access-time report.
    void access(int64_t series);
    // A normal end: averages in the current fields and "Средняя скорость:".
    void done();

    const RawBenchTexts& texts() const { return texts_; }

    // "%4.1f MБ/сек" of a sample (units of 1000 bytes per second / 1024).
    static std::string SpeedText(int32_t sample);
    // The 64-bit sum of all 200 samples over 200.
    static int32_t Average(const int32_t* samples);

private:
    bool selected(int64_t series) const;

    DeviceRecord* record_ = nullptr;
    Settings* settings_ = nullptr;
    RawBenchTexts texts_;
};

}  // namespace qv
