#include "core/mediatests/ErrorScanPresenter.h"

#include <algorithm>

#include "core/device/SectorIO.h"
#include "core/mediatests/ErrorScanWorker.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

namespace qv {
namespace {

// Refreshes of the figures within this time of the last are skipped.
constexpr double kRefreshSeconds = 0.25;

int imageForCount(int32_t count)
{
    return count == 0 ? LOG_NO_IMAGE : LOG_ERROR;
}

}  // namespace

ErrorScanPresenter::ErrorScanPresenter(SharedContext& context, RunController& runs, ErrorScanView& view,
                                       BlockMapSink& writeMap, BlockMapSink& readMap, RunClock clock)
    : RunPresenter(context, runs, view, std::move(clock)), scanView_(view), writeMap_(writeMap), readMap_(readMap),
      worker_(ErrorScanWorker)
{
}

ErrorScanPresenter::~ErrorScanPresenter()
{
    runs_.release(*this);
    if (DeviceRecord* record = context_.device) {
        if (record->writeMap == &writeMap_)
            record->writeMap = nullptr;
        if (record->readMap == &readMap_)
            record->readMap = nullptr;
    }
}

bool ErrorScanPresenter::Start(int32_t passesValue, int32_t testType)
{
    if (active() || runs_.active() || !context_.device)
        return false;
    testType_ = testType;
    passes_ = passesValue;
    passesLeft_ = passesValue;
    nextPassPending_ = false;
    result_ = ErrorScanResult{};
    result_.passes = passesValue;
    result_.testType = testType;
    scanView_.clearLog();
    log_.clear();
    preparePass();
    return startRun(passWorker(), kRefreshSeconds, SCAN_BOUNDARY);
}

RunController::Worker ErrorScanPresenter::passWorker()
{
    return [testType = testType_, worker = worker_](SharedContext& context) { worker(context, testType); };
}

void ErrorScanPresenter::ResetScanDisplay()
{
    texts_ = ErrorScanTexts{};
    writeMap_.Clear();
    readMap_.Clear();
    scanView_.showTexts(texts_);
}

void ErrorScanPresenter::preparePass()
{
    DeviceRecord& record = *context_.device;
    ResetScanDisplay();
    record.writeMap = &writeMap_;
    record.readMap = &readMap_;
    writeMap_.SetUnits(record.sectorCount, 0);
    readMap_.SetUnits(record.sectorCount, 0);
    lastSpeedSector_ = 0;
    record.errorCounters[0] = record.errorCounters[1] = record.errorCounters[2] = 0;
    logStage((testType_ & kScanWriteTest) != 0);
    TimerInit();
    clock_.restart();
    phaseStartTick_ = clock_.tickMs();
}

bool ErrorScanPresenter::nextWorker()
{
    if (!nextPassPending_)
        return false;
    nextPassPending_ = false;
    preparePass();
    return continueRun(passWorker());
}

void ErrorScanPresenter::AddLogLine(const std::string& text, int image)
{
    const std::string time = clock_.timeOfDay();
    log_.push_back({time, text, image == LOG_ERROR});
    scanView_.appendLog(time, text, image);
}

namespace {

// Sectors 0 to 1024, which the write test zeroes before its first chunk.
constexpr uint64_t kScanZeroedSectors = 1025;

}  // namespace

std::string ErrorScanPresenter::describeStop() const
{
    const RunStatus& status = *context_.status;
    const uint64_t done = status.doneSectors.load(std::memory_order_relaxed);
    const std::string n = std::to_string(context_.device->sectorCount);
    switch (status.donePhase.load(std::memory_order_relaxed)) {
    case kScanPhaseWriting: {
        // The write test zeroes sectors 0 to 1024 before its first chunk.
        const uint64_t zeroedEnd = std::min<uint64_t>(kScanZeroedSectors, context_.device->sectorCount);
        if (done == 0)
            return LoadText(str::kStopScanZeroedOnly);
        std::string text = LoadTextWith(str::kStopScanWriting, {std::to_string(done - 1), n});
        if (done < zeroedEnd)
            text += LoadTextWith(str::kStopScanStartZeroed, {std::to_string(done)});
        return text;
    }
    case kScanPhaseReading: return LoadTextWith(str::kStopScanReading, {n});
    default: return RunPresenter::describeStop();
    }
}

void ErrorScanPresenter::idleRestored()
{
    RunPresenter::idleRestored();
    // The log keeps what the stop left, beside the page's other lines.
    if (!stopText_.empty())
        AddLogLine(stopText_, LOG_WARNING);
}

Report ErrorScanPresenter::report() const
{
    Report r = BeginReport(LoadText(str::kErrorScan), outcome_, failureReason());
    if (context_.device)
        r.drive = ReportDriveOf(*context_.device);
    const bool write = result_.testType & kScanWriteTest, read = result_.testType & kScanReadTest;
    r.settings = {{LoadText(str::kScanWriteTestBox), YesNoText(write)},
                  {LoadText(str::kScanReadTestBox), YesNoText(read)},
                  {LoadText(str::kScanPasses), std::to_string(result_.passes)}};
    // The figures as the page shows them under each map.
    auto group = [](int heading, const std::string& errors, const std::string& speed, const std::string& position,
                    const std::string& percent) {
        return ReportSection{LoadText(heading),
                             {{LoadText(str::kScanErrors), errors},
                              {LoadText(str::kScanSpeed), speed},
                              {LoadText(str::kScanPosition), position},
                              {LoadText(str::kReportProgress), percent}}};
    };
    if (write)
        r.figures.push_back(group(str::kScanWriting, texts_.writeErrors, texts_.writeSpeed, texts_.writePosition,
                                  texts_.writePercent));
    if (read)
        r.figures.push_back(group(str::kScanReading, texts_.readErrors, texts_.readSpeed, texts_.readPosition,
                                  texts_.readPercent));
    ReportSection totals{LoadText(str::kReportTotals),
                         {{LoadText(str::kReportPassesDone), std::to_string(result_.passesDone)}}};
    if (write) {
        totals.rows.push_back({LoadText(str::kWriteErrors), std::to_string(result_.writeErrors)});
        totals.rows.push_back({LoadText(str::kAverageWriteSpeed), SpeedText(result_.writeSpeed)});
    }
    if (read) {
        totals.rows.push_back({LoadText(str::kReadErrors), std::to_string(result_.readErrors)});
        if (write)
            totals.rows.push_back({LoadText(str::kCheckForErrors), std::to_string(result_.differingBytes)});
        totals.rows.push_back({LoadText(str::kAverageReadSpeed), SpeedText(result_.readSpeed)});
    }
    r.figures.push_back(std::move(totals));
    if (write)
        r.pictures.push_back({kWriteMapSlot, LoadText(str::kScanWriting), {}});
    if (read)
        r.pictures.push_back({kReadMapSlot, LoadText(str::kScanReading), {}});
    r.log = log_;
    return r;
}

void ErrorScanPresenter::logStage(bool writeStage)
{
    AddLogLine(Format("%s %d - %s", LoadText(str::kStage).c_str(), passes_ - passesLeft_ + 1,
                      LoadText(writeStage ? str::kWriteTest : str::kReadTest).c_str()),
               LOG_INFORMATION);
}

double ErrorScanPresenter::logPhaseSummary(int speedText)
{
    const DeviceRecord& record = *context_.device;
    const uint64_t ms = clock_.tickMs() - phaseStartTick_;
    const double speed = double(record.sectorCount) / 2048.0 * 1000.0 / double(ms ? ms : 1);
    AddLogLine(Format("%s: %s", LoadText(speedText).c_str(), SpeedText(speed).c_str()), LOG_NO_IMAGE);
    AddLogLine(Format("%s: %s", LoadText(str::kTimeTaken).c_str(), DurationText(ms).c_str()), LOG_NO_IMAGE);
    return speed;
}

void ErrorScanPresenter::pushTexts()
{
    scanView_.showTexts(texts_);
}

void ErrorScanPresenter::onActive(int32_t, int64_t phase)
{
    const DeviceRecord& record = *context_.device;
    const double t = clock_.elapsedSeconds();
    if (t < kRefreshSeconds && phase != SCAN_BOUNDARY)
        return;
    std::string speed;
    if (lastSpeedSector_ > 0) {
        const double kilobytes = double(record.position - lastSpeedSector_) * 0.5 / t;
        speed = SpeedText(kilobytes / 1024);
        clock_.restart();
    }
    lastSpeedSector_ = record.position;

    const uint64_t n = record.sectorCount;
    const uint64_t chunks = ScanChunkCount(n);
    auto errorText = [chunks](int32_t count) {
        return Format("%.3f %%", chunks ? double(count) * 100.0 / double(chunks) : 0.0);
    };
    const std::string position = MegabytesText(record.position);
    const int plain = n ? int(record.position * 100 / n) : 0;
    if (phase == SCAN_WRITE_CHUNK) {
        const int p = (n >= 64 && record.position >= n - 64) ? 100 : plain;
        texts_.writePosition = position;
        texts_.writePercent = PercentText(p);
        texts_.writeBar = p;
        if (!speed.empty())
            texts_.writeSpeed = speed;
        texts_.writeErrors = errorText(record.errorCounters[0]);
    } else if (phase == SCAN_READ_CHUNK) {
        texts_.readPosition = position;
        texts_.readPercent = PercentText(plain);
        texts_.readBar = plain;
        if (!speed.empty())
            texts_.readSpeed = speed;
        texts_.readErrors = errorText(record.errorCounters[1]);
    }
}

void ErrorScanPresenter::onDone(int32_t, int64_t phase)
{
    const DeviceRecord& record = *context_.device;
    if (phase == SCAN_WRITE_CHUNK) {
        texts_.writePercent = PercentText(100);
        texts_.writeBar = 100;
        result_.writeErrors += record.errorCounters[0];
        AddLogLine(Format("%s: %d", LoadText(str::kWriteErrors).c_str(), record.errorCounters[0]),
                   imageForCount(record.errorCounters[0]));
        result_.writeSpeed = logPhaseSummary(str::kAverageWriteSpeed);
        if (testType_ & kScanReadTest)
            logStage(false);
    } else if (phase == SCAN_READ_CHUNK) {
        texts_.readPercent = PercentText(100);
        texts_.readBar = 100;
        result_.readErrors += record.errorCounters[1];
        AddLogLine(Format("%s: %d", LoadText(str::kReadErrors).c_str(), record.errorCounters[1]),
                   imageForCount(record.errorCounters[1]));
        if (testType_ & kScanWriteTest) {
            result_.differingBytes += record.errorCounters[2];
            AddLogLine(Format("%s: %d", LoadText(str::kCheckForErrors).c_str(), record.errorCounters[2]),
                       imageForCount(record.errorCounters[2]));
        }
        result_.readSpeed = logPhaseSummary(str::kAverageReadSpeed);
    } else {
        --passesLeft_;
        ++result_.passesDone;
        // A drive that left during the pass gets no further pass.
        if (passesLeft_ > 0 && !record.detached && record.handle && record.handle->isOpen())
            nextPassPending_ = true;
        else
            finishRun();
        // Passes left undone: the scan is not complete.
        if (passesLeft_ > 0 && !nextPassPending_)
            outcome_ = RunOutcome::Failed;
    }
    phaseStartTick_ = clock_.tickMs();
}

}  // namespace qv
