#pragma once

#include "core/charts/BlockMapCells.h"
#include "core/mediatests/ChunkTransfers.h"
#include "core/mediatests/ErrorScanPresenter.h"
#include "core/run/EventQueue.h"
#include "core/run/SharedContext.h"
#include "core/text/StringTable.h"
#include "platform/image/ImageVolume.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

namespace qv::test {

// A main-window control that remembers whether it is enabled.
class FakeControl : public Control {
public:
    void setEnabled(bool enabled) override { this->enabled = enabled; }
    bool enabled = true;
};

struct LogLine {
    std::string time;
    std::string text;
    int image;
};

class RecordingView : public ErrorScanView {
public:
    void showTexts(const ErrorScanTexts& t) override { texts = t; ++textPushes; }
    void appendLog(const std::string& time, const std::string& text, int image) override
    {
        log.push_back({time, text, image});
    }
    void clearLog() override { log.clear(); }
    void showRunState(bool running, bool startEnabled) override
    {
        this->running = running;
        this->startEnabled = startEnabled;
        states.push_back({running, startEnabled});
    }
    void showFailure(const std::string& message, const std::string& detail) override
    {
        failures.push_back(message);
        details.push_back(detail);
    }

    std::vector<std::string> texts_of_log() const
    {
        std::vector<std::string> out;
        for (const LogLine& line : log)
            out.push_back(line.text);
        return out;
    }

    ErrorScanTexts texts;
    int textPushes = 0;
    std::vector<LogLine> log;
    bool running = false;
    bool startEnabled = true;
    std::vector<std::pair<bool, bool>> states;
    std::vector<std::string> failures;
    std::vector<std::string> details;
};

// A clock the test sets: elapsed seconds since the last restart, and a
// millisecond tick that advances by `tickStep` at every reading.
struct ManualClock {
    std::atomic<double> elapsed{1.0};
    std::atomic<int> restarts{0};
    uint64_t tick = 100000;
    uint64_t tickStep = 500;

    RunClock clock()
    {
        RunClock c;
        c.elapsedSeconds = [this] { return elapsed.load(); };
        c.restart = [this] { ++restarts; };
        c.tickMs = [this] {
            tick += tickStep;
            return tick;
        };
        c.timeOfDay = [] { return std::string("[12:34:56]"); };
        return c;
    }
};

// An image file in a folder of the test's own.
class ScratchImage {
public:
    explicit ScratchImage(uint64_t sectors, uint8_t fill = 0)
    {
        char name[] = "/tmp/qv-scan-XXXXXX";
        dir_ = mkdtemp(name);
        path_ = dir_ + "/medium.img";
        std::ofstream out(path_, std::ios::binary);
        std::vector<char> sector(512, char(fill));
        for (uint64_t s = 0; s < sectors; ++s)
            out.write(sector.data(), 512);
    }
    ~ScratchImage() { std::filesystem::remove_all(dir_); }
    const std::string& path() const { return path_; }

    std::vector<uint8_t> sector(uint64_t s) const
    {
        std::vector<uint8_t> data(512);
        std::ifstream in(path_, std::ios::binary);
        in.seekg(std::streamoff(s * 512));
        in.read(reinterpret_cast<char*>(data.data()), 512);
        return data;
    }

private:
    std::string dir_;
    std::string path_;
};

// The error scan page without widgets: presenter, maps, a recording view,
// the worker on its own thread and the owner's event loop.
struct ScanRig {
    explicit ScanRig(DeviceRecord* device) : presenter(context, runs, view, writeMap, readMap, clock.clock())
    {
        runs.onReport = [this](int32_t, int64_t phase) {
            reports.push_back({status.state(), phase});
            if (onReport)
                onReport(phase);
        };
        status.deviceCount = 1;
        status.deviceSelector = &selector;
        status.formatButton = &format;
        status.refreshButton = &refresh;
        context.status = &status;
        context.device = device;
        // Requests of 1 MiB: the test media span a few of them.
        SetTransferRequestBytes(size_t(1) << 20);
    }
    ~ScanRig() { SetTransferRequestBytes(0); }

    // Runs a whole scan; false when the start was refused.
    bool run(int32_t passes, int32_t testType)
    {
        if (!presenter.Start(passes, testType))
            return false;
        queue.runUntil([this] { return !presenter.active(); });
        return true;
    }

    bool mainControlsEnabled() const { return selector.enabled && format.enabled && refresh.enabled; }

    EventQueue queue;
    RunStatus status;
    SharedContext context;
    FakeControl selector, format, refresh;
    BlockMapCells writeMap, readMap;
    RecordingView view;
    ManualClock clock;
    RunController runs{context, queue.poster()};
    ErrorScanPresenter presenter;
    std::vector<std::pair<int32_t, int64_t>> reports;
    std::function<void(int64_t)> onReport;
};

}  // namespace qv::test
