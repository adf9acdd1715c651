#include "tools/cli/CliSession.h"
#include "tools/cli/Command.h"

#include "core/info/InfoPresenter.h"
#include "core/text/StringTable.h"
#include "platform/linux/LinuxInfoSystem.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <cstring>

namespace qv::cli {
namespace {

template <size_t N>
std::string fieldText(const char (&field)[N])
{
    return std::string(field, strnlen(field, N));
}

nlohmann::json factsJson(const DeviceRecord& record, const std::optional<VolumeFacts>& facts)
{
    nlohmann::json volume;
    const bool identified = facts && facts->identified && record.sectorCount != 0;
    volume["fileSystem"] = identified ? nlohmann::json(facts->fileSystem) : nlohmann::json();
    volume["label"] = identified ? nlohmann::json(facts->label) : nlohmann::json();
    if (facts && facts->mounted) {
        const SpaceFigures space = ComputeSpace(facts->totalBytes, facts->freeBytes);
        volume["space"] = {{"totalBytes", facts->totalBytes}, {"freeBytes", facts->freeBytes},
                           {"freeMB", space.freeMb},          {"usedMB", space.usedMb},
                           {"freePercent", space.freePercent}, {"usedPercent", space.usedPercent}};
    } else {
        volume["space"] = nullptr;
    }
    return volume;
}

int runInfo(const std::vector<std::string>& argsIn)
{
    UseEnglishTexts(EnglishLocale());
    std::vector<std::string> args = argsIn;
    bool json = false;
    for (auto it = args.begin(); it != args.end();) {
        if (*it == "--json") {
            json = true;
            it = args.erase(it);
        } else {
            ++it;
        }
    }
    CliSession session;
    std::string error;
    if (!OpenCommandDrive(args, session, &error)) {
        std::fprintf(stderr, "quorvane-cli info: %s\n", error.c_str());
        return error.rfind("no drive given", 0) == 0 ? kExitUsage : kExitFailed;
    }
    if (!args.empty()) {
        std::fprintf(stderr, "quorvane-cli info: unknown argument '%s'\n", args.front().c_str());
        return kExitUsage;
    }
    SharedContext& context = session.context();
    linux_platform::LinuxInfoSystem system([&session](int index) { return session.source().slotName(index); });
    InfoPresenter presenter(context, system, nullptr);
    const DeviceRecord& record = *context.device;
    const std::optional<VolumeFacts> facts = presenter.QueryVolume();
    const VolumeTexts texts = InfoPresenter::TextsFor(record, facts);
    const std::string os = presenter.DescribeOs();
    const std::string usbDevice = system.usbDeviceOfDrive(record.driveIndex);
    const std::string drive = session.source().slotName(record.driveIndex);

    if (json) {
        nlohmann::json out = {
            {"drive", drive},
            {"product", fieldText(record.productText)},
            {"revision", fieldText(record.revisionText)},
            {"capacityLba", record.capacityLba},
            {"sectorCount", record.sectorCount},
            {"capacityMB", record.capacityLba / 2048},
            {"capacityBytes", uint64_t(record.capacityLba) * 512},
            {"volume", factsJson(record, facts)},
            {"os", os},
            {"usbDevice", usbDevice.empty() ? nlohmann::json() : nlohmann::json(usbDevice)},
        };
        std::printf("%s\n", out.dump(2).c_str());
        return kExitOk;
    }
    const std::string indent(23, ' ');
    auto row = [&](int labelId, const std::string& value) {
        std::printf("%s%s\n", PadToColumns(LoadText(labelId), indent.size()).c_str(), value.c_str());
    };
    std::printf("%s\n", session.selector().items()[size_t(session.drives().selectorPosition(record.driveIndex))].c_str());
    row(40411, texts.capacityMb);
    if (!texts.capacityBytes.empty())
        std::printf("%s%s\n%s%s\n", indent.c_str(), texts.capacityBytes.c_str(), indent.c_str(),
                    texts.capacitySectors.c_str());
    row(40412, texts.used);
    row(40413, texts.free);
    row(40414, texts.fileSystem);
    row(40415, texts.label);
    row(40417, texts.name);
    row(40418, texts.version);
    row(40424, os);
    if (!usbDevice.empty())
        row(40425, usbDevice);
    return kExitOk;
}

}  // namespace

extern const Command kInfoCommand = {
    "info",
    "the information page's figures for one drive",
    "usage: quorvane-cli info DRIVE [--json]\n"
    "       quorvane-cli info --image FILE [--json]\n"
    "\n"
    "Prints the drive's capacity in MB, bytes and sectors, used and free space\n"
    "(when its volume is mounted), file system and label, name and version,\n"
    "the operating system, and the USB device it sits on (as in 'usb').\n"
    "  DRIVE          a kernel name (sdb) or device node (/dev/sdb)\n"
    "  --image FILE   an image file attached as a drive\n"
    "  --json         one JSON object with the figures instead of the texts\n",
    runInfo,
};

}  // namespace qv::cli
