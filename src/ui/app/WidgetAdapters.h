#pragma once

#include "core/device/DeviceSelector.h"
#include "core/run/RunStatus.h"

#include <QIcon>

class QComboBox;
class QWidget;

namespace qv::ui {

// A main-window widget as a control that a run disables.
class WidgetControl : public Control {
public:
    explicit WidgetControl(QWidget* widget) : widget_(widget) {}
    void setEnabled(bool enabled) override;

private:
    QWidget* widget_;
};

// The device selector over a combo box; every item carries the drive icon.
class ComboDeviceSelector : public DeviceSelector {
public:
    ComboDeviceSelector(QComboBox* combo, QIcon icon) : combo_(combo), icon_(std::move(icon)) {}
    void reset() override;
    int count() const override;
    void append(const std::string& text) override;
    void remove(int position) override;
    int current() const override;
    void setCurrent(int position) override;
    void setEnabled(bool enabled) override;

private:
    QComboBox* combo_;
    QIcon icon_;
};

}  // namespace qv::ui
