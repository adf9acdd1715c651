#include "tools/cli/CliSession.h"
#include "tools/cli/Command.h"

#include "core/mediatests/SectorListing.h"

#include <cstdio>
#include <cstdlib>

namespace qv::cli {
namespace {

int usage(const char* message)
{
    std::fprintf(stderr, "quorvane-cli sector: %s\n", message);
    return kExitUsage;
}

// A whole decimal number; false for anything else.
bool parseCount(const std::string& text, uint64_t* value)
{
    if (text.empty() || text.find_first_not_of("0123456789") != std::string::npos || text.size() > 19)
        return false;
    *value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

int runSector(const std::vector<std::string>& argsIn)
{
    std::vector<std::string> args;
    uint64_t count = 1;
    for (size_t i = 0; i < argsIn.size(); ++i) {
        const std::string& a = argsIn[i];
        if (a == "--count" || a.rfind("--count=", 0) == 0) {
            const std::string value = a == "--count" ? (i + 1 < argsIn.size() ? argsIn[++i] : "") : a.substr(8);
            if (!parseCount(value, &count) || count == 0)
                return usage("--count takes a whole number of sectors, 1 or more");
            continue;
        }
        args.push_back(a);
    }

    CliSession session;
    std::string error;
    if (!OpenCommandDrive(args, session, &error))
        return usage(error.c_str());
    if (args.size() != 1)
        return usage("give the drive and one sector number (quorvane-cli sector sdb 2048)");
    uint64_t first = 0;
    if (!parseCount(args[0], &first))
        return usage("the sector number is a whole number from 0 on");

    const DeviceRecord& drive = *session.context().device;
    const std::string name = drive.handle ? drive.handle->path() : "the drive";
    SectorViewer viewer;
    viewer.Initialise(drive.sectorCount);
    for (uint64_t n = 0; n < count; ++n) {
        viewer.setCurrent(first + n);
        if (!viewer.Show(drive.handle)) {
            std::fflush(stdout);
            if (first + n >= drive.sectorCount)
                std::fprintf(stderr, "quorvane-cli sector: %s: sector %llu is past the end (%u sectors)\n",
                             name.c_str(), static_cast<unsigned long long>(first + n), drive.sectorCount);
            else
                std::fprintf(stderr, "quorvane-cli sector: %s: reading sector %llu failed\n", name.c_str(),
                             static_cast<unsigned long long>(first + n));
            return kExitFailed;
        }
        if (count > 1)
            std::printf("%sSector %llu\n", n ? "\n" : "", static_cast<unsigned long long>(first + n));
        for (const std::string& line : viewer.listing())
            std::printf("%s\n", line.c_str());
    }
    return kExitOk;
}

}  // namespace

extern const Command kSectorCommand = {
    "sector",
    "show sectors of a drive as a hex and character listing (reads only)",
    "usage: quorvane-cli sector DRIVE NUMBER [--count N] [--image FILE]\n"
    "\n"
    "Prints sector NUMBER of the drive (and the N-1 after it) as the sector\n"
    "viewer shows it: 32 lines of 16 bytes, the offset, the bytes in hex and\n"
    "the printable ones as characters. Nothing is written.\n"
    "  DRIVE          a kernel name (sdb), a device node, or --image FILE\n"
    "  --count N      show N sectors, each under a \"Sector NUMBER\" heading\n"
    "Exit codes: 0 shown, 2 bad arguments, 3 a sector could not be read.\n",
    runSector,
};

}  // namespace qv::cli
