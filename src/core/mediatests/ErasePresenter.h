#pragma once

#include "core/report/Report.h"
#include "core/run/ProgressMeter.h"
#include "core/run/RunPresenter.h"

#include <cstdint>
#include <string>

namespace qv {

// The seven value texts of the erase page and its progress bar.
struct EraseTexts {
    std::string percent, position, sector, speed, elapsed, remaining, errors;
    int bar = 0;
};

class EraseView : public RunView {
public:
    virtual void showTexts(const EraseTexts& texts) = 0;
    // The message box at the end of a complete erase.
    virtual void showMessage(const std::string& text) = 0;
};

// The figures of an erase.
struct EraseResult {
    int32_t eraseType = 0;
    uint64_t sectors = 0;        // zeroed, or asked for
    int32_t failedChunks = 0;    // 64 KiB chunks that could not be written
};

// The erase page without its widgets: runs EraseWorker, shows figures for
// a full erase and ends with the page's message.
class ErasePresenter : public RunPresenter {
public:
    ErasePresenter(SharedContext& context, RunController& runs, EraseView& view,
                   RunClock clock = RunClock::System());

    // Starts an erase of the type the settings hold (after the write
    // warning was accepted). Refused while a previous worker has not ended.
    bool Start();
    void ResetEraseDisplay();

    const EraseTexts& texts() const { return texts_; }
    const EraseResult& result() const { return result_; }

    // The report of the last erase: its type, the figures the page shows,
    // the sectors zeroed and how it ended.
    Report report() const;

private:
    void onActive(int32_t operation, int64_t value) override;
    void onDone(int32_t operation, int64_t value) override;
    void onFailed(int32_t operation, int64_t value) override;
    void pushTexts() override;
    bool reopensDeviceAtEnd() const override { return true; }
    bool writesToMedium() const override { return true; }
    std::string describeStop() const override;

    bool full() const;

    EraseView& eraseView_;
    ProgressMeter meter_;
    EraseTexts texts_;
    EraseResult result_;
};

}  // namespace qv
