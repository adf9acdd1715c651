#include "core/run/RunStatus.h"

namespace qv {
namespace {

void setAll(RunStatus& status, bool enabled)
{
    for (Control* control : {status.deviceSelector, status.formatButton, status.refreshButton})
        if (control)
            control->setEnabled(enabled);
}

}  // namespace

void DisableMainControls(RunStatus& status)
{
    setAll(status, false);
}

void EnableMainControls(RunStatus& status)
{
    setAll(status, true);
}

}  // namespace qv
