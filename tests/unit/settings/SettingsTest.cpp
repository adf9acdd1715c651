#include "core/settings/Settings.h"

#include <gtest/gtest.h>

namespace qv {
namespace {

TEST(Settings, FirstStartGivesTheDefaults)
{
    MemoryProfileStore store;
    Settings settings;
    settings.maximumSpeed = 7;
    settings.recoveryMode = 1;
    LoadSettings(settings, store);
    EXPECT_EQ(settings.maximumSpeed, 150);
    EXPECT_EQ(settings.testType, 1);
    EXPECT_EQ(settings.readColor, 0x00FF00u);
    EXPECT_EQ(settings.writeColor, 0x00F0FFu);
    EXPECT_EQ(settings.eraseType, 0);
    EXPECT_EQ(settings.scanTestType, 1);
    EXPECT_EQ(settings.passes, 1);
    EXPECT_EQ(settings.recoveryMode, 2);
    EXPECT_EQ(IsDeviceScanDisabled(store), 0);
    EXPECT_EQ(IsUsbScanDisabled(store), 0);
}

TEST(Settings, SavedValuesAreReadBack)
{
    MemoryProfileStore store;
    Settings settings;
    LoadSettings(settings, store);
    settings.eraseType = 1;
    settings.passes = 5;
    settings.maximumSpeed = 300;
    settings.testType = 3;
    settings.scanTestType = 2;
    settings.recoveryMode = 1;
    SaveSettings(settings, store);
    EXPECT_EQ(settings.recoveryMode, 2);

    Settings again;
    LoadSettings(again, store);
    EXPECT_EQ(again.eraseType, 1);
    EXPECT_EQ(again.passes, 5);
    EXPECT_EQ(again.maximumSpeed, 300);
    EXPECT_EQ(again.testType, 3);
    EXPECT_EQ(again.scanTestType, 2);
}

TEST(Settings, ColoursAndSwitchesAreNeverWritten)
{
    MemoryProfileStore store;
    store.writeInt(kReadColorKey, 0x0000FF);
    Settings settings;
    LoadSettings(settings, store);
    EXPECT_EQ(settings.readColor, 0x0000FFu);
    settings.readColor = 0x112233;
    settings.writeColor = 0x445566;
    SaveSettings(settings, store);
    EXPECT_EQ(store.readInt(kReadColorKey), 0x0000FF);
    EXPECT_FALSE(store.contains(kWriteColorKey));
    EXPECT_FALSE(store.contains(kDisableDeviceScanKey));
    EXPECT_FALSE(store.contains(kDisableUsbScanKey));
    EXPECT_FALSE(store.contains(kLanguageIdKey));
}

TEST(Settings, UnreadableValueGivesItsDefault)
{
    MemoryProfileStore store;
    store.setText(kPassesKey, "three");
    store.writeInt(kMaximumSpeedKey, int64_t(1) << 40);
    store.writeInt(kEraseTypeKey, 1);
    Settings settings;
    LoadSettings(settings, store);
    EXPECT_EQ(settings.passes, 1);
    EXPECT_EQ(settings.maximumSpeed, 150);
    EXPECT_EQ(settings.eraseType, 1);
}

TEST(Settings, ScanSwitchesAreReadWhereNeeded)
{
    MemoryProfileStore store;
    store.writeInt(kDisableDeviceScanKey, 1);
    store.setText(kDisableUsbScanKey, "yes");
    EXPECT_EQ(IsDeviceScanDisabled(store), 1);
    EXPECT_EQ(IsUsbScanDisabled(store), 0);
}

TEST(Settings, ColourAboveTheSignedRangeIsKept)
{
    // A DWORD colour with the top bit set is still a 32-bit value.
    MemoryProfileStore store;
    store.writeInt(kWriteColorKey, 0xFF000000LL);
    Settings settings;
    LoadSettings(settings, store);
    EXPECT_EQ(settings.writeColor, 0xFF000000u);
}

}  // namespace
}  // namespace qv
