#include "tools/cli/CommandRunner.h"

#include "core/device/Scsi.h"
#include "platform/linux/SystemDriveEvents.h"
#include "platform/linux/UdevMonitor.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <poll.h>

namespace qv::cli {
namespace {

const char* verdictText(const SlotVerdict& v)
{
    switch (v.verdict) {
    case DriveVerdict::OpenFailed:
        return "open failed";
    case DriveVerdict::InquiryFailed:
        return "INQUIRY failed";
    case DriveVerdict::ExcludedByRule:
        return "excluded by rule (optical, or large and not a removable direct-access device)";
    case DriveVerdict::TooSmall:
        return "too small (under 1 MB: fewer than 1954 sectors), or READ CAPACITY failed";
    default:
        return "";
    }
}

// Follows disks arriving and leaving through the udev monitor and the
// routing the main window uses, printing one line per change.
class WatchPrinter : public linux_platform::DriveEvents {
public:
    explicit WatchPrinter(CliSession& session)
        : session_(session), routing_(session.source(), session.drives())
    {
    }

    void diskArrived(const std::string& name) override
    {
        routing_.diskArrived(name);
        reportArrival(name);
    }
    void diskRemoved(const std::string& name) override
    {
        const bool known = session_.source().slotOf(name) >= 0;
        routing_.diskRemoved(name);
        if (known)
            line("removed " + name);
    }
    void mediaChanged(const std::string& name) override
    {
        line("media changed " + name);
        routing_.mediaChanged(name);
        reportArrival(name);
    }

private:
    void reportArrival(const std::string& name)
    {
        const int slot = session_.source().slotOf(name);
        if (slot < 0)
            return;
        DriveList& drives = session_.drives();
        if (drives.record(slot).listed) {
            line("added " + session_.selector().items()[size_t(drives.selectorPosition(slot))]);
            return;
        }
        std::string text = "arrived " + name + ", not listed: " + verdictText(drives.verdict(slot));
        if (drives.verdict(slot).error)
            text += std::string(" (") + std::strerror(drives.verdict(slot).error) + ")";
        line(text);
    }
    static void line(const std::string& text)
    {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
    }

