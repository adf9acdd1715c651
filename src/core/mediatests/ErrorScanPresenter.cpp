#include "core/mediatests/ErrorScanPresenter.h"

#include "core/device/SectorIO.h"
#include "core/mediatests/ErrorScanWorker.h"
#include "core/text/StringTable.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <ctime>

namespace qv {
namespace {

std::string format(const char* pattern, ...)
{
    char text[256];
    va_list args;
    va_start(args, pattern);
    std::vsnprintf(text, sizeof text, pattern, args);
    va_end(args);
    return text;
}

std::string percentText(int p)
{
    return format("%d %%", p);
}

int imageForCount(int32_t count)
{
    return count == 0 ? LOG_NO_IMAGE : LOG_ERROR;
}

}  // namespace

ErrorScanClock ErrorScanClock::System()
{
    ErrorScanClock clock;
    clock.elapsedSeconds = [] { return double(TimerElapsedSeconds()); };
    clock.restart = [] { TimerStart(); };
    clock.tickMs = [] {
        using namespace std::chrono;
        return uint64_t(duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
    };
    clock.timeOfDay = [] {
        const std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        char text[32];
        std::strftime(text, sizeof text, "[%H:%M:%S]", &local);
        return std::string(text);
    };
    return clock;
}

ErrorScanPresenter::ErrorScanPresenter(SharedContext& context, ErrorScanView& view, BlockMapSink& writeMap,
                                       BlockMapSink& readMap, WorkerThread::Post post, ErrorScanClock clock)
    : context_(context), view_(view), writeMap_(writeMap), readMap_(readMap), clock_(std::move(clock)),
      thread_(std::move(post)), worker_(ErrorScanWorker)
{
}

bool ErrorScanPresenter::Start(int32_t passesValue, int32_t testType)
{
    if (active() || !context_.device || !filter_.inner)
        return false;
    testType_ = testType;
    passes_ = passesValue;
    passesLeft_ = passesValue;
    running_ = true;
    view_.clearLog();
    StartPass();
    return true;
}

void ErrorScanPresenter::Stop()
{
    context_.status->setState(RUN_STOP);
    FinishScan();
}

void ErrorScanPresenter::ResetScanDisplay()
{
    texts_ = ErrorScanTexts{};
    writeMap_.Clear();
    readMap_.Clear();
    view_.showTexts(texts_);
}

void ErrorScanPresenter::StartPass()
{
    DeviceRecord& record = *context_.device;
    RunStatus& status = *context_.status;
    ResetScanDisplay();
    DisableMainControls(status);
    view_.showRunState(true, true);
    record.writeMap = &writeMap_;
    record.readMap = &readMap_;
    writeMap_.SetUnits(record.sectorCount, 0);
    readMap_.SetUnits(record.sectorCount, 0);
    lastSpeedSector_ = 0;
    status.progressWindow = &filter_;
    record.errorCounters[0] = record.errorCounters[1] = record.errorCounters[2] = 0;
    status.busy = 1;
    logStage((testType_ & kScanWriteTest) != 0);
    TimerInit();
    clock_.restart();
    phaseStartTick_ = clock_.tickMs();
    // The state is the worker's to set; a stale RUN_STOP must not end the
    // new pass before it has begun.
    status.setState(RUN_STARTING);
    SharedContext* context = &context_;
    const int32_t testType = testType_;
    thread_.start([context, testType, worker = worker_] { worker(*context, testType); },
                  [this] { threadEnded(); });
}

void ErrorScanPresenter::FinishScan()
{
    nextPassPending_ = false;
    if (!running_ && !finishPending_)
        return;
    running_ = false;
    finishPending_ = true;
    // The drive is reopened only once the worker has ended, so that no
    // handle is closed under a transfer; Start stays off until then.
    if (thread_.running())
        view_.showRunState(false, false);
    else
        completeIdle();
}

void ErrorScanPresenter::completeIdle()
{
    finishPending_ = false;
    RunStatus& status = *context_.status;
    EnableMainControls(status);
    status.busy = 0;
    ReopenDevice(context_);
    view_.showRunState(false, true);
    if (onIdle)
        onIdle();
}

void ErrorScanPresenter::threadEnded()
{
    if (nextPassPending_) {
        nextPassPending_ = false;
        StartPass();
        return;
    }
    // A worker that ended without its closing report still ends the scan.
    if (running_)
        FinishScan();
    else if (finishPending_)
        completeIdle();
}

void ErrorScanPresenter::AddLogLine(const std::string& text, int image)
{
    view_.appendLog(clock_.timeOfDay(), text, image);
}

void ErrorScanPresenter::logStage(bool writeStage)
{
    AddLogLine(format("%s %d - %s", LoadText(113).c_str(), passes_ - passesLeft_ + 1,
                      LoadText(writeStage ? 120 : 121).c_str()),
               LOG_INFORMATION);
}

void ErrorScanPresenter::logPhaseSummary(int speedText)
{
    const DeviceRecord& record = *context_.device;
    const uint64_t now = clock_.tickMs();
    uint64_t ms = now - phaseStartTick_;
    const double speed = double(record.sectorCount) / 2048.0 * 1000.0 / double(ms ? ms : 1);
    AddLogLine(format("%s: %.1f %s", LoadText(speedText).c_str(), speed, LoadText(202).c_str()), LOG_NO_IMAGE);
    AddLogLine(format("%s: %d:%02d", LoadText(117).c_str(), int(ms / 1000 / 60), int(ms / 1000 % 60)),
               LOG_NO_IMAGE);
}

int64_t ErrorScanPresenter::ReportFilter::report(int32_t operation, int64_t value)
{
    // Runs on the worker thread: only the run state and the timer are read,
    // both safe to read there.
    const bool ignored = presenter_.context_.status->state() == RUN_ACTIVE && value != SCAN_BOUNDARY &&
                         presenter_.clock_.elapsedSeconds() < 0.25;
    if (ignored || !inner)
        return 1;
    return inner->report(operation, value);
}

int64_t ErrorScanPresenter::OnProgress(int32_t operation, int64_t phase)
{
    (void)operation;
    // Reports of a worker whose scan was stopped only end it.
    if (!running_) {
        if (context_.status->state() == RUN_STOP)
            FinishScan();
        return 1;
    }
    switch (context_.status->state()) {
    case RUN_ACTIVE:
        refresh(phase);
        break;
    case RUN_STOP:
        FinishScan();
        break;
    case RUN_DONE:
        testCompleted(phase);
        break;
    case RUN_FAILED:
        view_.showFailure(LoadText(209));
        FinishScan();
        break;
    default:
        break;
    }
    view_.showTexts(texts_);
    return 1;
}

void ErrorScanPresenter::refresh(int64_t phase)
{
    const DeviceRecord& record = *context_.device;
    const double t = clock_.elapsedSeconds();
    if (t < 0.25 && phase != SCAN_BOUNDARY)
        return;
    std::string speed;
    if (lastSpeedSector_ > 0) {
        const double kilobytes = double(record.position - lastSpeedSector_) * 0.5 / t;
        speed = format("%.1f %s", kilobytes / 1024, LoadText(202).c_str());
        clock_.restart();
    }
    lastSpeedSector_ = record.position;

    const uint64_t n = record.sectorCount;
    const uint64_t chunks = ScanChunkCount(n);
    auto errorText = [chunks](int32_t count) {
        return format("%.3f %%", chunks ? double(count) * 100.0 / double(chunks) : 0.0);
    };
    const std::string position = format("%lld %s", (long long)(record.position / 2048), LoadText(201).c_str());
    const int plain = n ? int(record.position * 100 / n) : 0;
    if (phase == SCAN_WRITE_CHUNK) {
        const int p = (n >= 64 && record.position >= n - 64) ? 100 : plain;
        texts_.writePosition = position;
        texts_.writePercent = percentText(p);
        texts_.writeBar = p;
        if (!speed.empty())
            texts_.writeSpeed = speed;
        texts_.writeErrors = errorText(record.errorCounters[0]);
    } else if (phase == SCAN_READ_CHUNK) {
        texts_.readPosition = position;
        texts_.readPercent = percentText(plain);
        texts_.readBar = plain;
        if (!speed.empty())
            texts_.readSpeed = speed;
        texts_.readErrors = errorText(record.errorCounters[1]);
    }
}

void ErrorScanPresenter::testCompleted(int64_t phase)
{
    const DeviceRecord& record = *context_.device;
    if (phase == SCAN_WRITE_CHUNK) {
        texts_.writePercent = percentText(100);
        texts_.writeBar = 100;
        AddLogLine(format("%s: %d", LoadText(114).c_str(), record.errorCounters[0]),
                   imageForCount(record.errorCounters[0]));
        logPhaseSummary(118);
        if (testType_ & kScanReadTest)
            logStage(false);
    } else if (phase == SCAN_READ_CHUNK) {
        texts_.readPercent = percentText(100);
        texts_.readBar = 100;
        AddLogLine(format("%s: %d", LoadText(115).c_str(), record.errorCounters[1]),
                   imageForCount(record.errorCounters[1]));
        if (testType_ & kScanWriteTest)
            AddLogLine(format("%s: %d", LoadText(116).c_str(), record.errorCounters[2]),
                       imageForCount(record.errorCounters[2]));
        logPhaseSummary(119);
    } else {
        --passesLeft_;
        // A drive that left during the pass gets no further pass.
        if (passesLeft_ > 0 && !record.detached && record.handle && record.handle->isOpen())
            nextPassPending_ = true;
        else
            FinishScan();
    }
    phaseStartTick_ = clock_.tickMs();
}

}  // namespace qv
