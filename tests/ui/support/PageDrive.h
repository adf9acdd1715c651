#pragma once

#include "core/run/RunController.h"
#include "core/run/SharedContext.h"
#include "core/settings/Settings.h"
#include "ui/app/QtPost.h"
#include "ui/app/WriteWarningDialog.h"

#include <QCheckBox>
#include <QObject>
#include <QPushButton>

#include <cstring>

namespace qv::ui::test {

// A drive for a page alone: context, status, settings, one record and the
// run controller that posts to the GUI thread.
struct PageDrive {
    explicit PageDrive(DeviceHandle volume, uint32_t sectors)
    {
        record.handle = std::move(volume);
        record.listed = 1;
        record.sectorCount = sectors;
        status.deviceCount = 1;
        context.status = &status;
        context.settings = &settings;
        context.device = &record;
        std::strncpy(context.appTitle, "Quorvane", sizeof context.appTitle - 1);
    }
    RunStatus status;
    Settings settings;
    DeviceRecord record;
    SharedContext context;
    QObject host;  // outlives the controller that posts to it
    RunController runs{context, QtPost(&host)};
};

// A ModalCatcher handler that ticks the write warning's box and accepts it.
inline void acceptWarning(QWidget* dialog)
{
    if (auto* warning = qobject_cast<CWriteWarningDialog*>(dialog)) {
        warning->checkBox()->setChecked(true);
        warning->okButton()->click();
    }
}

}  // namespace qv::ui::test
