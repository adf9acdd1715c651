#pragma once

#include "core/device/Volume.h"

#include <memory>
#include <string>

namespace qv::linux_platform {

// What the user is told when the disk service cannot open a drive (each
// text takes the node's path).
inline constexpr int kTextNoDiskService = 40800;
inline constexpr int kTextAccessRefused = 40801;
inline constexpr int kTextNoAuthenticationAgent = 40802;
inline constexpr int kTextCannotUnmount = 40803;

// The desktop's disk service: opens a block node for a user who may not open
// it directly (after the system's policy agreed, perhaps asking for a
// password) and unmounts file systems. Where it stands, the descriptor it
// hands back is the only way to the device: it is kept, never replaced by
// an open of the path.
class DiskService {
public:
    virtual ~DiskService() = default;

    struct Opened {
        int fd = -1;  // owned by the caller when >= 0
        VolumeFailure failure;
    };
    // `node` is a kernel name ("sdb1"). For writing the node is opened
    // exclusively, which fails while a file system on it is mounted.
    virtual Opened openDevice(const std::string& node, bool write) = 0;

    // Unmounts the file system on a node; true when none is mounted (any
    // more).
    virtual bool unmount(const std::string& node, VolumeFailure* failure) = 0;

    // The name of the route, for reports ("udisks2").
    virtual std::string name() const = 0;
};

// The service that drives listed without being opened go through; the
// program and the command-line tool install theirs at start-up. Without
// one, a drive the user may not open is not listed.
void SetDiskService(std::shared_ptr<DiskService> service);
std::shared_ptr<DiskService> CurrentDiskService();

}  // namespace qv::linux_platform
