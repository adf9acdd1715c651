#include "ui/app/AboutDialog.h"
#include "core/text/StringIds.h"

#include "ui/app/Icons.h"
#include "ui/app/Text.h"
#include "ui/app/TransparentStatic.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPushButton>

namespace qv::ui {

CAboutDialog::CAboutDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(Text(str::kAboutTitle));
    QPalette white = palette();
    white.setColor(QPalette::Window, Qt::white);
    setPalette(white);
    setAutoFillBackground(true);

    auto* picture = new QLabel(this);
    picture->setPixmap(ResourcePixmap(128, 256));
    picture->setAlignment(Qt::AlignTop | Qt::AlignLeft);

    auto* name = new CTransparentStatic(this);
    name->SetTransparent();
    name->SetBold(true);
    QFont big = name->font();
    big.setPointSizeF(big.pointSizeF() * 1.6);
    name->setFont(big);
    name->SetLabelText(Text(str::kProductName));

    auto* version = new CTransparentStatic(this);
    version->SetTransparent();
    version->SetLabelText(Text(str::kAboutVersion));
    auto* about = new CTransparentStatic(this);
    about->SetTransparent();
    about->setWordWrap(true);
    about->SetLabelText(Text(str::kAboutDescription));
    auto* copyright = new CTransparentStatic(this);
    copyright->SetTransparent();
    copyright->SetLabelText(Text(str::kAboutCopyright));

    link_ = new CTransparentStatic(this);
    link_->SetTransparent();
    link_->SetLabelColor(0xFF0000);  // blue (COLORREF)
    link_->SetLink(true);
    QFont underlined = link_->font();
    underlined.setUnderline(true);
    link_->setFont(underlined);
    link_->SetLabelText(Text(str::kAboutLink));

    auto* buttons = new QDialogButtonBox(this);
    buttons->addButton(Text(str::kAboutOk), QDialogButtonBox::AcceptRole)->setDefault(true);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->setContentsMargins(16, 16, 16, 12);
    layout->setHorizontalSpacing(18);
    layout->addWidget(picture, 0, 0, 6, 1);
    layout->addWidget(name, 0, 1);
    layout->addWidget(version, 1, 1);
    layout->addWidget(about, 2, 1);
    layout->addWidget(copyright, 3, 1);
    layout->addWidget(link_, 4, 1);
    layout->setRowStretch(5, 1);
    layout->addWidget(buttons, 6, 0, 1, 2);
    layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace qv::ui
