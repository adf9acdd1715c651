#include "tools/cli/CliSession.h"
#include "tools/cli/Command.h"

#include "core/device/Scsi.h"

#include <cstdio>
#include <cstring>

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

int runList(const std::vector<std::string>& argsIn)
{
    std::vector<std::string> args = argsIn;
    CliSession session;
    std::string error;
    if (!TakeImageOptions(args, session, nullptr, &error)) {
        std::fprintf(stderr, "quorvane-cli list: %s\n", error.c_str());
        return kExitUsage;
    }
    for (const std::string& arg : args) {
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
        std::printf("  slot %d  volume %s\n", slot, r.handle ? r.handle->path().c_str() : "-");
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
    return kExitOk;
}

}  // namespace

extern const Command kListCommand = {
    "list",
    "list the drives that can be worked on, and why others are not listed",
    "usage: quorvane-cli list [--image FILE]... [DEVICE-NODE]...\n"
    "\n"
    "Prints, for each listed drive, its selector text, slot, volume node,\n"
    "sector count, READ CAPACITY value, identity and removable bit; then each\n"
    "candidate that was not listed with the reason.\n"
    "  --image FILE   attach an image file as a drive (repeatable)\n"
    "  DEVICE-NODE    also consider this block device (/dev/loop0)\n",
    runList,
};

}  // namespace qv::cli