    CliSession& session_;
    linux_platform::SystemDriveEvents routing_;
};

int watch(CommandRun& run, double seconds)
{
    WatchPrinter printer(run.session());
    auto monitor = linux_platform::UdevMonitor::create(printer);
    if (!monitor)
        return run.fail("no udev monitor on the block subsystem could be opened");
    std::printf("watching (%s events) for %g s\n", monitor->source(), seconds);
    std::fflush(stdout);
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(seconds));
    // Ctrl-C ends the watch early (poll returns on the signal).
    for (auto now = Clock::now(); now < end && !run.interrupted(); now = Clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
        pollfd p{monitor->fd(), POLLIN, 0};
        if (poll(&p, 1, int(std::min<long long>(left, 1000))) > 0)
            monitor->dispatch();
    }
    return kExitOk;
}

int list(CommandRun& run)
{
    double watchSeconds = -1;
    if (run.flag("--watch")) {
        const std::string value = run.value("--watch");
        char* rest = nullptr;
        watchSeconds = std::strtod(value.c_str(), &rest);
        if (value.empty() || *rest || watchSeconds < 0)
            return run.usage("--watch needs a number of seconds");
    }
    CliSession& session = run.session();
    for (const std::string& path : run.values("--image"))
        session.attachImage(path);
    for (const std::string& arg : run.positional()) {
        if (arg.empty() || arg[0] != '/')
            return run.usage("unknown argument '" + arg + "'");
        session.attachNode(arg);
    }
    session.enumerate();

    DriveList& drives = session.drives();
    const auto& items = session.selector().items();
    nlohmann::json listed = nlohmann::json::array(), notListed = nlohmann::json::array();
    if (drives.deviceCount() == 0 && !run.json())
        std::printf("%s\n", items.empty() ? "" : items.front().c_str());
    for (int slot = 2; slot < kDriveSlots; ++slot) {
        const DeviceRecord& r = drives.record(slot);
        if (!r.listed)
            continue;
        const std::string product(r.productText, strnlen(r.productText, sizeof r.productText));
        const std::string revision(r.revisionText, strnlen(r.revisionText, sizeof r.revisionText));
        uint8_t removable = 0;
        {
            uint8_t cdb[6] = {0x12, 0, 0, 0, 0x40, 0};
            uint8_t data[64];
            if (ScsiPassThrough(r.handle, cdb, data, sizeof data) == 1)
                removable = (data[1] & 0x80) ? 1 : 0;
        }
        const std::string& text = items[size_t(drives.selectorPosition(slot))];
        const std::string volume = r.handle ? r.handle->path() : "-";
        listed.push_back({{"text", text},
                          {"name", session.source().slotName(slot)},
                          {"slot", slot},
                          {"volume", volume},
                          {"sectors", r.sectorCount},
                          {"capacity_lba", r.capacityLba},
                          {"capacity_sectors", r.diskSectors},
                          {"product", product},
                          {"revision", revision},
                          {"removable", removable != 0},
                          {"access", r.handle ? r.handle->access() : std::string()}});
        if (run.json())
            continue;
        std::printf("%s\n", text.c_str());
        std::printf("  slot %d  volume %s  access %s\n", slot, volume.c_str(),
                    r.handle ? r.handle->access().c_str() : "-");
        std::printf("  sectorCount %llu  capacityLba %llu  diskSectors %llu\n", (unsigned long long)r.sectorCount,
                    (unsigned long long)r.capacityLba, (unsigned long long)r.diskSectors);
        std::printf("  vendor/product \"%s\"  revision \"%s\"  removable %d\n", product.c_str(), revision.c_str(),
                    removable);
    }
    auto skip = [&](const std::string& name, const std::string& reason, int error) {
        notListed.push_back({{"name", name}, {"reason", reason}, {"error", error ? std::strerror(error) : ""}});
        if (!run.json())
            std::printf("not listed: %s: %s%s\n", name.c_str(), reason.c_str(),
                        error ? (std::string(" (") + std::strerror(error) + ")").c_str() : "");
    };
    for (int slot = 2; slot < kDriveSlots; ++slot) {
        const SlotVerdict& v = drives.verdict(slot);
        if (v.verdict != DriveVerdict::Listed && v.verdict != DriveVerdict::NoCandidate)
            skip(session.source().slotName(slot), verdictText(v), v.error);
    }
    for (const SkippedCandidate& s : session.source().skipped())
        skip(s.name, s.reason, 0);
    std::fflush(stdout);
    run.finish({{"drives", listed}, {"not_listed", notListed}}, kExitOk);
    if (watchSeconds >= 0)
        return watch(run, watchSeconds);
    return kExitOk;
}

const CommandSpec kSpec = {
    "list",
    "list the drives that can be worked on, and why others are not listed",
    "Prints, for each listed drive, its selector text, slot, volume node,\n"
    "sector count, READ CAPACITY value, identity and removable bit; then each\n"
    "candidate that was not listed with the reason. DEVICE-NODE arguments\n"
    "(/dev/loop0) are considered as well.",
    {
        {"--image", "FILE", "attach an image file as a drive (repeatable)"},
        {"--watch", "SECONDS", "then follow disks coming and going for that long, one\n"
                               "                     line each: \"added (sdb) ACME    Stick (33 MB)\", \"removed sdb\",\n"
                               "                     \"media changed sdb\", \"arrived sdb, not listed: REASON\";\n"
                               "                     the first line names the event source (udev or kernel)"},
    },
    false,
    "Exit codes: 0 done, 2 bad arguments, 3 failed.\n",
};

int runList(const std::vector<std::string>& args)
{
    return RunCommand(kSpec, args, list);
}

}  // namespace

extern const Command kListCommand = {kSpec.name, kSpec.synopsis, HelpText(kSpec), runList};

}  // namespace qv::cli
