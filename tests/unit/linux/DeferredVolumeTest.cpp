#include "core/device/DriveList.h"
#include "core/device/DeviceRecord.h"
#include "platform/linux/DeferredVolume.h"
#include "linux/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace qv::linux_platform {
namespace {

// A disk service over plain files, in the order the calls came: "open
// sdb1 r", "unmount sdb", ...; a mounted node stays mounted while
// `unmountRefused` is set.
class FakeService : public DiskService {
public:
    explicit FakeService(std::string file) : file_(std::move(file)) {}

    Opened openDevice(const std::string& node, bool write) override
    {
        calls.push_back("open " + node + (write ? " rw" : " r"));
        if (refusal.error)
            return {-1, refusal};
        if (write && (!mounted.empty() || stillOpen()))
            return {-1, {EBUSY, 0, "in use"}};
        const int fd = ::open(file_.c_str(), (write ? O_RDWR : O_RDONLY) | O_CLOEXEC);
        handedOut_.push_back(fd);
        return {fd, {}};
    }
    // Like an exclusive open of a block device: refused while any descriptor
    // handed out before still refers to the medium.
    bool stillOpen() const
    {
        struct stat medium, other;
        if (stat(file_.c_str(), &medium) != 0)
            return false;
        for (int fd : handedOut_)
            if (fstat(fd, &other) == 0 && other.st_ino == medium.st_ino && other.st_dev == medium.st_dev)
                return true;
        return false;
    }
    bool unmount(const std::string& node, VolumeFailure* failure) override
    {
        calls.push_back("unmount " + node);
        if (mounted != node)
            return true;
        if (unmountRefused) {
            *failure = {EBUSY, 0, "target is busy", {}};
            return false;
        }
        mounted.clear();
        return true;
    }
    std::string name() const override { return "udisks2"; }

    std::vector<std::string> calls;
    std::string mounted;
    bool unmountRefused = false;
    VolumeFailure refusal;

private:
    std::string file_;
    std::vector<int> handedOut_;
};

struct DeferredRig {
    DeferredRig()
    {
        sys.disk("sdb", 8192, "8:16");
        sys.partition("sdb", "sdb1", 1, 4096, "8:17");
        sys.write("devices/sdb/device/vendor", "ACME\n");
        sys.write("devices/sdb/device/model", "Stick\n");
        sys.write("devices/sdb/device/rev", "1.00\n");
        sys.write("devices/sdb/removable", "1\n");
        std::vector<char> bytes(4096 * 512, 'x');
        const int fd = ::open(media.path("sdb1").c_str(), O_CREAT | O_RDWR | O_CLOEXEC, 0600);
        EXPECT_EQ(::write(fd, bytes.data(), bytes.size()), ssize_t(bytes.size()));
        ::close(fd);
        service = std::make_shared<FakeService>(media.path("sdb1"));
        target.volumeNode = "/dev/sdb1";
        target.diskNode = "/dev/sdb";
        target.diskName = "sdb";
        target.volumeName = "sdb1";
        target.sysfsRoot = sys.root();
    }
    test::TempTree sys;
    test::TempTree media;
    std::shared_ptr<FakeService> service;
    VolumeTarget target;
};

TEST(DeferredVolume, IsQualifiedAndSizedFromTheKernelRecordWithoutOpening)
{
    DeferredRig rig;
    DeviceRecord record;
    auto volume = std::make_shared<DeferredVolume>(rig.target, rig.service);
    record.handle = volume;
    ASSERT_TRUE(QualifyDrive(record));
    EXPECT_STREQ(record.productText, "ACME    Stick");
    EXPECT_EQ(std::string(record.revisionText, 4), "1.00");
    EXPECT_EQ(record.sectorCount, 8192u);  // every sector the kernel counts
    EXPECT_EQ(volume->firstPartitionBytes(), int64_t(4096) * 512);
    EXPECT_TRUE(rig.service->calls.empty()) << "listing must not ask the service";
}

TEST(DeferredVolume, OpensThroughTheServiceForReadingAndAfterUnmountingForWriting)
{
    DeferredRig rig;
    rig.service->mounted = "sdb1";
    DeferredVolume volume(rig.target, rig.service);

    char sector[512];
    ASSERT_EQ(volume.readAt(0, sector, sizeof sector), 512);
    EXPECT_EQ(sector[0], 'x');
    EXPECT_EQ(rig.service->calls, (std::vector<std::string>{"open sdb1 r"}));

    VolumeFailure failure;
    ASSERT_TRUE(volume.prepare(true, &failure)) << failure.detail;
    EXPECT_EQ(rig.service->calls,
              (std::vector<std::string>{"open sdb1 r", "unmount sdb", "unmount sdb1", "open sdb1 rw"}));
    std::memset(sector, 'w', sizeof sector);
    ASSERT_EQ(volume.writeAt(512, sector, sizeof sector), 512);
    EXPECT_EQ(volume.access(), "udisks2");

    // Reopening (after the start of the medium was wiped) lets go of the
    // exclusive descriptor and asks the service again; the path itself is
    // never opened.
    auto again = volume.reopen();
    ASSERT_TRUE(again);
    ASSERT_EQ(again->writeAt(1024, sector, sizeof sector), 512);
    EXPECT_EQ(rig.service->calls.back(), "open sdb1 rw");
    ASSERT_EQ(again->readAt(512, sector, sizeof sector), 512);
    EXPECT_EQ(sector[0], 'w');
}

TEST(DeferredVolume, RefusalsReachTheCallerAndNothingIsWritten)
{
    DeferredRig rig;
    rig.service->mounted = "sdb1";
    rig.service->unmountRefused = true;
    DeferredVolume busy(rig.target, rig.service);
    VolumeFailure failure;
    EXPECT_FALSE(busy.prepare(true, &failure));
    EXPECT_EQ(failure.error, EBUSY);
    EXPECT_EQ(failure.detail, "target is busy");
    char sector[512] = {};
    EXPECT_EQ(busy.writeAt(0, sector, sizeof sector), -EBUSY);
    EXPECT_EQ(std::count(rig.service->calls.begin(), rig.service->calls.end(), "open sdb1 rw"), 0);

    rig.service->refusal = {EACCES, 40801, "Not authorized to perform operation"};
    DeferredVolume refused(rig.target, rig.service);
    EXPECT_FALSE(refused.prepare(false, &failure));
    EXPECT_EQ(failure.textId, 40801);
    EXPECT_EQ(refused.readAt(0, sector, sizeof sector), -EACCES);

    // A closed volume never opens again.
    rig.service->refusal = {};
    DeferredVolume closed(rig.target, rig.service);
    closed.close();
    const size_t callsBefore = rig.service->calls.size();
    EXPECT_EQ(closed.readAt(0, sector, sizeof sector), -EBADF);
    EXPECT_FALSE(closed.prepare(false, &failure));
    EXPECT_EQ(rig.service->calls.size(), callsBefore);
}

}  // namespace
}  // namespace qv::linux_platform
