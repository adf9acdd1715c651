#include "ui/app/WidgetAdapters.h"

#include <QComboBox>

namespace qv::ui {

void WidgetControl::setEnabled(bool enabled)
{
    widget_->setEnabled(enabled);
}

// The selector's own changes are not the user's: only activated() (a pick
// by the user) leads to SyncSelection, so these need no signal blocking.
void ComboDeviceSelector::reset()
{
    combo_->clear();
}

int ComboDeviceSelector::count() const
{
    return combo_->count();
}

void ComboDeviceSelector::append(const std::string& text)
{
    combo_->addItem(icon_, QString::fromStdString(text));
}

void ComboDeviceSelector::remove(int position)
{
    if (position >= 0 && position < combo_->count())
        combo_->removeItem(position);
}

int ComboDeviceSelector::current() const
{
    return combo_->currentIndex();
}

void ComboDeviceSelector::setCurrent(int position)
{
    combo_->setCurrentIndex(position >= 0 && position < combo_->count() ? position : -1);
}

void ComboDeviceSelector::setEnabled(bool enabled)
{
    combo_->setEnabled(enabled);
}

}  // namespace qv::ui
