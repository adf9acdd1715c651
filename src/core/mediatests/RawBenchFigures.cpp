#include "core/mediatests/RawBenchFigures.h"

#include "core/device/DeviceRecord.h"
#include "core/mediatests/RawBenchmarkWorker.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"

#include <cstdio>

namespace qv {
namespace {

std::string accessText(double milliseconds)
{
    if (milliseconds < 0)
        return LoadText(str::kNotMeasured);
    char text[64];
    std::snprintf(text, sizeof text, "%.2f %s", milliseconds, LoadText(str::kMilliseconds).c_str());
    return text;
}

}  // namespace

std::string RawBenchFigures::SpeedText(int32_t sample)
{
    char text[64];
    std::snprintf(text, sizeof text, "%4.1f %s", sample * 0.0009765625, LoadText(str::kMegabytesPerSecond).c_str());
    return text;
}

int32_t RawBenchFigures::Average(const int32_t* samples)
{
    int64_t sum = 0;
    for (int i = 0; i < kBenchSamples; ++i)
        sum += samples[i];
    return int32_t(sum / kBenchSamples);
}

void RawBenchFigures::reset(DeviceRecord& record, Settings& settings)
{
    record_ = &record;
    settings_ = &settings;
    record_->readSampleCount = record_->writeSampleCount = 0;
    record_->readMinimum = record_->readMaximum = -1;
    record_->writeMinimum = record_->writeMaximum = -1;
    texts_ = RawBenchTexts{};
    texts_.label[0] = texts_.label[1] = LoadText(str::kBenchCurrent);
}

bool RawBenchFigures::selected(int64_t series) const
{
    if (!record_ || !settings_)
        return false;
    if (series == kBenchReadSeries)
        return settings_->testType & kBenchReadTest;
    if (series == kBenchWriteSeries)
        return settings_->testType & kBenchWriteTest;
    return false;
}

bool RawBenchFigures::sample(int64_t series, BenchSample* point, bool* raised)
{
    *raised = false;
    if (!selected(series))
        return false;
    const bool read = series == kBenchReadSeries;
    const int32_t index = read ? record_->readSampleCount : record_->writeSampleCount;
    if (index < 0 || index >= kBenchSamples)
        return false;
    const int32_t v = read ? record_->readSamples[index] : record_->writeSamples[index];

    const int32_t q = v / 150;
    if (uint32_t(q) > uint32_t(settings_->maximumSpeed)) {
        settings_->maximumSpeed = ((q + 49) / 50) * 50;
        *raised = true;
    }
    *point = {index, v, read ? 1 : 2};

    int32_t& minimum = read ? record_->readMinimum : record_->writeMinimum;
    int32_t& maximum = read ? record_->readMaximum : record_->writeMaximum;
    if (minimum == -1 || minimum > v)
        minimum = v;
    if (maximum == -1 || maximum < v)
        maximum = v;
    const int column = read ? 0 : 1;
    texts_.current[column] = SpeedText(v);
    texts_.minimum[column] = SpeedText(minimum);
    texts_.maximum[column] = SpeedText(maximum);
    return true;
}

void RawBenchFigures::access(int64_t series)
{
    if (!selected(series))
        return;
    if (series == kBenchReadSeries)
        texts_.access[0] = accessText(record_->readAccessMs);
    else
        texts_.access[1] = accessText(record_->writeAccessMs);
}

void RawBenchFigures::done()
{
    for (int column = 0; column < 2; ++column) {
        if (!selected(column))
            continue;
        const int32_t count = column == 0 ? record_->readSampleCount : record_->writeSampleCount;
        const int32_t* samples = column == 0 ? record_->readSamples : record_->writeSamples;
        texts_.label[column] = LoadText(str::kBenchAverageSpeed);
        // A medium too small for a single sample per segment has no average.
        texts_.current[column] = count == kBenchSamples ? SpeedText(Average(samples)) : LoadText(str::kNotMeasured);
    }
}

}  // namespace qv
