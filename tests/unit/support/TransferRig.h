#pragma once

#include "core/device/SectorIO.h"
#include "core/mediatests/ChunkTransfers.h"
#include "core/mediatests/BackupRestoreWorker.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "core/text/StringTable.h"
#include "platform/image/FaultyVolume.h"
#include "platform/image/ImageVolume.h"
#include "platform/image/PosixImageFiles.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace qv::test {

using Bytes = std::vector<uint8_t>;

inline Bytes randomBytes(size_t n, uint32_t seed)
{
    std::mt19937 gen(seed);
    Bytes out(n);
    for (auto& b : out)
        b = uint8_t(gen());
    return out;
}

inline Bytes readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(in), {});
}

inline void writeFile(const std::string& path, const Bytes& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

inline bool allZero(const Bytes& bytes, size_t from, size_t to)
{
    for (size_t i = from; i < to; ++i)
        if (bytes[i])
            return false;
    return true;
}

// Answers the worker's file request with a fixed path (or a cancel) and
// remembers the request.
class FixedChooser : public FileChooser {
public:
    bool chooseFile(const FileRequest& request, std::string* path) override
    {
        requests.push_back(request);
        if (answer.empty())
            return false;
        *path = answer;
        return true;
    }
    std::string answer;
    std::vector<FileRequest> requests;
};

// Records what a page's view is told beside its own figures.
template <typename View>
class RecordingRunView : public View {
public:
    void showRunState(bool running, bool startEnabled) override
    {
        this->running = running;
        this->startEnabled = startEnabled;
    }
    void showFailure(const std::string& message, const std::string& detail) override
    {
        failures.push_back(message);
        details.push_back(detail);
    }
    bool running = false;
    bool startEnabled = true;
    std::vector<std::string> failures, details;
};

// A sink that runs the handler on the worker's own thread: the tests call
// the workers directly.
class TransferSink : public ProgressSink {
public:
    explicit TransferSink(RunStatus& status) : status_(status) {}
    int64_t report(int32_t operation, int64_t value) override
    {
        reports.push_back({status_.state(), value});
        operations.push_back(operation);
        if (onReport)
            onReport(value);
        return 1;
    }
    std::vector<std::pair<int32_t, int64_t>> reports;
    std::vector<int32_t> operations;
    std::function<void(int64_t)> onReport;

private:
    RunStatus& status_;
};

// A drive over an image file in a folder of the test's own, optionally
// behind a fault plan, with the context, settings and run status the
// transfer workers use.
class TransferRig : public ::testing::Test {
protected:
    void SetUp() override
    {
        SetSettleDelayMs(0);
        UseEnglishTexts(true);
        // Requests of 1 MiB: the test media span a few of them.
        SetTransferRequestBytes(size_t(1) << 20);
        char name[] = "/tmp/qv-transfer-XXXXXX";
        dir = mkdtemp(name);
        status.progressWindow = &sink;
        status.setState(RUN_STARTING);
        context.status = &status;
        context.settings = &settings;
        context.device = &record;
        job.chooser = &chooser;
        job.files = &files;
    }
    void TearDown() override
    {
        record.handle = nullptr;
        std::filesystem::remove_all(dir);
        UseEnglishTexts(false);
        SetTransferRequestBytes(0);
    }

    // The medium: its file holds `bytes`; the record says sectorCount.
    void attach(const Bytes& bytes, uint32_t sectorCount, std::optional<FaultPlan> plan = std::nullopt)
    {
        mediumPath = dir + "/medium.img";
        writeFile(mediumPath, bytes);
        DeviceHandle volume = ImageVolume::open(mediumPath);
        ASSERT_TRUE(volume);
        if (plan) {
            auto faulty = std::make_shared<FaultyVolume>(volume, *plan);
            faults = faulty->stateShared();
            volume = faulty;
        }
        record.handle = volume;
        record.listed = 1;
        record.sectorCount = sectorCount;
        std::snprintf(record.productText, sizeof record.productText, "USB Flash");
    }

    Bytes medium() const { return readFile(mediumPath); }

    std::string dir;
    std::string mediumPath;
    Settings settings;
    DeviceRecord record;
    RunStatus status;
    SharedContext context;
    TransferSink sink{status};
    FixedChooser chooser;
    PosixImageFiles files;
    TransferJob job;
    std::shared_ptr<FaultState> faults;
};

}  // namespace qv::test
