#include "core/run/ProgressMeter.h"

#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"

namespace qv {

ProgressMeter::ProgressMeter(RunClock clock, bool speedAtFirstRefresh)
    : clock_(std::move(clock)), speedAtFirstRefresh_(speedAtFirstRefresh)
{
}

void ProgressMeter::start()
{
    figures_ = Figures{};
    startTick_ = clock_.tickMs();
    lastElapsed_ = 0;
    lastPosition_ = 0;
}

void ProgressMeter::update(uint64_t position, uint64_t total)
{
    figures_.position = MegabytesText(position);
    figures_.sector = Format("%s %llu", LoadText(str::kSector).c_str(), (unsigned long long)(position + 126));
    const int p = total ? int(position * 100 / total) : 0;
    figures_.percent = PercentText(p);
    figures_.bar = p;

    const uint64_t now = clock_.tickMs();
    const uint64_t e = now - startTick_;
    const uint64_t d = e - lastElapsed_;
    if (d < 1000 && lastElapsed_ != 0)
        return;
    // An interval of 0 ms (a first report at once) shows a speed of 0.
    const double speed = d ? double(int64_t(position - lastPosition_)) * 1000.0 / double(d) / 2048.0 : 0.0;
    if (lastElapsed_ > 0 || speedAtFirstRefresh_)
        figures_.speed = SpeedText(speed);
    lastPosition_ = position;
    lastElapsed_ = e;
    figures_.elapsed = DurationText(e);
    const uint64_t f = total ? position * 1000 / total : 0;
    figures_.remaining = f == 0 ? kUnknownDuration : DurationText(e * 1000 / f - e);
}

void ProgressMeter::finish()
{
    figures_.percent = PercentText(100);
    figures_.bar = 100;
    figures_.remaining = DurationText(0);
}

}  // namespace qv
