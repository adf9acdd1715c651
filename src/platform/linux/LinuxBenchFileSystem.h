#pragma once

#include "core/mediatests/BenchFileSystem.h"

#include <string>
#include <sys/types.h>
#include <vector>

namespace qv::linux_platform {

// The file benchmark's file system on Linux: the volume's mount found by
// device number in /proc/self/mountinfo (an image drive's through the loop
// devices that back onto the image), free space from statvfs, and the test
// file opened O_DIRECT | O_DSYNC so that the figures are the device's, not
// the page cache's.
class LinuxBenchFileSystem : public BenchFileSystem {
public:
    explicit LinuxBenchFileSystem(std::string sysfsRoot = "/sys") : sysfsRoot_(std::move(sysfsRoot)) {}

    std::string mountFolder(const Volume& volume, int* error) override;
    bool freeBytes(const std::string& folder, uint64_t* bytes, int* error) override;
    std::unique_ptr<BenchFile> open(const std::string& path, int* error) override;
    int remove(const std::string& path) override;

    // The device numbers of the loop devices (and their partitions) backed
    // by a file.
    std::vector<dev_t> loopDevicesBackedBy(const std::string& file) const;

private:
    std::string sysfsRoot_;
};

}  // namespace qv::linux_platform
