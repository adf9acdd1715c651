#pragma once

#include "core/device/DriveSource.h"
#include "support/MemoryVolume.h"

#include <array>
#include <functional>
#include <string>

namespace qv::test {

// A drive source whose slots hold scripted memory volumes. Each open hands
// out a fresh volume made by the slot's factory, as reopening a device would.
class FakeDriveSource : public DriveSource {
public:
    using Factory = std::function<std::shared_ptr<MemoryVolume>()>;

    void put(int slot, std::string name, Factory factory, int openError = 0)
    {
        slots_[slot] = {std::move(name), std::move(factory), openError};
    }
    // A removable stick of n blocks named like the kernel would (READ
    // CAPACITY names its last block, n - 1).
    void putStick(int slot, std::string name, uint64_t blocks, const char* product = "ACME    Stick")
    {
        put(slot, std::move(name), [blocks, product] {
            // Small sticks carry their bytes; large ones are identity only.
            auto v = std::make_shared<MemoryVolume>(blocks <= 65536 ? size_t(blocks) * 512 : 0);
            v->setIdentity(0x00, true, product);
            v->capacity = blocks - 1;
            return v;
        });
    }
    void clear(int slot) { slots_[slot] = {}; }

    void rescan() override { ++rescans; }
    OpenResult open(int driveIndex) override
    {
        ++opens;
        Slot& s = slots_[driveIndex];
        if (s.openError)
            return {nullptr, s.openError};
        if (!s.factory)
            return {};
        auto volume = s.factory();
        last[driveIndex] = volume;
        return {volume, 0};
    }
    std::string slotName(int driveIndex) const override { return slots_[driveIndex].name; }

    int rescans = 0;
    int opens = 0;
    std::array<std::shared_ptr<MemoryVolume>, 26> last{};

private:
    struct Slot {
        std::string name;
        Factory factory;
        int openError = 0;
    };
    std::array<Slot, 26> slots_{};
};

// Records what the drive list did to the controls.
class RecordingControl : public Control {
public:
    void setEnabled(bool e) override { enabled = e; ++calls; }
    bool enabled = true;
    int calls = 0;
};

}  // namespace qv::test
