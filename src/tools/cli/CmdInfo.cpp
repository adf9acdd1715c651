#include "tools/cli/CommandRunner.h"

#include "core/info/InfoPresenter.h"
#include "core/text/StringIds.h"
#include "core/text/StringTable.h"
#include "core/text/Units.h"
#include "platform/linux/LinuxInfoSystem.h"

#include <cstdio>

namespace qv::cli {
namespace {

nlohmann::json volumeJson(const DeviceRecord& record, const std::optional<VolumeFacts>& facts)
{
    const bool identified = facts && facts->identified && record.sectorCount != 0;
    nlohmann::json volume = {
        {"file_system", identified ? nlohmann::json(facts->fileSystem) : nlohmann::json()},
        {"label", identified ? nlohmann::json(facts->label) : nlohmann::json()},
        {"space", nullptr},
    };
    if (facts && facts->mounted) {
        const SpaceFigures space = ComputeSpace(facts->totalBytes, facts->freeBytes, facts->availableBytes);
        volume["space"] = {{"total_bytes", facts->totalBytes},  {"free_bytes", facts->freeBytes},
                           {"used_bytes", space.usedBytes},     {"available_bytes", space.availableBytes},
                           {"free_percent", space.freePercent}, {"used_percent", space.usedPercent}};
    }
    return volume;
}

int info(CommandRun& run)
{
    linux_platform::LinuxInfoSystem system([&run](int index) { return run.session().source().slotName(index); });
    InfoPresenter presenter(run.context(), system, nullptr);
    const DeviceRecord& record = run.record();
    const std::optional<VolumeFacts> facts = presenter.QueryVolume();
    const std::string os = presenter.DescribeOs();
    const std::string usbDevice = system.usbDeviceOfDrive(record.driveIndex);

    if (!run.json()) {
        const VolumeTexts texts = InfoPresenter::TextsFor(record, facts);
        const size_t column = 23;
        const std::string indent(column, ' ');
        auto row = [&](int labelId, const std::string& value) {
            std::printf("%s%s\n", PadToColumns(LoadText(labelId), column).c_str(), value.c_str());
        };
        row(str::kInfoCapacityLabel, texts.capacityMb);
        if (!texts.capacityBytes.empty())
            std::printf("%s%s\n%s%s\n", indent.c_str(), texts.capacityBytes.c_str(), indent.c_str(),
                        texts.capacitySectors.c_str());
        row(str::kInfoUsedLabel, texts.used);
        row(str::kInfoFreeLabel, texts.free);
        row(str::kInfoFileSystemLabel, texts.fileSystem);
        row(str::kInfoVolumeLabel, texts.label);
        row(str::kInfoNameLabel, texts.name);
        row(str::kInfoVersionLabel, texts.version);
        row(str::kInfoOsLabel, os);
        if (!usbDevice.empty())
            row(str::kInfoUsbDeviceLabel, usbDevice);
    }
    return run.finish({{"capacity_lba", record.capacityLba},
                       {"capacity_sectors", record.diskSectors},
                       {"capacity_bytes", record.diskSectors * 512},
                       {"capacity_mb", record.diskSectors * 512 / 1000000},
                       {"capacity_text", SizeText(record.diskSectors * 512)},
                       {"volume", volumeJson(record, facts)},
                       {"os", os},
                       {"usb_device", usbDevice.empty() ? nlohmann::json() : nlohmann::json(usbDevice)},
                       {"outcome", "completed"}},
                      kExitOk);
}

const CommandSpec kSpec = {
    "info",
    "the information page's figures for one drive",
    "Prints the drive's capacity in MB, bytes and sectors, the used and free\n"
    "space of its volume when it is mounted, its file system and label, name\n"
    "and version, the operating system, and the USB device it sits on (the\n"
    "id 'usb' shows in its tree).",
    {},
    true,
    "Exit code 0 when the figures were printed, 2 for bad arguments, 3 when\n"
    "the drive could not be opened.\n",
};

int runInfo(const std::vector<std::string>& args)
{
    return RunCommand(kSpec, args, info);
}

}  // namespace

extern const Command kInfoCommand = {kSpec.name, kSpec.synopsis, HelpText(kSpec), runInfo};

}  // namespace qv::cli
