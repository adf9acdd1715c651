#include "tools/cli/CommandRunner.h"

#include "core/mediatests/SectorListing.h"

#include <cstdio>

namespace qv::cli {
namespace {

// The sector number: whole decimal digits, nothing else.
bool parseSector(const std::string& text, uint64_t* value)
{
    if (text.empty() || text.size() > 19 || text.find_first_not_of("0123456789") != std::string::npos)
        return false;
    *value = std::strtoull(text.c_str(), nullptr, 10);
    return true;
}

int sector(CommandRun& run)
{
    uint64_t first = 0;
    if (!parseSector(run.operand(0), &first))
        return run.usage("NUMBER is a sector number, a whole number from 0 on");
    const uint64_t count = uint64_t(run.number("--count", 1));
    const DeviceRecord& drive = run.record();

    SectorViewer viewer;
    viewer.Initialise(drive.sectorCount);
    nlohmann::json shown = nlohmann::json::array();
    for (uint64_t n = 0; n < count; ++n) {
        const uint64_t number = first + n;
        viewer.setCurrent(number);
        if (!viewer.Show(drive.handle)) {
            std::fflush(stdout);
            const std::string message =
                number >= drive.sectorCount
                    ? run.drivePath() + ": sector " + std::to_string(number) + " is past the end (" +
                          std::to_string(drive.sectorCount) + " sectors)"
                    : run.drivePath() + ": reading sector " + std::to_string(number) + " failed";
            return run.finish({{"outcome", "failed"}, {"failure", message}, {"sectors", shown}}, run.fail(message));
        }
        const auto lines = viewer.listing();
        if (run.json()) {
            shown.push_back({{"sector", number}, {"listing", lines}});
            continue;
        }
        if (count > 1)
            std::printf("%sSector %llu\n", n ? "\n" : "", static_cast<unsigned long long>(number));
        for (const std::string& line : lines)
            std::printf("%s\n", line.c_str());
    }
    std::fflush(stdout);
    return run.finish({{"outcome", "completed"}, {"sectors", shown}}, kExitOk);
}

const CommandSpec kSpec = {
    "sector",
    "show sectors of a drive as a hex and character listing (reads only)",
    "Prints sector NUMBER of the drive (and the ones after it with --count)\n"
    "as the sector viewer shows it: 32 lines of 16 bytes, the offset, the\n"
    "bytes in hex and the printable ones as characters. Nothing is written.",
    {
        {"--count", "N", "show N sectors from NUMBER on, each under a \"Sector NUMBER\"\n"
                         "                     heading (1 to 1000000, default 1)", 1, 1000000},
    },
    true,
    "Exit codes: 0 shown, 2 bad arguments, 3 a sector could not be read.\n",
    false,
    {"NUMBER"},
};

int runSector(const std::vector<std::string>& args)
{
    return RunCommand(kSpec, args, sector);
}

}  // namespace

extern const Command kSectorCommand = {kSpec.name, kSpec.synopsis, HelpText(kSpec), runSector};

}  // namespace qv::cli
