#include "core/settings/Settings.h"

#include <limits>

namespace qv {

int32_t ReadProfileInt(const ProfileStore& store, const std::string& name, int32_t fallback)
{
    const std::optional<int64_t> value = store.readInt(name);
    // A registry DWORD holds 32 bits; anything wider was not written by us.
    if (!value || *value < std::numeric_limits<int32_t>::min() || *value > std::numeric_limits<uint32_t>::max())
        return fallback;
    return int32_t(uint32_t(*value));
}

void LoadSettings(Settings& settings, const ProfileStore& store)
{
    const Settings defaults;
    settings.maximumSpeed = ReadProfileInt(store, kMaximumSpeedKey, defaults.maximumSpeed);
    settings.testType = ReadProfileInt(store, kTestTypeKey, defaults.testType);
    settings.readColor = uint32_t(ReadProfileInt(store, kReadColorKey, int32_t(defaults.readColor)));
    settings.writeColor = uint32_t(ReadProfileInt(store, kWriteColorKey, int32_t(defaults.writeColor)));
    settings.eraseType = ReadProfileInt(store, kEraseTypeKey, defaults.eraseType);
    settings.scanTestType = ReadProfileInt(store, kScanTestTypeKey, defaults.scanTestType);
    settings.passes = ReadProfileInt(store, kPassesKey, defaults.passes);
    settings.recoveryMode = 2;
}

void SaveSettings(Settings& settings, ProfileStore& store)
{
    store.writeInt(kMaximumSpeedKey, settings.maximumSpeed);
    store.writeInt(kTestTypeKey, settings.testType);
    store.writeInt(kEraseTypeKey, settings.eraseType);
    store.writeInt(kScanTestTypeKey, settings.scanTestType);
    store.writeInt(kPassesKey, settings.passes);
    settings.recoveryMode = 2;
}

int IsDeviceScanDisabled(const ProfileStore& store)
{
    return ReadProfileInt(store, kDisableDeviceScanKey, 0);
}

int IsUsbScanDisabled(const ProfileStore& store)
{
    return ReadProfileInt(store, kDisableUsbScanKey, 0);
}

const MemoryProfileStore::Value* MemoryProfileStore::find(const std::string& name) const
{
    for (const Value& value : values_)
        if (value.name == name)
            return &value;
    return nullptr;
}

std::optional<int64_t> MemoryProfileStore::readInt(const std::string& name) const
{
    const Value* value = find(name);
    return value ? value->number : std::nullopt;
}

void MemoryProfileStore::writeInt(const std::string& name, int64_t number)
{
    if (Value* value = const_cast<Value*>(find(name)))
        value->number = number;
    else
        values_.push_back({name, number});
}

void MemoryProfileStore::setText(const std::string& name, const std::string&)
{
    if (Value* value = const_cast<Value*>(find(name)))
        value->number.reset();
    else
        values_.push_back({name, std::nullopt});
}

bool MemoryProfileStore::contains(const std::string& name) const
{
    return find(name) != nullptr;
}

}  // namespace qv
