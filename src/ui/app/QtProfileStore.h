#pragma once

#include "core/settings/Settings.h"

#include <QSettings>

#include <memory>

namespace qv::ui {

// The per-user values as QSettings keys at the top level of the
// application's settings ("Tallowmere Software" / executable name).
class QtProfileStore : public ProfileStore {
public:
    // The application's own settings.
    QtProfileStore();
    // Another settings object (the tests' file).
    explicit QtProfileStore(std::unique_ptr<QSettings> settings);

    std::optional<int64_t> readInt(const std::string& name) const override;
    void writeInt(const std::string& name, int64_t value) override;
    // Pushes written values to disk.
    void sync();

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace qv::ui
