#include "core/info/InfoPresenter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>

namespace qv {
namespace {

class FakeInfoSystem : public InfoSystem {
public:
    VolumeFacts facts;
    int volumeQueries = 0;
    int treeWalks = 0;
    std::vector<UsbTreeItem> tree;
    std::string driveDevice;

    VolumeFacts describeVolume(int, const std::string&) override
    {
        ++volumeQueries;
        return facts;
    }
    std::vector<UsbTreeItem> usbTree(const UsbLog&) override
    {
        ++treeWalks;
        return tree;
    }
    std::string usbDeviceOfDrive(int) override { return driveDevice; }
    std::string describeOs() override { return "Linux"; }
};

struct InfoRig {
    DeviceRecord record;
    SharedContext context;
    FakeInfoSystem system;
    MemoryProfileStore store;
    InfoPresenter presenter{context, system, &store};

    InfoRig()
    {
        context.device = &record;
        record.listed = 1;
        record.driveIndex = 2;
        record.capacityLba = 7 * 2048 - 1;
        record.diskSectors = 7 * 2048;
        record.sectorCount = 7 * 2048 - 64;
        std::memcpy(record.productText, "Cruzer Blade", 12);
        std::memcpy(record.revisionText, "1.00", 4);  // all four bytes used, no NUL
    }
};

TEST(InfoPresenter, VolumeTextsFollowTheRecordAndTheSystem)
{
    InfoRig rig;
    rig.system.facts = {true, "FAT32", "STICK", true, 7ull << 20, 3ull << 20, 3ull << 20};
    VolumeTexts t = rig.presenter.RefreshVolumeInfo();
    EXPECT_EQ(t.capacityMb, "7 MB");  // 7,340,032 bytes, every sector counted
    EXPECT_EQ(t.capacityBytes, "7340032 байт");
    EXPECT_EQ(t.capacitySectors, "14336 секторов");
    EXPECT_EQ(t.free, "3 MB (42 %)");
    EXPECT_EQ(t.used, "4 MB (58 %)");  // 57.1 % rounded up, as df does
    EXPECT_EQ(t.fileSystem, "FAT32");
    EXPECT_EQ(t.label, "STICK");
    EXPECT_EQ(t.name, "Cruzer Blade");
    EXPECT_EQ(t.version, "1.00");

    // Blocks reserved for root (ext4): free shows what a user can still
    // write, and the percentages are of used + available, as df shows them.
    rig.system.facts = {true, "ext4", "", true, 100000000, 60000000, 55000000};
    t = rig.presenter.RefreshVolumeInfo();
    EXPECT_EQ(t.used, "40 MB (43 %)");
    EXPECT_EQ(t.free, "55 MB (57 %)");
    // A nearly empty volume is not 100 % free while anything is used.
    rig.system.facts = {true, "FAT32", "", true, 32000000000, 31999000000, 31999000000};
    t = rig.presenter.RefreshVolumeInfo();
    EXPECT_EQ(t.used, "1 MB (1 %)");
    EXPECT_EQ(t.free, "31 ГБ (99 %)");

    // A volume under 1 MB says so; an empty one shows 0 % rather than
    // dividing by zero.
    rig.system.facts = {true, "FAT", "", true, 512 * 1024, 128 * 1024, 128 * 1024};
    t = rig.presenter.RefreshVolumeInfo();
    EXPECT_EQ(t.free, "менее 1 MB (25 %)");
    EXPECT_EQ(t.used, "менее 1 MB (75 %)");
    EXPECT_EQ(t.label, "");
    rig.system.facts = {true, "FAT", "", true, 0, 0, 0};
    t = rig.presenter.RefreshVolumeInfo();
    EXPECT_EQ(t.free, "менее 1 MB (0 %)");
    EXPECT_EQ(t.used, "менее 1 MB (0 %)");

    // Not mounted: no space figures; unknown file system: no data there.
    rig.system.facts = {false, "", "", false, 0, 0};
    t = rig.presenter.RefreshVolumeInfo();
    EXPECT_EQ(t.free, "нет данных");
    EXPECT_EQ(t.used, "нет данных");
    EXPECT_EQ(t.fileSystem, "нет данных");
    EXPECT_EQ(t.label, "нет данных");

    // No medium (sectorCount 0): the file system is not shown even where
    // the system still names one.
    rig.system.facts = {true, "FAT32", "OLD", false, 0, 0};
    rig.record.sectorCount = 0;
    EXPECT_EQ(rig.presenter.RefreshVolumeInfo().fileSystem, "нет данных");

    // The first slot is never asked about.
    rig.record.driveIndex = 0;
    const int queries = rig.system.volumeQueries;
    t = rig.presenter.RefreshVolumeInfo();
    EXPECT_EQ(rig.system.volumeQueries, queries);
    EXPECT_EQ(t.free, "нет данных");

    // No capacity: the no-data display, capacity lines empty.
    rig.record.diskSectors = 0;
    t = rig.presenter.RefreshVolumeInfo();
    EXPECT_EQ(t.capacityMb, "нет данных");
    EXPECT_EQ(t.capacityBytes, "");
    EXPECT_EQ(t.capacitySectors, "");
    EXPECT_EQ(t.name, "нет данных");
    EXPECT_EQ(t.version, "нет данных");
}

std::string valueOf(const std::vector<PropertyRow>& rows, const std::string& label)
{
    for (const PropertyRow& row : rows)
        if (row.label == label)
            return row.value;
    return "(missing)";
}

TEST(InfoPresenter, NodePropertiesShowDescriptorFieldsInTheirFormats)
{
    UsbNode device;
    device.type = USB_DEVICE;
    device.usbVersion = 0x0110;
    device.vendorId = 0x0781;
    device.productId = 0x5567;
    device.deviceRelease = 0x0100;
    device.manufacturer = "";   // no string index
    device.product = "X";       // one character
    device.serialNumber = "AB";
    device.speedMbps = "480";
    device.maxPowerMa = 200;
    auto rows = InfoPresenter::ShowNodeProperties(&device);
    EXPECT_EQ(valueOf(rows, "Версия USB"), "1.10");
    EXPECT_EQ(valueOf(rows, "Код поставщика"), "0781");
    EXPECT_EQ(valueOf(rows, "Код продукта"), "5567");
    EXPECT_EQ(valueOf(rows, "Производитель"), "неизвестно");
    EXPECT_EQ(valueOf(rows, "Продукт"), "неизвестно");
    EXPECT_EQ(valueOf(rows, "Серийный номер"), "AB");
    EXPECT_EQ(valueOf(rows, "Скорость"), "480 Мбит/с");
    EXPECT_EQ(valueOf(rows, "Максимальный ток"), "200 мА");
    EXPECT_EQ(valueOf(rows, "Драйвер"), "(missing)");  // unknown rows are left out
    EXPECT_EQ(valueOf(rows, "Порты"), "(missing)");

    UsbNode hub;
    hub.type = USB_EXTERNAL_HUB;
    hub.portCount = 4;
    const std::pair<std::optional<uint32_t>, const char*> protections[] = {
        {0x0000, "глобальная"}, {0x0008, "индивидуальная"}, {0x0010, "нет"},
        {0x00E9, "индивидуальная"}, {0x0018, "нет"}, {std::nullopt, "неизвестно"}};
    for (const auto& [characteristics, text] : protections) {
        hub.hubCharacteristics = characteristics;
        rows = InfoPresenter::ShowNodeProperties(&hub);
        EXPECT_EQ(valueOf(rows, "Защита от перегрузок напряжения"), text);
    }
    EXPECT_EQ(valueOf(rows, "Порты"), "4");
    EXPECT_EQ(rows.size(), 2u + 7u);  // hub rows, then device rows

    hub.type = USB_ROOT_HUB;
    EXPECT_EQ(InfoPresenter::ShowNodeProperties(&hub).size(), 2u);
    EXPECT_TRUE(InfoPresenter::ShowNodeProperties(nullptr).empty());
}

UsbNode nodeOf(int32_t type)
{
    UsbNode node;
    node.type = type;
    return node;
}

TEST(InfoPresenter, TreeFollowsTheSettingAndFindsTheSelectedDrive)
{
    InfoRig rig;
    UsbTreeItem controller{std::nullopt, 0, "EHCI", "0000:00:1d.7", {}};
    UsbTreeItem root{nodeOf(USB_ROOT_HUB), 0, "", "usb1", {}};
    UsbTreeItem hub{nodeOf(USB_EXTERNAL_HUB), 1, "Hub", "1-1", {}};
    hub.children.push_back({nodeOf(USB_DEVICE), 2, "Stick A", "1-1.2", {}});
    hub.children.push_back({nodeOf(USB_DEVICE), 3, "Stick B", "1-1.3", {}});
    root.children.push_back(hub);
    controller.children.push_back(root);
    rig.system.tree = {controller};

    EXPECT_EQ(InfoPresenter::ItemLook(controller).text, "EHCI");
    EXPECT_EQ(InfoPresenter::ItemLook(controller).image, 4);
    EXPECT_EQ(InfoPresenter::ItemLook(root).text, "Корневой концентратор");
    EXPECT_EQ(InfoPresenter::ItemLook(hub).text, "[Порт 1]: Hub");
    EXPECT_EQ(InfoPresenter::ItemLook(hub).image, 3);
    EXPECT_EQ(InfoPresenter::ItemLook(hub.children[1]).text, "[Порт 3]: Stick B ");
    EXPECT_EQ(InfoPresenter::ItemLook(hub.children[1]).image, 0);

    auto tree = rig.presenter.BuildUsbTree({});
    ASSERT_TRUE(tree);
    rig.system.driveDevice = "1-1.3";
    EXPECT_EQ(rig.presenter.SelectedDriveItem(*tree), (std::vector<int>{0, 0, 0, 1}));
    rig.system.driveDevice = "2-1";
    EXPECT_TRUE(rig.presenter.SelectedDriveItem(*tree).empty());

    rig.store.writeInt(kDisableUsbScanKey, 1);
    EXPECT_FALSE(rig.presenter.BuildUsbTree({}));
    EXPECT_EQ(rig.system.treeWalks, 1);
}

TEST(UsbDescriptorDump, WalksConfigurationsAndStopsAtBrokenLengths)
{
    std::vector<uint8_t> raw(18, 0);
    raw[0] = 18;
    raw[1] = 1;
    const uint8_t config[] = {9, 2, 32, 0, 1, 1, 0, 0x80, 50};
    const uint8_t interface[] = {9, 4, 0, 0, 2, 8, 6, 0x50, 0};
    const uint8_t endpoint[] = {7, 5, 0x81, 2, 0x00, 0x02, 0};
    const uint8_t odd[] = {3, 0x30, 0xAB};
    for (const auto& part : {std::vector<uint8_t>(config, config + 9), std::vector<uint8_t>(interface, interface + 9),
                             std::vector<uint8_t>(endpoint, endpoint + 7), std::vector<uint8_t>(odd, odd + 3)})
        raw.insert(raw.end(), part.begin(), part.end());
    raw.push_back(40);  // claims 40 bytes, only 2 follow
    raw.push_back(5);

    const auto lines = DumpConfigurationDescriptors(raw);
    auto has = [&](const std::string& line) { return std::find(lines.begin(), lines.end(), line) != lines.end(); };
    EXPECT_TRUE(has(" bMaxPower 32 = 100 mA"));
    EXPECT_TRUE(has(" bDescriptorType 04 = Interface Descriptor"));
    EXPECT_TRUE(has(" bSubClass 06"));
    EXPECT_TRUE(has(" wMaxPacketSize 0200"));
    EXPECT_TRUE(has("Unknown descriptor with Length = 03H and Type = 30H"));
    EXPECT_TRUE(has("03 30 ab "));
    EXPECT_EQ(lines.back(), "03 30 ab ");  // the truncated one is not read

    EXPECT_EQ(DumpConfigurationDescriptors({}).size(), 1u);
    EXPECT_EQ(DumpConfigurationDescriptors({200, 1, 2}).size(), 1u);
}

}  // namespace
}  // namespace qv
