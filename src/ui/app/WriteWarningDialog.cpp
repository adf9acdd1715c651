#include "ui/app/WriteWarningDialog.h"
#include "core/text/StringIds.h"

#include "ui/app/Icons.h"
#include "ui/app/Text.h"

#include <QCheckBox>
#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace qv::ui {
namespace {

QLabel* warningIcon(QWidget* parent)
{
    auto* icon = new QLabel(parent);
    icon->setPixmap(MessageIcon(MessageKind::Warning).pixmap(32, 32));
    icon->setAlignment(Qt::AlignTop);
    return icon;
}

}  // namespace

CWriteWarningDialog::CWriteWarningDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Text(str::kWarningTitle));
    auto* text = new QLabel(Text(str::kWarningText), this);
    text->setAlignment(Qt::AlignCenter);
    QFont bold = text->font();
    bold.setBold(true);
    text->setFont(bold);

    auto* row = new QHBoxLayout;
    row->addWidget(warningIcon(this));
    row->addWidget(text, 1);
    row->addWidget(warningIcon(this));

    check_ = new QCheckBox(Text(str::kWarningEnableWrite), this);
    auto* buttons = new QDialogButtonBox(this);
    ok_ = buttons->addButton(Text(str::kWarningOk), QDialogButtonBox::AcceptRole);
    QPushButton* cancel = buttons->addButton(Text(str::kWarningCancel), QDialogButtonBox::RejectRole);
    ok_->setEnabled(false);
    cancel->setDefault(true);
    connect(check_, &QCheckBox::toggled, ok_, &QPushButton::setEnabled);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(row);
    layout->addSpacing(6);
    layout->addWidget(check_, 0, Qt::AlignHCenter);
    layout->addWidget(buttons);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

bool CWriteWarningDialog::Confirm(QWidget* parent)
{
    CWriteWarningDialog dialog(parent);
    return dialog.exec() == QDialog::Accepted && dialog.checkBox()->isChecked();
}

}  // namespace qv::ui
