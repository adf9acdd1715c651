#include "core/device/DeviceRecord.h"
#include "core/mediatests/RawBenchFigures.h"
#include "core/mediatests/RawBenchmarkWorker.h"
#include "core/settings/Settings.h"
#include "core/text/StringTable.h"

#include <gtest/gtest.h>

namespace qv::test {
namespace {

class RawBenchFiguresTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        UseEnglishTexts(true);
        settings.testType = kBenchReadTest | kBenchWriteTest;
        figures.reset(record, settings);
    }
    void TearDown() override { UseEnglishTexts(false); }

    // The worker stores the sample, reports, and counts it after the report.
    bool feed(int64_t series, int32_t value, bool* raised)
    {
        int32_t& count = series == kBenchReadSeries ? record.readSampleCount : record.writeSampleCount;
        (series == kBenchReadSeries ? record.readSamples : record.writeSamples)[count] = value;
        BenchSample point;
        const bool drawn = figures.sample(series, &point, raised);
        if (drawn) {
            EXPECT_EQ(point.index, count);
            EXPECT_EQ(point.value, value);
        }
        ++count;
        return drawn;
    }

    DeviceRecord record;
    Settings settings;
    RawBenchFigures figures;
};

TEST_F(RawBenchFiguresTest, FirstSampleAbove22649RaisesMaximumSpeedTo200Once)
{
    bool raised = false;
    ASSERT_TRUE(feed(kBenchReadSeries, 22649, &raised));
    EXPECT_FALSE(raised);
    EXPECT_EQ(settings.maximumSpeed, 150);
    ASSERT_TRUE(feed(kBenchReadSeries, 22650, &raised));
    EXPECT_TRUE(raised);
    EXPECT_EQ(settings.maximumSpeed, 200);
    ASSERT_TRUE(feed(kBenchReadSeries, 30000, &raised));
    EXPECT_FALSE(raised);
    ASSERT_TRUE(feed(kBenchWriteSeries, 20000, &raised));
    EXPECT_FALSE(raised);
    EXPECT_EQ(settings.maximumSpeed, 200);
}

TEST_F(RawBenchFiguresTest, ColumnsKeepTheirOwnExtremesAndPrintMegabytesOf1024)
{
    bool raised;
    feed(kBenchReadSeries, 10240, &raised);
    feed(kBenchReadSeries, 5120, &raised);
    feed(kBenchReadSeries, 7680, &raised);
    feed(kBenchWriteSeries, 1024, &raised);
    const RawBenchTexts& t = figures.texts();
    EXPECT_EQ(t.label[0], "Current:");
    EXPECT_EQ(t.current[0], " 7.5 MB/s");
    EXPECT_EQ(t.minimum[0], " 5.0 MB/s");
    EXPECT_EQ(t.maximum[0], "10.0 MB/s");
    EXPECT_EQ(t.current[1], " 1.0 MB/s");
    EXPECT_EQ(t.minimum[1], " 1.0 MB/s");
    EXPECT_EQ(record.readMinimum, 5120);
    EXPECT_EQ(record.readMaximum, 10240);
}

TEST_F(RawBenchFiguresTest, UnselectedSeriesIsNotShown)
{
    settings.testType = kBenchWriteTest;
    bool raised;
    EXPECT_FALSE(feed(kBenchReadSeries, 40000, &raised));
    EXPECT_EQ(settings.maximumSpeed, 150);
    record.readAccessMs = 1.5;
    figures.access(kBenchReadSeries);
    figures.done();
    EXPECT_EQ(figures.texts().current[0], "");
    EXPECT_EQ(figures.texts().access[0], "");
    EXPECT_EQ(figures.texts().label[0], "Current:");
}

TEST_F(RawBenchFiguresTest, NormalEndShowsTheAverageOfAll200Samples)
{
    bool raised;
    for (int i = 0; i < 200; ++i) {
        feed(kBenchReadSeries, i < 100 ? 1024 : 2049, &raised);
        feed(kBenchWriteSeries, 3072, &raised);
    }
    record.readAccessMs = 0.456;
    figures.access(kBenchReadSeries);
    figures.done();
    const RawBenchTexts& t = figures.texts();
    EXPECT_EQ(t.label[0], "Average speed:");
    EXPECT_EQ(t.label[1], "Average speed:");
    EXPECT_EQ(RawBenchFigures::Average(record.readSamples), 1536);  // (102400 + 204900) / 200, truncated
    EXPECT_EQ(t.current[0], " 1.5 MB/s");
    EXPECT_EQ(t.current[1], " 3.0 MB/s");
    EXPECT_EQ(t.access[0], "0.46 ms");
}

TEST_F(RawBenchFiguresTest, TinyMediumSaysWhatWasNotMeasured)
{
    record.readAccessMs = kAccessNotMeasured;
    figures.access(kBenchReadSeries);
    figures.done();
    EXPECT_EQ(figures.texts().access[0], "not measured");
    EXPECT_EQ(figures.texts().current[0], "not measured");
}

}  // namespace
}  // namespace qv::test
