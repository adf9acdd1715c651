#include "platform/linux/Sysfs.h"

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <set>

namespace qv::linux_platform {

namespace fs = std::filesystem;

std::optional<std::string> ReadAttribute(const std::string& path)
{
    std::ifstream in(path);
    if (!in)
        return std::nullopt;
    std::string line;
    if (!std::getline(in, line) && !in.eof())
        return std::nullopt;
    while (!line.empty() && (line.back() == '\r' || line.back() == ' '))
        line.pop_back();
    return line;
}

std::vector<std::string> ListFolder(const std::string& path)
{
    std::vector<std::string> names;
    std::error_code ec;
    for (fs::directory_iterator it(path, ec), end; !ec && it != end; it.increment(ec))
        names.push_back(it->path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::string> BlockDisks(const std::string& root)
{
    return ListFolder(root + "/block");
}

uint64_t BlockSectors(const std::string& root, const std::string& name)
{
    auto size = ReadAttribute(root + "/class/block/" + name + "/size");
    if (!size || size->empty())
        return 0;
    try {
        return std::stoull(*size);
    } catch (...) {
        return 0;
    }
}

std::vector<PartitionEntry> Partitions(const std::string& root, const std::string& disk)
{
    std::vector<PartitionEntry> parts;
    const std::string folder = root + "/class/block/" + disk;
    for (const std::string& name : ListFolder(folder)) {
        auto number = ReadAttribute(folder + "/" + name + "/partition");
        if (!number)
            continue;
        PartitionEntry entry;
        entry.name = name;
        try {
            entry.number = std::stoi(*number);
            entry.sectors = std::stoull(ReadAttribute(folder + "/" + name + "/size").value_or("0"));
        } catch (...) {
            continue;
        }
        parts.push_back(entry);
    }
    return parts;
}

std::optional<PartitionEntry> FirstPartition(const std::string& root, const std::string& disk)
{
    for (const PartitionEntry& entry : Partitions(root, disk))
        if (entry.number == 1)
            return entry;
    return std::nullopt;
}

std::string DiskOfBlock(const std::string& root, const std::string& name)
{
    const std::string entry = root + "/class/block/" + name;
    if (!ReadAttribute(entry + "/partition"))
        return name;
    // A partition's folder sits inside its disk's folder.
    std::error_code ec;
    fs::path real = fs::canonical(entry, ec);
    if (ec)
        return name;
    return real.parent_path().filename().string();
}

std::string DeviceNumber(const std::string& root, const std::string& name)
{
    return ReadAttribute(root + "/class/block/" + name + "/dev").value_or("");
}

std::vector<std::string> BlockFamily(const std::string& root, const std::string& disk)
{
    std::vector<std::string> family;
    std::set<std::string> seen;
    std::vector<std::string> todo{disk};
    for (const PartitionEntry& part : Partitions(root, disk))
        todo.push_back(part.name);
    while (!todo.empty()) {
        std::string name = todo.back();
        todo.pop_back();
        if (!seen.insert(name).second)
            continue;
        family.push_back(name);
        for (const std::string& holder : ListFolder(root + "/class/block/" + name + "/holders"))
            todo.push_back(holder);
    }
    return family;
}

bool HasScsiPath(const std::string& root, const std::string& disk)
{
    std::error_code ec;
    return fs::exists(root + "/block/" + disk + "/device/scsi_device", ec) ||
           fs::exists(root + "/block/" + disk + "/device/scsi_generic", ec);
}

std::string BlockNameOfDevice(const std::string& root, const std::string& deviceNumber)
{
    std::error_code ec;
    fs::path real = fs::canonical(root + "/dev/block/" + deviceNumber, ec);
    return ec ? std::string() : real.filename().string();
}

TranslatedIdentity IdentityFromSysfs(const std::string& root, const std::string& disk)
{
    TranslatedIdentity id;
    const std::string device = root + "/block/" + disk + "/device";
    if (disk.rfind("mmcblk", 0) == 0) {
        // A card: its type names the kind, its CID name is the product, and
        // the product revision is two BCD digits n.m.
        const std::string type = ReadAttribute(device + "/type").value_or("");
        id.vendor = (type == "SD" || type == "MMC") ? type : "SD/MMC";
        id.product = ReadAttribute(device + "/name").value_or("");
        const std::string prv = ReadAttribute(device + "/prv").value_or("");
        try {
            const unsigned long value = std::stoul(prv, nullptr, 16);
            if (value <= 0xFF)
                id.revision = std::to_string((value >> 4) & 0xF) + "." + std::to_string(value & 0xF);
        } catch (...) {
        }
        id.removable = true;
    } else {
        id.vendor = ReadAttribute(device + "/vendor").value_or("Linux");
        id.product = ReadAttribute(device + "/model").value_or(disk);
        id.revision = ReadAttribute(device + "/rev").value_or("");
        id.removable = ReadAttribute(root + "/block/" + disk + "/removable").value_or("0") == "1";
    }
    id.vendor.resize(std::min<size_t>(id.vendor.size(), 8));
    id.product.resize(std::min<size_t>(id.product.size(), 16));
    id.revision.resize(std::min<size_t>(id.revision.size(), 4));
    return id;
}

}  // namespace qv::linux_platform
