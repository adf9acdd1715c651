#include "tools/cli/CommandRunner.h"

#include "core/mediatests/FileBenchPresenter.h"
#include "core/mediatests/FileBenchmarkWorker.h"
#include "core/mediatests/RawBenchPresenter.h"
#include "core/mediatests/RawBenchmarkWorker.h"
#include "core/settings/Settings.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"
#include "platform/linux/LinuxBenchFileSystem.h"
#include "report/ReportPictures.h"

#include <cstdio>
#include <cstring>

namespace qv::cli {
namespace {

const char* orDash(const std::string& s)
{
    return s.empty() ? "-" : s.c_str();
}

// The low-level benchmark on a terminal: one progress line with the figures
// of both columns; the chart's points are the samples of the record.
class RawTerminalView : public RawBenchView {
public:
    explicit RawTerminalView(CommandRun& run) : run_(run) {}
    void showTexts(const RawBenchTexts& t) override
    {
        texts = t;
        run_.showProgress(Format("%s %s %s | %s %s %s", LoadText(str::kBenchReadSpeed).c_str(),
                                 orDash(t.current[0]), orDash(t.access[0]), LoadText(str::kBenchWriteSpeed).c_str(),
                                 orDash(t.current[1]), orDash(t.access[1])));
    }
    void clearChart() override {}
    void addPoint(const BenchSample&) override {}
    void maximumSpeedRaised() override {}
    void showRunState(bool, bool) override {}
    void showFailure(const std::string& message, const std::string& detail) override
    {
        run_.note(run_.drivePath() + ": " + message + (detail.empty() ? "" : " (" + detail + ")"));
    }
    RawBenchTexts texts;

private:
    CommandRun& run_;
};

nlohmann::json samplesJson(const int32_t* samples, int32_t count)
{
    nlohmann::json list = nlohmann::json::array();
    for (int32_t i = 0; i < count; ++i)
        list.push_back(samples[i]);
    return list;
}

// One direction of the JSON object; null when it did not run.
nlohmann::json directionJson(bool ran, const int32_t* samples, int32_t count, int32_t minimum, int32_t maximum,
                             double accessMs, bool completed)
{
    if (!ran)
        return nullptr;
    nlohmann::json out = {
        {"samples", samplesJson(samples, count)},
        {"minimum", minimum},
        {"maximum", maximum},
        {"access_ms", accessMs >= 0 && count > 0 ? nlohmann::json(accessMs) : nlohmann::json(nullptr)},
    };
    out["average"] = completed && count == kBenchSamples ? nlohmann::json(RawBenchFigures::Average(samples))
                                                          : nlohmann::json(nullptr);
    return out;
}

int rawBench(CommandRun& run)
{
    const bool write = run.flag("--write"), read = !run.flag("--no-read");
    if (write && !run.flag("--yes"))
        return run.usage("the write test overwrites every sector of " + run.drivePath() +
                         " and destroys all data on it; add --yes to go ahead");
    if (!write && !read)
        return run.usage("--no-read without --write leaves nothing to measure");
    Settings settings;
    settings.testType = (read ? kBenchReadTest : 0) | (write ? kBenchWriteTest : 0);
    run.context().settings = &settings;

    RawTerminalView view(run);
    RawBenchPresenter presenter(run.context(), run.runs(), view);
    if (!presenter.Start())
        return run.fail(run.drivePath() + ": the benchmark could not be started");
    run.runToIdle(presenter);
    run.clearProgress();

    const DeviceRecord& r = run.record();
    const bool completed = presenter.outcome() == RunOutcome::Completed;
    const RawBenchTexts& t = presenter.texts();
    if (!run.json()) {
        const char* columns[2] = {"read", "write"};
        for (int c = 0; c < 2; ++c) {
            if (!(settings.testType & (1 << c)))
                continue;
            std::printf("%s %s: %s %s, %s %s, %s %s, %s %s\n", run.drivePath().c_str(), columns[c],
                        LoadText(completed ? str::kBenchAverageSpeed : str::kBenchCurrent).c_str(),
                        orDash(t.current[c]), LoadText(str::kBenchMinimumSpeed).c_str(), orDash(t.minimum[c]),
                        LoadText(str::kBenchMaximumSpeed).c_str(), orDash(t.maximum[c]),
                        LoadText(str::kBenchAccessTime).c_str(), orDash(t.access[c]));
        }
    }
    // Samples are in units of 1000 bytes per second; every page figure is a
    // sample / 1024 in MB/s.
    nlohmann::json result = {
        {"sample_unit", "1000 bytes/s"},
        {"sectors_per_sample", RawBenchGeometry(r.sectorCount).sectorsPerSample},
        {"read", directionJson(read, r.readSamples, r.readSampleCount, r.readMinimum, r.readMaximum,
                               r.readAccessMs, completed)},
        {"write", directionJson(write, r.writeSamples, r.writeSampleCount, r.writeMinimum, r.writeMaximum,
                                r.writeAccessMs, completed)},
    };
    if (run.wantsReport()) {
        Report report = presenter.report();
        if (ReportPicture* picture = report.picture(kSpeedChartSlot))
            picture->png = report::SpeedChartPng(r, settings);
        run.setReport(std::move(report));
    }
    return run.finish({{"settings", {{"read", read}, {"write", write}}},
                       {"result", result},
                       {"outcome", OutcomeName(presenter.outcome())},
                       {"failure", presenter.failureText()}},
                      ExitCodeFor(presenter.outcome(), false));
}

// The file benchmark on a terminal: a line per result.
class FileTerminalView : public FileBenchView {
public:
    explicit FileTerminalView(CommandRun& run) : run_(run) {}
    void clearChart() override {}
    void drawBar(int index, int series) override
    {
        const DeviceRecord& r = run_.record();
        const int32_t speed = series == 1 ? r.fileReadSpeeds[index] : r.fileWriteSpeeds[index];
        run_.showProgress(Format("%d MB %s: %d KB/s", kFileBenchSizesMB[index], series == 1 ? "read" : "write",
                                 speed));
    }
    void repaintAll() override {}
    void showRunState(bool, bool) override {}
    void showFailure(const std::string& message, const std::string& detail) override
    {
        run_.note(run_.drivePath() + ": " + message + (detail.empty() ? "" : " (" + detail + ")"));
    }

private:
    CommandRun& run_;
};

int fileBench(CommandRun& run)
{
    Settings settings;
    run.context().settings = &settings;
    linux_platform::LinuxBenchFileSystem files;
    FileTerminalView view(run);
    FileBenchPresenter presenter(run.context(), run.runs(), view, files);
    if (!presenter.Start())
        return run.fail(run.drivePath() + ": the benchmark could not be started");
    run.runToIdle(presenter);
    run.clearProgress();

    const DeviceRecord& r = run.record();
    nlohmann::json sizes = nlohmann::json::array(), writes = nlohmann::json::array(),
                   reads = nlohmann::json::array();
    for (int k = 0; k < kFileBenchSizes; ++k) {
        sizes.push_back(settings.fileSizesMB[k]);
        writes.push_back(r.fileWriteSpeeds[k]);
        reads.push_back(r.fileReadSpeeds[k]);
        if (!run.json() && r.fileWriteSpeeds[k] >= 0)
            std::printf("%s %2d MB: write %d KB/s, read %s KB/s\n", run.drivePath().c_str(), settings.fileSizesMB[k],
                        r.fileWriteSpeeds[k],
                        r.fileReadSpeeds[k] >= 0 ? std::to_string(r.fileReadSpeeds[k]).c_str() : "-");
    }
    if (run.wantsReport()) {
        Report report = presenter.report();
        if (ReportPicture* picture = report.picture(kFileSpeedChartSlot))
            picture->png = report::FileSpeedChartPng(r, settings);
        run.setReport(std::move(report));
    }
    return run.finish({{"result", {{"sizes_mb", sizes}, {"write_kb_s", writes}, {"read_kb_s", reads}}},
                       {"outcome", OutcomeName(presenter.outcome())},
                       {"failure", presenter.failureText()}},
                      ExitCodeFor(presenter.outcome(), false));
}

const CommandSpec kRawSpec = {
    "bench raw",
    "low-level benchmark: read and write speed over the whole drive, access times",
    "Reads the drive in 200 segments from sector 0 and times each; then 100\n"
    "random single-sector reads. With --write the same for writing (random\n"
    "data, generated once, so a controller that compresses cannot inflate the\n"
    "figure) and 50 random single-sector writes. Speeds are printed in MB/s\n"
    "of 1,024,000 bytes; --json gives every sample in units of 1000 bytes/s.",
    {
        {"--write", nullptr, "run the write test (destroys all data on the drive)"},
        {"--no-read", nullptr, "skip the read test"},
        {"--yes", nullptr, "confirm the write test"},
    },
    true,
    "Exit codes: 0 done, 2 bad arguments, 3 failed or stopped.\n",
};

const CommandSpec kFileSpec = {
    "bench file",
    "file benchmark: write and read a test file of 1 to 15 MB on the drive's file system",
    "Writes and reads TESTFILE.TMP in the root of the drive's mounted file\n"
    "system, unbuffered and write-through, for sizes of 1, 2, 3, 4, 5, 10 and\n"
    "15 MB (sizes larger than the free space are skipped), and removes it.\n"
    "Speeds are in KB/s of 1024 bytes; a phase's time includes a 100 ms pause.",
    {},
    true,
    "Exit codes: 0 done, 2 bad arguments, 3 failed or stopped.\n",
};

int runBench(const std::vector<std::string>& args)
{
    if (!args.empty() && args[0] == "raw")
        return RunCommand(kRawSpec, {args.begin() + 1, args.end()}, rawBench);
    if (!args.empty() && args[0] == "file")
        return RunCommand(kFileSpec, {args.begin() + 1, args.end()}, fileBench);
    std::fprintf(stderr, "quorvane-cli bench: say raw or file\n\n%s\n%s", HelpText(kRawSpec).c_str(),
                 HelpText(kFileSpec).c_str());
    return kExitUsage;
}

}  // namespace

extern const Command kBenchCommand = {"bench", "low-level and file benchmarks (bench raw, bench file)",
                                      HelpText(kRawSpec) + "\n" + HelpText(kFileSpec), runBench};

}  // namespace qv::cli
