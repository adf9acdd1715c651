#include "tools/cli/CliSession.h"
#include "tools/cli/Command.h"

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
        return "too small (READ CAPACITY below 1953 blocks, or failed)";
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

int watch(CliSession& session, double seconds)
{
    WatchPrinter printer(session);
    auto monitor = linux_platform::UdevMonitor::create(printer);
    if (!monitor) {
        std::fprintf(stderr, "quorvane-cli list: no udev monitor on the block subsystem could be opened\n");
        return kExitFailed;
    }
    std::printf("watching (%s events) for %g s\n", monitor->source(), seconds);
    std::fflush(stdout);
    using Clock = std::chrono::steady_clock;
    const auto end = Clock::now() + std::chrono::duration_cast<Clock::duration>(
                                        std::chrono::duration<double>(seconds));
    for (auto now = Clock::now(); now < end; now = Clock::now()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
        pollfd p{monitor->fd(), POLLIN, 0};
        if (poll(&p, 1, int(std::min<long long>(left, 1000))) > 0)
            monitor->dispatch();
    }
    return kExitOk;
}

int runList(const std::vector<std::string>& argsIn)
{
    std::vector<std::string> args = argsIn;
    CliSession session;
    std::string error;
    if (!TakeImageOptions(args, session, nullptr, &error)) {
        std::fprintf(stderr, "quorvane-cli list: %s\n", error.c_str());
        return kExitUsage;
    }
    double watchSeconds = -1;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (arg == "--watch" || arg.rfind("--watch=", 0) == 0) {
            const std::string value = arg == "--watch" ? (i + 1 < args.size() ? args[++i] : "") : arg.substr(8);
            char* rest = nullptr;
            watchSeconds = std::strtod(value.c_str(), &rest);
            if (value.empty() || *rest || watchSeconds < 0) {
                std::fprintf(stderr, "quorvane-cli list: --watch needs a number of seconds\n");
                return kExitUsage;
            }
            continue;
        }
        if (!arg.empty() && arg[0] == '/') {
            session.attachNode(arg);
            continue;
        }
        std::fprintf(stderr, "quorvane-cli list: unknown argument '%s'\n", arg.c_str());
        return kExitUsage;
    }
    session.enumerate();

    DriveList& drives = session.drives();
    const auto& items = session.selector().items();
    if (drives.deviceCount() == 0)
        std::printf("%s\n", items.empty() ? "" : items.front().c_str());
    for (int slot = 2; slot < kDriveSlots; ++slot) {
        const DeviceRecord& r = drives.record(slot);
        if (!r.listed)
            continue;
        char product[33] = {};
        std::memcpy(product, r.productText, 32);
        char revision[5] = {};
        std::memcpy(revision, r.revisionText, 4);
        uint8_t removable = 0;
        {
            uint8_t cdb[6] = {0x12, 0, 0, 0, 0x40, 0};
            uint8_t data[64];
            if (ScsiPassThrough(r.handle, cdb, data, sizeof data) == 1)
                removable = (data[1] & 0x80) ? 1 : 0;
        }
        std::printf("%s\n", items[size_t(drives.selectorPosition(slot))].c_str());
        std::printf("  slot %d  volume %s  access %s\n", slot, r.handle ? r.handle->path().c_str() : "-",
                    r.handle ? r.handle->access().c_str() : "-");
        std::printf("  sectorCount %u  capacityLba %u\n", r.sectorCount, r.capacityLba);
        std::printf("  vendor/product \"%s\"  revision \"%s\"  removable %d\n", product, revision, removable);
    }
    for (int slot = 2; slot < kDriveSlots; ++slot) {
        const SlotVerdict& v = drives.verdict(slot);
        if (v.verdict == DriveVerdict::Listed || v.verdict == DriveVerdict::NoCandidate)
            continue;
        std::printf("not listed: %s: %s", session.source().slotName(slot).c_str(), verdictText(v));
        if (v.error)
            std::printf(" (%s)", std::strerror(v.error));
        std::printf("\n");
    }
    for (const SkippedCandidate& s : session.source().skipped())
        std::printf("not listed: %s: %s\n", s.name.c_str(), s.reason.c_str());
    std::fflush(stdout);
    if (watchSeconds >= 0)
        return watch(session, watchSeconds);
    return kExitOk;
}

}  // namespace

extern const Command kListCommand = {
    "list",
    "list the drives that can be worked on, and why others are not listed",
    "usage: quorvane-cli list [--image FILE]... [--watch SECONDS] [DEVICE-NODE]...\n"
    "\n"
    "Prints, for each listed drive, its selector text, slot, volume node,\n"
    "sector count, READ CAPACITY value, identity and removable bit; then each\n"
    "candidate that was not listed with the reason.\n"
    "  --image FILE   attach an image file as a drive (repeatable)\n"
    "  DEVICE-NODE    also consider this block device (/dev/loop0)\n"
    "  --watch SECONDS  then follow disks coming and going for that long, one\n"
    "                 line each: \"added (sdb) ACME    Stick (33 MB)\", \"removed sdb\",\n"
    "                 \"media changed sdb\", \"arrived sdb, not listed: REASON\";\n"
    "                 the first line names the event source (udev or kernel)\n",
    runList,
};

}  // namespace qv::cli
