#include "platform/linux/UsbSysfsTree.h"

#include <fcntl.h>
#include <linux/usbdevice_fs.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <libudev.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace qv::linux_platform {
namespace {

struct UdevContext {
    udev* context = udev_new();
    udev_hwdb* hwdb = context ? udev_hwdb_new(context) : nullptr;
    ~UdevContext()
    {
        if (hwdb)
            udev_hwdb_unref(hwdb);
        if (context)
            udev_unref(context);
    }
};

std::string joinNames(const char* vendor, const char* model)
{
    std::string text = vendor ? vendor : "";
    if (model && *model)
        text += (text.empty() ? "" : " ") + std::string(model);
    return text;
}

// What udevd recorded for the device; where no udevd runs, the hardware
// database itself by the device's modalias.
std::string describeDevice(UdevContext& udev, const std::string& path)
{
    if (!udev.context)
        return {};
    std::string text;
    std::string modalias;
    if (udev_device* device = udev_device_new_from_syspath(udev.context, path.c_str())) {
        text = joinNames(udev_device_get_property_value(device, "ID_VENDOR_FROM_DATABASE"),
                         udev_device_get_property_value(device, "ID_MODEL_FROM_DATABASE"));
        if (const char* alias = udev_device_get_sysattr_value(device, "modalias"))
            modalias = alias;
        udev_device_unref(device);
    }
    if (!text.empty() || !udev.hwdb || modalias.empty())
        return text;
    std::string vendor, model;
    udev_list_entry* entry = udev_hwdb_get_properties_list_entry(udev.hwdb, modalias.c_str(), 0);
    for (; entry; entry = udev_list_entry_get_next(entry)) {
        const char* name = udev_list_entry_get_name(entry);
        const char* value = udev_list_entry_get_value(entry);
        if (!name || !value)
            continue;
        if (std::strcmp(name, "ID_VENDOR_FROM_DATABASE") == 0)
            vendor = value;
        else if (std::strcmp(name, "ID_MODEL_FROM_DATABASE") == 0)
            model = value;
    }
    return joinNames(vendor.c_str(), model.c_str());
}

// GET_DESCRIPTOR of the hub class through usbfs: type 0x29, or 0x2A for a
// SuperSpeed hub; wHubCharacteristics is at bytes 3 and 4.
std::optional<uint32_t> readHubCharacteristics(int bus, int device, uint32_t usbVersion)
{
    char node[64];
    std::snprintf(node, sizeof node, "/dev/bus/usb/%03d/%03d", bus, device);
    int fd = open(node, O_RDWR | O_CLOEXEC);
    if (fd < 0)
        fd = open(node, O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return std::nullopt;
    uint8_t descriptor[64] = {};
    usbdevfs_ctrltransfer request{};
    request.bRequestType = 0xA0;
    request.bRequest = 6;
    request.wValue = uint16_t((usbVersion >= 0x0300 ? 0x2A : 0x29) << 8);
    request.wIndex = 0;
    request.wLength = sizeof descriptor;
    request.timeout = 1000;
    request.data = descriptor;
    const int got = ioctl(fd, USBDEVFS_CONTROL, &request);
    close(fd);
    if (got < 5)
        return std::nullopt;
    return uint32_t(descriptor[3] | descriptor[4] << 8);
}

}  // namespace

UsbWalkServices SystemUsbWalkServices()
{
    auto udev = std::make_shared<UdevContext>();
    UsbWalkServices services;
    services.describe = [udev](const std::string& path) { return describeDevice(*udev, path); };
    services.hubCharacteristics = readHubCharacteristics;
    return services;
}

}  // namespace qv::linux_platform
